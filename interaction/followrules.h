// Pure rules of following the terminal when it changes its own size or row height.
#pragma once

#include "interaction/geometry.h"
#include "startup/dropcon.h"

// Whether a ConfigureNotify of the terminal (its serial, the size it
// reports) is the console's own doing rather than a change the terminal
// made itself: older than the last request, which has overtaken it (a
// show's one-pixel detour, a drag's backlog), or at the size asked for.
bool isOwnEcho(unsigned long serial, int width, int height, const AskedSize& asked);

// What a terminal's change leaves the heights at. With another row height
// (newInc), the console keeps its number of rows; otherwise it takes the
// terminal's own height (terminalHeight) in whole rows. Fitted to the
// monitor as at a show, that becomes the chosen height (*chosen); in full
// screen the console keeps the monitor's height, and the rows kept are
// those keyFull restores.
SizeState followedHeights(SizeState state, int oldInc, int newInc, int terminalHeight, int monitorHeight,
                          int handleWidth, int maxHeight, int* chosen);

// A terminal that keeps undoing the size it is given: each change of its
// own that comes after a fit undoes that fit; once three are undone within
// kUndoneFitsMs, the console stops fitting until the guard is reset (at a
// show and at a change of row height).
constexpr long long kUndoneFitsMs = 1000;
struct FitGuard {
    long long undoneMs[3] = {-kUndoneFitsMs - 1, -kUndoneFitsMs - 1, -kUndoneFitsMs - 1};
    bool fitted = false;  // the last change of the terminal's was answered with a fit
    bool stopped = false;
};
// Whether to answer a change the terminal made itself at nowMs (monotonic) with a fit.
bool fitAgain(FitGuard& guard, long long nowMs);
