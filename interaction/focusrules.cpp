// The focus rules as one table: where the keyboard is, what happened, under which condition, what the console does.
#include "interaction/focusrules.h"

namespace {

enum class Condition {
    always,
    lockerOver,  // a screen locker covers the monitor, and no key press asked (none reaches us under one)
    otherMonitor,
    pointerInConsole,
    backOnSaved,
    ofGrab,
    aboutPointer,
    intoTerminal,
    activeIsOther,
    sameDesktop,
    lossNearSwitch,
    lossNearTake,
    hadKeys,
};

bool holds(Condition condition, const FocusFacts& f) {
    switch (condition) {
        case Condition::always: return true;
        case Condition::lockerOver: return f.locked && !f.byKey;
        case Condition::otherMonitor: return f.otherMonitor;
        case Condition::pointerInConsole: return f.pointerInConsole;
        case Condition::backOnSaved: return f.backOnSaved;
        case Condition::ofGrab: return f.ofGrab;
        case Condition::aboutPointer: return f.aboutPointer;
        case Condition::intoTerminal: return f.intoTerminal;
        case Condition::activeIsOther: return f.activeIsOther;
        case Condition::sameDesktop: return f.sameDesktop;
        case Condition::lossNearSwitch: return f.lossNearSwitch;
        case Condition::lossNearTake: return f.lossNearTake;
        case Condition::hadKeys: return f.hadKeys;
    }
    return false;
}

struct Rule {
    Keyboard where;
    FocusEvent event;
    Condition condition, also;  // both must hold
    FocusAction action;
    Keyboard next;
};

using enum Keyboard;
using enum FocusEvent;
using enum FocusAction;
using C = Condition;

// In the order the manual tells them. The first row that matches decides.
const Rule kRules[] = {
    // The show gives the terminal the keyboard and remembers who had it;
    // one that no key press asked for (a signal) never comes over a screen
    // locker (i3lock, xscreensaver, xtrlock, slock: a window over the
    // monitor that holds the keyboard).
    {hidden, show, C::lockerOver, C::always, nothing, hidden},
    {hidden, show, C::always, C::always, saveAndTake, inConsole},
    // Every hand-back: only while the terminal holds the keyboard.
    {inConsole, hide, C::always, C::always, giveBack, hidden},
    {inConsole, end, C::always, C::always, giveBack, hidden},
    // The pointer: the crossings of a grab (a drag of the handle, a window
    // manager's) move nothing; an enter takes the keyboard if the pointer
    // is still in the frame, and so does a leave from the handle into the
    // terminal; a leave gives it back.
    {any, enter, C::ofGrab, C::always, nothing, any},
    {any, leave, C::ofGrab, C::always, nothing, any},
    {shown, enter, C::pointerInConsole, C::always, take, inConsole},
    {shown, leave, C::intoTerminal, C::pointerInConsole, take, inConsole},
    {shown, leave, C::intoTerminal, C::always, nothing, any},
    {inConsole, leave, C::always, C::always, giveBack, elsewhere},
    // A focus-follows-mouse window manager (i3) activates the window the
    // pointer went to and does not focus it again when the pointer next
    // comes from the console: that window is where the keyboard goes back.
    {shown, activated, C::activeIsOther, C::always, save, any},
    // The terminal's focus events: those of a keyboard grab (the toggle
    // key's own, a window manager's) only lend the keys, those about the
    // pointer's window under a PointerRoot focus are not the focus.
    {any, focusGained, C::ofGrab, C::always, nothing, any},
    {any, focusLost, C::ofGrab, C::always, nothing, any},
    {any, focusGained, C::aboutPointer, C::always, nothing, any},
    {any, focusLost, C::aboutPointer, C::always, nothing, any},
    {any, focusGained, C::always, C::always, nothing, inConsole},
    {any, focusLost, C::intoTerminal, C::always, nothing, inConsole},
    // A workspace switch is a change of the desktop's value: awesome
    // writes the same value again at every focus change.
    {any, desktopChanged, C::sameDesktop, C::always, nothing, any},
    // The console stays in front on every workspace: a loss that comes
    // with a switch is taken back, in whichever order the two come; not
    // over a locker, and not when the window now focused is on another
    // monitor (i3, bspwm, herbstluftwm and awesome keep a workspace per
    // monitor and switch it when the user clicks a window there).
    {elsewhere, focusLost, C::lossNearSwitch, C::lockerOver, nothing, elsewhere},
    {elsewhere, focusLost, C::lossNearSwitch, C::otherMonitor, nothing, elsewhere},
    {elsewhere, focusLost, C::lossNearSwitch, C::always, saveAndTake, inConsole},
    {elsewhere, desktopChanged, C::lossNearSwitch, C::lockerOver, nothing, elsewhere},
    {elsewhere, desktopChanged, C::lossNearSwitch, C::otherMonitor, nothing, elsewhere},
    {elsewhere, desktopChanged, C::lossNearSwitch, C::always, saveAndTake, inConsole},
    // Right after the show, the window it took the keyboard from has it
    // again: i3 answers the toggle key's grab by focusing its own window
    // again, by the time the show has settled or after.
    {elsewhere, showSettled, C::backOnSaved, C::always, retake, inConsole},
    {elsewhere, focusLost, C::lossNearTake, C::backOnSaved, retake, inConsole},
    // Any other loss is left alone ...
    {any, focusLost, C::always, C::always, nothing, elsewhere},
    // ... until the toggle with refocus takes it back, but not over a locker.
    {elsewhere, refocus, C::lockerOver, C::always, nothing, elsewhere},
    {elsewhere, refocus, C::always, C::always, saveAndTake, inConsole},
    // A relaunched terminal gets the keyboard that its predecessor had.
    {shown, relaunch, C::hadKeys, C::always, take, inConsole},
};

bool at(Keyboard row, Keyboard where) {
    return row == any || row == where || (row == shown && where != hidden);
}

}  // namespace

FocusDecision decide(FocusEvent event, const FocusFacts& facts) {
    for (const Rule& rule : kRules)
        if (rule.event == event && at(rule.where, facts.where) && holds(rule.condition, facts) &&
            holds(rule.also, facts))
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
