// The terminal's process: started in a process group of its own, reaped when it ends, closed politely.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <signal.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "console/command.h"
#include "console/console.h"
#include "interaction/interaction.h"

namespace {

// The shell started for the current terminal, and how it ended.
pid_t shellPid = -1;
bool shellEnded = false;
int shellStatus = 0;

// How long a terminal may take to close when asked, and how often the
// process group is looked at meanwhile.
constexpr long long kCloseTimeoutMs = 1000;
constexpr long long kGroupPollMs = 20;

// The terminal's process group, made for its shell and named by the shell's
// pid: whether any of it is left, and a signal to all of it. Never our own
// group or our session's, whatever became of that pid.
bool groupLeft() {
    return shellPid > 0 && shellPid != getpgrp() && shellPid != getsid(0) && kill(-shellPid, 0) == 0;
}

void signalGroup(int number) {
    if (groupLeft()) kill(-shellPid, number);
}

// Whether the window belongs to a process we started: its _NET_WM_PID in
// the terminal's process group. The window of a terminal daemon's client
// (urxvtc) is the daemon's, which serves other terminals too.
bool startedHere(Display* dpy, Window window) {
    const auto values = propertyLongs(window, XInternAtom(dpy, "_NET_WM_PID", False), XA_CARDINAL);
    const pid_t pid = values && values->size() == 1 ? static_cast<pid_t>(values->front()) : 0;
    return pid > 0 && shellPid > 0 && (pid == shellPid || getpgid(pid) == shellPid);
}

// Asks the terminal's client to close its window, the way a window manager
// does: WM_DELETE_WINDOW when it takes part in that protocol (xterm closes
// and hangs its shell up), otherwise, when the client is ours, XKillClient,
// which ends its connection and with it a terminal that has no other way
// to be asked.
void askToClose(Display* dpy, Window window, bool ours) {
    Atom protocols = XInternAtom(dpy, "WM_PROTOCOLS", False);
    Atom deleteWindow = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
    Atom* atoms = nullptr;
    int count = 0;
    const bool polite = XGetWMProtocols(dpy, window, &atoms, &count) &&
                        std::find(atoms, atoms + count, deleteWindow) != atoms + count;
    if (atoms) XFree(atoms);
    if (!polite) {
        if (ours) XKillClient(dpy, window);
        return;
    }
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = window;
    message.xclient.message_type = protocols;
    message.xclient.format = 32;
    message.xclient.data.l[0] = static_cast<long>(deleteWindow);
    message.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, window, False, NoEventMask, &message);
}

bool windowGone(Display* dpy, Window window) {
    if (window == None) return true;
    // Asked while the quiet error handler is in place.
    XWindowAttributes attributes;
    return !XGetWindowAttributes(dpy, window, &attributes);
}

// Closed: our shell has ended, the window is gone and nothing is left of
// the process group (a wrapper script's terminal started in the background
// outlives the script).
bool closed(Display* dpy, Window window) {
    return (shellPid <= 0 || shellEnded) && windowGone(dpy, window) && !groupLeft();
}

}  // namespace

bool startTerminal(const std::string& command) {
    // Composed before the fork: the child only execs.
    const std::string foreground = foregroundCommand(command);
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        // A group of its own: a Ctrl-C meant for the shell we were started
        // from does not reach the terminal, and the terminal can be ended
        // as a whole.
        setpgid(0, 0);
        // Nothing blocked for the terminal and its shell, whatever mask we
        // were started with: a blocked SIGINT would leave Control+C dead.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
#ifdef __linux__
        // The slack we were started with, which the terminal would have had.
        if (console.timerSlackNs > 0)
            prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(console.timerSlackNs), 0UL, 0UL, 0UL);
        // A console killed outright takes its terminal along: the terminal's
        // window goes with the frame, and it would run on out of reach, its
        // shell with it, until the X server ends; one still starting would
        // come up as a window of its own.
        prctl(PR_SET_PDEATHSIG, SIGTERM, 0UL, 0UL, 0UL);
        if (getppid() != parent) _exit(127);
#endif
        execl("/bin/sh", "sh", "-c", foreground.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // Both sides set the group, whichever runs first.
    setpgid(child, child);
    shellPid = child;
    shellEnded = false;
    shellStatus = 0;
    return true;
}

void reapChildren() {
    int status = 0;
    for (pid_t pid; (pid = waitpid(-1, &status, WNOHANG)) > 0;) {
        if (pid != shellPid) continue;  // a previous terminal's shell
        shellEnded = true;
        shellStatus = status;
    }
}

bool terminalFailed() { return shellEnded && shellStatus != 0; }

std::string terminalEnding() { return shellEnded ? exitStatusText(shellStatus) : ""; }

void closeTerminal() {
    Display* dpy = console.display;
    const Window window = dpy ? console.termWin : None;
    if (window == None && !groupLeft()) return;

    // The window may be going away already: errors about it are expected.
    const XErrorHandler previous = dpy ? quietErrors() : nullptr;
    const bool ours = window != None && startedHere(dpy, window);
    if (window != None) askToClose(dpy, window, ours);
    // What is left of the group once the window is gone (or while there is
    // none) is asked to end too.
    bool groupAsked = false;
    if (dpy) XFlush(dpy);

    // Nothing is dispatched meanwhile: the terminal going away must not
    // look like a terminal to relaunch. Processes outside our children end
    // unannounced: the group is looked at every few milliseconds.
    const long long deadline = monotonicMs() + kCloseTimeoutMs;
    while (!closed(dpy, window) && monotonicMs() < deadline) {
        if (!groupAsked && windowGone(dpy, window)) {
            signalGroup(SIGTERM);
            groupAsked = true;
        }
        waitForInput(std::min(deadline, monotonicMs() + kGroupPollMs));
    }
    // By force only what we started: a daemon's window that will not close
    // is left to its daemon.
    if (!closed(dpy, window)) {
        if (ours) XKillClient(dpy, window);
        signalGroup(SIGKILL);
    }
    if (dpy) {
        XSync(dpy, False);
        XSetErrorHandler(previous);
    }
}
