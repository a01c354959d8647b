// Unit tests of the focus rules: which crossings and focus events count, and the workspace-switch window.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include "interaction/focusrules.h"

TEST(CrossingAction, TableOfCrossings) {
    struct Row {
        int type, mode, detail;
        bool hidden;
        CrossingAction expected;
    };
    const Row rows[] = {
        {EnterNotify, NotifyNormal, NotifyNonlinear, false, CrossingAction::takeFocus},
        {EnterNotify, NotifyNormal, NotifyInferior, false, CrossingAction::takeFocus},  // terminal to handle
        {LeaveNotify, NotifyNormal, NotifyNonlinear, false, CrossingAction::returnFocus},
        {LeaveNotify, NotifyNormal, NotifyAncestor, false, CrossingAction::returnFocus},
        {LeaveNotify, NotifyNormal, NotifyInferior, false, CrossingAction::takeFocus},  // handle to terminal
        // A hidden console never takes the focus, nor hands it back again.
        {EnterNotify, NotifyNormal, NotifyInferior, true, CrossingAction::none},
        {LeaveNotify, NotifyNormal, NotifyInferior, true, CrossingAction::none},
        {LeaveNotify, NotifyNormal, NotifyNonlinear, true, CrossingAction::none},
        // The crossings of a pointer grab (a drag of the handle) move nothing.
        {LeaveNotify, NotifyGrab, NotifyNonlinear, false, CrossingAction::none},
        {EnterNotify, NotifyUngrab, NotifyNonlinear, false, CrossingAction::none},
        {LeaveNotify, NotifyWhileGrabbed, NotifyNonlinear, false, CrossingAction::returnFocus},
    };
    for (const Row& r : rows)
        EXPECT_EQ(crossingAction(r.type, r.mode, r.detail, r.hidden), r.expected)
            << r.type << " " << r.mode << " " << r.detail << " " << r.hidden;
}

TEST(FocusHeld, KeyboardGrabsAndPointerDetailsSayNothing) {
    EXPECT_EQ(focusHeld(FocusIn, NotifyNormal, NotifyNonlinear), 1);
    EXPECT_EQ(focusHeld(FocusIn, NotifyWhileGrabbed, NotifyAncestor), 1);
    EXPECT_EQ(focusHeld(FocusOut, NotifyNormal, NotifyNonlinear), 0);
    EXPECT_EQ(focusHeld(FocusOut, NotifyWhileGrabbed, NotifyNonlinearVirtual), 0);
    EXPECT_EQ(focusHeld(FocusOut, NotifyNormal, NotifyInferior), 1);  // into the terminal's own child
    // The toggle key's own passive grab, and a window manager's key grab.
    EXPECT_EQ(focusHeld(FocusOut, NotifyGrab, NotifyNonlinear), -1);
    EXPECT_EQ(focusHeld(FocusIn, NotifyUngrab, NotifyNonlinear), -1);
    EXPECT_EQ(focusHeld(FocusOut, NotifyNormal, NotifyPointer), -1);
    EXPECT_EQ(focusHeld(FocusIn, NotifyNormal, NotifyPointer), -1);
}

TEST(CloseInTime, EitherOrderWithinHalfASecond) {
    EXPECT_TRUE(closeInTime(10000, 10000));
    EXPECT_TRUE(closeInTime(10000, 10500));
    EXPECT_TRUE(closeInTime(10500, 10000));
    EXPECT_FALSE(closeInTime(10000, 10501));
    EXPECT_FALSE(closeInTime(12000, 10000));
    EXPECT_FALSE(closeInTime(10000, -1000000));  // no switch yet
}
