// The event loop: dispatches hotkeys, the handle, crossings and focus changes, and the terminal going away.
#include <X11/Xlib.h>

#include <algorithm>
#include <cstdlib>

#include "startup/dropcon.h"

// A hotkey is known by the key and the modifiers it was grabbed with, not
// by the keysym the key types now. An event sent by another client comes
// from no grab.
static void onKeyPress(const XKeyEvent& key) {
    auto pressed = [&key](const HotkeyGrab& hotkey) {
        return !key.send_event && hotkeyMatches(hotkey, key.keycode, key.state, console.numLockMask);
    };
    if (pressed(console.toggleKey)) {
        toggleConsole(key.time);
    } else if (!loop.hidden) {
        const bool full = pressed(console.keyFull), bigger = pressed(console.keyBigger),
                   smaller = pressed(console.keySmaller);
        if (full || bigger || smaller) {
            applySizeKeys(full, bigger, smaller);
            settleResize();
        }
    }
}

static void terminalGone() {
    if (!console.restart) {
        returnFocus();
        // Usually on its way out already; this also collects it.
        closeTerminal();
        XSync(console.display, False);
        std::exit(0);
    }
    noteTerminalExit();
    const bool hadFocus = terminalHoldsFocus();
    // A terminal that only unmapped its window is still running: it is
    // ended before its successor comes, not left behind without a window.
    closeTerminal();
    launchTerminal(false);
    XSync(console.display, False);
    focusRelaunchedTerminal(hadFocus);
}

// X events still to be dispatched before a toggle asked for by a signal;
// -1 when none is asked for.
static int eventsBeforeToggle = -1;

// Takes the next X event into event, or acts on a signal and returns false.
// A toggle by signal comes after the X events queued when it is taken up
// (those that came during a slide or a drag among them), in their order.
static bool nextEvent(XEvent* event) {
    Display* dpy = console.display;
    if (endRequested()) endConsole();
    if (eventsBeforeToggle < 0 && takeToggleRequest())
        eventsBeforeToggle = XEventsQueued(dpy, QueuedAfterReading);
    // A drag or a relaunch may have taken some of those out of the queue.
    if (eventsBeforeToggle > 0)
        eventsBeforeToggle = std::min(eventsBeforeToggle, XEventsQueued(dpy, QueuedAlready));
    if (eventsBeforeToggle == 0) {
        eventsBeforeToggle = -1;
        toggleConsole(CurrentTime);
        return false;
    }
    if (XPending(dpy)) {
        XNextEvent(dpy, event);
        if (eventsBeforeToggle > 0) --eventsBeforeToggle;
        return true;
    }
    waitForInput(-1);
    return false;
}

void runEventLoop() {
    XEvent event;
    for (;;) {
        if (!nextEvent(&event)) continue;
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
                noteCompositorChange(event);
                if (isMonitorEvent(event)) monitorsChanged(event);
                break;
        }
    }
}
