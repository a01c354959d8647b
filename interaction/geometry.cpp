// Pure arithmetic of the console's motion and size: slide, size keys, drag snapping, fitting to a monitor.
#include "interaction/geometry.h"

#include <algorithm>

#include "startup/dropcon.h"

int slideStep(int height, int stepSize) {
    long long step = height / 100 + static_cast<long long>(stepSize) + 1;
    if (stepSize == 0 || step <= 0) return 0;
    return static_cast<int>(std::min<long long>(step, std::max(height, 1)));
}

std::vector<int> slidePositions(int start, int height, int handleWidth, int stepSize, int drop) {
    std::vector<int> positions;
    int step = slideStep(height, stepSize);
    if (step <= 0) return positions;
    const int hiddenY = -(height + handleWidth + drop);
    if (start == 0) step = -step;
    int y = start;
    do {
        y += step;
        positions.push_back(y);
    } while (y / step != 0 && y >= hiddenY);
    return positions;
}

long long stepPauseMicros(int aniDelay, size_t moves) {
    long long pause = std::max(aniDelay, 0) * 100LL;
    if (moves == 0) return pause;
    return std::min(pause, kMaxSlideMicros / static_cast<long long>(moves));
}

SizeState applySizeKey(SizeState state, SizePress press, int heightInc, int monitorHeight, int maxHeight) {
    long long candidate = state.height;
    if (press.full) {
        if (!state.fullScreen) {
            state.savedHeight = state.height;
            candidate = monitorHeight;
        } else {
            candidate = state.savedHeight;
        }
        state.fullScreen = !state.fullScreen;
    }
    if (press.bigger) candidate += heightInc;
    if (press.smaller) candidate -= heightInc;
    state.height =
        static_cast<int>(std::clamp<long long>(candidate, std::min(heightInc, maxHeight), maxHeight));
    return state;
}

int dragHeight(int y, int heightInc, int current, int maxHeight) {
    if (heightInc <= 0 || y < heightInc) return current;
    return std::min({y - y % heightInc, std::max(maxHeight - maxHeight % heightInc, heightInc), maxHeight});
}

int fitHeight(int chosen, int monitorHeight, int handleWidth, int heightInc) {
    if (static_cast<long long>(chosen) + handleWidth <= monitorHeight) return chosen;
    const int row = std::max(heightInc, 1);
    const int room = monitorHeight - handleWidth;
    return std::min(chosen, std::max(room - room % row, row));
}

SizeState fitToMonitor(SizeState state, int chosen, int fittedTo, int monitorHeight, int handleWidth,
                       int heightInc) {
    if (monitorHeight == fittedTo) return state;
    const int fitted = fitHeight(chosen, monitorHeight, handleWidth, heightInc);
    if (state.fullScreen) {
        // A monitor taller than the protocol can park above the screen
        // gets the largest height.
        state.height = std::clamp(monitorHeight, 1, std::max(kMaxExtent - handleWidth, 1));
        state.savedHeight = fitted;
    } else {
        state.height = fitted;
    }
    return state;
}
