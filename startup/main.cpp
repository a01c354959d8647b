// Entry point: the fixed start-up sequence that ends in the event loop.
#include <X11/Xlib.h>
#include <X11/cursorfont.h>

#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "console/console.h"
#include "interaction/interaction.h"
#include "startup/dropcon.h"

int main(int argc, char** argv) {
    console.progName = programName(argc > 0 ? argv[0] : nullptr);
    if (asksForUsage(argc, argv)) {
        std::printf(DROPCON_USAGE, console.progName, console.progName);
        std::exit(0);
    }

    installSignals();

    // A write to a server that has gone away must end in Xlib's I/O error
    // handler, with its message, not in a silent SIGPIPE. A handler rather
    // than SIG_IGN, because an ignored signal would be inherited by the
    // terminal and the shell in it, while a handler is reset by exec.
    struct sigaction brokenPipe {};
    brokenPipe.sa_handler = [](int) {};
    sigaction(SIGPIPE, &brokenPipe, nullptr);

#ifdef __linux__
    // The slide sleeps a few milliseconds after every step; without the
    // kernel's default 50 us of timer slack it wakes when it asked to. The
    // terminal gets the slack we had back (see the launch): asking for the
    // "default" there would give it ours, since a child's default is the
    // slack its parent had when it forked.
    const int slack = prctl(PR_GET_TIMERSLACK, 0UL, 0UL, 0UL, 0UL);
    if (slack > 0) {
        console.timerSlackNs = slack;
        prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    }
#endif

    console.display = XOpenDisplay(nullptr);
    if (!console.display) {
        std::fprintf(stderr, " can not open dpy %s", XDisplayName(nullptr));
        std::exit(1);
    }
    console.screen = DefaultScreen(console.display);
    console.root = RootWindow(console.display, console.screen);
    XSetErrorHandler(onXError);
    // Before anything another console would notice: a grab, a window, a terminal.
    claimInstance();
    console.resizeCursor = XCreateFontCursor(console.display, XC_double_arrow);

    readSettings();
    // The root window's events, selected here only (another XSelectInput on
    // the root would replace these): its ConfigureNotify tells of a new
    // screen size and of monitors set or deleted; property changes announce
    // workspace switches and "show desktop". With belowPanels, its children
    // come and go, which may be panels where no window manager lists its
    // clients.
    XSelectInput(
        console.display, console.root,
        StructureNotifyMask | PropertyChangeMask | (console.belowPanels ? SubstructureNotifyMask : 0));
    watchDesktop();
    watchPanels();
    watchMonitors();
    createFrame();
    watchCompositor();
    buildCommand(argc, argv);
    startTerminalOrEnd(true);
    runEventLoop();
}
