// Test support: a private Xvfb, the console and other programs as children, XTEST input and Xlib observation.
// No GoogleTest here: the benchmark links it too; a failure goes through failed().
#pragma once

#include <X11/Xlib.h>
#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace xt {

// Reports a failure that does not end the caller: the tests make it a
// failure of the running test, the benchmark prints it and stops.
extern void (*failed)(const std::string& what);
// The standard-error files of the processes started since the list was
// last cleared (the tests look for sanitizer reports in them).
std::vector<std::string>& startedErrFiles();

// Waits until pred() holds, synchronising with the server between tries and
// sleeping only inside poll() on the connection. False on timeout.
bool waitUntil(Display* dpy, const std::function<bool()>& pred, int timeoutMs = 10000);

// A private X server: Xvfb picks a free display with -displayfd. Given
// fbdir, it keeps its screen in DIR/Xvfb_screen0 (see framebuffer.h).
class XServer {
   public:
    explicit XServer(int width = 1280, int height = 900, const std::string& fbdir = "");
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    const std::string& name() const { return name_; }
    Display* dpy() const { return dpy_; }
    Window root() const { return DefaultRootWindow(dpy_); }
    int width() const { return DisplayWidth(dpy_, DefaultScreen(dpy_)); }
    int height() const { return DisplayHeight(dpy_, DefaultScreen(dpy_)); }
    // Loads resource lines into the server, as xrdb -load would.
    void setResources(const std::string& text);
    // Opens another connection to this server (the caller closes it).
    Display* connect() const;
    // Kills the server with SIGKILL, as a crash or a lost link would end it.
    // The test's own connection is abandoned unclosed (closing it would be
    // Xlib's fatal I/O error); no X call may follow on any connection to it.
    void kill();

   private:
    pid_t pid_ = -1;
    std::string name_;
    Display* dpy_ = nullptr;
};

// A child process with its output in files, ended by pid at destruction
// (SIGKILL). Started as a group, it leads a process group of its own and
// ends with what it started: SIGTERM to the group, SIGKILL after 2 s.
class Process {
   public:
    Process(const std::vector<std::string>& argv, const std::vector<std::string>& env, bool group = false);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t pid() const { return pid_; }
    bool running();
    // Waits for the exit; returns the exit status, or -1 on timeout, or
    // 128 + signal when killed.
    int waitExit(int timeoutMs);
    // Ends it now, as the destructor would.
    void end();
    std::string out() const;
    std::string err() const;

   private:
    pid_t pid_ = -1;
    int status_ = -1;
    bool group_ = false;
    std::string dir_;
};

// Environment for the console: the display, an empty home so that no
// personal resource file leaks in, and a plain shell for the terminal.
std::vector<std::string> consoleEnv(const XServer& server, const std::vector<std::string>& extra = {});
// A new folder under /tmp, removed when the process ends unless kept.
std::string tempDir();
// Keeps the folders made so far (a failed test's, to look into): returns them.
std::vector<std::string> keepTempDirs();
void writeFile(const std::string& path, const std::string& text, bool executable = false);
std::string readFile(const std::string& path);

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0, border = 0;
    bool overrideRedirect = false;
    bool mapped = false;
};
Geometry geometryOf(Display* dpy, Window window);
std::vector<Window> childrenOf(Display* dpy, Window window);
// A 32-bit property of a window (its item at index) of this type (a
// CARDINAL, a WINDOW, or any), or -1 when unset or the window is gone.
long windowLong(Display* dpy, Window window, const char* name, Atom type, long index = 0);
// The window's WM_CLASS as "name/class", "" without one.
std::string classOf(Display* dpy, Window window);
// The console's frame: the top-level override-redirect window that holds
// the terminal's window (or, without withTerminal, any such window), or None.
Window findFrame(Display* dpy, bool withTerminal = true);
// The row height from the window's WM_NORMAL_HINTS.
int heightIncOf(Display* dpy, Window window);
Window focusOf(Display* dpy);
// True when window is the topmost child of the root.
bool isTopmost(Display* dpy, Window window);
// Tries to grab a key combination on the root: the X error code, or 0 when
// it was free (and is again).
int tryGrab(Display* dpy, KeySym keysym, unsigned mask);
// True while another client holds the pointer grabbed.
bool pointerGrabbed(Display* dpy);

