// What the console does while it runs: the loop, show and hide, sizes, the focus, the wait and the end.
#pragma once

#include <X11/Xlib.h>

#include <string>

#include "startup/dropcon.h"

// The loop; the terminal started and adopted, or the end; show and hide,
// at the time of the press (CurrentTime by signal).
[[noreturn]] void runEventLoop();
void startTerminalOrEnd(bool firstLaunch);
void showConsole(Time when);
void hideConsole(Time when);

// The size keys, the drag of the handle, and fitting the console to the
// place it has just been given (before: the span and top it had): its
// heights fitted to the monitor, the frame and the terminal moved and
// resized where that changed anything.
struct SizePress;
void applySizeKeys(const SizePress& press);
void dragResize();
void fitToPlacement(Span before, int topBefore, bool shown);
// Following the terminal: a change it made to its own size or size hints
// (the event that told of it, and those queued behind it), and a
// relaunched terminal's row height (heightIncBefore: the last one's). A
// terminal that keeps undoing its fits is left alone until resumeFollowing
// (each show).
bool isTerminalChange(const XEvent& event);
void followTerminal(const XEvent& first);
void followRelaunch(int heightIncBefore);
void resumeFollowing();

// A compositing manager, followed from start-up on: the slide down grabs
// the server only without one. It runs while it owns the selection
// compositorSelection names; after an XFixes selection event of this
// subtype, the selection has an owner when ownedAfter says so (the events
// of an owner's window destroyed or its client gone still name the old
// owner: the selection has none any more).
void watchCompositor();
void noteCompositorChange(const XEvent& event);
std::string compositorSelection(int screen);
bool ownedAfter(int subtype, Window owner);

// The focus rules (the table in focusrules.h) carried out.
void watchDesktop();
// The terminal's FocusIn and FocusOut tell whether it holds the keyboard.
void watchTerminalFocus();
bool terminalHoldsFocus();
// The show: whether it comes into view (a show that no key press asked
// for, at CurrentTime, does not come over a screen locker), and then the
// console raised; after its first move, the keyboard taken.
bool raiseForShow(Time when);
void takeFocusForShow(Time when);
// Gives the focus back to the window that had it before the show, only
// while the terminal holds it: at a hide, at the end.
void returnFocus(Time when);
void returnFocusAtEnd();
// After a show, a hide or a resize: the crossings that the frame's own
// motion past a resting pointer caused are dropped and the focus checked
// once: a window manager that answered the show's key by focusing its own
// window again loses it to the console; a hidden console never keeps it.
void settleShow();
void settleHide();
void settleResize();
// With refocus: a shown console that has lost the focus takes it back and
// comes to the front; false when the focus is the terminal's (or, by
// signal, a screen locker is up).
bool takeBackLostFocus(Time when);
void focusRelaunchedTerminal(bool terminalHadFocus);
void onCrossing(const XCrossingEvent& event);
void onFocusChange(const XFocusChangeEvent& event);
void onRootProperty(const XPropertyEvent& event);

// The one wait for X events and signals together, until the server sends
// something, a signal comes or deadlineMs (monotonic, -1: none) passes; on
// the way it collects every ended child, so that no terminal is left a
// zombie. Callers take what they want from the queue before they wait again.
void waitForInput(long long deadlineMs);
// Sleeps through any signal but one that asks the console to end; false then.
bool pauseUnlessEnding(long long micros);
// The one way out: lets go of everything another console would need, hands
// the focus back, closes the terminal, says why (unless message is empty)
// and exits with status.
[[noreturn]] void endConsole(int status, const std::string& message = "");
