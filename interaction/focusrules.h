// Pure rules behind the focus: which crossing and focus events count, and when a lost focus is taken back.
#pragma once

#include <X11/X.h>

// What a crossing event of the frame asks of the focus.
enum class CrossingAction { none, takeFocus, returnFocus };

// Entering the console (or leaving the handle for the terminal) takes the
// focus, leaving it for a window outside gives it back. Nothing for a
// hidden console, nothing for the crossings of a pointer grab (NotifyGrab,
// NotifyUngrab: a drag of the handle, a window manager's grab).
CrossingAction crossingAction(int type, int mode, int detail, bool hidden);

// What a FocusIn or FocusOut of the terminal's window says: 1 the terminal
// holds the focus, 0 it has lost it, -1 nothing (the focus events of a
// keyboard grab, which only borrows the keys, and those about the pointer's
// window under a PointerRoot focus).
int focusHeld(int type, int mode, int detail);

// How close (ms) a loss of the focus must come to a workspace switch, or
// follow the console's own taking of the focus, to be taken as the window
// manager's doing rather than the user's.
constexpr long long kWmFocusMoveMs = 500;

// Whether two moments (monotonic ms) are that close, in either order.
bool closeInTime(long long aMs, long long bMs);
