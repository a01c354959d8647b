// Test support: the scene tests and benchmark share: server, window manager, apps, console.
#pragma once

#include <X11/Xlib.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/desktop.h"
#include "tests/support/monitors.h"
#include "tests/support/xharness.h"

namespace xt {

// The hotkeys at their defaults, as the keys pressed.
inline const std::vector<std::string> kToggle{"Control_L", "Alt_L", "y"};
inline const std::vector<std::string> kBigger{"Control_L", "KP_Add"};
inline const std::vector<std::string> kSmaller{"Control_L", "KP_Subtract"};
inline const std::vector<std::string> kFull{"Alt_L", "F11"};
constexpr unsigned kCtrlAlt = ControlMask | Mod1Mask;

// Defaults of the settings, written out: the handle's width and colour
// (grey70), the pause of a slide step (in tenths of a millisecond), the rows.
constexpr int kHandle = 3;
constexpr unsigned kHandleColour = 0xb3b3b3;
constexpr int kAniDelay = 40;
constexpr int kRows = 10;

// A slide with stepSize 1 moves the frame by height / 100 + 2 pixels a step
// until it is within a step of y 0 (down) or past the parked y (up); then it
// is put at its end. The default console of 10 rows of 13 pixels: down from
// -133 by 3 to -130, -127, ..., -1 and then 0; up to -3, ..., -132, -135 and
// then -133. slideMoves leaves the end out.
// Below panels drop pixels high, the slide comes from and goes to one frame
// height above the monitor, drop above the console's top.
int slideStepOf(int height);
std::vector<int> slideMoves(int height, bool down, int drop = 0);
std::vector<int> slide(int height, bool down);

using Command = std::vector<std::string>;

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

// What a scene holds, in the order it is set up. Rows of a test name only
// what differs, e.g. Scene s({.resources = "dropcon.stepSize: 0\n", .wm = Wm::i3}).
struct Setup {
    std::string resources;
    int width = 1280, height = 900;  // the screen's
    std::string fbdir;               // when given, Xvfb keeps its screen there
    std::vector<MonitorSpec> monitors;
    std::vector<Command> before;          // run to their end before anything starts
    std::function<void(XServer&)> setUp;  // likewise
    Wm wm = Wm::none;
    // Application windows; the first one gets the focus.
    std::vector<Rect> apps{{100, 400, 300, 300}};
    bool compositor = false;  // picom, started before the console
    bool console = true;
    std::vector<std::string> args;  // the console's
    std::string argv0;
    bool recordShell = false;  // the terminal runs a shell that only records the bytes it gets
};

struct Scene {
    explicit Scene(const Setup& setup = {});
    Display* dpy() const { return server.dpy(); }
    Console& c() { return *console; }
    // The focused application's window (the first), None without one.
    Window app() const { return apps.empty() ? None : apps[0]->window; }
    AppWindow& a() { return *apps.at(0); }
    AppWindow& b() { return *apps.at(1); }
    Window term() const { return console->currentTerminal(); }

    // Waits until the console is parked with its terminal (and the
    // recording shell runs); false when it is not, or the window manager
    // did not come up.
    bool ready();
    // Down with the focus in the terminal.
    bool shown() const;
    // Up with the focus on focusBack, by default the application's window.
    bool hidden(Window focusBack = None) const;
    // Presses the toggle key, or these keys, and waits until shown() or hidden().
    bool show();
    bool hide(Window focusBack = None);
    bool show(const std::vector<KeyCode>& toggle);
    bool hide(const std::vector<KeyCode>& toggle);
    // Presses size keys and waits until the terminal is height pixels high.
    bool resize(const std::vector<std::string>& keys, int height);
    bool resize(const std::vector<KeyCode>& keys, int height);
    // Waits until the terminal is height pixels high and the frame, one
    // handle taller, at y top.
    bool sizedTo(int height, int top = 0);
    // Drags the handle with button 1: grabHandle presses it at x, dragTo
    // moves the pointer to (x, y) until the terminal is expected pixels high,
    // drag does both and lets go. The console grabs the pointer once it has
    // read the press; motions before that are not its to see, so dragTo keeps
    // moving until it answers.
    void grabHandle(int x);
    bool dragTo(int x, int y, int expected);
    bool drag(int x, int y, int expected);
    // Returns once the console has the focus for good (i3 answers the
    // toggle key with a focus request of its own that the console undoes).
    bool keepsFocus();
    // After a show: returns once keepsFocus() and the console has dealt
    // with everything before: a row more and a row less, each a key press
    // its event loop answers in turn. The console sets the crossings of its
    // own slide aside right after a show, and a pointer moved before that
    // would be taken for one of them.
    bool settle();
    // Waits until the console has come down this many times since it was
    // ready: every show nudges the terminal's height by a pixel and back. A
    // burst of toggles passes through hidden states on its way; only the
    // count tells the last hide from the ones before it.
    bool shownTimes(int count);

    // Shows and hides the console once and says what went wrong, "" when
    // nothing. Another client's round trip, made as soon as the frame has
    // moved once, tells whether the server is grabbed: under the grab its
    // answer waits until the slide is over. The slide down and up must pass
    // through every position either way.
    std::string slideFaults(bool grabbed);

    // With recordShell: what the console's shell got.
    std::string consoleGot() const;
    // Types text and waits until all of it has arrived in the console
    // (app null) or in the window.
    bool typeInto(const std::string& text, AppWindow* app);

    // Keys by keycode, in the map as it is now: the modifier keys and the key.
    KeyCode key(const char* name) const { return keycodeNow(server, name); }
    std::vector<KeyCode> combo(const std::vector<const char*>& modifiers, KeyCode keycode) const;
    // Presses the combination until the console is down. The console moves
    // its grabs once it has read a map change, which no event tells the test
    // about: until then each press lands in the application, and is pressed again.
    bool pressUntilShown(const std::vector<KeyCode>& codes, unsigned modifiers);
    // Presses the combination once and waits until the application has it;
    // the console, which did not get it, has not moved.
    bool reachesTheProgram(const std::vector<KeyCode>& codes, unsigned modifiers);

    // picom, awaited until it owns the compositor selection; and stopped.
    void startCompositor();
    bool stopCompositor();

    // For a failure message: where the focus and the keys went.
    std::string state();

    XServer server;
    Desktop desktop;
    std::vector<std::unique_ptr<AppWindow>> apps;
    std::unique_ptr<Process> compositor;
    std::string dir;
    std::unique_ptr<Console> console;
    std::unique_ptr<Watcher> nudges;  // the terminal's configure events, from ready() on

   private:
    bool recordShell_ = false;
};

}  // namespace xt
