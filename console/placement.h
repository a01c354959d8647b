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

// A share in percent of an extent, to the nearest whole pixel.
int shareOf(int extent, int percent);

// The frame's x and width on a monitor: its left plus xOffset, and
// screenWidth wide; either in pixels or a share of the monitor's width.
Span consoleSpan(const Rect& monitor, Length xOffset, Length screenWidth);

// The terminal rows consoleHeight asks for where the console has room
// pixels of height: the rows as set, or the most whole rows that fit into
// the share together with the handle (at least one).
int consoleRows(Length consoleHeight, int room, int handleWidth, int heightInc);

// A panel's reservation along the top of the screen, in root coordinates:
// the rows above bottom, from column left to column right (both included).
struct TopStrut {
    int bottom = 0, left = 0, right = 0;
    bool operator==(const TopStrut&) const = default;
};

// The top strut in a _NET_WM_STRUT_PARTIAL value (12 numbers), or in a
// _NET_WM_STRUT one (4 numbers: across the whole screen); nullopt when it
// reserves nothing at the top or the value is short.
std::optional<TopStrut> topStrut(const long* values, unsigned long count, int screenWidth);

// The console's top on a monitor with the panels above it: the lowest bottom
// edge of the struts that overlap the monitor's width and end on it, never
// above the monitor's top.
int topBelowPanels(const Rect& monitor, const std::vector<TopStrut>& struts);

// Whether any monitor but the console's own intersects the band the frame
// slides through: its x span, from top - frameHeight up to top. Then the
// console jumps, so that it never crosses another monitor.
bool slideCrossesOther(const std::vector<Monitor>& monitors, size_t own, Span span, int top, int frameHeight);
