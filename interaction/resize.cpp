// Changing the console's height: the size hotkeys, full-screen, dragging the handle and fitting it to a monitor.
#include <X11/Xlib.h>

#include "console/console.h"
#include "interaction/geometry.h"
#include "interaction/interaction.h"

static int maxHeight() { return kMaxExtent - console.handleWidth; }

// The terminal first, then the frame around it; the frame's top stays put.
static void resizeConsole() {
    XResizeWindow(console.display, console.termWin, console.span.width, console.height);
    XResizeWindow(console.display, console.frameWin, console.span.width,
                  console.height + console.handleWidth);
}

// Whether the size keys or the handle have set the height: a share of the
// monitor in consoleHeight is worked out on each monitor until then.
static bool heightSet = false;

void applySizeKeys(const SizePress& press) {
    SizeState state{console.height, loop.savedHeight, loop.fullScreen};
    // Full screen is the height of the console's monitor.
    state = applySizeKey(state, press, console.heightInc, console.area.height, maxHeight());
    // Outside full screen the size keys set the height the user chose.
    if (!loop.fullScreen && !state.fullScreen) {
        console.chosenHeight = state.height;
        heightSet = true;
    }
    console.height = state.height;
    loop.savedHeight = state.savedHeight;
    loop.fullScreen = state.fullScreen;
    resizeConsole();
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
        if (!loop.fullScreen) {
            console.chosenHeight = height;
            heightSet = true;
        }
        resizeConsole();
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
    // Fits the heights to the monitor just placed on and moves and resizes
    // the frame and the terminal where that changed anything: at its top
    // when shown, parked above the screen otherwise. On one monitor that
    // never changes, this sends nothing.
    const int heightBefore = console.height;
    if (console.consoleHeight.percent && !heightSet) console.chosenHeight = heightFromSettings();
    SizeState state{console.height, loop.savedHeight, loop.fullScreen};
    state = fitToMonitor(state, console.chosenHeight, fittedTo, console.area.height, console.handleWidth,
                         console.heightInc);
    console.height = state.height;
    loop.savedHeight = state.savedHeight;
    fittedTo = console.area.height;
    if (console.span == before && console.height == heightBefore && (!shown || shownY() == topBefore)) return;
    XResizeWindow(console.display, console.termWin, console.span.width, console.height);
    XMoveResizeWindow(console.display, console.frameWin, console.span.x, shown ? shownY() : hiddenY(),
                      console.span.width, console.height + console.handleWidth);
}
