// What the console does while it runs: the event loop, show and hide, the size keys and the drag, the focus, the wait and the end.
#pragma once

#include <X11/Xlib.h>

#include <string>

#include "startup/dropcon.h"

// The loop and its toggle. The toggle shows a hidden console, hides a shown
// one (or, with refocus, first takes a lost focus back), with the time of
// the press that asked for it (CurrentTime by signal).
[[noreturn]] void runEventLoop();
void toggleConsole(Time when);
// Starts the terminal and adopts its window; ends the console when none
// can be had.
void startTerminalOrEnd(bool firstLaunch);

// Show and hide set the focus with the time of the event that caused them.
void showConsole(Time when);
void hideConsole(Time when);

// The size keys, the drag of the handle, and fitting the console to the
// monitor it has just been placed on (before: the span and top it had).
struct SizePress;
void applySizeKeys(const SizePress& press);
void dragResize();
void fitToPlacement(Span before, int topBefore, bool shown);

// Follows a compositing manager coming and going: the slide down grabs the
// server only without one.
void watchCompositor();
void noteCompositorChange(const XEvent& event);

// The focus rules.
void watchDesktop();
// The terminal's FocusIn and FocusOut tell whether it holds the keyboard.
void watchTerminalFocus();
// Gives the focus back to the window that had it before the console was
// shown, but only while the terminal holds it; a saved window that has gone
// or is unmapped gives way to the pointer's window.
void returnFocus(Time when = CurrentTime);
bool terminalHoldsFocus();
// Notes where the focus is and gives it to the terminal, before the slide.
void takeFocusForShow(Time when);
// After a show, a hide or a resize: the crossings that the frame's own
// motion past a resting pointer caused are dropped, and the focus is
// checked once. A window manager that answered the show's key by focusing
// its own window again loses it to the console; a hidden console never
// keeps the focus.
void settleShow();
void settleHide();
void settleResize();
// With refocus: a shown console that has lost the focus takes it back and
// comes to the front; false when the focus is the terminal's.
bool takeBackLostFocus(Time when);
void focusRelaunchedTerminal(bool terminalHadFocus);
void onCrossing(const XCrossingEvent& event);
void onFocusChange(const XFocusChangeEvent& event);
void onRootProperty(const XPropertyEvent& event);

// The one wait for X events and signals together: returns when the server
// has sent something, a signal has come or deadlineMs (monotonic, -1 for
// none) has passed. On the way it collects every child that has ended, so
// that the terminal is never left a zombie. Callers take the events they
// want from the queue before they wait again.
void waitForInput(long long deadlineMs);
// Sleeps through any signal but one that asks the console to end; false then.
bool pauseUnlessEnding(long long micros);
// The one way out, whatever the reason: lets go of everything another
// console would need, hands the focus back, closes the terminal, says why
// (when message is not empty) and exits with status.
[[noreturn]] void endConsole(int status, const std::string& message = "");
