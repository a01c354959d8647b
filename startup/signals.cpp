// Signals: the handlers and their self-pipe; the console's wait polls the pipe and takes the notes.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

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

bool take(volatile sig_atomic_t& flag) {
    if (!flag) return false;
    flag = 0;
    return true;
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
    // A launcher may start us with signals blocked (the mask survives
    // exec): blocked, these would stay pending for ever.
    sigset_t handled;
    sigemptyset(&handled);
    for (int number : {SIGTERM, SIGINT, SIGHUP, SIGUSR1, SIGCHLD}) sigaddset(&handled, number);
    sigprocmask(SIG_UNBLOCK, &handled, nullptr);
}

int signalPipe() { return selfPipe[0]; }

void drainSignalPipe() {
    char bytes[64];
    while (read(selfPipe[0], bytes, sizeof bytes) > 0) {
    }
}

bool endRequested() { return endRequest != 0; }
bool takeToggleRequest() { return take(toggleRequest); }
bool takeChildRequest() { return take(childRequest); }
