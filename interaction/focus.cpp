// The focus rules carried out: each event's facts gathered, the table's decision (focusrules), the action.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "interaction/focusrules.h"
#include "interaction/interaction.h"

constexpr long long kLongAgo = -1000000;

// Whether the terminal holds the keyboard by its own focus events, and when
// (monotonic ms) it last lost it, the console last took it as the user asked
// (show, refocus) and the desktop's value last changed.
static bool termFocused = false;
static long long focusLostMs = kLongAgo, focusTakenMs = kLongAgo, desktopChangedMs = kLongAgo;
static Time focusTakenTime = CurrentTime;  // the time the console took it with
static Window takenFrom = None;            // and the window it took it from

// The root properties by which window managers announce a workspace switch
// or "show desktop", with the value each had when last read (-1: none), and
// the window manager's active window.
static Atom desktopAtoms[2] = {None, None};
static long desktopValues[2] = {-1, -1};
static Atom activeWindowAtom = None;

static void focusAt(Window window, Time when) {
    XSetInputFocus(console.display, window, RevertToPointerRoot, when);
}

// Whether the window can take the focus. A window that has gone away
// meanwhile is an expected answer here, not an error worth reporting.
static bool viewable(Window window) {
    XErrorHandler previous = quietErrors();
    XWindowAttributes attributes;
    Status found = XGetWindowAttributes(console.display, window, &attributes);
    XSetErrorHandler(previous);
    return found && attributes.map_state == IsViewable;
}

static Window currentFocus() {
    Window focus = None;
    int revertTo = 0;
    XGetInputFocus(console.display, &focus, &revertTo);
    return focus;
}

// Whether the keyboard is the terminal's, given where the server says the
// focus is. When the terminal's window goes while it has the focus, X
// reverts the focus to PointerRoot (as we ask with every focus change), so
// on a shown console whose terminal had the focus by the last focus events,
// a PointerRoot focus with the terminal gone still counts as the
// terminal's: the one it had is handed back. A PointerRoot focus the user
// had before (the pointer left the console) does not.
static bool heldByTerminal(Window focus) {
    if (focus == console.termWin || focus == console.frameWin) return true;
    return !loop.hidden && termFocused && (focus == PointerRoot || focus == None) &&
           !viewable(console.termWin);
}

bool terminalHoldsFocus() { return heldByTerminal(currentFocus()); }

// A root property's one 32-bit value, or absent when it has none.
static long rootValue(Atom property, Atom type, long absent) {
    const auto values = propertyLongs(console.root, property, type);
    return values && values->size() == 1 ? values->front() : absent;
}

void watchDesktop() {
    const char* names[] = {"_NET_CURRENT_DESKTOP", "_NET_SHOWING_DESKTOP", "_NET_ACTIVE_WINDOW"};
    Atom atoms[3] = {None, None, None};
    XInternAtoms(console.display, const_cast<char**>(names), 3, False, atoms);
    activeWindowAtom = atoms[2];
    for (int i : {0, 1}) {
        desktopAtoms[i] = atoms[i];
        desktopValues[i] = rootValue(atoms[i], XA_CARDINAL, -1);
    }
}

// The launch selected its focus events.
void watchTerminalFocus() { termFocused = false; }

// Whether a screen locker covers the console's monitor: a viewable
// override-redirect window stacked above the frame over all of it (i3lock,
// xscreensaver, xtrlock and slock draw one and hold the keyboard). Asked
// under the server grab, so none comes or goes meanwhile.
static bool lockerOver() {
    Display* dpy = console.display;
    Window rootReturn = None, parent = None, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(dpy, console.root, &rootReturn, &parent, &children, &count)) return false;
    bool above = false, locked = false;
    // Bottom to top: the windows after the frame are stacked above it.
    for (unsigned i = 0; i < count && !locked; ++i) {
        XWindowAttributes a;
        if (children[i] == console.frameWin)
            above = true;
        else if (above && XGetWindowAttributes(dpy, children[i], &a))
            locked =
                a.override_redirect && a.map_state == IsViewable &&
                covers({a.x, a.y, a.width + 2 * a.border_width, a.height + 2 * a.border_width}, console.area);
    }
    if (children) XFree(children);
    return locked;
}

// Whether the window that has the focus lies (its middle) on another
// monitor than the console's. No window, or one off the screen (i3 focuses
// a window of its own at -1,-1 on an empty workspace), lies on none; on
// one monitor there is no other.
static bool onOtherMonitor(Window focus) {
    Display* dpy = console.display;
    const Rect screen{0, 0, DisplayWidth(dpy, console.screen), DisplayHeight(dpy, console.screen)};
    if (focus == None || focus == PointerRoot || focus == console.root || covers(console.area, screen))
        return false;
    XWindowAttributes a;
    int x = 0, y = 0;
    Window child = None;
    return XGetWindowAttributes(dpy, focus, &a) &&
           XTranslateCoordinates(dpy, focus, console.root, a.width / 2, a.height / 2, &x, &y, &child) &&
           covers(screen, {x, y, 1, 1}) && !covers(console.area, {x, y, 1, 1});
}

