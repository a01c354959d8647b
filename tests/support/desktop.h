// Test support: window managers on a test's server, application windows that record keys, workspace switches.
#pragma once

#include <X11/Xlib.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/xharness.h"

namespace xt {

enum class Wm { none, openbox, i3, fluxbox, awesome };
std::string nameOf(Wm wm);
// For test names: every window manager the focus tests run under.
const std::vector<Wm>& allWms();

// A window manager running on a server, started with a minimal set-up of
// its own and awaited by the _NET_SUPPORTING_WM_CHECK it puts on the root
// (nothing with Wm::none).
struct Desktop {
    Desktop(XServer& server, Wm wm);
    // False when the window manager did not come up; why is in error.
    bool up() const { return error.empty(); }
    // Gives a managed window the focus the window manager's way (a
    // _NET_ACTIVE_WINDOW request; a click in its middle under i3 and
    // awesome, which leaves the pointer there; XSetInputFocus without a window
    // manager) and waits until it has it.
    bool activate(Window window) const;
    // Switches to workspace n (from 0) and waits until the root says so;
    // i3 through i3-msg, the others through a _NET_CURRENT_DESKTOP request.
    bool switchDesktop(int n) const;
    // Asks for "show desktop" on or off (_NET_SHOWING_DESKTOP).
    bool showDesktop(bool on) const;
    // Returns once the window manager has dealt with the events that came
    // before (i3: a command over its IPC socket, answered after them).
    void sync() const;
    // Whether moving the pointer onto a window focuses it.
    bool focusFollowsMouse() const { return wm == Wm::i3; }

    XServer& server;
    Wm wm;
    std::string dir;
    std::string error;
    std::unique_ptr<Process> process;
};

// A top-level application window on a connection of its own, mapped (and
// managed, under a window manager) at the asked place, standing in for the
// program the user types into: it records every key press that reaches it.
struct AppWindow {
    AppWindow(const XServer& server, const std::string& title, int x, int y, int width, int height);
    ~AppWindow();
    AppWindow(const AppWindow&) = delete;
    AppWindow& operator=(const AppWindow&) = delete;
    // Reads what has arrived so far.
    void pump();
    // The text of the key presses it has got so far.
    std::string typed();
    // Presses of the key with exactly these core modifiers, the layout
    // group and the pointer buttons aside.
    int presses(KeyCode keycode, unsigned modifiers);
    // Waits until at least count such presses have arrived.
    bool waitFor(KeyCode keycode, unsigned modifiers, int count = 1, int timeoutMs = 10000);
    // Its middle, in root coordinates, as the window manager placed it.
    void centre(int& x, int& y) const;
    std::string title;
    Display* dpy;
    Window window;
    std::string text;
    std::vector<XKeyEvent> keys;
};

// Whether the window is a direct child of the root.
bool isTopLevel(Display* dpy, Window window);

// A stand-in panel: a mapped top-level window that reserves the rows of the
// screen above bottom, from x left for width pixels, with
// _NET_WM_STRUT_PARTIAL, as bars and panels do. setStrut changes the
// reservation; a bottom of 0 removes it.
Window makePanel(Display* dpy, int left, int width, int bottom);
void setStrut(Display* dpy, Window panel, int left, int width, int bottom);
// tint2 with a panel 30 pixels high across the top, started under a window
// manager and awaited until that has taken the panel's strut in.
constexpr int kTint2Height = 30;
std::unique_ptr<Process> startTint2(const XServer& server);

}  // namespace xt
