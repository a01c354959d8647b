// The console's height: size keys, full screen, the drag, fitting to a monitor, following the terminal.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "console/command.h"
#include "console/console.h"
#include "interaction/followrules.h"
#include "interaction/geometry.h"
#include "interaction/interaction.h"

static int maxHeight() { return kMaxExtent - console.handleWidth; }

// Whether the size keys or the handle have set the height: a share of the
// monitor in consoleHeight is worked out on each monitor until then.
static bool heightSet = false;

static SizeState sizes() { return {console.height, loop.savedHeight, loop.fullScreen}; }

static void setSizes(const SizeState& state) {
    console.height = state.height;
    loop.savedHeight = state.savedHeight;
    loop.fullScreen = state.fullScreen;
}

// Outside full screen the size keys and the handle set the height the user chose.
static void chooseHeight() {
    if (loop.fullScreen) return;
    console.chosenHeight = console.height;
    heightSet = true;
}

void applySizeKeys(const SizePress& press) {
    const bool wasFull = loop.fullScreen;
    // Full screen is the height of the console's monitor.
    setSizes(applySizeKey(sizes(), press, console.heightInc, console.area.height, maxHeight()));
    if (!wasFull) chooseHeight();
    placeFrame(true);
}

void dragResize() {
    Display* dpy = console.display;
    const unsigned mask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
    // Grabbed on the root, the pointer's y in each motion is its distance
    // from the top of the screen; the console's top is its monitor's.
    if (XGrabPointer(dpy, console.root, False, mask, GrabModeAsync, GrabModeAsync, None, console.resizeCursor,
                     CurrentTime) != GrabSuccess)
        return;
    for (;;) {
        XEvent event;
        if (endRequested()) endConsole(0);
        if (!XCheckMaskEvent(dpy, mask, &event)) {
            waitForInput(-1);
            continue;
        }
        if (event.type == ButtonRelease) break;
        if (event.type != MotionNotify) continue;
        int height = dragHeight(event.xmotion.y - shownY(), console.heightInc, console.height, maxHeight());
        if (height == console.height) continue;
        console.height = height;
        chooseHeight();
        placeFrame(true);
        XSync(dpy, False);
    }
    // The drag is over once the server has let the pointer go: the crossing
    // events of the release are then queued ahead of anything that waited
    // for the drag to end (a toggle by signal).
    XUngrabPointer(dpy, CurrentTime);
    XSync(dpy, False);
}

// The monitor height the current height was last fitted to.
static int fittedTo = 0;

void fitToPlacement(Span before, int topBefore, bool shown) {
    // On one monitor that never changes, this sends nothing.
    const int heightBefore = console.height;
    if (console.consoleHeight.percent && !heightSet) console.chosenHeight = heightFromSettings();
    setSizes(fitToMonitor(sizes(), console.chosenHeight, fittedTo, console.area.height, console.handleWidth,
                          console.heightInc));
    fittedTo = console.area.height;
    if (console.span == before && console.height == heightBefore && (!shown || shownY() == topBefore)) return;
    placeFrame(shown);
}

// A terminal that keeps undoing the size it is given is not fitted again
// until the next show or change of row height.
static FitGuard guard;

void resumeFollowing() { guard = FitGuard{}; }

// The heights after a change of the terminal's, fitted to the console's
// monitor; the terminal back at the console's width, the frame around it.
static void refit(int oldInc, int terminalHeight) {
    setSizes(followedHeights(sizes(), oldInc, console.heightInc, terminalHeight, console.area.height,
                             console.handleWidth, maxHeight(), &console.chosenHeight));
    fittedTo = console.area.height;
    heightSet = true;
    placeFrame(!loop.hidden);
}

// The terminal's ConfigureNotify (the frame reports it) and every rewrite
// of its size hints.
bool isTerminalChange(const XEvent& event) {
    if (event.type == ConfigureNotify) return event.xconfigure.window == console.termWin;
    return event.type == PropertyNotify && event.xproperty.window == console.termWin &&
           event.xproperty.atom == XA_WM_NORMAL_HINTS;
}

static Bool terminalChange(Display*, XEvent* event, XPointer) { return isTerminalChange(*event); }

// The height of a size the terminal gave itself, still to be taken up
// (0: none). It waits while the terminal's hints give no row height.
static int ownHeight = 0;

void followTerminal(const XEvent& first) {
    // The changes queued behind this one are taken with it: the last
    // ConfigureNotify tells the terminal's size now.
    // Only the echoes of the console's own resizes (the show's detour, a
    // drag): nothing of the terminal's to read.
    bool terminalMade = false;
    auto take = [&terminalMade](const XEvent& event) {
        if (event.type != ConfigureNotify) {
            terminalMade = true;
            return;
        }
        const XConfigureEvent& c = event.xconfigure;
        const bool echo = isOwnEcho(c.serial, c.width, c.height, lastTerminalResize());
        ownHeight = echo ? 0 : c.height;
        terminalMade = terminalMade || !echo;
    };
    take(first);
    XEvent more;
    while (XCheckIfEvent(console.display, &more, terminalChange, nullptr)) take(more);
    if (!terminalMade) return;
    // Read again at every change: xterm resizes itself (for a new font, for
    // resize -s) before it writes its hints, and on the way they give a row
    // height of 0: the real one is still to come, with another rewrite.
    const int hinted = hintedRowHeight(), oldInc = console.heightInc;
    if (hinted < 0 || (hinted == 0 && oldInc > 1)) return;
    // Kept within what the frame can be parked with, as at the launch.
    if (hinted > 0 && rowHeight(hinted, console.handleWidth) != oldInc) {
        resumeFollowing();
        console.heightInc = rowHeight(hinted, console.handleWidth);
    } else if (ownHeight == 0 || !fitAgain(guard, monotonicMs())) {
        ownHeight = 0;
        return;
    }
    refit(oldInc, ownHeight);
    ownHeight = 0;
}

void followRelaunch(int heightIncBefore) {
    ownHeight = 0;
    if (console.heightInc == heightIncBefore) return;
    resumeFollowing();
    refit(heightIncBefore, console.height);
}
