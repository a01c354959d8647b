// Starting the terminal inside the frame and taking its window over.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "console/command.h"
#include "console/console.h"
#include "console/placement.h"
#include "interaction/interaction.h"

// How long a terminal may take to show its window before we give up.
constexpr long long kLaunchTimeoutMs = 10000;

// Monotonic time of the last launch.
static long long launchedAtMs = 0;

void buildCommand(int argc, char** argv) {
    console.command = composeCommand(console.term, console.frameWin, console.progName, argc, argv);
}

long long terminalAgeMs() { return monotonicMs() - launchedAtMs; }

int heightFromSettings() {
    const int rows =
        consoleRows(console.consoleHeight, console.area.height, console.handleWidth, console.heightInc);
    return initialHeight(console.heightInc, rows, console.handleWidth);
}

// The frame's substructure events, and no other: a mask would take the
// root's structure events too (a new screen size, monitors set or deleted),
// which belong to the event loop.
static Bool frameSubstructureEvent(Display*, XEvent* event, XPointer) {
    switch (event->type) {
        case CreateNotify:
        case DestroyNotify:
        case UnmapNotify:
        case MapNotify:
        case ReparentNotify:
        case ConfigureNotify:
        case GravityNotify:
        case CirculateNotify:
            return event->xany.window == console.frameWin;
        default:
            return False;
    }
}

// Waits for the terminal's window to appear in the frame and to be mapped.
// Only the frame's substructure events are taken; everything else stays
// queued for the event loop. The window is named by the first CreateNotify
// or MapNotify of a child; when it was its creation, we go on until it is
// mapped, since the size hints are only certain to be set by then and the focus can only be
// given to a viewable window. The window stays None when it was destroyed
// unmapped (the terminal died while it started) and when the console was
// asked to end meanwhile. A shell that fails before any window
// appears means a terminal that cannot start: no use waiting for it. One
// that ends well may have handed the work over (a client of a terminal
// server, a wrapper script that starts the terminal in the background), so
// its window is still waited for.
static Launch awaitTerminalWindow() {
    Display* dpy = console.display;
    const long long deadline = monotonicMs() + kLaunchTimeoutMs;
    Window window = None;
    for (;;) {
        XEvent event;
        while (XCheckIfEvent(dpy, &event, frameSubstructureEvent, nullptr)) {
            if (event.type == CreateNotify && window == None &&
                event.xcreatewindow.parent == console.frameWin)
                window = event.xcreatewindow.window;
            else if (event.type == DestroyNotify && window != None && event.xdestroywindow.window == window)
                return Launch::gone;
            else if (event.type == MapNotify && event.xmap.event == console.frameWin &&
                     (window == None || event.xmap.window == window)) {
                console.termWin = event.xmap.window;
                return Launch::adopted;
            }
        }
        if (endRequested()) return Launch::endRequested;
        if (window == None && terminalFailed()) return Launch::failed;
        if (monotonicMs() >= deadline) return Launch::failed;
        waitForInput(deadline);
    }
}

Launch launchTerminal(bool firstLaunch) {
    Display* dpy = console.display;
    launchedAtMs = monotonicMs();
    // The previous terminal's window is forgotten: from here on, closing
    // the terminal means the new one, which has no window yet.
    console.termWin = None;
    if (!startTerminal(console.command)) return Launch::failed;
    const Launch launch = awaitTerminalWindow();
    if (launch != Launch::adopted) return launch;
    XSetWindowBorderWidth(dpy, console.termWin, 0);

    if (XSizeHints* hints = XAllocSizeHints()) {
        long supplied = 0;
        XGetWMNormalHints(dpy, console.termWin, hints, &supplied);
        console.heightInc = rowHeight(hints->height_inc);
        XFree(hints);
    }
    if (firstLaunch) {
        console.height = heightFromSettings();
        console.chosenHeight = console.height;
    }

    XResizeWindow(dpy, console.termWin, console.span.width, console.height);
    XResizeWindow(dpy, console.frameWin, console.span.width, console.height + console.handleWidth);
    if (firstLaunch) XMoveWindow(dpy, console.frameWin, console.span.x, hiddenY());
    return Launch::adopted;
}
