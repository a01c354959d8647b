// Signals: the handlers, their self-pipe, the one wait on X and signals together, and the end on request.
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>

#include "startup/dropcon.h"

namespace {

// Written by the handlers, read and cleared by the loop.
volatile sig_atomic_t endRequest = 0;
volatile sig_atomic_t toggleRequest = 0;
volatile sig_atomic_t childRequest = 0;

// The handlers only set a flag and write a byte: whoever sleeps in poll()
// on the read end wakes up and looks at the flags.
int selfPipe[2] = {-1, -1};

void onSignal(int number) {
    const int savedErrno = errno;
    if (number == SIGUSR1)
        toggleRequest = 1;
    else if (number == SIGCHLD)
        childRequest = 1;
    else
        endRequest = 1;
    const char byte = 0;
    // A full pipe already holds a wake-up; losing this byte is fine.
    [[maybe_unused]] ssize_t written = write(selfPipe[1], &byte, 1);
    errno = savedErrno;
}

void handle(int number, bool keepIgnored) {
    struct sigaction action {};
    if (keepIgnored) {
        // A signal ignored when we were started (nohup ignores SIGHUP, a
        // shell's background job SIGINT) was meant to be ignored: it stays so.
        struct sigaction current {};
        sigaction(number, nullptr, &current);
        if (current.sa_handler == SIG_IGN) return;
    }
    action.sa_handler = onSignal;
    // No signal is ever blocked around the handler beyond itself, so none
    // can be left blocked for the terminal to inherit across its exec.
    action.sa_flags = SA_RESTART | (number == SIGCHLD ? SA_NOCLDSTOP : 0);
    sigemptyset(&action.sa_mask);
    sigaction(number, &action, nullptr);
}

void drainPipe() {
    char bytes[64];
    while (read(selfPipe[0], bytes, sizeof bytes) > 0) {
    }
}

// Looks at what the handlers have noted; the terminal's end is collected
// at once, so that no child is ever left a zombie.
void takeSignals() {
    drainPipe();
    if (childRequest) {
        childRequest = 0;
        reapChildren();
    }
}

timespec fromNs(long long ns) { return timespec{static_cast<time_t>(ns / 1000000000), ns % 1000000000}; }

long long monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

}  // namespace

void installSignals() {
    if (pipe(selfPipe) != 0) {
        std::perror(console.progName);
        std::exit(1);
    }
    // Close-on-exec: the terminal gets neither end. Non-blocking: a handler
    // never waits on a full pipe, and draining stops when it is empty.
    for (int fd : selfPipe) {
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    for (int number : {SIGTERM, SIGINT, SIGHUP, SIGUSR1}) handle(number, true);
    // Never ignored, whatever we inherited: an ignored SIGCHLD would reap
    // the terminal unseen and be inherited by the terminal and its shell.
    handle(SIGCHLD, false);
}

bool endRequested() { return endRequest != 0; }

bool takeToggleRequest() {
    if (!toggleRequest) return false;
    toggleRequest = 0;
    return true;
}

void waitForInput(long long deadlineMs) {
    Display* dpy = console.display;
    // The pipe is drained only after poll(): a byte written since the caller
    // last looked at the flags must wake this very poll().
    if (dpy) {
        // Whatever the server has sent already is read into Xlib's queue
        // first: poll() only sees what is still in the socket, and new
        // events in the queue are the caller's to look at, not to sleep on.
        const int before = XEventsQueued(dpy, QueuedAlready);
        if (XEventsQueued(dpy, QueuedAfterFlush) > before) {
            // A steady stream of events must not hold up the collection of
            // an ended terminal (the quick give-up waits on it).
            takeSignals();
            return;
        }
    }
    pollfd fds[2] = {{selfPipe[0], POLLIN, 0}, {dpy ? ConnectionNumber(dpy) : -1, POLLIN, 0}};
    int timeout = -1;
    if (deadlineMs >= 0) {
        long long left = deadlineMs - monotonicMs();
        timeout = left <= 0 ? 0 : static_cast<int>(left);
    }
    poll(fds, 2, timeout);
    takeSignals();
}

bool pauseUnlessEnding(long long micros) {
    // The pause resumes to its end after any other signal; it is cut short
    // only for a request to end.
    const long long end = monotonicNs() + micros * 1000;
    for (;;) {
        takeSignals();
        if (endRequest) return false;
        long long left = end - monotonicNs();
        if (left <= 0) return true;
        pollfd fd{selfPipe[0], POLLIN, 0};
        const timespec timeout = fromNs(left);
        ppoll(&fd, 1, &timeout, nullptr);
    }
}

void endConsole() {
    Display* dpy = console.display;
    // The claim goes first, so that a console started right after this one
    // was told to end is not turned away.
    releaseInstance();
    if (dpy) {
        // Caught mid-slide or mid-drag, we would otherwise hold the server
        // or the pointer while closing the terminal, which could then never
        // answer.
        XUngrabServer(dpy);
        XUngrabPointer(dpy, CurrentTime);
        // The focus goes back while the terminal holds it, wherever we
        // were caught (in the slide down the terminal has it already).
        returnFocus();
    }
    closeTerminal();
    if (dpy) XSync(dpy, False);
    std::exit(0);
}
