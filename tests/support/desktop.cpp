// Test support: window managers on a test's server, application windows that record keys, workspace switches.
#include "tests/support/desktop.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace xt {

namespace {

Atom atom(Display* dpy, const char* name) { return XInternAtom(dpy, name, False); }

long rootLong(Display* dpy, const char* name, Atom type, long index = 0) {
    return windowLong(dpy, DefaultRootWindow(dpy), name, type, index);
}

// The server's time now, as the stamp of a property change: a pager stamps
// its requests, and a window manager may set the focus with that time.
Time serverTime(Display* dpy) {
    Window w = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(dpy, w, PropertyChangeMask);
    XChangeProperty(dpy, w, XA_WM_NAME, XA_STRING, 8, PropModeAppend, nullptr, 0);
    XEvent event;
    XWindowEvent(dpy, w, PropertyChangeMask, &event);
    XDestroyWindow(dpy, w);
    return event.xproperty.time;
}

// A window's middle, in root coordinates.
void centreOf(Display* dpy, Window window, int& x, int& y) {
    XWindowAttributes a{};
    XGetWindowAttributes(dpy, window, &a);
    Window child;
    XTranslateCoordinates(dpy, window, DefaultRootWindow(dpy), a.width / 2, a.height / 2, &x, &y, &child);
}

void sendToRoot(Display* dpy, Window window, const char* type, long l0) {
    const long l1 = static_cast<long>(serverTime(dpy));
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = atom(dpy, type);
    event.xclient.format = 32;
    event.xclient.data.l[0] = l0;
    event.xclient.data.l[1] = l1;
    XSendEvent(dpy, DefaultRootWindow(dpy), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XSync(dpy, False);
}

const char* kI3Config =
    "# i3 config file (v4)\n"
    "font fixed\n"
    "focus_follows_mouse yes\n";

const char* kOpenboxConfig =
    "<?xml version=\"1.0\"?>\n"
    "<openbox_config xmlns=\"http://openbox.org/3.4/rc\">\n"
    "  <focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>\n"
    "  <desktops><number>2</number></desktops>\n"
    "</openbox_config>\n";

// Two floating tags; a window asking for the focus (_NET_ACTIVE_WINDOW)
// gets it, as awful.ewmh grants such requests, and so does a window
// clicked, as with awesome's own rc.lua.
const char* kAwesomeConfig =
    "local awful = require('awful')\n"
    "require('awful.autofocus')\n"
    "require('awful.rules')\n"
    "awful.layout.layouts = { awful.layout.suit.floating }\n"
    "awful.screen.connect_for_each_screen(function(s)\n"
    "  awful.tag({ '1', '2' }, s, awful.layout.suit.floating)\n"
    "end)\n"
    "awful.rules.rules = { { rule = {}, properties = { buttons = awful.button({}, 1, function(c)\n"
    "  c:emit_signal('request::activate', 'mouse_click', { raise = true }) end) } } }\n";

}  // namespace

std::string nameOf(Wm wm) {
    static const char* const names[] = {"none", "openbox", "i3", "fluxbox", "awesome"};
    return names[static_cast<int>(wm)];
}

const std::vector<Wm>& allWms() {
    static const std::vector<Wm> wms{Wm::none, Wm::openbox, Wm::i3, Wm::fluxbox, Wm::awesome};
    return wms;
}

Desktop::Desktop(XServer& s, Wm w) : server(s), wm(w), dir(tempDir()) {
    std::vector<std::string> argv;
    // A home of its own: a window manager writes its settings there.
    std::vector<std::string> env{"HOME=" + dir};
    switch (wm) {
        case Wm::none:
            return;
        case Wm::openbox:
            writeFile(dir + "/rc.xml", kOpenboxConfig);
            argv = {"openbox", "--sm-disable", "--config-file", dir + "/rc.xml"};
            break;
        case Wm::i3:
            // Without a configuration, an empty home makes i3 start its
            // set-up wizard, which takes the focus.
            writeFile(dir + "/i3.config", kI3Config);
            argv = {"i3", "-c", dir + "/i3.config"};
            break;
        case Wm::fluxbox:
            argv = {"fluxbox"};
            break;
        case Wm::awesome:
            writeFile(dir + "/rc.lua", kAwesomeConfig);
            argv = {"awesome", "--config", dir + "/rc.lua"};
            break;
    }
    process = std::make_unique<Process>(argv, consoleEnv(server, env));
    Display* dpy = server.dpy();
    // The root's _NET_SUPPORTING_WM_CHECK names a window that carries the
    // property too (fluxbox does not take WM_S0).
    auto checked = [&] {
        long check = rootLong(dpy, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
        return check > 0 &&
               windowLong(dpy, static_cast<Window>(check), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW) == check;
    };
    if (!waitUntil(dpy, checked, 15000)) error = nameOf(wm) + " did not come up:\n" + process->err();
}

bool Desktop::activate(Window window) const {
    Display* dpy = server.dpy();
    auto focused = [&] { return focusOf(dpy) == window; };
    if (wm == Wm::none) {
        XSetInputFocus(dpy, window, RevertToPointerRoot, CurrentTime);
    } else if (wm != Wm::i3 && wm != Wm::awesome) {
        sendToRoot(dpy, window, "_NET_ACTIVE_WINDOW", 2);  // as a pager asks
    } else {
        // i3 and awesome set the focus with the time of the last event they
        // saw, which a pager's request does not bring: a click does. The window may still
        // be on its way to its tile, so the click is tried again.
        for (int tries = 0; tries < 5; ++tries) {
            int x = 0, y = 0;
            centreOf(dpy, window, x, y);
            movePointer(dpy, x, y);
            button(dpy, 1, true);
            button(dpy, 1, false);
            if (waitUntil(dpy, focused, 1000)) return true;
        }
    }
    return waitUntil(dpy, focused);
}

void Desktop::sync() const {
    if (wm == Wm::i3) run(server, {"i3-msg", "-q", "nop"});
    XSync(server.dpy(), False);
}

bool Desktop::switchDesktop(int n) const {
    Display* dpy = server.dpy();
    if (wm == Wm::i3)
        run(server, {"i3-msg", "-q", "workspace", std::to_string(n + 1)});
    else
        sendToRoot(dpy, DefaultRootWindow(dpy), "_NET_CURRENT_DESKTOP", n);
    return waitUntil(dpy, [&] { return rootLong(dpy, "_NET_CURRENT_DESKTOP", XA_CARDINAL) == n; });
}

bool Desktop::showDesktop(bool on) const {
    Display* dpy = server.dpy();
    sendToRoot(dpy, DefaultRootWindow(dpy), "_NET_SHOWING_DESKTOP", on ? 1 : 0);
    return waitUntil(dpy, [&] { return rootLong(dpy, "_NET_SHOWING_DESKTOP", XA_CARDINAL) == (on ? 1 : 0); });
}

AppWindow::AppWindow(const XServer& server, const std::string& name, int x, int y, int width, int height)
    : title(name), dpy(server.connect()) {
    window = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), x, y, width, height, 0, 0, 0xffffff);
    XStoreName(dpy, window, title.c_str());
    XSizeHints size{.flags = USPosition | USSize, .x = x, .y = y, .width = width, .height = height};
    XSetWMNormalHints(dpy, window, &size);
    XWMHints hints{.flags = InputHint, .input = True};
    XSetWMHints(dpy, window, &hints);
    XSelectInput(dpy, window, KeyPressMask);
    XMapWindow(dpy, window);
    // Right after its start openbox may sit on a MapRequest that its event
    // loop has not noticed; any further event wakes it, so the wait nudges
    // it with a change of a root property of our own now and then.
    long tries = 0;
    waitUntil(dpy, [&] {
        XWindowAttributes a;
        if (XGetWindowAttributes(dpy, window, &a) && a.map_state == IsViewable) return true;
        if (++tries % 20 == 0)
            XChangeProperty(dpy, DefaultRootWindow(dpy), atom(dpy, "_DROPCON_TEST_NUDGE"), XA_CARDINAL, 32,
                            PropModeReplace, reinterpret_cast<const unsigned char*>(&tries), 1);
        return false;
    });
}

