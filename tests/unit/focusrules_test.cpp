// Unit tests of the focus table, one row per rule; when the server is asked; the time window and the cover
// test.
#include <gtest/gtest.h>

#include "interaction/focusrules.h"

TEST(FocusRules, OneRowPerRule) {
    using enum Keyboard;
    using enum FocusEvent;
    using enum FocusAction;
    struct Row {
        FocusEvent event;
        FocusFacts facts;
        FocusAction action;
        Keyboard next;
    };
    const Row rows[] = {
        {show, {.where = hidden, .locked = true}, nothing, hidden},  // by signal, over a locker
        {show, {.where = hidden}, saveAndTake, inConsole},
        {hide, {.where = inConsole}, giveBack, hidden},
        {end, {.where = inConsole}, giveBack, hidden},
        {hide, {.where = elsewhere}, nothing, any},
        // crossingAction's rows: the crossings of a grab (NotifyGrab,
        // NotifyUngrab), enter (Nonlinear, Inferior), leave for the terminal
        // (Inferior), leave (Nonlinear, Ancestor, WhileGrabbed), hidden.
        {enter, {.where = elsewhere, .pointerInConsole = true, .ofGrab = true}, nothing, any},
        {leave, {.where = inConsole, .ofGrab = true}, nothing, any},
        {enter, {.where = elsewhere, .pointerInConsole = true}, take, inConsole},
        {enter, {.where = elsewhere}, nothing, any},  // the pointer has gone on
        {enter, {.where = hidden, .pointerInConsole = true}, nothing, any},
        {leave, {.where = elsewhere, .pointerInConsole = true, .intoTerminal = true}, take, inConsole},
        {leave, {.where = inConsole, .intoTerminal = true}, nothing, any},  // the pointer has gone on
        {leave, {.where = inConsole}, giveBack, elsewhere},
        {leave, {.where = hidden}, nothing, any},
        {activated, {.where = inConsole, .activeIsOther = true}, save, any},
        // focusHeld's rows: key grabs and pointer details say nothing;
        // FocusIn (Normal, WhileGrabbed) holds, FocusOut (Normal,
        // WhileGrabbed) loses, FocusOut to an inferior holds.
        {focusGained, {.where = elsewhere, .ofGrab = true}, nothing, any},
        {focusLost, {.where = inConsole, .ofGrab = true, .lossNearSwitch = true}, nothing, any},
        {focusGained, {.where = elsewhere, .aboutPointer = true}, nothing, any},
        {focusLost, {.where = inConsole, .aboutPointer = true}, nothing, any},
        {focusGained, {.where = elsewhere}, nothing, inConsole},
        {focusLost, {.where = inConsole, .intoTerminal = true}, nothing, inConsole},
        // Workspaces; awesome writes the same value again.
        {desktopChanged, {.where = elsewhere, .sameDesktop = true, .lossNearSwitch = true}, nothing, any},
        {focusLost, {.where = elsewhere, .locked = true, .lossNearSwitch = true}, nothing, elsewhere},
        {focusLost, {.where = elsewhere, .otherMonitor = true, .lossNearSwitch = true}, nothing, elsewhere},
        {focusLost, {.where = elsewhere, .lossNearSwitch = true}, saveAndTake, inConsole},
        {desktopChanged, {.where = elsewhere, .locked = true, .lossNearSwitch = true}, nothing, elsewhere},
        {desktopChanged,
         {.where = elsewhere, .otherMonitor = true, .lossNearSwitch = true},
         nothing,
         elsewhere},
        {desktopChanged, {.where = elsewhere, .lossNearSwitch = true}, saveAndTake, inConsole},
        {desktopChanged, {.where = inConsole, .lossNearSwitch = true}, nothing, any},
        // i3 focuses its window again, before the show has settled or after.
        {showSettled, {.where = elsewhere, .backOnSaved = true}, retake, inConsole},
        {focusLost, {.where = elsewhere, .backOnSaved = true, .lossNearTake = true}, retake, inConsole},
        {focusLost, {.where = elsewhere, .lossNearTake = true}, nothing, elsewhere},  // any other loss
        {refocus, {.where = elsewhere, .locked = true}, nothing, elsewhere},          // by signal
        {refocus, {.where = elsewhere}, saveAndTake, inConsole},
        {refocus, {.where = inConsole}, nothing, any},
        {relaunch, {.where = inConsole, .hadKeys = true}, take, inConsole},
        {relaunch, {.where = hidden, .hadKeys = true}, nothing, any},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        const FocusDecision d = decide(rows[i].event, rows[i].facts);
        EXPECT_EQ(d.action, rows[i].action) << "row " << i;
        EXPECT_EQ(d.next, rows[i].next) << "row " << i;
    }
}

TEST(FocusRules, TheServerIsAskedOnlyWhereItsAnswerCounts) {
    using enum FocusEvent;
    const FocusFacts shown{.where = Keyboard::inConsole};
    EXPECT_TRUE(asksServer(hide, shown));
    EXPECT_TRUE(asksServer(enter, shown));
    EXPECT_TRUE(asksServer(refocus, shown));
    EXPECT_TRUE(asksServer(focusLost, {.where = Keyboard::inConsole, .lossNearSwitch = true}));
    // The key grab of a press of the toggle key costs no round trip.
    EXPECT_FALSE(asksServer(focusLost, {.where = Keyboard::inConsole, .ofGrab = true}));
    EXPECT_FALSE(asksServer(focusLost, shown));
    EXPECT_FALSE(asksServer(focusGained, shown));
    EXPECT_FALSE(asksServer(activated, {.where = Keyboard::inConsole, .activeIsOther = true}));
    EXPECT_FALSE(asksServer(desktopChanged, {.where = Keyboard::inConsole, .sameDesktop = true}));
    EXPECT_FALSE(asksServer(hide, {.where = Keyboard::hidden}));
}

TEST(CloseInTime, EitherOrderWithinHalfASecond) {
    EXPECT_TRUE(closeInTime(10000, 10000));
    EXPECT_TRUE(closeInTime(10000, 10500));
    EXPECT_TRUE(closeInTime(10500, 10000));
    EXPECT_FALSE(closeInTime(10000, 10501));
    EXPECT_FALSE(closeInTime(12000, 10000));
    EXPECT_FALSE(closeInTime(10000, -1000000));  // no switch yet
}

TEST(Covers, AWholeMonitorOrNothing) {
    const Rect monitor{1280, 0, 1024, 768};
    EXPECT_TRUE(covers({0, 0, 2304, 768}, monitor));     // a locker over the whole screen
    EXPECT_FALSE(covers({0, 0, 1280, 768}, monitor));    // the other monitor
    EXPECT_FALSE(covers({1280, 0, 300, 100}, monitor));  // a notification
    EXPECT_TRUE(covers(monitor, {1500, 300, 1, 1}));     // a window's middle
    EXPECT_FALSE(covers(monitor, {2304, 300, 1, 1}));
}
