// The event loop: hotkeys, the handle, focus following the pointer, and the terminal going away.
#include <X11/Xlib.h>

#include <cstdlib>

#include "startup/dropcon.h"

void focusWindow(Window window) { XSetInputFocus(console.display, window, RevertToPointerRoot, CurrentTime); }

static int ignoreXError(Display*, XErrorEvent*) { return 0; }

// Whether the window can take the focus. A window that has gone away
// meanwhile is an expected answer here, not an error worth reporting.
static bool viewable(Window window) {
    // Errors of requests still in flight belong to the usual handler.
    if (LastKnownRequestProcessed(console.display) != NextRequest(console.display) - 1)
        XSync(console.display, False);
    XErrorHandler previous = XSetErrorHandler(ignoreXError);
    XWindowAttributes attributes;
    Status found = XGetWindowAttributes(console.display, window, &attributes);
    XSetErrorHandler(previous);
    return found && attributes.map_state == IsViewable;
}

void returnFocus() {
    // A hidden console has handed the focus back already; since then it
    // belongs to wherever the user put it.
    if (loop.hidden || loop.savedFocus == None) return;
    // When the window that had the focus is gone or unmapped, the focus goes
    // to the pointer's window: left on the terminal it would send the keys
    // into a console that is out of sight.
    if (loop.savedFocus != PointerRoot && !viewable(loop.savedFocus))
        focusWindow(PointerRoot);
    else
        focusWindow(loop.savedFocus);
}

// A hotkey is known by the key and the modifiers it was grabbed with, not
// by the keysym the key types now. An event sent by another client comes
// from no grab.
static void onKeyPress(const XKeyEvent& key) {
    auto pressed = [&key](const HotkeyGrab& hotkey) {
        return !key.send_event && hotkeyMatches(hotkey, key.keycode, key.state, console.numLockMask);
    };
    if (pressed(console.toggleKey)) {
        if (loop.hidden)
            showConsole();
        else
            hideConsole();
    } else if (!loop.hidden) {
        const bool full = pressed(console.keyFull), bigger = pressed(console.keyBigger),
                   smaller = pressed(console.keySmaller);
        if (full || bigger || smaller) applySizeKeys(full, bigger, smaller);
    }
}

static void terminalGone() {
    if (!console.restart) {
        returnFocus();
        XSync(console.display, False);
        std::exit(0);
    }
    noteTerminalExit();
    launchTerminal(false);
    XSync(console.display, False);
    // A hidden console does not take the focus: keys typed into a terminal
    // that is out of sight would be lost to the user.
    if (!loop.hidden) focusWindow(console.termWin);
}

void runEventLoop() {
    XEvent event;
    for (;;) {
        XNextEvent(console.display, &event);
        switch (event.type) {
            case KeyPress:
                onKeyPress(event.xkey);
                break;
            case MappingNotify:
                followKeyboardMapping(event);
                break;
            case ButtonPress:
                dragResize();
                break;
            case EnterNotify:
                focusWindow(console.termWin);
                break;
            case LeaveNotify:
                // Moving from the handle into the terminal is a leave towards an
                // inferior: the pointer is still in the console.
                if (event.xcrossing.detail != NotifyInferior) returnFocus();
                break;
            case UnmapNotify:
                if (event.xunmap.window == console.termWin) terminalGone();
                break;
            default:
                noteCompositorChange(event);
                if (isMonitorEvent(event)) monitorsChanged(event);
                break;
        }
    }
}