AppWindow::~AppWindow() { XCloseDisplay(dpy); }

void AppWindow::pump() {
    XSync(dpy, False);
    XEvent event;
    while (XCheckTypedWindowEvent(dpy, window, KeyPress, &event)) {
        keys.push_back(event.xkey);
        char buffer[8];
        KeySym keysym;
        int n = XLookupString(&event.xkey, buffer, sizeof buffer, &keysym, nullptr);
        text.append(buffer, n > 0 ? n : 0);
    }
}

std::string AppWindow::typed() {
    pump();
    return text;
}

int AppWindow::presses(KeyCode keycode, unsigned modifiers) {
    pump();
    int n = 0;
    for (const XKeyEvent& key : keys) n += key.keycode == keycode && (key.state & 0xff) == modifiers;
    return n;
}

bool AppWindow::waitFor(KeyCode keycode, unsigned modifiers, int count, int timeoutMs) {
    return waitUntil(
        dpy, [&] { return presses(keycode, modifiers) >= count; }, timeoutMs);
}

void AppWindow::centre(int& x, int& y) const { centreOf(dpy, window, x, y); }

Window makePanel(Display* dpy, int left, int width, int bottom) {
    Window panel = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), left, 0, width, bottom, 0, 0, 0x404040);
    setStrut(dpy, panel, left, width, bottom);
    XMapWindow(dpy, panel);
    XSync(dpy, False);
    return panel;
}

void setStrut(Display* dpy, Window panel, int left, int width, int bottom) {
    const Atom partial = atom(dpy, "_NET_WM_STRUT_PARTIAL");
    if (bottom == 0) {
        XDeleteProperty(dpy, panel, partial);
    } else {
        // left, right, top, bottom, then the start and end of each edge's.
        const long strut[12] = {0, 0, bottom, 0, 0, 0, 0, 0, left, left + width - 1, 0, 0};
        XChangeProperty(dpy, panel, partial, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(strut), 12);
    }
    XSync(dpy, False);
}

std::unique_ptr<Process> startTint2(const XServer& server) {
    const std::string dir = tempDir();
    writeFile(dir + "/tint2rc", "panel_items = T\npanel_size = 100% " + std::to_string(kTint2Height) +
                                    "\npanel_position = top center horizontal\nstrut_policy = follow_size\n");
    auto tint2 = std::make_unique<Process>(std::vector<std::string>{"tint2", "-c", dir + "/tint2rc"},
                                           consoleEnv(server, {"HOME=" + dir}));
    // The window manager announces the room the panel leaves in _NET_WORKAREA (x, y, width, height).
    Display* dpy = server.dpy();
    if (!waitUntil(
            dpy, [&] { return rootLong(dpy, "_NET_WORKAREA", XA_CARDINAL, 1) == kTint2Height; }, 15000))
        failed("tint2's panel did not come up:\n" + tint2->err());
    return tint2;
}

bool isTopLevel(Display* dpy, Window window) {
    Window rootReturn, parent = None, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(dpy, window, &rootReturn, &parent, &children, &count)) return false;
    if (children) XFree(children);
    return parent == rootReturn;
}

}  // namespace xt
