// The benchmark's shared basics: the clock, failing, the console's settings and a row of figures.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "tests/support/scene.h"

// The console's settings: the defaults (xt::kAniDelay and the others),
// written out so that the ideal pace is computed from the same numbers the
// console runs with; aniDelay as given.
std::string resources(int aniDelay);

inline long long nowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}

inline double ms(long long ns) { return static_cast<double>(ns) / 1e6; }

[[noreturn]] void fail(const std::string& what);

struct Options {
    int runs = 10;
    int idleRuns = 10;
    int idleSeconds = 10;
    std::string plotData;     // the configure stream of one slide down and up
    std::string paintedData;  // the same slides as painted on the screen
};

// One figure: its values over the runs, reported as median, min and max.
struct Row {
    std::string what;
    std::string unit;
    std::vector<double> values;
    int decimals = 3;
};
