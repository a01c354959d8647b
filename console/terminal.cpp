// Starting the terminal inside the frame and taking its window over.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "console/command.h"
#include "startup/dropcon.h"

// How long a terminal may take to show its window before we give up.
constexpr long long kLaunchTimeoutMs = 10000;
// A terminal that dies this soon after its launch, this many times in a
// row, is not relaunched again.
constexpr long long kQuickExitMs = 2000;
constexpr int kQuickExitLimit = 5;

void buildCommand(int argc, char** argv) {
    console.command = composeCommand(console.term, console.frameWin, console.progName, argc, argv);
}

// Ends the program when there is no terminal to be had, with the focus
// handed back and whatever is left of the terminal closed first. For a
// terminal that did not start, how its shell ended is said too, when it
// has; what the terminal printed is on standard error above the line.
[[noreturn]] static void giveUp(const char* why, bool sayHowItEnded = false) {
    // How it ended on its own, not how we closed it.
    std::string ending = sayHowItEnded ? terminalEnding() : "";
    if (!ending.empty()) ending = " (" + ending + ")";
    returnFocus();
    closeTerminal();
    XSync(console.display, False);
    std::fprintf(stderr, "%s: %s: %s%s\n", console.progName, why, console.command.c_str(), ending.c_str());
    std::exit(1);
}

[[noreturn]] static void terminalDidNotStart() { giveUp("terminal did not start", true); }

void noteTerminalExit() {
    if (monotonicMs() - console.launchedAtMs < kQuickExitMs)
        ++loop.quickExits;
    else
        loop.quickExits = 0;
    if (loop.quickExits >= kQuickExitLimit) giveUp("terminal keeps exiting, giving up");
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
// mapped, since the
// size hints are only certain to be set by then and the focus can only be
// given to a viewable window. None when the window was destroyed unmapped:
// the terminal died while it started. A shell that fails before any window
// appears means a terminal that cannot start: no use waiting for it. One
// that ends well may have handed the work over (a client of a terminal
// server, a wrapper script that starts the terminal in the background), so
// its window is still waited for.
static Window awaitTerminalWindow() {
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
                return None;
            else if (event.type == MapNotify && event.xmap.event == console.frameWin &&
                     (window == None || event.xmap.window == window))
                return event.xmap.window;
        }
        if (endRequested()) endConsole();
        if (window == None && terminalFailed()) terminalDidNotStart();
        if (monotonicMs() >= deadline) terminalDidNotStart();
        waitForInput(deadline);
    }
}

void launchTerminal(bool firstLaunch) {
    Display* dpy = console.display;
    for (;;) {
        console.launchedAtMs = monotonicMs();
        // The previous terminal's window is forgotten: from here on, closing
        // the terminal means the new one, which has no window yet.
        console.termWin = None;
        if (!startTerminal(console.command)) terminalDidNotStart();
        console.termWin = awaitTerminalWindow();
        if (console.termWin != None) break;
        if (!console.restart) terminalDidNotStart();
        noteTerminalExit();
    }
    XSetWindowBorderWidth(dpy, console.termWin, 0);
    watchTerminalFocus();

    if (XSizeHints* hints = XAllocSizeHints()) {
        long supplied = 0;
        XGetWMNormalHints(dpy, console.termWin, hints, &supplied);
        console.heightInc = rowHeight(hints->height_inc);
        XFree(hints);
    }
    if (firstLaunch) {
        console.height = initialHeight(console.heightInc, console.consoleHeight, console.handleWidth);
        console.chosenHeight = console.height;
    }

    XResizeWindow(dpy, console.termWin, console.span.width, console.height);
    XResizeWindow(dpy, console.frameWin, console.span.width, console.height + console.handleWidth);
    if (firstLaunch) XMoveWindow(dpy, console.frameWin, console.span.x, hiddenY());
}
