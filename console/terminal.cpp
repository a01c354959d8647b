// Starting the terminal inside the frame and taking its window over.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "console/command.h"
#include "startup/dropcon.h"

// How long a terminal may take to show its window before we give up.
constexpr long long kLaunchTimeoutMs = 10000;
// A terminal that dies this soon after its launch, this many times in a
// row, is not relaunched again.
constexpr long long kQuickExitMs = 2000;
constexpr int kQuickExitLimit = 5;

void buildCommand(int argc, char** argv) {
    console.command = composeCommand(console.term, console.frameWin, console.progName, argc, argv);
}

// Ends the program when there is no terminal to be had, with the focus
// handed back first.
[[noreturn]] static void giveUp(const char* why) {
    returnFocus();
    XSync(console.display, False);
    std::fprintf(stderr, "%s: %s: %s\n", console.progName, why, console.command.c_str());
    std::exit(1);
}

[[noreturn]] static void terminalDidNotStart() { giveUp("terminal did not start"); }

void noteTerminalExit() {
    if (monotonicMs() - console.launchedAtMs < kQuickExitMs)
        ++loop.quickExits;
    else
        loop.quickExits = 0;
    if (loop.quickExits >= kQuickExitLimit) giveUp("terminal keeps exiting, giving up");
}

// Hands the command to the shell without waiting for it. The command ends
// in '&', so the shell normally returns at once; but arguments are handed on
// unquoted, and one with a ';' in it leaves the terminal in the shell's
// foreground, which would freeze the console, hotkeys and all, for as long
// as the terminal runs. So the shell runs in a grandchild that nobody waits
// for; only the short-lived child in between is reaped.
static bool runShell(const char* command) {
    pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        if (fork() == 0) {
#ifdef __linux__
            prctl(PR_SET_TIMERSLACK, 0UL, 0UL, 0UL, 0UL);  // the default again
#endif
            execl("/bin/sh", "sh", "-c", command, static_cast<char*>(nullptr));
            _exit(127);
        }
        _exit(0);
    }
    return waitpid(child, nullptr, 0) == child;
}

// Waits for the terminal's window to appear in the frame and to be mapped.
// Only substructure events are taken; everything else stays queued for the
// event loop. The window is named by the first CreateNotify or MapNotify of
// a child; when it was its creation, we go on until it is mapped, since the
// size hints are only certain to be set by then and the focus can only be
// given to a viewable window. None when the window was destroyed unmapped:
// the terminal died while it started.
static Window awaitTerminalWindow() {
    Display* dpy = console.display;
    const long long deadline = monotonicMs() + kLaunchTimeoutMs;
    Window window = None;
    for (;;) {
        XEvent event;
        while (XCheckMaskEvent(dpy, SubstructureNotifyMask, &event)) {
            if (event.type == CreateNotify && window == None &&
                event.xcreatewindow.parent == console.frameWin)
                window = event.xcreatewindow.window;
            else if (event.type == DestroyNotify && window != None && event.xdestroywindow.window == window)
                return None;
            else if (event.type == MapNotify && event.xmap.event == console.frameWin &&
                     (window == None || event.xmap.window == window))
                return event.xmap.window;
        }
        long long left = deadline - monotonicMs();
        if (left <= 0) terminalDidNotStart();
        pollfd connection{ConnectionNumber(dpy), POLLIN, 0};
        poll(&connection, 1, static_cast<int>(left));
    }
}

void launchTerminal(bool firstLaunch) {
    Display* dpy = console.display;
    for (;;) {
        console.launchedAtMs = monotonicMs();
        if (!runShell(console.command.c_str())) terminalDidNotStart();
        console.termWin = awaitTerminalWindow();
        if (console.termWin != None) break;
        if (!console.restart) terminalDidNotStart();
        noteTerminalExit();
    }
    XSetWindowBorderWidth(dpy, console.termWin, 0);
    watchTerminalFocus();

    if (XSizeHints* hints = XAllocSizeHints()) {
        long supplied = 0;
        XGetWMNormalHints(dpy, console.termWin, hints, &supplied);
        console.heightInc = rowHeight(hints->height_inc);
        XFree(hints);
    }
    if (firstLaunch)
        console.height = initialHeight(console.heightInc, console.consoleHeight, console.handleWidth);

    XResizeWindow(dpy, console.termWin, console.screenWidth, console.height);
    XResizeWindow(dpy, console.frameWin, console.screenWidth, console.height + console.handleWidth);
    if (firstLaunch)
        XMoveWindow(dpy, console.frameWin, console.xOffset, -(console.height + console.handleWidth));
}
