// Test support: RandR 1.5 monitors defined on a test's Xvfb with xrandr, as several heads would show up.
#include "tests/support/monitors.h"

namespace xt {

namespace {

// WIDTH/MMxHEIGHT/MM+X+Y; the millimetres only need to be plausible.
std::string geometry(const MonitorSpec& m) {
    return std::to_string(m.width) + "/" + std::to_string(m.width / 4) + "x" + std::to_string(m.height) +
           "/" + std::to_string(m.height / 4) + "+" + std::to_string(m.x) + "+" + std::to_string(m.y);
}

}  // namespace

void defineMonitors(const XServer& server, const std::vector<MonitorSpec>& monitors) {
    for (size_t i = 0; i < monitors.size(); ++i) {
        if (i > 0) {
            addMonitor(server, monitors[i]);
            continue;
        }
        run(server, {"xrandr", "--setmonitor", "*" + monitors[i].name, geometry(monitors[i]), "screen"});
    }
}

void addMonitor(const XServer& server, const MonitorSpec& monitor) {
    run(server, {"xrandr", "--setmonitor", monitor.name, geometry(monitor), "none"});
}

void deleteMonitor(const XServer& server, const std::string& name) {
    run(server, {"xrandr", "--delmonitor", name});
}

bool shrinkScreen(const XServer& server, int width, int height) {
    // Xvfb's output keeps its one mode of the first screen size: xrandr turns
    // it off, sets the size, fails to turn it on again in a screen too small
    // for it and says so with status 1. The screen has its new size all the
    // same, and the monitors stay as defined.
    Process xrandr({"xrandr", "--fb", std::to_string(width) + "x" + std::to_string(height)},
                   consoleEnv(server));
    xrandr.waitExit(10000);
    Display* dpy = server.dpy();
    if (waitUntil(dpy, [&] {
            const Geometry root = geometryOf(dpy, server.root());
            return root.width == width && root.height == height;
        }))
        return true;
    failed("the screen did not shrink:\n" + xrandr.err());
    return false;
}

}  // namespace xt