static bool pointerInFrame() {
    Window rootReturn = None, child = None;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned mask = 0;
    return XQueryPointer(console.display, console.root, &rootReturn, &child, &rootX, &rootY, &x, &y, &mask) &&
           child == console.frameWin;
}

// The window to hand the keyboard back to; never the terminal itself. No
// focus at all (None) is kept as the pointer's window: a saved None would
// leave the keys in the hidden terminal.
static void remember(Window focus) {
    if (focus == None) focus = PointerRoot;
    if (focus != console.termWin && focus != console.frameWin) loop.savedFocus = focus;
}

// A take the user asked for (show, refocus), with the key press's time,
// from the window just remembered: what a window manager may undo right
// after. (The remembered window may change meanwhile: a window the user
// clicks is remembered as the one to give the keys back to.)
static void takeAsAsked(Time when) {
    focusAt(console.termWin, when);
    focusTakenMs = monotonicMs();
    focusTakenTime = when;
    takenFrom = loop.savedFocus;
}

// focus: the window that has the keyboard, as the server said (None when
// not asked); active: the window the window manager made active.
static void act(FocusEvent event, FocusAction action, Window focus, Time when, Window active) {
    switch (action) {
        case FocusAction::nothing:
            break;
        case FocusAction::save:
            loop.savedFocus = active;
            break;
        case FocusAction::saveAndTake:
            XRaiseWindow(console.display, console.frameWin);
            // The show takes the keyboard after its first move (takeFocusForShow).
            if (event == FocusEvent::show) break;
            remember(focus);
            if (event == FocusEvent::refocus)
                takeAsAsked(when);
            else
                focusAt(console.termWin, when);
            break;
        case FocusAction::take:
            focusAt(console.termWin, when);
            break;
        case FocusAction::retake:
            // i3 focuses its own window again with the toggle key's own time:
            // of two requests with equal times the later wins, so that time,
            // sent again, takes it back without making i3's next requests
            // look stale.
            focusAt(console.termWin, focusTakenTime);
            // A window manager that focused its window with a later time of
            // its own (i3's latest, when it answers late; awesome's) keeps it
            // against that one: then the time is now. Under the server grab,
            // nothing comes between the look and the take.
            if (currentFocus() != console.termWin) focusAt(console.termWin, CurrentTime);
            break;
        case FocusAction::giveBack:
            // A loss from now on is our own doing, not a window manager's.
            focusTakenMs = desktopChangedMs = kLongAgo;
            if (loop.savedFocus == None) break;
            // Not to a window that has gone or is unmapped: the terminal
            // would keep keys that go into a console out of sight.
            focusAt(
                loop.savedFocus != PointerRoot && !viewable(loop.savedFocus) ? PointerRoot : loop.savedFocus,
                when);
            break;
    }
}

// Decides an event by the table and carries the decision out. What the
// server is asked (see FocusFacts) is asked under one short server grab
// together with the action, so that no window manager (and no locker)
// slips in between.
static FocusDecision apply(FocusEvent event, FocusFacts facts, Time when, Window active = None) {
    facts.where = loop.hidden ? Keyboard::hidden : Keyboard::inConsole;
    const bool ask = asksServer(event, facts);
    FocusDecision decision = decide(event, facts);
    const bool byKey = when != CurrentTime;
    const bool hold = ask || (decision.action == FocusAction::saveAndTake && !byKey);
    if (hold) grabServer();
    Window focus = None;
    if (ask) {
        focus = currentFocus();
        facts.where = heldByTerminal(focus) ? Keyboard::inConsole : Keyboard::elsewhere;
        facts.backOnSaved = focus == takenFrom;
        facts.pointerInConsole =
            (event == FocusEvent::enter || event == FocusEvent::leave) && pointerInFrame();
        decision = decide(event, facts);
    }
    if (decision.action == FocusAction::saveAndTake) {
        facts.locked = !byKey && lockerOver();
        facts.otherMonitor = onOtherMonitor(focus);
        decision = decide(event, facts);
    }
    act(event, decision.action, focus, when, active);
    if (hold) ungrabServer();
    return decision;
}

bool raiseForShow(Time when) { return apply(FocusEvent::show, {}, when).action != FocusAction::nothing; }

void takeFocusForShow(Time when) {
    remember(currentFocus());
    takeAsAsked(when);
}

void returnFocus(Time when) { apply(FocusEvent::hide, {}, when); }

void returnFocusAtEnd() { apply(FocusEvent::end, {}, CurrentTime); }

bool takeBackLostFocus(Time when) {
    // While the terminal's own focus events say it has the keyboard, the
    // press hides, without asking the server: i3 answers the toggle key's
    // grab by focusing its own window again for a moment (see the retake
    // rows), and a look then would take the keyboard back instead.
    if (termFocused) return false;
    return apply(FocusEvent::refocus, {}, when).action != FocusAction::nothing;
}

