// The console's window and its terminal: the frame, the monitors it is placed on, the terminal's launch and process.
#pragma once

#include <X11/Xlib.h>

#include <string>

// The frame: an override-redirect strip that holds the terminal.
void createFrame();

// The monitors, kept current by RandR's and the root's events, and where
// on them the console goes.
void watchMonitors();
bool isMonitorEvent(const XEvent& event);
// Reads the monitor list again after one change of the screen (all of its
// queued events at once). A shown console is placed again, on its monitor
// or, when that has gone, on another one, and true is returned: its size
// and position are then to be fitted to it. A hidden one is placed at its
// next show.
bool monitorsChanged(XEvent& event);
// Chooses the monitor for a show; one pointer query in pointer mode.
void placeForShow();
// The frame's top while shown, and its y when parked out of sight.
int shownY();
int hiddenY();
// Whether the slide would cross another monitor: the console then jumps.
bool slideCrossesMonitor();

// The terminal: the command composed once, each launch adopting its window.
void buildCommand(int argc, char** argv);
enum class Launch { adopted, failed, gone, endRequested };
// Starts the terminal and waits for its window in the frame, sized to the
// console: adopted; failed when it could not start or showed no window in
// time; gone when its window went before it was mapped; endRequested when
// a signal asked the console to end meanwhile.
Launch launchTerminal(bool firstLaunch);
// How long ago the last launch was.
long long terminalAgeMs();

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
