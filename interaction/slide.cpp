// Showing and hiding the console, with the slide animation between the two positions.
#include <X11/Xlib.h>

#include "console/console.h"
#include "interaction/geometry.h"
#include "interaction/interaction.h"

// A console whose slide would cross another monitor jumps instead.
static bool animated() {
    return !loop.fullScreen && !slideCrossesMonitor() && slideStep(console.height, console.stepSize) > 0;
}

static void slideFrame(bool down) {
    // One synchronous round trip per step paces the slide together with the
    // sleep: a slow server makes it slower, never jumpier.
    const int drop = shownBelowTop(), frameHeight = console.height + console.handleWidth;
    const std::vector<int> path = slidePositions(down ? -(frameHeight + drop) : 0, console.height,
                                                 console.handleWidth, console.stepSize, drop);
    const long long pause = stepPauseMicros(console.aniDelay, path.size());
    // The positions count from the console's top: the slide comes down from
    // just above its monitor, over the panels there.
    for (int y : path) {
        XMoveWindow(console.display, console.frameWin, console.span.x, shownY() + y);
        XSync(console.display, False);
        // Only a request to end cuts the slide short.
        if (!pauseUnlessEnding(pause)) endConsole(0);
    }
}

void showConsole(Time when) {
    Display* dpy = console.display;
    // Grabbed before the slide, so that a size key pressed meanwhile acts
    // once the console is down; no round trip of its own.
    grabSizeKeys();
    resumeFollowing();
    const Span before = console.span;
    const int topBefore = shownY();
    placeForShow();
    fitToPlacement(before, topBefore, false);
    XRaiseWindow(dpy, console.frameWin);
    takeFocusForShow(when);
    if (animated()) {
        // Other clients stand still while the console comes down, except a
        // compositing manager: held up too, it would paint none of the
        // steps, and the console would appear all at once at the end.
        const bool grab = !console.compositing;
        if (grab) grabServer();
        slideFrame(true);
        if (grab) ungrabServer();
    }
    XMoveWindow(dpy, console.frameWin, console.span.x, shownY());
    // A resize by one pixel and back makes the terminal redraw itself in
    // full once it is in view.
    if (console.height > 1) resizeTerminal(console.height - 1);
    resizeTerminal(console.height);
    loop.hidden = false;
    settleShow();
}

void hideConsole(Time when) {
    Display* dpy = console.display;
    // While hidden, the size keys belong to the focused program.
    releaseSizeKeys();
    // The focus goes back only if it is still ours; if the user has moved
    // it elsewhere meanwhile, it stays there.
    returnFocus(when);
    if (animated()) slideFrame(false);
    XMoveWindow(dpy, console.frameWin, console.span.x, hiddenY());
    loop.hidden = true;
    settleHide();
}