// XTEST input: one key by keysym name, unsynced; keys pressed in order and
// released in reverse.
void key(Display* dpy, const std::string& keysym, bool down);
void pressKeys(Display* dpy, const std::vector<std::string>& keysyms);
// The same by keycode.
void pressCodes(Display* dpy, const std::vector<KeyCode>& keycodes);
// The key that types keysym in the server's map as it is now, looked up on
// a fresh connection: a connection's copy of the map is only as new as the
// last MappingNotify it has read. 0 when no key types it.
KeyCode keycodeNow(const XServer& server, const char* keysym);
void typeText(Display* dpy, const std::string& text);
void movePointer(Display* dpy, int x, int y);
void button(Display* dpy, unsigned number, bool down);

// A mapped top-level window that holds the focus, standing in for the
// application the user was working in.
Window makeFocusedWindow(Display* dpy, int x = 100, int y = 400, int width = 300, int height = 300);

// Console running on a server, with the ids of its windows once it has
// taken its terminal in and parked itself above the screen.
struct Console {
    // With group, the console leads a process group of its own, as a shell's
    // job does: stop signals then stop it (in an orphaned group they would not).
    Console(XServer& server, const std::vector<std::string>& args = {}, const std::string& argv0 = "",
            const std::vector<std::string>& extraEnv = {}, bool group = false);
    // Waits until the frame is parked with the terminal adopted; false on timeout.
    bool ready(int timeoutMs = 15000);
    Geometry frame() const { return geometryOf(dpy, frameWin); }
    Geometry terminal() const { return geometryOf(dpy, termWin); }
    bool hiddenAt() const;  // frame at exactly one frame height above the screen
    bool shownAt() const;   // frame at y 0
    int rowHeight() const { return heightIncOf(dpy, termWin); }
    // The current terminal window (it changes on a relaunch).
    Window currentTerminal() const;
    // Kills the terminal's client from another connection, as a crash would.
    void killTerminal() const;

    XServer& server;
    Display* dpy;
    Process process;
    Window frameWin = None;
    Window termWin = None;
};

// Watches a window on a connection of its own: structure events of the
// window itself and, with substructure, of its children.
struct Watcher {
    Watcher(const XServer& server, Window window, long mask = StructureNotifyMask);
    ~Watcher();
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;
    // Reads what has arrived so far.
    void pump();
    // Waits until pred() holds over the events seen so far.
    bool waitUntil(const std::function<bool()>& pred, int timeoutMs = 10000);
    // The y of every ConfigureNotify of the watched window, in order.
    std::vector<int> ys() const;
    // The heights of its ConfigureNotify events, repeats folded, after start.
    std::vector<int> heights(int start = -1) const;
    // Its ConfigureNotify events at this height: every show nudges the
    // terminal a pixel shorter and back, so these count shows.
    int configuresAt(int height) const;
    int count(int type) const;
    // Whether a child was unmapped and then one mapped: a relaunched
    // terminal (which may get the same id).
    bool relaunchSeen() const;

    Display* dpy;
    Window window;
    std::vector<XEvent> events;
};

// Presses the default toggle key without a round trip of our own (the slide
// down grabs the server, which would hold it) and returns the frame's y at
// its first move, read from the events alone. It returns once the slide is
// over: closing its watcher's connection is a round trip.
int toggleAndAwaitFirstMove(const XServer& server, Window frame);
// The same, with the events read into a watcher of the frame that the
// caller keeps (to check the rest of the slide, or to act while it is under
// way). A ConfigureNotify at from, where the frame was, is the raise, not a
// move.
int toggleAndAwaitFirstMove(const XServer& server, Watcher& frame, int from);

// Runs a program against the server to its end (xrandr, setxkbmap, i3-msg
// and the like); a non-zero status fails the test. Returns the status, -1
// on timeout.
int run(const XServer& server, const std::vector<std::string>& argv, int timeoutMs = 10000);
// The owner of the named selection (WM_S0, _NET_WM_CM_S0, ...), or None.
Window selectionOwner(Display* dpy, const std::string& selection);
// Starts a long-running client on the server (a window manager, a
// compositor) and waits until it owns the selection that announces it.
std::unique_ptr<Process> startOwner(const XServer& server, const std::vector<std::string>& argv,
                                    const std::string& selection,
                                    const std::vector<std::string>& extraEnv = {});

std::string dropconBinary();
// How often what occurs in text (e.g. "XError caught" in a standard error).
int occurrences(const std::string& text, const std::string& what);
// The first AddressSanitizer, LeakSanitizer or UndefinedBehaviorSanitizer
// report in a stream's text, or "". Every test fails when one turns up in
// the standard error of any process that it started.
std::string sanitizerReport(const std::string& text);

}  // namespace xt
