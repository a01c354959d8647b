// Fuzz target: slide positions, size keys, drag snapping and fitting to a monitor over every value the
// settings let through.
#include <X11/keysym.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "console/placement.h"
#include "fuzz/check.h"
#include "interaction/geometry.h"
#include "startup/dropcon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int handleWidth = in.ConsumeIntegralInRange(0, kMaxExtent - 1);
    const int maxHeight = kMaxExtent - handleWidth;
    const int height = in.ConsumeIntegralInRange(1, maxHeight);
    const int stepSize = in.ConsumeIntegral<int>();
    const int row = in.ConsumeIntegralInRange(1, kMaxExtent);
    // Below panels the slide starts higher by their height.
    const int drop = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, kMaxExtent) : 0;
    const int hiddenY = -(height + handleWidth + drop);

    // A slide always ends, in few steps, on the right side of its end.
    const int step = slideStep(height, stepSize);
    FUZZ_CHECK(step >= 0 && step <= height);
    for (int start : {hiddenY, 0}) {
        std::vector<int> ys = slidePositions(start, height, handleWidth, stepSize, drop);
        FUZZ_CHECK(ys.empty() == (step == 0));
        if (ys.empty()) continue;
        FUZZ_CHECK(ys.size() <= static_cast<size_t>(-hiddenY / step + 2));
        for (size_t i = 0; i < ys.size(); ++i)
            FUZZ_CHECK(ys[i] == (i ? ys[i - 1] : start) + (start == 0 ? -step : step));
        if (start == 0) {
            FUZZ_CHECK(ys.back() < hiddenY);
            FUZZ_CHECK(ys.size() == 1 || ys[ys.size() - 2] >= hiddenY);
        } else {
            FUZZ_CHECK(ys.back() > -step && ys.back() < step);
        }
    }

    // Size keys: never below one row, never past the most the protocol can place.
    SizeState state{height, in.ConsumeIntegralInRange(1, maxHeight), in.ConsumeBool()};
    const int screenHeight = in.ConsumeIntegralInRange(1, kMaxExtent);
    for (int i = 0; i < 8 && in.remaining_bytes() > 0; ++i) {
        KeySym key = in.PickValueInArray({XK_F11, XK_KP_Add, XK_KP_Subtract, XK_a});
        const SizePress press{key == XK_F11, key == XK_KP_Add, key == XK_KP_Subtract};
        SizeState next = applySizeKey(state, press, row, screenHeight, maxHeight);
        FUZZ_CHECK(next.height >= row);
        FUZZ_CHECK(next.height <= maxHeight || next.height == row);
        FUZZ_CHECK(next.fullScreen == (key == XK_F11 ? !state.fullScreen : state.fullScreen));
        state = next;
    }

    // Dragging: whole rows whose bottom is not below the pointer.
    const int y = in.ConsumeIntegralInRange(-kMaxExtent - 1, kMaxExtent);
    const int dragged = dragHeight(y, row, height, maxHeight);
    if (y < row) {
        FUZZ_CHECK(dragged == height);
    } else {
        FUZZ_CHECK(dragged % row == 0 && dragged >= row && dragged <= y);
        FUZZ_CHECK(dragged <= maxHeight || dragged == row);
        FUZZ_CHECK(y - dragged < row || dragged + row > maxHeight);
    }

    // Fitting to a monitor: the chosen height when it fits with its handle,
    // otherwise whole rows that fit (one row at the least), never taller.
    const int monitorHeight = in.ConsumeIntegralInRange(1, kMaxExtent);
    const int fitted = fitHeight(height, monitorHeight, handleWidth, row);
    FUZZ_CHECK(fitted >= 1 && fitted <= height);
    if (height + handleWidth <= monitorHeight) {
        FUZZ_CHECK(fitted == height);
    } else if (fitted != height) {
        FUZZ_CHECK(fitted % row == 0);
        FUZZ_CHECK(fitted + handleWidth <= monitorHeight || fitted == row);
        FUZZ_CHECK(fitted + row + handleWidth > monitorHeight);
    }
    return 0;
}
