// Pure arithmetic of the console's motion and size: slide, size keys, drag snapping, fitting to a monitor.
#pragma once

#include <cstddef>
#include <vector>

// Pixels per animation step: one more for every whole hundred pixels of
// console height. Never more than the frame's height; 0 or less means the
// slide is not animated.
int slideStep(int height, int stepSize);

// The frame's y after each animated move of a slide that begins at start:
// from the hidden position down to the last position short of 0, or from 0
// up to the first position past the hidden one. The hidden position is one
// frame height above drop, the distance from the top of the console's
// monitor down to its shown top. Empty when not animated.
std::vector<int> slidePositions(int start, int height, int handleWidth, int stepSize, int drop = 0);

// Longest a whole slide may take: without a compositing manager the slide
// down holds the server grabbed, and every other client, the keyboard
// included, waits it out.
constexpr long long kMaxSlideMicros = 2000000;

// The pause after each of moves steps, in microseconds: aniDelay tenths of
// a millisecond, but shortened so that the slide stays within the bound.
long long stepPauseMicros(int aniDelay, size_t moves);

struct SizeState {
    int height = 0;
    int savedHeight = 0;
    bool fullScreen = false;
};

// The size hotkeys a key press matched; two hotkeys on one key both apply.
struct SizePress {
    bool full = false;
    bool bigger = false;
    bool smaller = false;
};

// The console's height after a key press while shown: full-screen toggles
// between the monitor's height and the height from before, bigger and
// smaller add or take one row; never less than one row nor more than
// maxHeight (a row taller than that gives maxHeight).
SizeState applySizeKey(SizeState state, SizePress press, int heightInc, int monitorHeight, int maxHeight);

// The height for a pointer at y during a drag: the largest whole number of
// rows that ends above it, at most maxHeight; current when the pointer is
// above the first row.
int dragHeight(int y, int heightInc, int current, int maxHeight);

// The chosen height fitted to a monitor: kept when the terminal and its
// handle fit on it, otherwise the most whole rows that do (at least one).
int fitHeight(int chosen, int monitorHeight, int handleWidth, int heightInc);

// The heights once the console comes onto a monitor monitorHeight high,
// when the height was last fitted to or set on one fittedTo high. On a
// monitor of that same height nothing changes, so heights set there with
// the size keys stay as they are. Otherwise the chosen height is fitted to
// it; in full screen the console takes the monitor's height (no more than
// the protocol can place with the handle), and the fitted height is what
// keyFull restores.
SizeState fitToMonitor(SizeState state, int chosen, int fittedTo, int monitorHeight, int handleWidth,
                       int heightInc);
