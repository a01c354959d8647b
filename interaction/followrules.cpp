// Pure rules of following the terminal when it changes its own size or row height.
#include "interaction/followrules.h"

#include <algorithm>

bool isOwnEcho(unsigned long serial, int width, int height, const AskedSize& asked) {
    return serial < asked.serial || (width == asked.width && height == asked.height);
}

SizeState followedHeights(SizeState state, int oldInc, int newInc, int terminalHeight, int monitorHeight,
                          int handleWidth, int maxHeight, int* chosen) {
    const long long row = std::max(newInc, 1);
    long long wanted;
    if (newInc != oldInc) {
        // The rows the console shows, or would show out of full screen,
        // rounded: a full-screen height need not be whole rows.
        const long long old = std::max(oldInc, 1),
                        height = state.fullScreen ? state.savedHeight : state.height;
        wanted = std::max((height + old / 2) / old, 1LL) * row;
    } else {
        wanted = std::max(terminalHeight - terminalHeight % row, row);
    }
    const int bounded = static_cast<int>(std::min<long long>(wanted, std::max<long long>(maxHeight, 1)));
    *chosen = fitHeight(bounded, monitorHeight, handleWidth, static_cast<int>(row));
    if (state.fullScreen)
        state.savedHeight = *chosen;
    else
        state.height = *chosen;
    return state;
}

bool fitAgain(FitGuard& guard, long long nowMs) {
    if (guard.stopped) return false;
    if (guard.fitted) {
        std::rotate(guard.undoneMs, guard.undoneMs + 1, guard.undoneMs + 3);
        guard.undoneMs[2] = nowMs;
        if (nowMs - guard.undoneMs[0] <= kUndoneFitsMs) {
            guard.stopped = true;
            return false;
        }
    }
    guard.fitted = true;
    return true;
}
