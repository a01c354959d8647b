// Test support: the scene tests and benchmark share: server, window manager, apps, console.
#include "tests/support/scene.h"

#include <unistd.h>

#include <chrono>

namespace xt {

namespace {

const Command kPicom{"picom", "--backend", "xrender", "--config", "/dev/null"};
const char* const kCompositorSelection = "_NET_WM_CM_S0";

// The server with everything that comes before the window manager.
XServer& prepared(XServer& server, const Setup& setup) {
    if (!setup.monitors.empty()) defineMonitors(server, setup.monitors);
    server.setResources(setup.resources);
    for (const Command& command : setup.before) run(server, command);
    if (setup.setUp) setup.setUp(server);
    return server;
}

std::string listed(const std::vector<int>& ys) {
    std::string text;
    for (int y : ys) text += (text.empty() ? "" : ", ") + std::to_string(y);
    return "{" + text + "}";
}

}  // namespace

int slideStepOf(int height) { return height / 100 + 2; }

std::vector<int> slideMoves(int height, bool down, int drop) {
    const int step = slideStepOf(height), parked = -(height + kHandle + drop);
    std::vector<int> ys;
    for (int y = down ? parked : 0;;) {
        y += down ? step : -step;
        ys.push_back(y);
        if (down ? y > -step : y < parked) return ys;
    }
}

std::vector<int> slide(int height, bool down) {
    std::vector<int> ys = slideMoves(height, down);
    ys.push_back(down ? 0 : -(height + kHandle));
    return ys;
}

Scene::Scene(const Setup& setup)
    : server(setup.width, setup.height, setup.fbdir),
      desktop(prepared(server, setup), setup.wm),
      dir(tempDir()) {
    if (!desktop.up()) return;
    for (size_t i = 0; i < setup.apps.size(); ++i) {
        const Rect& r = setup.apps[i];
        apps.push_back(std::make_unique<AppWindow>(server, std::string(1, static_cast<char>('A' + i)), r.x,
                                                   r.y, r.width, r.height));
    }
    if (!apps.empty() && !desktop.activate(app()))
        failed("the application did not get the focus: " + std::to_string(focusOf(dpy())));
    if (setup.compositor) startCompositor();
    if (!setup.console) return;
    std::vector<std::string> args = setup.args;
    if (setup.recordShell) {
        const std::string logger = dir + "/log.sh";
        writeFile(logger, "#!/bin/sh\nstty raw -echo\nexec cat > " + dir + "/log\n", true);
        args.insert(args.begin(), {"-e", logger});
    }
    console = std::make_unique<Console>(server, args, setup.argv0);
    recordShell_ = setup.recordShell;
}

bool Scene::ready() {
    if (!desktop.up() || !console || !console->ready()) return false;
    nudges = std::make_unique<Watcher>(server, term());
    return !recordShell_ || waitUntil(dpy(), [&] {
        return access((dir + "/log").c_str(), F_OK) == 0 && consoleGot().empty();
    });
}

bool Scene::shown() const { return console->shownAt() && focusOf(dpy()) == term(); }

bool Scene::hidden(Window focusBack) const {
    if (focusBack == None) focusBack = app();
    return console->hiddenAt() && (focusBack == None || focusOf(dpy()) == focusBack);
}

bool Scene::show() {
    pressKeys(dpy(), kToggle);
    return waitUntil(dpy(), [&] { return shown(); });
}

bool Scene::hide(Window focusBack) {
    pressKeys(dpy(), kToggle);
    return waitUntil(dpy(), [&] { return hidden(focusBack); });
}

bool Scene::show(const std::vector<KeyCode>& toggle) {
    pressCodes(dpy(), toggle);
    return waitUntil(dpy(), [&] { return shown(); });
}

bool Scene::hide(const std::vector<KeyCode>& toggle) {
    pressCodes(dpy(), toggle);
    return waitUntil(dpy(), [&] { return hidden(); });
}

bool Scene::resize(const std::vector<std::string>& keys, int height) {
    pressKeys(dpy(), keys);
    return waitUntil(dpy(), [&] { return console->terminal().height == height; });
}

bool Scene::resize(const std::vector<KeyCode>& keys, int height) {
    pressCodes(dpy(), keys);
    return waitUntil(dpy(), [&] { return console->terminal().height == height; });
}

bool Scene::sizedTo(int height, int top) {
    return waitUntil(dpy(), [&] {
        const Geometry frame = console->frame();
        return console->terminal().height == height && frame.height == height + kHandle && frame.y == top;
    });
}

void Scene::grabHandle(int x) {
    movePointer(dpy(), x, console->frame().y + console->terminal().height + 1);
    button(dpy(), 1, true);
}

bool Scene::dragTo(int x, int y, int expected) {
    int wiggle = 0;
    return waitUntil(dpy(), [&] {
        movePointer(dpy(), x + (wiggle++ & 1), y);
        return console->terminal().height == expected;
    });
}

bool Scene::drag(int x, int y, int expected) {
    grabHandle(x);
    const bool done = dragTo(x, y, expected);
    button(dpy(), 1, false);
    return done;
}

bool Scene::keepsFocus() {
    desktop.sync();
    return waitUntil(dpy(), [&] { return focusOf(dpy()) == term(); });
}

bool Scene::settle() {
    if (!keepsFocus()) return false;
    const int height = console->terminal().height;
    nudges->pump();
    const size_t from = nudges->events.size();
    pressKeys(dpy(), kBigger);
    pressKeys(dpy(), kSmaller);
    return nudges->waitUntil([&] {
        bool grew = false;
        for (size_t i = from; i < nudges->events.size(); ++i) {
            const XEvent& e = nudges->events[i];
            if (e.type != ConfigureNotify) continue;
            if (e.xconfigure.height > height) grew = true;
            if (grew && e.xconfigure.height == height) return true;
        }
        return false;
    });
}

bool Scene::shownTimes(int count) {
    const int nudged = console->terminal().height - 1;
    return nudges->waitUntil([&] { return nudges->configuresAt(nudged) == count; });
}

std::string Scene::slideFaults(bool grabbed) {
    const int height = console->terminal().height, hidden = -(height + kHandle), step = slideStepOf(height);
    Watcher watch(server, console->frameWin);
    std::string faults;
    const int first = toggleAndAwaitFirstMove(server, watch, hidden);
    if (first != hidden + step) faults += "the first move went to " + std::to_string(first) + "; ";
    const int y = console->frame().y;
    if (grabbed && y <= -step) faults += "a request of another client ran in the middle of the slide; ";
    if (!grabbed && y >= -step) faults += "another client stood still until the slide was over; ";
    // A compositor that has stacked its own windows above the frame makes
    // the show's raise a ConfigureNotify too, with the frame where it was.
    auto moves = [&] {
        std::vector<int> ys;
        for (int at : watch.ys())
            if (at != hidden || !ys.empty() || !compositor) ys.push_back(at);
        return ys;
    };
    for (bool down : {true, false}) {
        const std::vector<int> expected = slide(height, down);
        if (!watch.waitUntil([&] { return moves().size() >= expected.size(); }) || moves() != expected)
            return faults + (down ? "down " : "up ") + listed(moves()) + " instead of " + listed(expected);
        if (!waitUntil(dpy(), [&] { return down ? shown() : console->hiddenAt(); }))
            return faults + (down ? "not shown: " : "not hidden: ") + state();
        watch.events.clear();
        if (down) pressKeys(dpy(), kToggle);
    }
    return faults;
}

std::string Scene::consoleGot() const { return readFile(dir + "/log"); }

bool Scene::typeInto(const std::string& text, AppWindow* window) {
    const std::string before = window ? window->typed() : consoleGot();
    typeText(dpy(), text);
    return waitUntil(dpy(), [&] { return (window ? window->typed() : consoleGot()) == before + text; });
}

std::vector<KeyCode> Scene::combo(const std::vector<const char*>& modifiers, KeyCode keycode) const {
    std::vector<KeyCode> codes;
    for (const char* modifier : modifiers) codes.push_back(key(modifier));
    codes.push_back(keycode);
    return codes;
}

bool Scene::pressUntilShown(const std::vector<KeyCode>& codes, unsigned modifiers) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline) {
        const int before = a().presses(codes.back(), modifiers);
        pressCodes(dpy(), codes);
        if (!waitUntil(dpy(), [&] { return shown() || a().presses(codes.back(), modifiers) > before; }))
            return false;
        if (shown()) return true;
    }
    return false;
}

