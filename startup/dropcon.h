// The console's one process-wide state record and the operations that act on it.
#pragma once

#include <X11/Xlib.h>

#include <string>

// The root window's events, selected in one place (main): property changes
// announce workspace switches and "show desktop".
constexpr long kRootEvents = PropertyChangeMask;

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
    int screenWidth = 0;
    const char* handleColor = "grey70";
    int handleWidth = 3;
    int consoleHeight = 10;
    int xOffset = 0;
    int aniDelay = 40;
    int stepSize = 1;
    int restart = 0;
    int refocus = 0;  // the toggle takes a lost focus back before it hides
    const char* term = "xterm";

    // The hotkeys, kept only as the keysym each one is recognised by.
    KeySym toggleKeysym = NoSymbol;
    KeySym smallerKeysym = NoSymbol;
    KeySym biggerKeysym = NoSymbol;
    KeySym fullKeysym = NoSymbol;

    // The frame, the adopted terminal and the current geometry.
    Window frameWin = None;
    Window termWin = None;
    int heightInc = 1;           // pixel height of one terminal row
    int height = 0;              // pixel height of the terminal window
    std::string command;         // shell command that launches the terminal
    long long launchedAtMs = 0;  // monotonic time of the last launch

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
void readSettings();
KeySym grabHotkey(const char* resource, const char* spec, unsigned numLockMask);

// Frame and terminal.
void createFrame();
void buildCommand(int argc, char** argv);
void launchTerminal(bool firstLaunch);
// Counts a terminal that ended with restart on; gives up for good when
// terminals keep dying right after their launch.
void noteTerminalExit();

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
void applySizeKeys(KeySym keysym);
void dragResize();

// The focus rules (interaction/focus.cpp).
void focusWindow(Window window);
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
