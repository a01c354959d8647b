// Unit tests of following the terminal: its echo, the heights after its change, the guard against a fight.
#include <gtest/gtest.h>

#include "interaction/followrules.h"

TEST(IsOwnEcho, TableOfConfigureNotifies) {
    const AskedSize asked{100, 1280, 130};
    struct Row {
        unsigned long serial;
        int width, height;
        bool own;
    };
    const Row rows[] = {
        {100, 1280, 130, true},   // the answer to the request
        {140, 1280, 130, true},   // the same size, seen later
        {99, 1280, 129, true},    // a show's detour, overtaken by its way back
        {60, 2130, 200, true},    // the terminal's, before the console's last resize
        {100, 2130, 200, false},  // a font change, after it
        {150, 1000, 800, false},  // resize -s
        {150, 1704, 130, false},  // wider only
    };
    for (const Row& r : rows)
        EXPECT_EQ(isOwnEcho(r.serial, r.width, r.height, asked), r.own)
            << r.serial << " " << r.width << "x" << r.height;
}

TEST(FollowedHeights, TableOfChanges) {
    struct Row {
        SizeState state;
        int oldInc, newInc, terminalHeight, monitorHeight;
        SizeState expected;
        int chosen;
    };
    const Row rows[] = {
        // A new row height keeps the rows, up and back.
        {{130, 0, false}, 13, 20, 200, 900, {200, 0, false}, 200},
        {{200, 0, false}, 20, 13, 130, 900, {130, 0, false}, 130},
        // ...whatever size the terminal made itself meanwhile.
        {{130, 0, false}, 13, 20, 2130, 900, {200, 0, false}, 200},
        // A size the terminal chose itself: its height in whole rows.
        {{130, 0, false}, 13, 13, 520, 900, {520, 0, false}, 520},
        {{130, 0, false}, 20, 20, 810, 900, {800, 0, false}, 800},
        {{130, 0, false}, 13, 13, 5, 900, {13, 0, false}, 13},
        // Fitted to the monitor as at a show: whole rows, the handle on it.
        {{130, 0, false}, 13, 13, 1040, 900, {897, 0, false}, 897},
        {{600, 0, false}, 20, 30, 600, 500, {480, 0, false}, 480},
        // Full screen keeps the monitor's height; keyFull restores the rest.
        {{900, 130, true}, 13, 20, 900, 900, {900, 200, true}, 200},
        {{900, 130, true}, 13, 13, 520, 900, {900, 520, true}, 520},
        // A full-screen height of part rows is rounded to the nearest row.
        {{900, 136, true}, 17, 13, 900, 900, {900, 104, true}, 104},
        // No row height (1 pixel) from a terminal that set none.
        {{130, 0, false}, 13, 1, 130, 900, {10, 0, false}, 10},
    };
    for (const Row& r : rows) {
        int chosen = 0;
        SizeState s = followedHeights(r.state, r.oldInc, r.newInc, r.terminalHeight, r.monitorHeight, 3,
                                      32764, &chosen);
        SCOPED_TRACE(std::to_string(r.state.height) + " " + std::to_string(r.oldInc) + "->" +
                     std::to_string(r.newInc) + " terminal " + std::to_string(r.terminalHeight));
        EXPECT_EQ(s.height, r.expected.height);
        EXPECT_EQ(s.savedHeight, r.expected.savedHeight);
        EXPECT_EQ(s.fullScreen, r.expected.fullScreen);
        EXPECT_EQ(chosen, r.chosen);
    }
}

TEST(FollowedHeights, HugeRowsStayWithinTheProtocol) {
    int chosen = 0;
    SizeState s = followedHeights({32000, 0, false}, 1, 1 << 30, 100, 32767, 3, 32764, &chosen);
    EXPECT_LE(s.height, 32764);
    EXPECT_GT(s.height, 0);
}

TEST(FitAgain, ThreeFitsUndoneWithinASecondStopTheFitting) {
    struct Row {
        std::vector<long long> changesMs;
        std::vector<bool> fits;
    };
    const Row rows[] = {
        // The fourth change undoes the third fit within the second.
        {{0, 100, 200, 300, 400}, {true, true, true, false, false}},
        {{0, 100, 200, 1150, 1250}, {true, true, true, true, true}},
        // Changes a while apart are each the user's.
        {{0, 2000, 4000, 6000, 8000}, {true, true, true, true, true}},
        {{0, 0, 0, 0}, {true, true, true, false}},
    };
    for (const Row& r : rows) {
        FitGuard guard;
        for (size_t i = 0; i < r.changesMs.size(); ++i)
            EXPECT_EQ(fitAgain(guard, r.changesMs[i]), r.fits[i]) << "change " << i;
    }
    // Until the next show or change of row height.
    FitGuard guard;
    for (long long t : {0, 10, 20, 30}) fitAgain(guard, t);
    EXPECT_FALSE(fitAgain(guard, 5000));
    guard = FitGuard{};
    EXPECT_TRUE(fitAgain(guard, 5010));
}
