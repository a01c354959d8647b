// The state records, the X error handler and the clock.
#include <X11/Xlib.h>

#include <cstdio>
#include <ctime>

#include "startup/dropcon.h"

ConsoleState console;
LoopState loop;

unsigned long xErrors = 0;

int onXError(Display*, XErrorEvent* error) {
    if (quietGrabError(error)) return 0;
    // Every protocol error is reported and otherwise ignored: the request
    // that failed simply has no effect, and the console goes on.
    std::fprintf(stderr, "%d  XError caught\n", error->error_code);
    ++xErrors;
    return 0;
}

int ignoreXError(Display*, XErrorEvent*) { return 0; }

long long monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}
