// The scene every figure is taken on: the tests' scene, the console timed from its exec, and the keys.
#include "bench/desk.h"

#include <X11/extensions/XTest.h>
#include <poll.h>
#include <sys/wait.h>

#include "bench/procfs.h"

using xt::button;
using xt::key;
using xt::movePointer;

void endProcess(std::unique_ptr<xt::Process>& process) {
    process.reset();
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
}

Desk::Desk(const std::string& fbdir)
    : scene_({.resources = resources(xt::kAniDelay), .fbdir = fbdir, .console = false}),
      in_(scene_.dpy()),
      obs_(scene_.server) {
    // The pointer rests off the console, at the bottom of the screen.
    movePointer(in_, scene_.server.width() / 2, scene_.server.height() - 10);
}

void Desk::awaitGone(Window frame) {
    obs_.await([&](const XEvent& e) { return e.type == DestroyNotify && e.xdestroywindow.window == frame; });
}

// Starts the console and waits, on the observer's events only, until its
// frame sits at the hidden position with the terminal mapped inside it.
Desk::Started Desk::startConsole(std::unique_ptr<xt::Process>& child) {
    obs_.forget();
    Started s;
    const long long t0 = nowNs();
    child = std::make_unique<xt::Process>(std::vector<std::string>{xt::dropconBinary()},
                                          xt::consoleEnv(scene_.server), true);
    s.frameAt = obs_.await(
        [&](const XEvent& e) {
            if (e.type != CreateNotify || !e.xcreatewindow.override_redirect) return false;
            s.frame = e.xcreatewindow.window;
            return true;
        },
        15000);
    if (s.frameAt < 0) fail("the console created no frame");
    // The terminal's window comes tens of milliseconds later: there is time
    // to ask for the frame's substructure events.
    obs_.watchChildrenOf(s.frame);
    const long long end = obs_.awaitSeen(
        [&](const Seen& x) {
            const XEvent& e = x.event;
            // xterm creates its window on the root and then moves it into
            // the frame.
            if (e.type == CreateNotify && !e.xcreatewindow.override_redirect && s.termCreatedAt < 0)
                s.termCreatedAt = x.ns;
            if (e.type == MapNotify && e.xmap.event == s.frame) {
                s.terminal = e.xmap.window;
                s.termMappedAt = x.ns;
            }
            return s.terminal != None && configureOf(e, s.frame) && e.xconfigure.y == -e.xconfigure.height;
        },
        15000);
    if (end < 0 || s.termCreatedAt < 0) fail("the console did not park its frame with a terminal in it");
    s.cpuNs = costOf(child->pid()).cpuNs;
    s.ns = end - t0;
    s.frameAt -= t0;
    s.termCreatedAt -= t0;
    s.termMappedAt -= t0;
    geometry(s.frame, s.terminal);
    return s;
}

// A plain xterm, as the floor of the console's start-up: exec to mapped.
Desk::Floor Desk::startPlainXterm() {
    obs_.forget();
    Floor f;
    const long long t0 = nowNs();
    auto xterm = std::make_unique<xt::Process>(std::vector<std::string>{"/usr/bin/xterm"},
                                               xt::consoleEnv(scene_.server), true);
    Window w = None;
    const long long end = obs_.awaitSeen(
        [&](const Seen& x) {
            const XEvent& e = x.event;
            if (e.type == CreateNotify && f.createdAt < 0) f.createdAt = x.ns - t0;
            if (e.type != MapNotify || e.xmap.event != DefaultRootWindow(obs_.dpy)) return false;
            w = e.xmap.window;
            return true;
        },
        15000);
    if (end < 0) fail("xterm did not map a window");
    f.mappedAt = end - t0;
    endProcess(xterm);
    obs_.await([&](const XEvent& e) { return e.type == DestroyNotify && e.xdestroywindow.window == w; });
    return f;
}

void Desk::geometry(Window frame, Window terminal) {
    frame_ = frame;
    terminal_ = terminal;
    XWindowAttributes f{};
    XGetWindowAttributes(in_, frame_, &f);
    height_ = f.height - xt::kHandle;
    rowHeight_ = xt::heightIncOf(in_, terminal_);
}

