// Pure rules behind the focus: which crossing and focus events count, and when a lost focus is taken back.
#include "interaction/focusrules.h"

#include <X11/Xlib.h>

CrossingAction crossingAction(int type, int mode, int detail, bool hidden) {
    if (hidden || mode == NotifyGrab || mode == NotifyUngrab) return CrossingAction::none;
    // A leave from the handle into the terminal leaves the pointer in the
    // console: as good as an enter.
    if (type == EnterNotify || (type == LeaveNotify && detail == NotifyInferior))
        return CrossingAction::takeFocus;
    if (type == LeaveNotify) return CrossingAction::returnFocus;
    return CrossingAction::none;
}

int focusHeld(int type, int mode, int detail) {
    if (mode == NotifyGrab || mode == NotifyUngrab) return -1;
    if (detail == NotifyPointer || detail == NotifyPointerRoot || detail == NotifyDetailNone) return -1;
    // Between the terminal's window and one inside it the focus stays ours.
    if (type == FocusIn || detail == NotifyInferior) return 1;
    return 0;
}

bool closeInTime(long long aMs, long long bMs) {
    long long apart = aMs > bMs ? aMs - bMs : bMs - aMs;
    return apart <= kWmFocusMoveMs;
}