void focusRelaunchedTerminal(bool terminalHadFocus) {
    apply(FocusEvent::relaunch, {.hadKeys = terminalHadFocus}, CurrentTime);
}

// Drops the crossing events of the frame that the server sent before it
// answered a round trip. A slide (or a size key) moves the frame's edge past
// a resting pointer: the enters and leaves it causes are not the user's
// doing and must not undo the focus that show or hide set. Those the user's
// pointer causes later carry a later serial, and stay.
static void dropOwnCrossings() {
    unsigned long sync = NextRequest(console.display);
    XSync(console.display, False);
    XEvent event;
    while (XCheckIfEvent(
        console.display, &event,
        [](Display*, XEvent* e, XPointer before) -> Bool {
            return (e->type == EnterNotify || e->type == LeaveNotify) &&
                   e->xcrossing.window == console.frameWin &&
                   e->xany.serial < *reinterpret_cast<unsigned long*>(before);
        },
        reinterpret_cast<XPointer>(&sync))) {
    }
}

void settleResize() { dropOwnCrossings(); }

void settleShow() {
    dropOwnCrossings();
    apply(FocusEvent::showSettled, {}, CurrentTime);
}

void settleHide() {
    dropOwnCrossings();
    // A hidden console never keeps the focus, even when hide's timed
    // request lost to a later focus change.
    apply(FocusEvent::hide, {}, CurrentTime);
}

static bool ofGrab(int mode) { return mode == NotifyGrab || mode == NotifyUngrab; }

void onCrossing(const XCrossingEvent& event) {
    // Only the latest crossing queued for the frame says where the pointer
    // is now. Acting on a stale enter after the pointer has already left
    // would take the focus from the window a focus-follows-mouse window
    // manager has just given it to, and the leave would then hand it to the
    // saved window instead.
    XCrossingEvent last = event;
    XEvent next;
    while (XCheckWindowEvent(console.display, console.frameWin, EnterWindowMask | LeaveWindowMask, &next))
        if (!ofGrab(next.xcrossing.mode) || ofGrab(last.mode)) last = next.xcrossing;
    FocusFacts facts;
    facts.ofGrab = ofGrab(last.mode);
    facts.intoTerminal = last.type == LeaveNotify && last.detail == NotifyInferior;
    apply(last.type == EnterNotify ? FocusEvent::enter : FocusEvent::leave, facts, last.time);
}

void onFocusChange(const XFocusChangeEvent& event) {
    if (event.window != console.termWin) return;
    const long long now = monotonicMs();
    FocusFacts facts;
    facts.ofGrab = ofGrab(event.mode);
    facts.aboutPointer = event.detail == NotifyPointer || event.detail == NotifyPointerRoot ||
                         event.detail == NotifyDetailNone;
    facts.intoTerminal = event.detail == NotifyInferior;
    // Window managers differ in whether the focus moves before or after the
    // desktop's value changes: each of the two events looks for the other.
    facts.lossNearSwitch = closeInTime(now, desktopChangedMs);
    facts.lossNearTake = closeInTime(now, focusTakenMs);
    const FocusDecision decision =
        apply(event.type == FocusIn ? FocusEvent::focusGained : FocusEvent::focusLost, facts, CurrentTime);
    // What the terminal's events say, not what the action hopes for: a
    // retake that comes too late for the server (awesome focuses with a
    // later time) leaves the keyboard elsewhere, and its success would
    // come as a FocusIn of its own.
    if (decision.next != Keyboard::any) termFocused = event.type == FocusIn || facts.intoTerminal;
    // A loss pairs with one change of the desktop: once judged with one, it
    // is not kept for the next (a click back on the console's monitor).
    if (decision.next == Keyboard::elsewhere && !facts.lossNearSwitch) focusLostMs = now;
}

void onRootProperty(const XPropertyEvent& event) {
    if (event.window != console.root) return;
    FocusFacts facts;
    if (event.atom == activeWindowAtom) {
        const Window active = static_cast<Window>(rootValue(activeWindowAtom, XA_WINDOW, None));
        facts.activeIsOther = active != None && active != console.frameWin && active != console.termWin;
        apply(FocusEvent::activated, facts, CurrentTime, active);
        return;
    }
    for (int i : {0, 1}) {
        if (event.atom != desktopAtoms[i]) continue;
        // A notice says the property was written, not that it changed; a
        // deleted one says there is no workspace.
        const long value = rootValue(event.atom, XA_CARDINAL, -1);
        facts.sameDesktop = value == desktopValues[i];
        desktopValues[i] = value;
        if (!facts.sameDesktop) desktopChangedMs = monotonicMs();
        facts.lossNearSwitch = closeInTime(focusLostMs, monotonicMs());
        apply(FocusEvent::desktopChanged, facts, CurrentTime);
        if (!facts.sameDesktop && facts.lossNearSwitch) focusLostMs = kLongAgo;
    }
}
