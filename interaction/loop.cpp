// The event loop: dispatches hotkeys, the handle, crossings and focus changes, and the terminal going away.
#include <X11/Xlib.h>

#include <cstdlib>

#include "startup/dropcon.h"

static KeySym keysymOf(unsigned keycode) {
    // The keysym at index 0 alone identifies a hotkey; the passive grabs
    // are what bring its modifiers in.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return XKeycodeToKeysym(console.display, static_cast<KeyCode>(keycode), 0);
#pragma GCC diagnostic pop
}

static void onKeyPress(KeySym keysym, Time when) {
    if (keysym != NoSymbol && keysym == console.toggleKeysym) {
        toggleConsole(when);
    } else if (!loop.hidden) {
        applySizeKeys(keysym);
        settleResize();
    }
}

static void terminalGone() {
    if (!console.restart) {
        returnFocus();
        XSync(console.display, False);
        std::exit(0);
    }
    noteTerminalExit();
    const bool hadFocus = terminalHoldsFocus();
    launchTerminal(false);
    XSync(console.display, False);
    focusRelaunchedTerminal(hadFocus);
}

void runEventLoop() {
    XEvent event;
    for (;;) {
        XNextEvent(console.display, &event);
        switch (event.type) {
            case KeyPress:
                onKeyPress(keysymOf(event.xkey.keycode), event.xkey.time);
                break;
            case ButtonPress:
                dragResize();
                break;
            case EnterNotify:
            case LeaveNotify:
                onCrossing(event.xcrossing);
                break;
            case FocusIn:
            case FocusOut:
                onFocusChange(event.xfocus);
                break;
            case PropertyNotify:
                onRootProperty(event.xproperty);
                break;
            case UnmapNotify:
                if (event.xunmap.window == console.termWin) terminalGone();
                break;
            default:
                break;
        }
    }
}
