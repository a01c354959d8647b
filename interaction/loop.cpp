// The event loop: hotkeys, the handle, crossings, focus, monitor and panel changes, the terminal's end.
#include <X11/Xlib.h>

#include <algorithm>
#include <string>

#include "console/console.h"
#include "interaction/geometry.h"
#include "interaction/interaction.h"

// The toggle key's last press: one toggle per press, however long it is held.
static LastPress togglePress;

// Shows a hidden console, hides a shown one; with refocus, a shown console
// that has lost the focus takes it back instead.
static void toggleConsole(Time when) {
    if (loop.hidden)
        showConsole(when);
    else if (!console.refocus || !takeBackLostFocus(when))
        hideConsole(when);
}

// A hotkey is known by the key and the modifiers it was grabbed with, not
// by the keysym the key types now. An event sent by another client comes
// from no grab.
static void onKeyPress(const XKeyEvent& key) {
    auto pressed = [&key](const HotkeyGrab& hotkey) {
        return !key.send_event && hotkeyMatches(hotkey, key.keycode, key.state, console.numLockMask);
    };
    if (pressed(console.toggleKey)) {
        if (!repeatedPress(togglePress, key.keycode, key.time, !console.repeatDetectable))
            toggleConsole(key.time);
    } else if (!loop.hidden) {
        const bool full = pressed(console.keyFull), bigger = pressed(console.keyBigger),
                   smaller = pressed(console.keySmaller);
        if (full || bigger || smaller) {
            applySizeKeys(SizePress{full, bigger, smaller});
            settleResize();
        }
    }
}

// A terminal that dies this soon after its launch, this many times in a
// row, is not relaunched again.
constexpr long long kQuickExitMs = 2000;
constexpr int kQuickExitLimit = 5;
static int quickExits = 0;

// Counts a terminal that ended with restart on; ends the console for good
// when terminals keep dying right after their launch.
static void countExitOrGiveUp() {
    quickExits = terminalAgeMs() < kQuickExitMs ? quickExits + 1 : 0;
    if (quickExits >= kQuickExitLimit) endConsole(1, "terminal keeps exiting, giving up: " + console.command);
}

void startTerminalOrEnd(bool firstLaunch) {
    const int heightIncBefore = console.heightInc;
    for (;;) {
        const Launch launch = launchTerminal(firstLaunch);
        if (launch == Launch::adopted) break;
        if (launch == Launch::endRequested) endConsole(0);
        if (launch == Launch::failed || !console.restart) {
            // How its shell ended on its own, not how we close it; what the
            // terminal printed is on standard error above the line.
            const std::string ending = terminalEnding();
            endConsole(1, "terminal did not start: " + console.command +
                              (ending.empty() ? "" : " (" + ending + ")"));
        }
        countExitOrGiveUp();
    }
    watchTerminalFocus();
    if (!firstLaunch) followRelaunch(heightIncBefore);
}

static void terminalGone() {
    // Usually on its way out already; the end also collects it.
    if (!console.restart) endConsole(0);
    countExitOrGiveUp();
    const bool hadFocus = terminalHoldsFocus();
    // A terminal that only unmapped its window is still running: it is
    // ended before its successor comes, not left behind without a window.
    closeTerminal();
    startTerminalOrEnd(false);
    XSync(console.display, False);
    focusRelaunchedTerminal(hadFocus);
}

// The monitors or the panels changed: a shown console is fitted to its new place.
static void onPlaceChange(XEvent& event, bool (*changed)(XEvent&)) {
    const Span before = console.span;
    const int topBefore = shownY();
    if (!changed(event)) return;
    fitToPlacement(before, topBefore, true);
    // Moved or resized past a resting pointer, the frame gets crossings
    // that are not the user's doing.
    settleResize();
}

// X events still to be dispatched before a toggle asked for by a signal;
// -1 when none is asked for.
static int eventsBeforeToggle = -1;

// Takes the next X event into event, or acts on a signal and returns false.
// A toggle by signal comes after the X events queued when it is taken up
// (those that came during a slide or a drag among them), in their order.
static bool nextEvent(XEvent* event) {
    Display* dpy = console.display;
    if (endRequested()) endConsole(0);
    if (eventsBeforeToggle < 0 && takeToggleRequest())
        eventsBeforeToggle = XEventsQueued(dpy, QueuedAfterReading);
    // A drag or a relaunch may have taken some of those out of the queue.
    if (eventsBeforeToggle > 0)
        eventsBeforeToggle = std::min(eventsBeforeToggle, XEventsQueued(dpy, QueuedAlready));
    if (eventsBeforeToggle == 0) {
        eventsBeforeToggle = -1;
        toggleConsole(CurrentTime);
        return false;
    }
    if (XPending(dpy)) {
        XNextEvent(dpy, event);
        if (eventsBeforeToggle > 0) --eventsBeforeToggle;
        return true;
    }
    waitForInput(-1);
    return false;
}

void runEventLoop() {
    XEvent event;
    for (;;) {
        if (!nextEvent(&event)) continue;
        if (isPanelEvent(event)) {
            onPlaceChange(event, panelsChanged);
            continue;
        }
        switch (event.type) {
            case KeyPress:
                onKeyPress(event.xkey);
                break;
            case KeyRelease:
                // The size keys repeat while held, as any key does.
                if (!event.xkey.send_event) noteRelease(togglePress, event.xkey.keycode, event.xkey.time);
                break;
            case MappingNotify:
                followKeyboardMapping(event);
                break;
            case ButtonPress:
                // One sent by another client would grab the pointer until
                // the next real click.
                if (!event.xbutton.send_event) dragResize();
                break;
            case EnterNotify:
            case LeaveNotify:
                onCrossing(event.xcrossing);
                break;
            case FocusIn:
            case FocusOut:
                onFocusChange(event.xfocus);
                break;
            case PropertyNotify:
                if (isTerminalChange(event))
                    followTerminal(event);
                else
                    onRootProperty(event.xproperty);
                break;
            case UnmapNotify:
                if (event.xunmap.window == console.termWin) terminalGone();
                break;
            case SelectionClear:
                // Held by another client, the claim no longer keeps a second
                // console out: we give way, as a window manager does that
                // loses its WM_S<n>.
                if (claimLost(event)) endConsole(0, "another client took over the one-console claim");
                break;
            default:
                noteCompositorChange(event);
                if (isMonitorEvent(event))
                    onPlaceChange(event, monitorsChanged);
                else if (isTerminalChange(event))
                    followTerminal(event);
                break;
        }
    }
}
