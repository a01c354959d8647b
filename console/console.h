// The console's window and its terminal: the frame, the monitors it is placed on, the terminal's launch and process.
#pragma once

#include <X11/Xlib.h>

#include <string>

void createFrame();

// The monitors, kept current by RandR's and the root's events. After one
// change of the screen (all its queued events are taken at once) a shown
// console is placed again and true returned: it is then to be fitted to
// its place. A hidden one is placed at its next show.
void watchMonitors();
bool isMonitorEvent(const XEvent& event);
bool monitorsChanged(XEvent& event);
// Chooses the monitor for a show; one pointer query in pointer mode.
void placeForShow();
// The frame's top while shown, and its y when parked out of sight.
int shownY();
int hiddenY();
// Whether the slide would cross another monitor: the console then jumps.
bool slideCrossesMonitor();

// The terminal: its command, composed once, and each launch, which starts
// it and waits for its window in the frame: adopted; failed when it could
// not start or showed no window in time; gone when its window went before
// it was mapped; endRequested when a signal asked the console to end.
void buildCommand(int argc, char** argv);
enum class Launch { adopted, failed, gone, endRequested };
Launch launchTerminal(bool firstLaunch);
long long terminalAgeMs();
// The row height the terminal's size hints give now: 0 when they give
// none, -1 when its window has gone.
int hintedRowHeight();
// Every resize of the terminal goes through here, at the console's width,
// so that its echo can be told from a change the terminal makes itself:
// the last request's serial and the size it asked for.
struct AskedSize {
    unsigned long serial = 0;
    int width = 0, height = 0;
};
void resizeTerminal(int height);
AskedSize lastTerminalResize();

// The terminal's process: the command run in the shell's foreground, in a
// process group of its own; every ended child collected; how the shell
// ended ("" while it runs); closing it as a window manager would, by force
// after a second, with nothing dispatched meanwhile.
bool startTerminal(const std::string& command);
void reapChildren();
bool terminalFailed();
std::string terminalEnding();
void closeTerminal();
