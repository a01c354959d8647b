// The console's window and its terminal: the frame, its monitors, the terminal's launch and process.
#pragma once

#include <X11/Xlib.h>

#include <string>

#include "startup/dropcon.h"

void createFrame();
// The terminal first, then the frame around it, at the console's size and
// place: at the top of its monitor when shown, parked above the screen
// otherwise.
void placeFrame(bool shown);

// The monitors, kept current by RandR's and the root's events. After one
// change of the screen (all its queued events are taken at once), or of
// the panels, a shown console is placed again and true returned: it is then
// to be fitted to its place. A hidden one is placed at its next show.
void watchMonitors();
bool isMonitorEvent(const XEvent& event);
bool monitorsChanged(XEvent& event);
bool placeShownAgain();
// Chooses the monitor for a show; one pointer query in pointer mode.
void placeForShow();
// The frame's top while shown, and its y when parked out of sight; how far
// below its monitor's top the shown frame's top lies (the panels'
// height, with belowPanels): the slide comes down from above the monitor.
int shownY();
int hiddenY();
int shownBelowTop();
// Whether the slide would cross another monitor: the console then jumps.
bool slideCrossesMonitor();

// The panels along the top of the screen, with belowPanels: the struts of
// the window manager's clients (_NET_CLIENT_LIST), or of the root's mapped
// children where no window manager lists its clients, each read when a
// panel comes, goes or changes its strut. After such a change a shown
// console is placed again and true returned, as for the monitors.
void watchPanels();
bool isPanelEvent(const XEvent& event);
bool panelsChanged(XEvent& event);
// Where the console's room on a monitor begins: below the panels over its
// top with belowPanels, its top otherwise.
int topOfRoom(const Rect& monitor);

// The terminal: its command, composed once, and each launch, which starts
// it and waits for its window in the frame: adopted; failed when it could
// not start or showed no window in time; gone when its window went before
// it was mapped; endRequested when a signal asked the console to end.
void buildCommand(int argc, char** argv);
enum class Launch { adopted, failed, gone, endRequested };
Launch launchTerminal(bool firstLaunch);
// The height consoleHeight gives in the console's room, in whole rows.
int heightFromSettings();
long long terminalAgeMs();
// The row height the terminal's size hints give now: 0 when they give
// none, -1 when its window has gone.
int hintedRowHeight();
// Every resize of the terminal goes through here, at the console's width,
// so that its echo can be told from a change the terminal makes itself.
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
