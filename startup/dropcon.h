// The console's one process-wide state record and the operations that act on it.
#pragma once

#include <X11/Xlib.h>

#include <string>
#include <vector>

#include "console/placement.h"

// The root window's events, selected in one place (a second XSelectInput on
// the root would replace the first): the root's ConfigureNotify tells of a
// new screen size and of monitors set or deleted; property changes announce
// workspace switches and "show desktop".
constexpr long kRootEvents = StructureNotifyMask | PropertyChangeMask;

#include "startup/keymap.h"

// Everything the console knows: the X connection, the settings read from
// the resource database, the two windows, the current size and the hotkeys.
struct ConsoleState {
    // X connection, set once by main.
    const char* progName = "dropcon";
    Display* display = nullptr;
    int screen = 0;
    Window root = None;
    Cursor resizeCursor = None;

    // Settings, each named after its X resource.
    int screenWidth = 0;  // 0 when absent: the monitor's width
    const char* handleColor = "grey70";
    int handleWidth = 3;
    int consoleHeight = 10;
    int xOffset = 0;
    int aniDelay = 40;
    int stepSize = 1;
    int restart = 0;
    int refocus = 0;  // the toggle takes a lost focus back before it hides
    const char* term = "xterm";
    MonitorSetting monitor;

    // The hotkeys: each one's keysym and modifiers, and the key it holds
    // in the current keyboard map. The Num Lock modifier of that map.
    HotkeyGrab toggleKey, keySmaller, keyBigger, keyFull;
    unsigned numLockMask = 0;

    // The frame, the adopted terminal and the current geometry.
    Window frameWin = None;
    Window termWin = None;
    int heightInc = 1;           // pixel height of one terminal row
    int height = 0;              // pixel height of the terminal window
    int chosenHeight = 0;        // the height the user chose, before fitting
    std::string command;         // shell command that launches the terminal
    long long launchedAtMs = 0;  // monotonic time of the last launch

    // A compositing manager, followed through XFixes selection events.
    int fixesEvent = 0;          // XFixes' first event code, 0 without XFixes
    Atom compositorAtom = None;  // _NET_WM_CM_S<screen>
    bool compositing = false;    // that selection has an owner

    // The monitors, as RandR lists them (never empty: the whole screen
    // without RandR 1.5), kept current by the root's and RandR's events.
    std::vector<Monitor> monitors;
    int randrEventBase = -1;     // -1: no RandR
    bool randrMonitors = false;  // RandR 1.5: monitors can be listed
    // Where the console is placed: its monitor's name and area, the frame's
    // left and width, whether it jumps instead of sliding, and the monitor
    // height the current height was fitted to.
    std::string placedOn;
    Rect area;
    Span span;
    int fittedTo = 0;
    bool monitorMissing = false;  // warned that the named monitor is gone

    // Root properties by which window managers announce a workspace switch.
    Atom currentDesktopAtom = None;
    Atom showingDesktopAtom = None;
    Atom activeWindowAtom = None;  // the window manager's focused window
};

// The event loop's own state: shown or not, full-screen or not, and where
// the focus goes back to.
struct LoopState {
    bool hidden = true;
    bool fullScreen = false;
    Window savedFocus = None;  // may also be PointerRoot, as the server says
    int savedHeight = 0;
    int quickExits = 0;  // terminals in a row that died right after launch
    // Whether the terminal holds the keyboard focus, as its FocusIn and
    // FocusOut events tell, and when (monotonic ms) it last lost it, the
    // console last took it (show, refocus) and the desktop last changed.
    bool termFocused = false;
    long long focusLostMs = -1000000;
    long long focusTakenMs = -1000000;
    Time focusTakenTime = CurrentTime;  // the time the console took it with
    long long desktopChangedMs = -1000000;
};

extern ConsoleState console;
extern LoopState loop;

