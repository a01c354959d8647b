// Pure rules of where the console goes: which monitor, the frame's span on it, slide or jump.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "startup/dropcon.h"

// A monitor as RandR lists it: its name as xrandr --listmonitors prints it,
// its area on the screen, and whether it is the primary one.
struct Monitor {
    std::string name;
    Rect area;
    bool primary = false;
};

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
Span consoleSpan(const Rect& monitor, int xOffset, int screenWidth);

// Whether any monitor but the console's own intersects the band the frame
// slides through: its x span, from top - frameHeight up to top. Then the
// console jumps, so that it never crosses another monitor.
bool slideCrossesOther(const std::vector<Monitor>& monitors, size_t own, Span span, int top, int frameHeight);
