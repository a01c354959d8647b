// Changing the console's height: the size hotkeys, full-screen and dragging the handle.
#include <X11/Xlib.h>

#include "interaction/geometry.h"
#include "startup/dropcon.h"
#include "startup/parse.h"

static int maxHeight() { return kMaxExtent - console.handleWidth; }

// The terminal first, then the frame around it; the frame's top stays put.
static void resizeConsole() {
    XResizeWindow(console.display, console.termWin, console.screenWidth, console.height);
    XResizeWindow(console.display, console.frameWin, console.screenWidth,
                  console.height + console.handleWidth);
}

void applySizeKeys(KeySym keysym) {
    SizeState state{console.height, loop.savedHeight, loop.fullScreen};
    SizeKeys keys{console.fullKeysym, console.biggerKeysym, console.smallerKeysym};
    state = applySizeKey(state, keysym, keys, console.heightInc,
                         DisplayHeight(console.display, console.screen), maxHeight());
    console.height = state.height;
    loop.savedHeight = state.savedHeight;
    loop.fullScreen = state.fullScreen;
    resizeConsole();
}

void dragResize() {
    Display* dpy = console.display;
    const unsigned mask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
    // Grabbed on the root, the pointer's y in each motion is its distance
    // from the top of the screen, where the console's top is while shown.
    if (XGrabPointer(dpy, console.root, False, mask, GrabModeAsync, GrabModeAsync, None, console.resizeCursor,
                     CurrentTime) != GrabSuccess)
        return;
    for (;;) {
        XEvent event;
        if (endRequested()) endConsole();
        if (!XCheckMaskEvent(dpy, mask, &event)) {
            waitForInput(-1);
            continue;
        }
        if (event.type == ButtonRelease) break;
        if (event.type != MotionNotify) continue;
        int height = dragHeight(event.xmotion.y, console.heightInc, console.height, maxHeight());
        if (height == console.height) continue;
        console.height = height;
        resizeConsole();
        XSync(dpy, False);
    }
    // The drag is over once the server has let the pointer go: the crossing
    // events of the release are then queued ahead of anything that waited
    // for the drag to end (a toggle by signal).
    XUngrabPointer(dpy, CurrentTime);
    XSync(dpy, False);
}
