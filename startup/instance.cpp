// One console per display, screen and program name: a selection owned for as long as the console runs.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

#include "startup/dropcon.h"

// The window that owns the claim. The server drops the ownership when it
// is destroyed, also when our connection goes with the process, so a
// console killed outright does not keep the next one out.
static Window claimWin = None;

std::string instanceSelection(const char* progName, int screen) {
    return "_DROPCON_S" + std::to_string(screen) + "_" + progName;
}

void claimInstance() {
    Display* dpy = console.display;
    const Atom selection =
        XInternAtom(dpy, instanceSelection(console.progName, console.screen).c_str(), False);
    // A small unmapped window that is not override-redirect: it is never
    // shown, and a window manager has nothing to say about it.
    XSetWindowAttributes attributes{};
    const Window window =
        XCreateWindow(dpy, console.root, -1, -1, 1, 1, 0, 0, InputOnly, CopyFromParent, 0, &attributes);
    // Look, take and read back with the server to ourselves: of two
    // consoles started at the same moment, only one can see no owner.
    grabServer();
    Window owner = XGetSelectionOwner(dpy, selection);
    if (owner == None) {
        XSetSelectionOwner(dpy, selection, window, CurrentTime);
        owner = XGetSelectionOwner(dpy, selection);
    }
    ungrabServer();
    if (owner != window) {
        std::fprintf(stderr, "%s: already running on %s\n", console.progName, DisplayString(dpy));
        std::exit(1);
    }
    claimWin = window;
}

bool claimLost(const XEvent& event) {
    return event.type == SelectionClear && claimWin != None && event.xselectionclear.window == claimWin;
}

void releaseInstance() {
    if (claimWin == None || !console.display) return;
    XDestroyWindow(console.display, claimWin);
    XFlush(console.display);
    claimWin = None;
}
