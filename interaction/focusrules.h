// The focus rules as one table: where the keyboard is, the event, the condition, what the console does.
#pragma once

#include "startup/dropcon.h"

// Where the keyboard is: the console hidden, in the shown console's
// terminal, or elsewhere while the console is shown. A row of the table may
// also say shown (either of the last two) or any; as the place a row leaves
// the keyboard in, any means where it was.
enum class Keyboard { hidden, inConsole, elsewhere, shown, any };

enum class FocusEvent {
    show,            // the toggle shows the console
    showSettled,     // its slide is over
    hide,            // the toggle hides it: before its slide and again once it is over
    end,             // the console ends
    enter,           // the pointer comes into the frame
    leave,           // the pointer leaves the frame, or the handle for the terminal
    activated,       // the window manager names a window its active one
    focusGained,     // the terminal's FocusIn
    focusLost,       // the terminal's FocusOut
    desktopChanged,  // _NET_CURRENT_DESKTOP or _NET_SHOWING_DESKTOP written
    refocus,         // the toggle on a shown console, with refocus set
    relaunch,        // a new terminal has taken the place of one that went
};

enum class FocusAction {
    nothing,
    save,         // remember the window the window manager made active
    saveAndTake,  // remember the window that has the keyboard, raise the console, give the terminal the
                  // keyboard
    take,         // give the terminal the keyboard
    retake,       // give it the keyboard again, with the time the console last took it with
    giveBack,     // to the remembered window; to the pointer's window when that one has gone
};

// What the console knows when an event comes. The server's answers (where,
// pointerInConsole, backOnSaved, and for a raise locked and otherMonitor)
// are asked for, under a short server grab, only where they could change
// the decision.
struct FocusFacts {
    Keyboard where = Keyboard::hidden;
    // A screen locker covers the console's monitor; looked for only where
    // no key press asked (none reaches the console under a locker).
    bool locked = false;
    bool otherMonitor = false;      // the window that has the keyboard lies on another monitor
    bool pointerInConsole = false;  // the pointer is in the frame now
    bool backOnSaved = false;       // the window the console last took it from has it again
    bool ofGrab = false;            // a crossing or focus change of a pointer or keyboard grab
    bool aboutPointer = false;      // a focus change about the pointer's window (PointerRoot focus)
    bool intoTerminal = false;      // a leave from the handle, a FocusOut to a window, inside the terminal
    bool activeIsOther = false;     // the window made active is not the console's
    bool sameDesktop = false;       // the notice wrote the value the property had
    bool lossNearSwitch = false;    // the focus loss and a change of the desktop within kWmFocusMoveMs
    bool lossNearTake = false;      // the focus loss within kWmFocusMoveMs after the console took it
    bool hadKeys = false;           // the terminal that went held the keyboard
};

struct FocusDecision {
    FocusAction action = FocusAction::nothing;
    Keyboard next = Keyboard::any;
    bool operator==(const FocusDecision&) const = default;
};

// The first row of the table that matches the event and the facts; nothing
// when none does.
FocusDecision decide(FocusEvent event, const FocusFacts& facts);

// Whether the server's answers (where the keyboard is, whether the pointer
// is in the frame, whether the window the console took it from has it again) could
// change the decision, the other facts being as given.
bool asksServer(FocusEvent event, FocusFacts facts);

// How close (ms) a loss of the focus must come to a change of the desktop,
// or follow the console's own taking of the focus, to be taken as the window
// manager's doing rather than the user's.
constexpr long long kWmFocusMoveMs = 500;

// Whether two moments (monotonic ms) are that close, in either order.
bool closeInTime(long long aMs, long long bMs);

// Whether a rectangle covers another one whole.
bool covers(const Rect& outer, const Rect& inner);