// Start-up.
int onXError(Display* display, XErrorEvent* error);
// For the moments an error is an expected answer (a window that may have
// gone): installed around those requests, it says nothing.
int ignoreXError(Display* display, XErrorEvent* error);
// Takes the one-console claim for this program name and screen, or ends
// with status 1 when another console holds it.
void claimInstance();
void releaseInstance();
void readSettings();
// How many X errors onXError has reported.
extern unsigned long xErrors;
// Grabs the four hotkeys once, reporting each one that cannot be had, then
// lets the size keys go until the console is shown.
void grabHotkeys();
// The hotkeys' grabs: the toggle key always, the size keys while shown.
void grabSizeKeys();
void releaseSizeKeys();
// After a keyboard map change: the grabs move to the keys that now type the hotkeys.
void followKeyboardMapping(XEvent& event);
// Whether an X error is a refused grab of the size keys or of a regrab,
// reported once at start-up and not at every show.
bool quietGrabError(const XErrorEvent* error);

// Frame and terminal.
void createFrame();
void buildCommand(int argc, char** argv);
void launchTerminal(bool firstLaunch);
// Counts a terminal that ended with restart on; gives up for good when
// terminals keep dying right after their launch.
void noteTerminalExit();

// The terminal's process: runs the command in the shell's foreground, in a
// process group of its own; false when it could not be started.
bool startTerminal(const std::string& command);
// Collects every child that has ended, noting the terminal's end.
void reapChildren();
// Whether the terminal's shell has ended with a failure, and how it ended
// ("" while it runs).
bool terminalFailed();
std::string terminalEnding();
// Asks the terminal to close, as a window manager would, and waits at most
// a second before ending it by force. Nothing is dispatched meanwhile.
void closeTerminal();

// Signals: SIGTERM, SIGINT and SIGHUP end the console, SIGUSR1 toggles it.
void installSignals();
bool endRequested();
bool takeToggleRequest();
// The one wait for X events and signals together: returns when the server
// has sent something, a signal has come or deadlineMs (monotonic, -1 for
// none) has passed. Callers take the events they want from the queue
// before they wait again.
void waitForInput(long long deadlineMs);
// Sleeps through any signal but one that asks us to end; false then.
bool pauseUnlessEnding(long long micros);
// The end on request: the claim given up, the focus handed back, the
// terminal closed; exits with status 0.
[[noreturn]] void endConsole();

// Interaction.
[[noreturn]] void runEventLoop();
// Show and hide take the time of the event that caused them (CurrentTime
// when there is none) and set the focus with it; the toggle shows a hidden
// console, hides a shown one (or, with refocus, first takes a lost focus
// back).
void showConsole(Time when = CurrentTime);
void hideConsole(Time when = CurrentTime);
void toggleConsole(Time when);
void slideFrame(int start);
void applySizeKeys(bool full, bool bigger, bool smaller);
void dragResize();
// Follows the compositing manager's selection from start-up on.
void watchCompositor();
// Takes note of a compositing manager starting or stopping.
void noteCompositorChange(const XEvent& event);

// Monitors and placement.
void watchMonitors();
bool isMonitorEvent(const XEvent& event);
void monitorsChanged(XEvent& event);
void placeForShow();
// The frame's top while shown, and its y when parked out of sight.
int shownY();
// Whether the slide would cross another monitor: the console then jumps.
bool slideCrossesMonitor();
int hiddenY();

// The focus rules (interaction/focus.cpp).
// Gives the focus back to the window that had it before the console was
// shown, but only while the terminal holds it; a saved window that has gone
// or is unmapped gives way to the pointer's window.
void returnFocus(Time when = CurrentTime);
void watchDesktop();
void watchTerminalFocus();
void takeFocusForShow(Time when);
void settleShow();
void settleHide();
void settleResize();
void focusRelaunchedTerminal(bool terminalHadFocus);
bool terminalHoldsFocus();
void onCrossing(const XCrossingEvent& event);
void onFocusChange(const XFocusChangeEvent& event);
void onRootProperty(const XPropertyEvent& event);

// Small helpers shared by the operations above.
long long monotonicMs();