bool Scene::reachesTheProgram(const std::vector<KeyCode>& codes, unsigned modifiers) {
    const int before = a().presses(codes.back(), modifiers);
    pressCodes(dpy(), codes);
    return a().waitFor(codes.back(), modifiers, before + 1) && hidden();
}

void Scene::startCompositor() { compositor = startOwner(server, kPicom, kCompositorSelection); }

bool Scene::stopCompositor() {
    compositor.reset();
    return waitUntil(dpy(), [&] { return selectionOwner(dpy(), kCompositorSelection) == None; });
}

std::string Scene::state() {
    if (!console) return desktop.error;
    const Window focus = focusOf(dpy());
    std::string text = "focus " + std::to_string(focus);
    // A window of none of ours: its class says whose.
    if (focus > PointerRoot) text += " [" + classOf(dpy(), focus) + "]";
    const Window t = term();
    text += " (terminal " + std::to_string(t);
    for (auto& window : apps) text += ", " + window->title + " " + std::to_string(window->window);
    const Geometry frame = console->frame(), terminal = geometryOf(dpy(), t);
    text += ") frame y " + std::to_string(frame.y) + ", " + std::to_string(frame.height) +
            " high; terminal " + std::to_string(terminal.height) + " of " +
            std::to_string(t ? heightIncOf(dpy(), t) : 0) + " px rows, " + std::to_string(terminal.width) +
            " wide";
    if (recordShell_) text += " console got \"" + consoleGot() + "\"";
    for (auto& window : apps) text += " " + window->title + " got \"" + window->typed() + "\"";
    return text;
}

}  // namespace xt
