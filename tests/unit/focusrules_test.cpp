// Unit tests of the focus table, one row per rule; when the server is asked; the time window and the cover test.
#include <gtest/gtest.h>

#include "interaction/focusrules.h"

TEST(FocusRules, OneRowPerRule) {
    using enum Keyboard;
    using enum FocusEvent;
    using enum FocusAction;
    struct Row {
        const char* rule;
        FocusEvent event;
        FocusFacts facts;
        FocusAction action;
        Keyboard next;
    };
    const Row rows[] = {
        {"show", show, {.where = hidden}, saveAndTake, inConsole},
        {"show by signal over a locker", show, {.where = hidden, .locked = true}, nothing, hidden},
        {"show by key: a locker would hold the keys", show, {.where = hidden, .byKey = true, .locked = true},
         saveAndTake, inConsole},
        {"i3 focuses its window again", showSettled, {.where = elsewhere, .backOnSaved = true}, retake, inConsole},
        {"show settled in the console", showSettled, {.where = inConsole, .backOnSaved = true}, nothing, any},
        {"show settled, keys moved on", showSettled, {.where = elsewhere}, nothing, any},
        {"hide gives back", hide, {.where = inConsole}, giveBack, hidden},
        {"hide, keys elsewhere", hide, {.where = elsewhere}, nothing, any},
        {"end gives back", end, {.where = inConsole}, giveBack, hidden},
        {"end while hidden", end, {.where = hidden}, nothing, any},
        // The crossings, crossingAction's rows among them.
        {"enter", enter, {.where = elsewhere, .pointerInConsole = true}, take, inConsole},
        {"enter, pointer gone on", enter, {.where = elsewhere}, nothing, any},
        {"enter while hidden", enter, {.where = hidden, .pointerInConsole = true}, nothing, any},
        {"enter of a grab", enter, {.where = elsewhere, .pointerInConsole = true, .ofGrab = true}, nothing, any},
        {"leave gives back", leave, {.where = inConsole}, giveBack, elsewhere},
        {"leave, keys elsewhere", leave, {.where = elsewhere}, nothing, any},
        {"leave while hidden", leave, {.where = hidden}, nothing, any},
        {"leave of a grab", leave, {.where = inConsole, .ofGrab = true}, nothing, any},
        {"leave handle for terminal", leave, {.where = elsewhere, .pointerInConsole = true, .intoTerminal = true},
         take, inConsole},
        {"leave handle for terminal, pointer gone on", leave, {.where = inConsole, .intoTerminal = true}, nothing,
         any},
        {"leave handle for terminal while hidden", leave,
         {.where = hidden, .pointerInConsole = true, .intoTerminal = true}, nothing, any},
        {"activated", activated, {.where = inConsole, .activeIsOther = true}, save, any},
        {"activated the console", activated, {.where = elsewhere}, nothing, any},
        {"activated while hidden", activated, {.where = hidden, .activeIsOther = true}, nothing, any},
        // The terminal's focus events, focusHeld's rows among them.
        {"focus in", focusGained, {.where = elsewhere}, nothing, inConsole},
        {"focus in of a key grab's end", focusGained, {.where = elsewhere, .ofGrab = true}, nothing, any},
        {"focus in about the pointer", focusGained, {.where = elsewhere, .aboutPointer = true}, nothing, any},
        {"focus out of a key grab", focusLost, {.where = inConsole, .ofGrab = true, .lossNearSwitch = true},
         nothing, any},
        {"focus out about the pointer", focusLost, {.where = inConsole, .aboutPointer = true}, nothing, any},
        {"focus out into the terminal's child", focusLost, {.where = inConsole, .intoTerminal = true}, nothing,
         inConsole},
        {"focus out", focusLost, {.where = elsewhere}, nothing, elsewhere},
        {"focus out while hidden", focusLost, {.where = hidden, .lossNearSwitch = true}, nothing, elsewhere},
        // Workspaces.
        {"awesome writes the same desktop", desktopChanged, {.where = elsewhere, .sameDesktop = true,
                                                             .lossNearSwitch = true},
         nothing, any},
        {"loss with a switch", focusLost, {.where = elsewhere, .lossNearSwitch = true}, saveAndTake, inConsole},
        {"loss with a switch, keys back", focusLost, {.where = inConsole, .lossNearSwitch = true}, nothing,
         elsewhere},
        {"loss with a switch under a locker", focusLost, {.where = elsewhere, .locked = true, .lossNearSwitch = true},
         nothing, elsewhere},
        {"loss with a switch on another monitor", focusLost,
         {.where = elsewhere, .otherMonitor = true, .lossNearSwitch = true}, nothing, elsewhere},
        {"switch after a loss", desktopChanged, {.where = elsewhere, .lossNearSwitch = true}, saveAndTake,
         inConsole},
        {"switch, no loss", desktopChanged, {.where = elsewhere}, nothing, any},
        {"switch, keys in the console", desktopChanged, {.where = inConsole, .lossNearSwitch = true}, nothing, any},
        {"switch under a locker", desktopChanged, {.where = elsewhere, .locked = true, .lossNearSwitch = true},
         nothing, elsewhere},
        {"switch on another monitor", desktopChanged,
         {.where = elsewhere, .otherMonitor = true, .lossNearSwitch = true}, nothing, elsewhere},
        {"switch while hidden", desktopChanged, {.where = hidden, .lossNearSwitch = true}, nothing, any},
        {"i3 undoes the show after it settled", focusLost,
         {.where = elsewhere, .backOnSaved = true, .lossNearTake = true}, retake, inConsole},
        {"loss right after the show to another window", focusLost, {.where = elsewhere, .lossNearTake = true},
         nothing, elsewhere},
        // Refocus and relaunch.
        {"refocus takes back", refocus, {.where = elsewhere, .byKey = true}, saveAndTake, inConsole},
        {"refocus by signal", refocus, {.where = elsewhere}, saveAndTake, inConsole},
        {"refocus by signal over a locker", refocus, {.where = elsewhere, .locked = true}, nothing, elsewhere},
        {"refocus, keys in the console", refocus, {.where = inConsole}, nothing, any},
        {"relaunch", relaunch, {.where = inConsole, .hadKeys = true}, take, inConsole},
        {"relaunch, keys were elsewhere", relaunch, {.where = elsewhere}, nothing, any},
        {"relaunch while hidden", relaunch, {.where = hidden, .hadKeys = true}, nothing, any},
    };
    for (const Row& r : rows) {
        const FocusDecision d = decide(r.event, r.facts);
        EXPECT_EQ(d.action, r.action) << r.rule;
        EXPECT_EQ(d.next, r.next) << r.rule;
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
    EXPECT_TRUE(covers({0, 0, 2304, 768}, monitor));  // a locker over the whole screen
    EXPECT_TRUE(covers(monitor, monitor));
    EXPECT_FALSE(covers({0, 0, 1280, 768}, monitor));        // the other monitor
    EXPECT_FALSE(covers({1280, 0, 300, 100}, monitor));      // a notification
    EXPECT_TRUE(covers(monitor, {1500, 300, 1, 1}));         // a window's middle
    EXPECT_FALSE(covers(monitor, {2304, 300, 1, 1}));
}
