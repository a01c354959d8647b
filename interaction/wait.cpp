// The console's one wait, on X events and signals together, its paced sleep, and its one way out.
#include <X11/Xlib.h>
#include <poll.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "console/console.h"
#include "interaction/interaction.h"

// Looks at what the handlers have noted; the terminal's end is collected
// at once, so that no child is ever left a zombie.
static void takeSignals() {
    drainSignalPipe();
    if (takeChildRequest()) reapChildren();
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
    pollfd fds[2] = {{signalPipe(), POLLIN, 0}, {dpy ? ConnectionNumber(dpy) : -1, POLLIN, 0}};
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
        if (endRequested()) return false;
        long long left = end - monotonicNs();
        if (left <= 0) return true;
        pollfd fd{signalPipe(), POLLIN, 0};
        const timespec timeout{static_cast<time_t>(left / 1000000000), left % 1000000000};
        ppoll(&fd, 1, &timeout, nullptr);
    }
}

void endConsole(int status, const std::string& message) {
    Display* dpy = console.display;
    if (dpy) {
        // Caught mid-slide or mid-drag, we would otherwise hold the server
        // or the pointer while closing the terminal, which could then never
        // answer.
        ungrabServer();
        XUngrabPointer(dpy, CurrentTime);
        // The focus goes back while the terminal holds it, wherever we
        // were caught (in the slide down the terminal has it already).
        returnFocusAtEnd();
        // Everything a console started right after this one needs goes to
        // the server in one flush, before the terminal is closed (which may
        // take a second): the keys first, then the frame out of sight, the
        // claim last, so that a console that wins the claim finds the keys
        // free.
        releaseHotkeys();
        if (console.frameWin != None) XUnmapWindow(dpy, console.frameWin);
    }
    releaseInstance();
    closeTerminal();
    if (dpy) XSync(dpy, False);
    if (!message.empty()) std::fprintf(stderr, "%s: %s\n", console.progName, message.c_str());
    std::exit(status);
}
