// The terminal's process: started in a process group of its own, reaped when it ends, closed politely.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <signal.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "console/command.h"
#include "console/console.h"
#include "interaction/interaction.h"

namespace {

// The shell started for the current terminal, and how it ended.
pid_t shellPid = -1;
bool shellEnded = false;
int shellStatus = 0;

// How long a terminal may take to close when asked.
constexpr long long kCloseTimeoutMs = 1000;

bool lists(const Atom* atoms, int count, Atom wanted) {
    for (int i = 0; i < count; ++i)
        if (atoms[i] == wanted) return true;
    return false;
}

// Asks the terminal's client to close its window, the way a window manager
// does: WM_DELETE_WINDOW when it takes part in that protocol (xterm closes
// and hangs its shell up), otherwise XKillClient, which ends its
// connection and with it a terminal that has no other way to be asked.
void askToClose(Display* dpy, Window window) {
    Atom protocols = XInternAtom(dpy, "WM_PROTOCOLS", False);
    Atom deleteWindow = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
    Atom* atoms = nullptr;
    int count = 0;
    bool polite = XGetWMProtocols(dpy, window, &atoms, &count) && lists(atoms, count, deleteWindow);
    if (atoms) XFree(atoms);
    if (!polite) {
        XKillClient(dpy, window);
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

// Gone: our shell has ended; with no shell of ours to watch (a terminal
// that handed its window over to a server of its own), its window is gone.
bool closed(Display* dpy, Window window) {
    if (shellPid > 0 && !shellEnded) return false;
    if (window == None || !dpy) return true;
    // Asked while the quiet error handler is in place.
    XWindowAttributes attributes;
    return !XGetWindowAttributes(dpy, window, &attributes);
}

}  // namespace

bool startTerminal(const std::string& command) {
    // Composed before the fork: the child only execs.
    const std::string foreground = foregroundCommand(command);
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
    const Window window = console.termWin;
    const bool running = shellPid > 0 && !shellEnded;
    if (!running && window == None) return;

    // The window may be going away already: errors about it are expected.
    // Earlier requests' errors still belong to the usual handler.
    XErrorHandler previous = nullptr;
    if (dpy) {
        XSync(dpy, False);
        previous = XSetErrorHandler(ignoreXError);
    }
    if (window != None && dpy)
        askToClose(dpy, window);
    else
        kill(-shellPid, SIGTERM);  // no window yet: end it through its group
    if (dpy) XFlush(dpy);

    // Nothing is dispatched meanwhile: the terminal going away must not
    // look like a terminal to relaunch.
    const long long deadline = monotonicMs() + kCloseTimeoutMs;
    while (!closed(dpy, window) && monotonicMs() < deadline) waitForInput(deadline);
    if (!closed(dpy, window)) {
        if (window != None && dpy) XKillClient(dpy, window);
        if (shellPid > 0 && !shellEnded) kill(-shellPid, SIGKILL);
    }
    if (dpy) {
        XSync(dpy, False);
        XSetErrorHandler(previous);
    }
}
