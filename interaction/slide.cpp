// Showing and hiding the console, with the slide animation between the two positions.
#include <X11/Xlib.h>

#include "console/console.h"
#include "interaction/geometry.h"
#include "interaction/interaction.h"

// A console whose slide would cross another monitor jumps instead.
static bool animated() {
    return !loop.fullScreen && !slideCrossesMonitor() && slideStep(console.height, console.stepSize) > 0;
}

static void moveFrame(int y) { XMoveWindow(console.display, console.frameWin, console.span.x, y); }

// The frame's positions on the way, counted from the console's top: the
// slide comes down from just above its monitor, over the panels there. None
// when the console jumps.
static std::vector<int> slidePath(bool down) {
    if (!animated()) return {};
    const int drop = shownBelowTop(), frameHeight = console.height + console.handleWidth;
    return slidePositions(down ? -(frameHeight + drop) : 0, console.height, console.handleWidth,
                          console.stepSize, drop);
}

static void pauseStep(const std::vector<int>& path) {
    // Only a request to end cuts the slide short.
    if (!pauseUnlessEnding(stepPauseMicros(console.aniDelay, path.size()))) endConsole(0);
}

// From the position at from on. One synchronous round trip per step paces
// the slide together with the sleep: a slow server makes it slower, never
// jumpier.
static void slideFrame(const std::vector<int>& path, size_t from) {
    for (size_t i = from; i < path.size(); ++i) {
        moveFrame(shownY() + path[i]);
        XSync(console.display, False);
        pauseStep(path);
    }
}

void showConsole(Time when) {
    Display* dpy = console.display;
    resumeFollowing();
    const Span before = console.span;
    const int topBefore = shownY();
    placeForShow();
    fitToPlacement(before, topBefore, false);
    if (!raiseForShow(when)) return;
    loop.hidden = false;
    const std::vector<int> path = slidePath(true);
    // Other clients stand still while the console comes down, except a
    // compositing manager: held up too, it would paint none of the steps,
    // and the console would appear all at once at the end.
    const bool grab = !path.empty() && !console.compositing;
    if (grab) grabServer();
    // Nothing but choosing the monitor comes before the first move: the
    // focus query after it takes it to the server, and the size keys are
    // grabbed then, without a round trip of their own, so that one pressed
    // during the slide acts once the console is down.
    moveFrame(shownY() + (path.empty() ? 0 : path[0]));
    takeFocusForShow(when);
    grabSizeKeys();
    XFlush(dpy);
    if (!path.empty()) {
        pauseStep(path);
        slideFrame(path, 1);
    }
    if (grab) ungrabServer();
    moveFrame(shownY());
    // A resize by one pixel and back makes the terminal redraw itself in
    // full once it is in view.
    if (console.height > 1) resizeTerminal(console.height - 1);
    resizeTerminal(console.height);
    settleShow();
}

void hideConsole(Time when) {
    // While hidden, the size keys belong to the focused program.
    releaseSizeKeys();
    // The focus goes back only if it is still ours; if the user has moved
    // it elsewhere meanwhile, it stays there.
    returnFocus(when);
    slideFrame(slidePath(false), 0);
    moveFrame(hiddenY());
    settleHide();
    loop.hidden = true;
}
