// The console's state records, and what start-up offers the rest: settings, hotkeys, signals, the claim.
#pragma once

#include <X11/Xlib.h>

#include <optional>
#include <string>
#include <vector>

#include "startup/keymap.h"
#include "startup/parse.h"

// Largest coordinate or extent the X protocol carries (INT16): every
// position and size of the frame and the terminal is kept within it.
constexpr int kMaxExtent = 32767;

// An area of the screen (a monitor) and the frame's span across it.
struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Rect&) const = default;
};
struct Span {
    int x = 0, width = 0;
    bool operator==(const Span&) const = default;
};
// The console's last resize of the terminal: its request's serial and the
// size it asked for.
struct AskedSize {
    unsigned long serial = 0;
    int width = 0, height = 0;
};

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
    Length screenWidth{100, true};
    const char* handleColor = "grey70";
    int handleWidth = 3;
    Length consoleHeight{10, false};  // rows, or a share of the monitor's height
    Length xOffset{0, false};
    int aniDelay = 40;
    int stepSize = 1;
    int restart = 0;
    int refocus = 0;      // the toggle takes a lost focus back before it hides
    int belowPanels = 0;  // shown below the panels at the monitor's top
    const char* term = "xterm";
    MonitorSetting monitor;

    // The hotkeys: each one's keysym and modifiers, and the key it holds
    // in the current keyboard map. The Num Lock modifier of that map.
    HotkeyGrab toggleKey, keySmaller, keyBigger, keyFull;
    unsigned numLockMask = 0;
    // The server sends a held key's repeats as presses alone (XKB's
    // detectable autorepeat), without a release before each.
    bool repeatDetectable = false;

    // The frame, the adopted terminal and the current geometry.
    Window frameWin = None;
    Window termWin = None;
    int heightInc = 1;     // pixel height of one terminal row
    int height = 0;        // pixel height of the terminal window
    int chosenHeight = 0;  // the height the user chose, before fitting
    std::string command;   // shell command that launches the terminal
    // The timer slack we were started with, which the terminal gets (0: unknown).
    long timerSlackNs = 0;
    // The console's monitor (the whole screen in screen mode), less the
    // panels over its top with belowPanels, and the frame's left and width
    // on it.
    Rect area;
    Span span;

    bool compositing = false;  // a compositing manager runs
};

// The event loop's own state: shown or not, full-screen or not, and where
// the focus goes back to.
struct LoopState {
    bool hidden = true;
    bool fullScreen = false;
    Window savedFocus = None;  // may also be PointerRoot, as the server says
    int savedHeight = 0;
};

extern ConsoleState console;
extern LoopState loop;

// The X error handler: reports every protocol error by its code and goes on.
int onXError(Display* display, XErrorEvent* error);
// A property of 32-bit items (longs, as Xlib hands them over); nullopt when
// the window has none of that type, or has gone.
std::optional<std::vector<long>> propertyLongs(Window window, Atom property, Atom type);
// Windows not our own may go at any moment: errors about them are expected
// answers, taken quietly once those of the requests in flight have reached
// the usual handler. Returns the handler to put back.
XErrorHandler quietErrors();
// A short hold of the server: no stop signal takes effect and no X error is
// written until the release has reached the server.
void grabServer();
void ungrabServer();
// How many X errors onXError has reported.
extern unsigned long xErrors;
long long monotonicNs();
inline long long monotonicMs() { return monotonicNs() / 1000000; }

// Takes the one-console claim for this program name and screen (the
// selection instanceSelection names, in the manner of a window manager's
// WM_S<screen>), or ends with status 1 when another console holds it.
std::string instanceSelection(const char* progName, int screen);
void claimInstance();
void releaseInstance();
// Whether the event tells that another client has taken the claim over.
bool claimLost(const XEvent& event);

// Reads every setting and grabs the hotkeys.
void readSettings();
// Grabs the four hotkeys once, reporting each one that cannot be had, then
// lets the size keys go until the console is shown.
void grabHotkeys();
// The hotkeys' grabs: the toggle key always, the size keys while shown.
void grabSizeKeys();
void releaseSizeKeys();
// Lets go of every key the console holds, for good.
void releaseHotkeys();
// After a keyboard map change: the grabs move to the keys that now type the hotkeys.
void followKeyboardMapping(XEvent& event);
// Whether an X error is a refused grab of the size keys or of a regrab,
// reported once at start-up and not at every show.
bool quietGrabError(const XErrorEvent* error);

// Signals: SIGTERM, SIGINT and SIGHUP ask the console to end, SIGUSR1 to
// toggle; SIGCHLD tells of an ended child. The handlers only note the
// signal and write a byte to a pipe that the console's wait polls.
void installSignals();
int signalPipe();
// Empties the pipe; the notes stay until they are taken.
void drainSignalPipe();
bool endRequested();
bool takeToggleRequest();
bool takeChildRequest();
