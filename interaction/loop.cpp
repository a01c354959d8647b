// The event loop: hotkeys, the handle, focus following the pointer, and the terminal going away.
#include <X11/Xlib.h>

#include <algorithm>
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

void toggleConsole(Time when) {
    (void)when;
    if (loop.hidden)
        showConsole();
    else
        hideConsole();
}

// A hotkey is known by the key and the modifiers it was grabbed with, not
// by the keysym the key types now. An event sent by another client comes
// from no grab.
static void onKeyPress(const XKeyEvent& key) {
    auto pressed = [&key](const HotkeyGrab& hotkey) {
        return !key.send_event && hotkeyMatches(hotkey, key.keycode, key.state, console.numLockMask);
    };
    if (pressed(console.toggleKey)) {
        toggleConsole(CurrentTime);
    } else if (!loop.hidden) {
        const bool full = pressed(console.keyFull), bigger = pressed(console.keyBigger),
                   smaller = pressed(console.keySmaller);
        if (full || bigger || smaller) applySizeKeys(full, bigger, smaller);
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
    launchTerminal(false);
    XSync(console.display, False);
    // A hidden console does not take the focus: keys typed into a terminal
    // that is out of sight would be lost to the user.
    if (!loop.hidden) focusWindow(console.termWin);
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
