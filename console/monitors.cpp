// The monitors RandR lists, kept current by events, and placing the console on one of them.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <cstdio>

#include "console/console.h"
#include "console/placement.h"

// The monitors, as RandR lists them (never empty: the whole screen without
// RandR 1.5), kept current by the root's and RandR's events.
static std::vector<Monitor> monitors;
static int randrEventBase = -1;     // -1: no RandR
static bool randrMonitors = false;  // RandR 1.5: monitors can be listed
// The name of the console's monitor ("" in screen mode), how far below its
// top the console's room begins (the panels it comes down below), and
// whether the named monitor has been warned about as missing.
static std::string placedOn;
static int panelsHeight = 0;
static bool monitorMissing = false;

static Rect screenRect() {
    return {0, 0, DisplayWidth(console.display, console.screen),
            DisplayHeight(console.display, console.screen)};
}

// Reads the monitor list again: one round trip for the monitors, one for
// their names (atoms). Without RandR 1.5, or with no monitor listed (every
// output off), the whole screen counts as one monitor.
static void refreshMonitors() {
    Display* dpy = console.display;
    std::vector<Monitor> list;
    if (randrMonitors) {
        int count = 0;
        if (XRRMonitorInfo* info = XRRGetMonitors(dpy, console.root, True, &count)) {
            std::vector<Atom> atoms;
            for (int i = 0; i < count; ++i) atoms.push_back(info[i].name);
            std::vector<char*> names(atoms.size(), nullptr);
            if (!atoms.empty()) XGetAtomNames(dpy, atoms.data(), count, names.data());
            for (int i = 0; i < count; ++i) {
                const XRRMonitorInfo& m = info[i];
                if (m.width > 0 && m.height > 0)
                    list.push_back({names[i] ? names[i] : "", {m.x, m.y, m.width, m.height}, m.primary != 0});
                if (names[i]) XFree(names[i]);
            }
            XRRFreeMonitors(info);
        }
    }
    if (list.empty()) list.push_back({"", screenRect(), true});
    monitors = std::move(list);
}

// Notes the console's room on its monitor (the whole screen in screen
// mode): below the panels with belowPanels; and the frame's span on it; no
// request yet.
static void placeOn(size_t index) {
    if (console.monitor.mode == MonitorMode::WholeScreen) {
        console.area = screenRect();
        placedOn.clear();
    } else {
        console.area = monitors[index].area;
        placedOn = monitors[index].name;
    }
    panelsHeight = topOfRoom(console.area) - console.area.y;
    console.area.y += panelsHeight;
    console.area.height -= panelsHeight;
    console.span = consoleSpan(console.area, console.xOffset, console.screenWidth);
}

// The monitor the setting names; in pointer mode after one pointer query,
// the one round trip placement adds to a show (the monitors come from the
// copy that events keep current).
static size_t choose(const MonitorSetting& setting, bool* missing = nullptr) {
    std::optional<Point> pointerAt;
    Window rootReturn = None, child = None;
    int x = 0, y = 0, winX = 0, winY = 0;
    unsigned mask = 0;
    // False: the pointer is on another screen, and no monitor here holds it.
    if (setting.mode == MonitorMode::Pointer &&
        XQueryPointer(console.display, console.root, &rootReturn, &child, &x, &y, &winX, &winY, &mask))
        pointerAt = Point{x, y};
    return chooseMonitor(monitors, setting, pointerAt, missing);
}

void watchMonitors() {
    Display* dpy = console.display;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (XRRQueryExtension(dpy, &eventBase, &errorBase) && XRRQueryVersion(dpy, &major, &minor)) {
        randrEventBase = eventBase;
        randrMonitors = major > 1 || (major == 1 && minor >= 5);
        // Outputs plugged in or out and modes set come as these; monitors set
        // or deleted with xrandr --setmonitor only as the root's ConfigureNotify.
        // A server before RandR 1.2 would refuse the CRTC and output masks.
        const bool crtcs = major > 1 || (major == 1 && minor >= 2);
        XRRSelectInput(
            dpy, console.root,
            RRScreenChangeNotifyMask | (crtcs ? RRCrtcChangeNotifyMask | RROutputChangeNotifyMask : 0));
    }
    refreshMonitors();
    // Parked on the primary monitor (or the named one) until the first show.
    placeOn(chooseMonitor(monitors, console.monitor, std::nullopt));
}

bool isMonitorEvent(const XEvent& event) {
    if (event.type == ConfigureNotify) return event.xconfigure.window == console.root;
    return randrEventBase >= 0 &&
           (event.type == randrEventBase + RRScreenChangeNotify || event.type == randrEventBase + RRNotify);
}

bool monitorsChanged(XEvent& event) {
    // One change of the screen comes as several events: take them all in
    // (XRRUpdateConfiguration keeps Xlib's idea of the screen size right)
    // and read the list once.
    XRRUpdateConfiguration(&event);
    XEvent more;
    while (XCheckIfEvent(
        console.display, &more, [](Display*, XEvent* e, XPointer) -> Bool { return isMonitorEvent(*e); },
        nullptr))
        XRRUpdateConfiguration(&more);
    refreshMonitors();
    return placeShownAgain();
}

bool placeShownAgain() {
    if (loop.hidden) return false;
    std::optional<size_t> index = findMonitor(monitors, placedOn);
    if (!index) {
        // Its monitor is gone: to the pointer's monitor, or the primary one.
        MonitorSetting setting = console.monitor;
        if (setting.mode == MonitorMode::Named) setting.mode = MonitorMode::Primary;
        index = choose(setting);
    }
    placeOn(*index);
    return true;
}

void placeForShow() {
    const MonitorSetting& setting = console.monitor;
    bool missing = false;
    const size_t index = choose(setting, &missing);
    // Said once each time the name goes missing: a monitor plugged in later
    // is used from the next show on.
    if (missing && !monitorMissing)
        std::fprintf(stderr, "%s: monitor: no monitor named \"%s\", using the primary one\n",
                     console.progName, setting.name.c_str());
    monitorMissing = missing;
    placeOn(index);
}

int shownY() { return console.area.y; }

int shownBelowTop() { return panelsHeight; }

// Parked one frame height above the screen's top edge, whatever the
// monitor: out of sight on every monitor. The slide down starts as far
// above its monitor's top.
int hiddenY() { return -(console.height + console.handleWidth); }

bool slideCrossesMonitor() {
    // Asked at each slide, since a size key or a drag changes the band the
    // frame passes through; the list is the kept copy, no request.
    if (console.monitor.mode == MonitorMode::WholeScreen) return false;
    const size_t own = findMonitor(monitors, placedOn).value_or(monitors.size());
    return slideCrossesOther(monitors, own, console.span, shownY(),
                             console.height + console.handleWidth + panelsHeight);
}
