// Starting the terminal inside the frame and taking its window over.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
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

// The frame's substructure events (CreateNotify to CirculateNotify; the
// requests among them go to a redirecting parent, which the frame is not),
// and no other: a mask would take the root's structure events too (a new
// screen size, monitors set or deleted), which belong to the event loop.
static Bool frameSubstructureEvent(Display*, XEvent* event, XPointer) {
    return event->type >= CreateNotify && event->type <= CirculateNotify &&
           event->xany.window == console.frameWin;
}

// Waits for the terminal's window to appear in the frame and be mapped,
// taking only the frame's substructure events. The window is named by the
// first CreateNotify or MapNotify of a child, and waited for until mapped:
// only then are its size hints certain to be set, and only a viewable
// window can be given the focus. A shell that fails before any window
// appears means a terminal that cannot start; one that ends well may have
// handed the work over (a terminal server's client, a wrapper script that
// starts the terminal in the background), so its window is still awaited.
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

// Set when the terminal's window has gone by the time its hints are read,
// and the handler that errors about anything else go to meanwhile.
static bool windowGone = false;
static XErrorHandler otherErrors = nullptr;

int hintedRowHeight() {
    Display* dpy = console.display;
    // Read after every change the terminal makes, and it may have ended
    // since (its unmap still queued): an error about its window then is
    // expected. Those of other requests still in flight are reported.
    windowGone = false;
    otherErrors = XSetErrorHandler([](Display* display, XErrorEvent* error) {
        if (error->resourceid != console.termWin) return otherErrors(display, error);
        windowGone = true;
        return 0;
    });
    int heightInc = 0;
    if (XSizeHints* hints = XAllocSizeHints()) {
        long supplied = 0;
        // Zero-filled: no hints at all give no row height either.
        XGetWMNormalHints(dpy, console.termWin, hints, &supplied);
        heightInc = std::max(hints->height_inc, 0);
        XFree(hints);
    }
    XSetErrorHandler(otherErrors);
    return windowGone ? -1 : heightInc;
}

// The console's last resize of the terminal.
static AskedSize asked;

void resizeTerminal(int height) {
    asked = {NextRequest(console.display), console.span.width, height};
    XResizeWindow(console.display, console.termWin, console.span.width, height);
}

AskedSize lastTerminalResize() { return asked; }

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
    // The terminal window's events, all selected here (another XSelectInput
    // of ours on it would replace these; the terminal's own selection is its
    // own): its focus changes, and its property changes, for the size hints.
    // Selected before the hints are read, so that no change is missed.
    XSelectInput(dpy, console.termWin, FocusChangeMask | PropertyChangeMask);

    // A window already gone leaves the row height as it was: its unmap,
    // queued, tells the event loop.
    if (const int hinted = hintedRowHeight(); hinted >= 0)
        console.heightInc = rowHeight(hinted, console.handleWidth);
    if (firstLaunch) {
        console.height = heightFromSettings();
        console.chosenHeight = console.height;
    }

    placeFrame(!loop.hidden);
    return Launch::adopted;
}
