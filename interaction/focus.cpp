// The focus rules: who gets the keyboard on show, hide, crossings, workspace switches and relaunches.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "interaction/focusrules.h"
#include "interaction/interaction.h"

// Whether the terminal holds the keyboard focus, as its FocusIn and
// FocusOut events tell, and when (monotonic ms) it last lost it, the
// console last took it (show, refocus) and the desktop last changed.
static bool termFocused = false;
static long long focusLostMs = -1000000;
static long long focusTakenMs = -1000000;
static Time focusTakenTime = CurrentTime;  // the time the console took it with
static long long desktopChangedMs = -1000000;

// Root properties by which window managers announce a workspace switch,
// and the window manager's focused window.
static Atom currentDesktopAtom = None;
static Atom showingDesktopAtom = None;
static Atom activeWindowAtom = None;

static void focusAt(Window window, Time when) {
    XSetInputFocus(console.display, window, RevertToPointerRoot, when);
}

// Whether the window can take the focus. A window that has gone away
// meanwhile is an expected answer here, not an error worth reporting.
static bool viewable(Window window) {
    // Errors of requests still in flight belong to the usual handler.
    if (LastKnownRequestProcessed(console.display) != NextRequest(console.display) - 1)
        XSync(console.display, False);
    XErrorHandler previous = XSetErrorHandler(ignoreXError);
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

void returnFocus(Time when) {
    // A loss from now on is our own doing, not a window manager's.
    focusTakenMs = -1000000;
    desktopChangedMs = -1000000;
    if (loop.savedFocus == None) return;
    // Checked and set under a short server grab: no window manager can move
    // the focus in between (a focus-follows-mouse one focusing the window the
    // pointer went to), and only a focus that is still ours is handed back.
    grabServer();
    if (heldByTerminal(currentFocus())) {
        // When the window that had the focus is gone or unmapped, the focus
        // goes to the pointer's window: left on the terminal it would send
        // the keys into a console that is out of sight.
        if (loop.savedFocus != PointerRoot && !viewable(loop.savedFocus))
            focusAt(PointerRoot, when);
        else
            focusAt(loop.savedFocus, when);
    }
    ungrabServer();
}

void watchDesktop() {
    char names[][24] = {"_NET_CURRENT_DESKTOP", "_NET_SHOWING_DESKTOP", "_NET_ACTIVE_WINDOW"};
    char* list[] = {names[0], names[1], names[2]};
    Atom atoms[3] = {None, None, None};
    XInternAtoms(console.display, list, 3, False, atoms);
    currentDesktopAtom = atoms[0];
    showingDesktopAtom = atoms[1];
    activeWindowAtom = atoms[2];
}

void watchTerminalFocus() {
    // The launch selected its focus events.
    termFocused = false;
}

// The console takes the focus (show, refocus) with the key press's time.
static void takeFocus(Time when) {
    focusAt(console.termWin, when);
    focusTakenMs = monotonicMs();
    focusTakenTime = when;
}

void takeFocusForShow(Time when) {
    // The window to hand the focus back to; never the terminal itself.
    Window focus = currentFocus();
    // No focus at all (None) is handed back as the pointer's window: a
    // saved None would leave the keys in the hidden terminal.
    if (focus == None) focus = PointerRoot;
    if (focus != console.termWin && focus != console.frameWin) loop.savedFocus = focus;
    takeFocus(when);
}

// Drops the crossing events of the frame that are queued. A slide (or a
// size key) moves the frame's edge past a resting pointer: the enters and
// leaves it causes are not the user's doing and must not undo the focus
// that show or hide set.
static Window dropOwnCrossings() {
    // The round trip brings in every event the slide caused.
    Window focus = currentFocus();
    XEvent event;
    while (XCheckWindowEvent(console.display, console.frameWin, EnterWindowMask | LeaveWindowMask, &event)) {
    }
    return focus;
}

void settleResize() {
    // A console that grows or shrinks under a resting pointer crosses it
    // too; the user who pressed a size key is typing in the console.
    dropOwnCrossings();
}

void settleShow() {
    Window focus = dropOwnCrossings();
    // The focus back where show found it: a window manager answered the
    // toggle key by focusing its own choice again (see reclaimFocus). The
    // user asked for the console: take it now.
    if (focus == loop.savedFocus && focus != console.termWin) focusAt(console.termWin, focusTakenTime);
}

void settleHide() {
    Window focus = dropOwnCrossings();
    // A hidden console never keeps the focus, even when hide's timed
    // request lost to a later focus change.
    if (focus == console.termWin || focus == console.frameWin) returnFocus(CurrentTime);
}

void focusRelaunchedTerminal(bool terminalHadFocus) {
    // A hidden console does not take the focus: keys typed into a terminal
    // that is out of sight would be lost to the user; nor does one whose
    // focus the user has taken elsewhere.
    if (!loop.hidden && terminalHadFocus) focusAt(console.termWin, CurrentTime);
}

// Takes the focus back into a shown console after the window manager moved
// it away, as it switched workspaces (the console stays in front on every
// workspace, and the keys must go where the user is looking) or right after
// the console took it. The window the window manager chose becomes the one
// the next hide returns to.
static void reclaimFocus(bool afterTake) {
    if (loop.hidden) return;
    Window focus = currentFocus();
    if (heldByTerminal(focus) || (afterTake && focus != loop.savedFocus)) return;
    if (focus != None) loop.savedFocus = focus;
    XRaiseWindow(console.display, console.frameWin);
    // No event of ours caused a workspace switch: CurrentTime. The other
    // case answers i3, which meets the toggle key's grab (it moves the focus
    // to the root for the press) by focusing its own window again with the
    // press's own time: of two requests with equal times the later wins, so
    // the press's time, sent again now, takes it back without making i3's
    // next requests look stale.
    focusAt(console.termWin, afterTake ? focusTakenTime : CurrentTime);
}

// Gives the terminal the focus for an enter, if the pointer is still in the
// console: checked and set under a short server grab. An enter read late,
// after the pointer went on to another window, would otherwise take the
// focus from the window a focus-follows-mouse window manager has just given
// it to (with the same time, and of equal times the later request wins).
static void takeFocusUnderPointer(Time when) {
    Display* dpy = console.display;
    grabServer();
    Window rootReturn = None, child = None;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned mask = 0;
    if (XQueryPointer(dpy, console.root, &rootReturn, &child, &rootX, &rootY, &x, &y, &mask) &&
        child == console.frameWin)
        focusAt(console.termWin, when);
    ungrabServer();
}

static bool ofGrab(const XCrossingEvent& event) {
    return event.mode == NotifyGrab || event.mode == NotifyUngrab;
}

void onCrossing(const XCrossingEvent& event) {
    // Only the latest crossing queued for the frame says where the pointer
    // is now. Acting on a stale enter after the pointer has already left
    // would take the focus from the window a focus-follows-mouse window
    // manager has just given it to, and the leave would then hand it to the
    // saved window instead.
    XCrossingEvent last = event;
    XEvent next;
    while (XCheckWindowEvent(console.display, console.frameWin, EnterWindowMask | LeaveWindowMask, &next))
        if (!ofGrab(next.xcrossing) || ofGrab(last)) last = next.xcrossing;
    switch (crossingAction(last.type, last.mode, last.detail, loop.hidden)) {
        case CrossingAction::takeFocus:
            takeFocusUnderPointer(last.time);
            break;
        case CrossingAction::returnFocus:
            returnFocus(last.time);
            break;
        case CrossingAction::none:
            break;
    }
}

void onFocusChange(const XFocusChangeEvent& event) {
    if (event.window != console.termWin) return;
    int held = focusHeld(event.type, event.mode, event.detail);
    if (held < 0) return;
    termFocused = held == 1;
    if (held) return;
    // Window managers differ in whether the focus moves before or after the
    // desktop property changes: each of the two events looks for the other.
    focusLostMs = monotonicMs();
    if (closeInTime(focusLostMs, desktopChangedMs)) reclaimFocus(false);
    // Right after the console took the focus, the window it took it from
    // gets it back: a window manager undoing the console's show.
    else if (closeInTime(focusLostMs, focusTakenMs))
        reclaimFocus(true);
}

// The window the window manager has made its active one, or None.
static Window activeWindow() {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    Window active = None;
    if (XGetWindowProperty(console.display, console.root, activeWindowAtom, 0, 1, False, XA_WINDOW,
                           &type, &format, &count, &after, &data) == Success &&
        data && format == 32 && count == 1)
        active = static_cast<Window>(*reinterpret_cast<unsigned long*>(data));
    if (data) XFree(data);
    return active;
}

void onRootProperty(const XPropertyEvent& event) {
    if (event.window != console.root) return;
    // While the console is shown, the window the window manager makes
    // active is where the focus goes back to: a focus-follows-mouse one
    // activates the window the pointer went to, and does not focus it again
    // when the pointer next goes there from the console (the console's
    // window is none of its business).
    if (event.atom == activeWindowAtom) {
        if (loop.hidden || event.state != PropertyNewValue) return;
        Window active = activeWindow();
        if (active != None && active != console.frameWin && active != console.termWin)
            loop.savedFocus = active;
        return;
    }
    if (event.atom != currentDesktopAtom && event.atom != showingDesktopAtom) return;
    desktopChangedMs = monotonicMs();
    if (!termFocused && closeInTime(focusLostMs, desktopChangedMs)) reclaimFocus(false);
}

bool takeBackLostFocus(Time when) {
    // The focus was moved away while the console stayed in front: the
    // press brings the keyboard back rather than hiding the console.
    if (termFocused) return false;
    Window focus = currentFocus();
    if (heldByTerminal(focus)) return false;
    if (focus != None) loop.savedFocus = focus;
    XRaiseWindow(console.display, console.frameWin);
    takeFocus(when);
    return true;
}
