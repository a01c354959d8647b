// Showing and hiding the console, with the slide animation between the two positions.
#include <X11/Xlib.h>
#include <unistd.h>

#include "interaction/geometry.h"
#include "startup/dropcon.h"

static int hiddenY() { return -(console.height + console.handleWidth); }

static bool animated() { return !loop.fullScreen && slideStep(console.height, console.stepSize) > 0; }

void slideFrame(int start) {
    // One synchronous round trip per step paces the slide together with the
    // sleep: a slow server makes it slower, never jumpier.
    const std::vector<int> path =
        slidePositions(start, console.height, console.handleWidth, console.stepSize);
    // Under two seconds in all, so usleep's bound of a second is never reached.
    const auto pause = static_cast<useconds_t>(stepPauseMicros(console.aniDelay, path.size()));
    for (int y : path) {
        XMoveWindow(console.display, console.frameWin, console.xOffset, y);
        XSync(console.display, False);
        usleep(pause);
    }
}

void showConsole(Time when) {
    Display* dpy = console.display;
    XRaiseWindow(dpy, console.frameWin);
    takeFocusForShow(when);
    if (animated()) {
        // Other clients stand still while the console comes down.
        XGrabServer(dpy);
        slideFrame(hiddenY());
        XUngrabServer(dpy);
    }
    XMoveWindow(dpy, console.frameWin, console.xOffset, 0);
    // A resize by one pixel and back makes the terminal redraw itself in
    // full once it is in view.
    if (console.height > 1) XResizeWindow(dpy, console.termWin, console.screenWidth, console.height - 1);
    XResizeWindow(dpy, console.termWin, console.screenWidth, console.height);
    loop.hidden = false;
    settleShow();
}

void hideConsole(Time when) {
    Display* dpy = console.display;
    // The focus goes back only if it is still ours; if the user has moved
    // it elsewhere meanwhile, it stays there.
    returnFocus(when);
    if (animated()) slideFrame(0);
    XMoveWindow(dpy, console.frameWin, console.xOffset, hiddenY());
    loop.hidden = true;
    settleHide();
}
