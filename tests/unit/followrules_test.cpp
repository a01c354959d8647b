// Unit tests of following the terminal: its echo, the heights after its change, the guard against a fight.
#include <gtest/gtest.h>

#include "interaction/followrules.h"

TEST(FollowRules, TheConsolesOwnResizesAreEchoes) {
    const AskedSize asked{100, 1280, 130};
    EXPECT_TRUE(isOwnEcho(100, 1280, 130, asked));
    EXPECT_TRUE(isOwnEcho(99, 1280, 129, asked));    // a show's detour, overtaken by its way back
    EXPECT_TRUE(isOwnEcho(60, 2130, 200, asked));    // the terminal's, before the last resize
    EXPECT_FALSE(isOwnEcho(100, 2130, 200, asked));  // a font change after it
    EXPECT_FALSE(isOwnEcho(150, 1704, 130, asked));  // wider only
}

TEST(FollowRules, HeightsAfterTheTerminalsChange) {
    struct Row {
        SizeState state;
        int oldInc, newInc, terminalHeight;
        SizeState expected;
    };
    const Row rows[] = {
        {{130, 0, false}, 13, 20, 2130, {200, 0, false}},   // a new row height keeps the rows
        {{130, 0, false}, 13, 13, 810, {806, 0, false}},    // its own size, in whole rows
        {{130, 0, false}, 13, 13, 1040, {897, 0, false}},   // fitted to the monitor, handle on it
        {{900, 130, true}, 13, 20, 900, {900, 200, true}},  // full screen keeps the monitor's height
        {{900, 130, true}, 13, 13, 520, {900, 520, true}},
        {{130, 0, false}, 13, 1, 130, {10, 0, false}},          // no row height: pixels
        {{32000, 0, false}, 1, 1 << 30, 0, {32764, 0, false}},  // within the protocol
    };
    for (const Row& r : rows) {
        int chosen = 0;
        const SizeState s =
            followedHeights(r.state, r.oldInc, r.newInc, r.terminalHeight, 900, 3, 32764, &chosen);
        EXPECT_EQ(s.height, r.expected.height) << r.state.height << " " << r.oldInc << "->" << r.newInc;
        EXPECT_EQ(s.savedHeight, r.expected.savedHeight)
            << r.state.height << " " << r.oldInc << "->" << r.newInc;
        EXPECT_EQ(chosen, s.fullScreen ? s.savedHeight : s.height);
    }
}

TEST(FollowRules, ThreeFitsUndoneWithinASecondStopTheFittingUntilAReset) {
    for (auto [times, lastFits] : {std::pair{std::vector<long long>{0, 100, 200, 300}, false},
                                   std::pair{std::vector<long long>{0, 100, 200, 1150, 1250}, true},
                                   std::pair{std::vector<long long>{0, 2000, 4000, 6000}, true}}) {
        FitGuard guard;
        bool fits = true;
        for (long long t : times) fits = fitAgain(guard, t);
        EXPECT_EQ(fits, lastFits) << times.back();
        EXPECT_EQ(fitAgain(guard, times.back() + 5000), lastFits);
    }
    FitGuard guard;
    for (long long t : {0, 10, 20, 30}) fitAgain(guard, t);
    guard = FitGuard{};
    EXPECT_TRUE(fitAgain(guard, 40));
}