// One press of the toggle key, timed from the XTEST press of its key
// (the modifiers are already down) to the frame's first move and to its
// arrival at the end position. Sends nothing on any connection until the
// slide has ended, so that the server grab holds up nobody that matters.
Desk::Slide Desk::toggle(bool down) {
    const int from = down ? hiddenY() : 0, to = down ? 0 : hiddenY();
    key(in_, "Control_L", true);
    key(in_, "Alt_L", true);
    XSync(in_, False);
    obs_.forget();
    Slide s;
    s.press = nowNs();
    key(in_, "y", true);
    XFlush(in_);
    s.end = obs_.awaitSeen([&](const Seen& x) {
        const XEvent& e = x.event;
        if (!configureOf(e, frame_)) return false;
        if (e.xconfigure.y == from) return false;  // the raise
        s.ys.emplace_back(x.ns, e.xconfigure.y);
        return e.xconfigure.y == to;
    });
    if (s.end < 0) fail(down ? "the console did not come down" : "the console did not go up");
    s.firstMove = s.ys.front().first;
    key(in_, "y", false);
    key(in_, "Alt_L", false);
    key(in_, "Control_L", false);
    XSync(in_, False);
    if (down) {
        // The terminal's one-pixel detour ends at its full height.
        obs_.await(
            [&](const XEvent& e) { return configureOf(e, terminal_) && e.xconfigure.height == height_; });
    }
    // Let the terminal finish drawing before the next figure is taken.
    poll(nullptr, 0, 30);
    return s;
}

// A size key while shown: press of the key to the terminal and the frame
// both at the new height.
long long Desk::sizeKey(const char* keyName, int newHeight) {
    key(in_, "Control_L", true);
    XSync(in_, False);
    obs_.forget();
    const long long t0 = nowNs();
    key(in_, keyName, true);
    XFlush(in_);
    bool term = false, frame = false;
    const long long end = obs_.await([&](const XEvent& e) {
        if (configureOf(e, terminal_) && e.xconfigure.height == newHeight) term = true;
        if (configureOf(e, frame_) && e.xconfigure.height == newHeight + xt::kHandle) frame = true;
        return term && frame;
    });
    if (end < 0) fail(std::string("no resize after ") + keyName);
    key(in_, keyName, false);
    key(in_, "Control_L", false);
    XSync(in_, False);
    height_ = newHeight;
    poll(nullptr, 0, 30);
    return end - t0;
}

// Drags the handle: each XTEST motion to another row, timed to the frame's
// resize to that row.
Row Desk::drag(int runs) {
    Row row{"drag: one pointer motion to terminal and frame resized", "ms", {}};
    const int x = scene_.server.width() / 2, base = height_ / rowHeight_;
    movePointer(in_, x, height_ + 1);  // on the handle
    button(in_, 1, true);
    auto motionTo = [&](int rows, int dx) {
        obs_.forget();
        const long long t0 = nowNs();
        XTestFakeMotionEvent(in_, DefaultScreen(in_), x + dx, rows * rowHeight_ + 1, CurrentTime);
        XFlush(in_);
        const int want = rows * rowHeight_ + xt::kHandle;
        const long long end = obs_.await(
            [&](const XEvent& e) { return configureOf(e, frame_) && e.xconfigure.height == want; }, 300);
        XSync(in_, False);
        return end < 0 ? -1 : end - t0;
    };
    // The console takes the pointer over only once it has read the button
    // press; motions before that go nowhere, so the first one is repeated
    // until it takes effect, and is not counted.
    int tries = 0;
    while (motionTo(base + 1, tries) < 0)
        if (++tries > 20) fail("the drag does not resize the console");
    for (int i = 0; i < runs; ++i) {
        long long t = motionTo(i % 2 ? base + 1 : base + 2, 0);
        if (t < 0) fail("a drag motion did not resize the console");
        row.values.push_back(ms(t));
    }
    if (motionTo(base, 0) < 0) fail("the drag did not go back");
    button(in_, 1, false);
    movePointer(in_, x, scene_.server.height() - 10);
    height_ = base * rowHeight_;
    return row;
}
