// The state records, the X error handler, the short holds of the server, property reading and the clock.
#include <X11/Xlib.h>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>

#include "startup/dropcon.h"

ConsoleState console;
LoopState loop;

unsigned long xErrors = 0;

// While the console holds the server, every other client waits for it: a
// stop signal then would freeze the whole desktop until SIGCONT, and so
// could a write to a standard error that blocks (a full pipe, a terminal
// that stops background writers). The stop signals wait until the release
// has reached the server, and so do the messages of X errors.
static bool holdingServer = false;
static std::string heldMessages;

static sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int number : {SIGTSTP, SIGTTIN, SIGTTOU}) sigaddset(&set, number);
    return set;
}

void grabServer() {
    const sigset_t stops = stopSignals();
    sigprocmask(SIG_BLOCK, &stops, nullptr);
    holdingServer = true;
    XGrabServer(console.display);
}

void ungrabServer() {
    XUngrabServer(console.display);
    // XUngrabServer only queues the request: the server is free once it
    // has been sent.
    XFlush(console.display);
    holdingServer = false;
    if (!heldMessages.empty()) std::fputs(heldMessages.c_str(), stderr);
    heldMessages.clear();
    const sigset_t stops = stopSignals();
    sigprocmask(SIG_UNBLOCK, &stops, nullptr);
}

int onXError(Display*, XErrorEvent* error) {
    if (quietGrabError(error)) return 0;
    // Every protocol error is reported and otherwise ignored: the request
    // that failed simply has no effect, and the console goes on.
    const std::string message = std::to_string(error->error_code) + "  XError caught\n";
    if (holdingServer)
        heldMessages += message;
    else
        std::fputs(message.c_str(), stderr);
    ++xErrors;
    return 0;
}

std::optional<std::vector<long>> propertyLongs(Window window, Atom property, Atom type) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::optional<std::vector<long>> values;
    if (XGetWindowProperty(console.display, window, property, 0, 65536, False, type, &actualType, &format,
                           &count, &after, &data) == Success &&
        actualType == type && format == 32) {
        const long* items = reinterpret_cast<const long*>(data);
        values.emplace(items, items + count);
    }
    if (data) XFree(data);
    return values;
}

XErrorHandler quietErrors() {
    Display* dpy = console.display;
    if (LastKnownRequestProcessed(dpy) != NextRequest(dpy) - 1) XSync(dpy, False);
    return XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
}

long long monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}
