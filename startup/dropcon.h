// The console's one process-wide state record and the operations that act on it.
#pragma once

#include <X11/Xlib.h>

#include <string>

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
};

// The event loop's own state: shown or not, full-screen or not, and where
// the focus goes back to.
struct LoopState {
    bool hidden = true;
    bool fullScreen = false;
    Window savedFocus = None;  // may also be PointerRoot, as the server says
    int savedHeight = 0;
    int quickExits = 0;  // terminals in a row that died right after launch
};

extern ConsoleState console;
extern LoopState loop;

// Start-up.
int onXError(Display* display, XErrorEvent* error);
// Takes the one-console claim for this program name and screen, or ends
// with status 1 when another console holds it.
void claimInstance();
void releaseInstance();
void readSettings();
KeySym grabHotkey(const char* resource, const char* spec, unsigned numLockMask);

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
// Shows the console when hidden, hides it otherwise.
void toggleConsole(Time when);
void showConsole();
void hideConsole();
void slideFrame(int start);
void applySizeKeys(KeySym keysym);
void dragResize();

// Small helpers shared by the operations above.
void focusWindow(Window window);
// Gives the focus back to the window that had it before the console was
// shown, while the console is shown.
void returnFocus();
long long monotonicMs();
