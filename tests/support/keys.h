// Test support: an ordinary focused window that records the keys it gets, and key presses by keycode.
#pragma once

#include <X11/Xlib.h>

#include <vector>

#include "tests/support/xharness.h"

namespace xt {

// A mapped top-level window with the focus, on a connection of its own,
// standing in for the program the user types into: it records every key
// press that reaches it.
struct KeyLog {
    explicit KeyLog(const XServer& server, int x = 100, int y = 400, int width = 300, int height = 300);
    ~KeyLog();
    KeyLog(const KeyLog&) = delete;
    KeyLog& operator=(const KeyLog&) = delete;
    // Reads what has arrived so far.
    void pump();
    // Presses of the key with exactly these core modifiers, the layout
    // group and the pointer buttons aside.
    int presses(KeyCode keycode, unsigned modifiers);
    // Waits until at least count such presses have arrived.
    bool waitFor(KeyCode keycode, unsigned modifiers, int count = 1, int timeoutMs = 10000);

    Display* dpy;
    Window window;
    std::vector<XKeyEvent> keys;
};

// The key that types keysym in the server's map as it is now, looked up on
// a fresh connection: a connection's copy of the map is only as new as the
// last MappingNotify it has read. 0 when no key types it.
KeyCode keycodeNow(const XServer& server, KeySym keysym);
KeyCode keycodeNow(const XServer& server, const char* name);

// XTEST: presses the keys in order and releases them in reverse.
void pressCodes(Display* dpy, const std::vector<KeyCode>& keycodes);

}  // namespace xt
