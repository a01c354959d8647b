// Test support: an ordinary focused window that records the keys it gets, and key presses by keycode.
#include "tests/support/keys.h"

#include <X11/extensions/XTest.h>

#include <stdexcept>

namespace xt {

KeyLog::KeyLog(const XServer& server, int x, int y, int width, int height)
    : dpy(server.connect()),
      window(XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), x, y, width, height, 0, 0, 0xffffff)) {
    XSelectInput(dpy, window, KeyPressMask);
    XMapWindow(dpy, window);
    if (!xt::waitUntil(dpy, [&] { return geometryOf(dpy, window).mapped; }))
        throw std::runtime_error("the key log window did not map");
    XSetInputFocus(dpy, window, RevertToPointerRoot, CurrentTime);
    XSync(dpy, False);
}

KeyLog::~KeyLog() { XCloseDisplay(dpy); }

void KeyLog::pump() {
    while (XPending(dpy)) {
        XEvent event;
        XNextEvent(dpy, &event);
        if (event.type == KeyPress) keys.push_back(event.xkey);
    }
}

int KeyLog::presses(KeyCode keycode, unsigned modifiers) {
    pump();
    int n = 0;
    for (const XKeyEvent& key : keys) n += key.keycode == keycode && (key.state & 0xff) == modifiers;
    return n;
}

bool KeyLog::waitFor(KeyCode keycode, unsigned modifiers, int count, int timeoutMs) {
    return xt::waitUntil(
        dpy, [&] { return presses(keycode, modifiers) >= count; }, timeoutMs);
}

KeyCode keycodeNow(const XServer& server, KeySym keysym) {
    Display* fresh = server.connect();
    KeyCode keycode = XKeysymToKeycode(fresh, keysym);
    XCloseDisplay(fresh);
    return keycode;
}

KeyCode keycodeNow(const XServer& server, const char* name) {
    return keycodeNow(server, XStringToKeysym(name));
}

void pressCodes(Display* dpy, const std::vector<KeyCode>& keycodes) {
    for (KeyCode keycode : keycodes) XTestFakeKeyEvent(dpy, keycode, True, CurrentTime);
    for (auto it = keycodes.rbegin(); it != keycodes.rend(); ++it)
        XTestFakeKeyEvent(dpy, *it, False, CurrentTime);
    XSync(dpy, False);
}

}  // namespace xt
