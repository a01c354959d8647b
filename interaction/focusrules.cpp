// The focus rules as one table: where the keyboard is, the event, the condition, what the console does.
#include "interaction/focusrules.h"

namespace {

// A row's conditions are facts that must hold (none: always).
using Fact = bool FocusFacts::*;
using F = FocusFacts;

struct Rule {
    Keyboard where;
    FocusEvent event;
    Fact condition, also;
    FocusAction action;
    Keyboard next;
};

using enum Keyboard;
using enum FocusEvent;
using enum FocusAction;

// In the order the manual tells them. The first row that matches decides.
const Rule kRules[] = {
    // The show gives the terminal the keyboard and remembers who had it;
    // one that no key press asked for (a signal) never comes over a screen
    // locker (i3lock, xscreensaver, xtrlock, slock: a window over the
    // monitor that holds the keyboard).
    {hidden, show, &F::locked, nullptr, nothing, hidden},
    {hidden, show, nullptr, nullptr, saveAndTake, inConsole},
    // Every hand-back: only while the terminal holds the keyboard.
    {inConsole, hide, nullptr, nullptr, giveBack, hidden},
    {inConsole, end, nullptr, nullptr, giveBack, hidden},
    // The pointer: the crossings of a grab (a drag of the handle, a window
    // manager's) move nothing; an enter takes the keyboard if the pointer
    // is still in the frame, and so does a leave from the handle into the
    // terminal; a leave gives it back.
    {any, enter, &F::ofGrab, nullptr, nothing, any},
    {any, leave, &F::ofGrab, nullptr, nothing, any},
    {shown, enter, &F::pointerInConsole, nullptr, take, inConsole},
    {shown, leave, &F::intoTerminal, &F::pointerInConsole, take, inConsole},
    {shown, leave, &F::intoTerminal, nullptr, nothing, any},
    {inConsole, leave, nullptr, nullptr, giveBack, elsewhere},
    // A focus-follows-mouse window manager (i3) activates the window the
    // pointer went to and does not focus it again when the pointer next
    // comes from the console: that window is where the keyboard goes back.
    {shown, activated, &F::activeIsOther, nullptr, save, any},
    // The terminal's focus events: those of a keyboard grab (the toggle
    // key's own, a window manager's) only lend the keys, those about the
    // pointer's window under a PointerRoot focus are not the focus.
    {any, focusGained, &F::ofGrab, nullptr, nothing, any},
    {any, focusLost, &F::ofGrab, nullptr, nothing, any},
    {any, focusGained, &F::aboutPointer, nullptr, nothing, any},
    {any, focusLost, &F::aboutPointer, nullptr, nothing, any},
    {any, focusGained, nullptr, nullptr, nothing, inConsole},
    {any, focusLost, &F::intoTerminal, nullptr, nothing, inConsole},
    // A workspace switch is a change of the desktop's value: awesome
    // writes the same value again at every focus change.
    {any, desktopChanged, &F::sameDesktop, nullptr, nothing, any},
    // The console stays in front on every workspace: a loss that comes
    // with a switch is taken back, in whichever order the two come; not
    // over a locker, and not when the window now focused is on another
    // monitor (i3, bspwm, herbstluftwm and awesome keep a workspace per
    // monitor and switch it when the user clicks a window there).
    {elsewhere, focusLost, &F::lossNearSwitch, &F::locked, nothing, elsewhere},
    {elsewhere, focusLost, &F::lossNearSwitch, &F::otherMonitor, nothing, elsewhere},
    {elsewhere, focusLost, &F::lossNearSwitch, nullptr, saveAndTake, inConsole},
    {elsewhere, desktopChanged, &F::lossNearSwitch, &F::locked, nothing, elsewhere},
    {elsewhere, desktopChanged, &F::lossNearSwitch, &F::otherMonitor, nothing, elsewhere},
    {elsewhere, desktopChanged, &F::lossNearSwitch, nullptr, saveAndTake, inConsole},
    // Right after the show, the window it took the keyboard from has it
    // again: i3 answers the toggle key's grab by focusing its own window
    // again, by the time the show has settled or after.
    {elsewhere, showSettled, &F::backOnSaved, nullptr, retake, inConsole},
    {elsewhere, focusLost, &F::lossNearTake, &F::backOnSaved, retake, inConsole},
    // Any other loss is left alone ...
    {any, focusLost, nullptr, nullptr, nothing, elsewhere},
    // ... until the toggle with refocus takes it back, but not over a locker.
    {elsewhere, refocus, &F::locked, nullptr, nothing, elsewhere},
    {elsewhere, refocus, nullptr, nullptr, saveAndTake, inConsole},
    // A relaunched terminal gets the keyboard that its predecessor had.
    {shown, relaunch, &F::hadKeys, nullptr, take, inConsole},
};

bool at(Keyboard row, Keyboard where) {
    return row == any || row == where || (row == shown && where != hidden);
}

}  // namespace

FocusDecision decide(FocusEvent event, const FocusFacts& facts) {
    for (const Rule& rule : kRules)
        if (rule.event == event && at(rule.where, facts.where) &&
            (!rule.condition || facts.*rule.condition) && (!rule.also || facts.*rule.also))
            return {rule.action, rule.next};
    return {};
}

bool asksServer(FocusEvent event, FocusFacts facts) {
    if (facts.where == Keyboard::hidden) return false;
    const FocusDecision first = decide(event, facts);
    for (Keyboard where : {Keyboard::inConsole, Keyboard::elsewhere})
        for (bool pointer : {false, true})
            for (bool back : {false, true}) {
                facts.where = where;
                facts.pointerInConsole = pointer;
                facts.backOnSaved = back;
                if (!(decide(event, facts) == first)) return true;
            }
    return false;
}

bool closeInTime(long long aMs, long long bMs) {
    long long apart = aMs > bMs ? aMs - bMs : bMs - aMs;
    return apart <= kWmFocusMoveMs;
}

bool covers(const Rect& outer, const Rect& inner) {
    return outer.x <= inner.x && outer.y <= inner.y && outer.x + outer.width >= inner.x + inner.width &&
           outer.y + outer.height >= inner.y + inner.height;
}
