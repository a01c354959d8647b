// Pure rules of where the console goes: which monitor, the frame's rectangle, the fitted height, slide or
// jump.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "interaction/geometry.h"

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Rect&) const = default;
};

// A monitor as RandR lists it: its name as xrandr --listmonitors prints it,
// its area on the screen, and whether it is the primary one.
struct Monitor {
    std::string name;
    Rect area;
    bool primary = false;
};

// The monitor resource: the pointer's monitor, the primary one, one by
// name, or the whole screen as one strip.
enum class MonitorMode { Pointer, Primary, Named, WholeScreen };

struct MonitorSetting {
    MonitorMode mode = MonitorMode::Pointer;
    std::string name;  // for Named
};

// The monitor resource's value (nullptr when absent). Without it, resource
// files that set xOffset or screenWidth were written in whole-screen
// coordinates, and keep the whole screen.
MonitorSetting parseMonitorSetting(const char* value, bool xOffsetPresent, bool screenWidthPresent);

struct Point {
    int x = 0, y = 0;
};

// The monitor the console comes down on, an index into monitors (never
// empty). In pointer mode: the one holding the pointer (the smallest when
// several do, then the primary, then the first), the primary one when none
// does or the pointer is on another screen (nullopt). A name that no
// monitor has gives the primary one and sets missing.
size_t chooseMonitor(const std::vector<Monitor>& monitors, const MonitorSetting& setting,
                     std::optional<Point> pointer, bool* missing = nullptr);

// The primary monitor, or the first one when none is marked.
size_t primaryMonitor(const std::vector<Monitor>& monitors);

// The index of the monitor called name, or nullopt.
std::optional<size_t> findMonitor(const std::vector<Monitor>& monitors, std::string_view name);

// The frame's x and width on a monitor: its left plus xOffset, and
// screenWidth when set (non-zero), the monitor's width otherwise.
struct Span {
    int x = 0, width = 0;
    bool operator==(const Span&) const = default;
};
Span consoleSpan(const Rect& monitor, int xOffset, int screenWidth);

// The chosen height fitted to a monitor: kept when the terminal and its
// handle fit on it, otherwise the most whole rows that do (at least one).
int fitHeight(int chosen, int monitorHeight, int handleWidth, int heightInc);

// The heights once the console comes onto a monitor monitorHeight high,
// when the height was last fitted to or set on one fittedTo high. On a
// monitor of that same height nothing changes, so heights set there with
// the size keys stay as they are. Otherwise the chosen height is fitted to
// it; in full screen the console takes the monitor's height, and the fitted
// height is what keyFull restores.
SizeState fitToMonitor(SizeState state, int chosen, int fittedTo, int monitorHeight, int handleWidth,
                       int heightInc);

// Whether any monitor but the console's own intersects the band the frame
// slides through: its x span, from top - frameHeight up to top. Then the
// console jumps, so that it never crosses another monitor.
bool slideCrossesOther(const std::vector<Monitor>& monitors, size_t own, Span span, int top, int frameHeight);
