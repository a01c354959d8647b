// The scene every figure is taken on: a private Xvfb, the user's focused window, the console, and the keys.
#include "bench/desk.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <poll.h>

#include "bench/proc.h"
#include "interaction/geometry.h"

namespace {

int heightIncOf(Display* dpy, Window window) {
    XSizeHints hints{};
    long supplied = 0;
    if (!XGetWMNormalHints(dpy, window, &hints, &supplied)) return 0;
    return hints.height_inc;
}

// A mapped window with the focus, standing in for the application the user
// was working in.
Window makeFocusedWindow(Display* dpy) {
    Window w = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 100, 400, 300, 300, 0, 0, 0xffffff);
    XSelectInput(dpy, w, StructureNotifyMask);
    XMapWindow(dpy, w);
    XEvent e;
    do XWindowEvent(dpy, w, StructureNotifyMask, &e);
    while (e.type != MapNotify);
    XSelectInput(dpy, w, NoEventMask);
    XSetInputFocus(dpy, w, RevertToPointerRoot, CurrentTime);
    XSync(dpy, False);
    return w;
}

KeyCode keycode(Display* dpy, const char* name) {
    KeyCode code = XKeysymToKeycode(dpy, XStringToKeysym(name));
    if (code == 0) fail(std::string("no key for ") + name);
    return code;
}

}  // namespace

void key(Display* dpy, const char* name, bool down) {
    XTestFakeKeyEvent(dpy, keycode(dpy, name), down, CurrentTime);
}

void movePointer(Display* dpy, int x, int y) {
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), x, y, CurrentTime);
    XSync(dpy, False);
}

void button(Display* dpy, unsigned number, bool down) {
    XTestFakeButtonEvent(dpy, number, down, CurrentTime);
    XSync(dpy, False);
}

Desk::Desk(const std::string& fbdir) : server_(1280, 900, fbdir), in_(server_.dpy()), obs_(server_) {
    server_.setResources(resources(kAniDelay));
    app_ = makeFocusedWindow(in_);
    // The pointer rests off the console, at the bottom of the screen.
    movePointer(in_, server_.width() / 2, server_.height() - 10);
}

int Desk::movesDown() const {
    return static_cast<int>(slidePositions(hiddenY(), height_, kHandleWidth, kStepSize).size());
}

int Desk::movesUp() const {
    return static_cast<int>(slidePositions(0, height_, kHandleWidth, kStepSize).size());
}

void Desk::awaitGone(Window frame) {
    obs_.await([&](const XEvent& e) { return e.type == DestroyNotify && e.xdestroywindow.window == frame; });
}

// Starts the console and waits, on the observer's events only, until its
// frame sits at the hidden position with the terminal mapped inside it.
Desk::Started Desk::startConsole(std::unique_ptr<Child>& child) {
    obs_.forget();
    Started s;
    const long long t0 = nowNs();
    child = std::make_unique<Child>(std::vector<std::string>{dropconBinary()}, server_.env());
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
    s.cpuNs = costOf(child->pid).cpuNs;
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
    Child xterm({"/usr/bin/xterm"}, server_.env());
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
    xterm.end();
    obs_.await([&](const XEvent& e) { return e.type == DestroyNotify && e.xdestroywindow.window == w; });
    return f;
}

void Desk::geometry(Window frame, Window terminal) {
    frame_ = frame;
    terminal_ = terminal;
    XWindowAttributes f{};
    XGetWindowAttributes(in_, frame_, &f);
    height_ = f.height - kHandleWidth;
    rowHeight_ = heightIncOf(in_, terminal_);
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
        if (configureOf(e, frame_) && e.xconfigure.height == newHeight + kHandleWidth) frame = true;
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
    const int x = server_.width() / 2, base = height_ / rowHeight_;
    movePointer(in_, x, height_ + 1);  // on the handle
    button(in_, 1, true);
    auto motionTo = [&](int rows, int dx) {
        obs_.forget();
        const long long t0 = nowNs();
        XTestFakeMotionEvent(in_, DefaultScreen(in_), x + dx, rows * rowHeight_ + 1, CurrentTime);
        XFlush(in_);
        const int want = rows * rowHeight_ + kHandleWidth;
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
    movePointer(in_, x, server_.height() - 10);
    height_ = base * rowHeight_;
    return row;
}
