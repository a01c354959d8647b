// The console's frame: an override-redirect strip that holds the terminal and shows the handle; its size and place.
#include <X11/Xlib.h>

#include <cstdio>

#include "console/console.h"
#include "startup/dropcon.h"

void createFrame() {
    Display* dpy = console.display;
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(dpy, console.screen);
    // Override-redirect: no window manager decorates, moves or restacks it.
    attributes.override_redirect = True;
    console.frameWin =
        XCreateWindow(dpy, console.root, console.span.x, -200, console.span.width, 200, 0, CopyFromParent,
                      InputOutput, CopyFromParent, CWBackPixel | CWOverrideRedirect, &attributes);
    // SubstructureNotify shows the terminal's window arriving and leaving;
    // crossings drive the focus; a button press on the handle starts a drag.
    XSelectInput(dpy, console.frameWin,
                 KeyPressMask | ButtonPressMask | ButtonReleaseMask | EnterWindowMask | LeaveWindowMask |
                     SubstructureNotifyMask);

    XColor screenColor{}, exactColor{};
    if (XAllocNamedColor(dpy, DefaultColormap(dpy, console.screen), console.handleColor, &screenColor,
                         &exactColor))
        XSetWindowBackground(dpy, console.frameWin, screenColor.pixel);
    else
        std::fprintf(stderr, "%s: handleColor: no colour named \"%s\"\n", console.progName,
                     console.handleColor);
    XDefineCursor(dpy, console.frameWin, console.resizeCursor);
    XMapWindow(dpy, console.frameWin);
}

void placeFrame(bool shown) {
    resizeTerminal(console.height);
    XMoveResizeWindow(console.display, console.frameWin, console.span.x, shown ? shownY() : hiddenY(),
                      console.span.width, console.height + console.handleWidth);
}
