// Pure rules of where the console goes: which monitor, the frame's rectangle, the fitted height, slide or
// jump.
#include "console/placement.h"

#include <algorithm>
#include <cstring>

#include "startup/parse.h"

MonitorSetting parseMonitorSetting(const char* value, bool xOffsetPresent, bool screenWidthPresent) {
    if (!value)
        return {(xOffsetPresent || screenWidthPresent) ? MonitorMode::WholeScreen : MonitorMode::Pointer, ""};
    if (std::strcmp(value, "pointer") == 0) return {MonitorMode::Pointer, ""};
    if (std::strcmp(value, "primary") == 0) return {MonitorMode::Primary, ""};
    if (std::strcmp(value, "screen") == 0) return {MonitorMode::WholeScreen, ""};
    if (*value == '\0') return {MonitorMode::Pointer, ""};
    return {MonitorMode::Named, value};
}

size_t primaryMonitor(const std::vector<Monitor>& monitors) {
    for (size_t i = 0; i < monitors.size(); ++i)
        if (monitors[i].primary) return i;
    return 0;
}

std::optional<size_t> findMonitor(const std::vector<Monitor>& monitors, std::string_view name) {
    for (size_t i = 0; i < monitors.size(); ++i)
        if (monitors[i].name == name) return i;
    return std::nullopt;
}

static bool holds(const Rect& r, Point p) {
    return p.x >= r.x && p.y >= r.y && p.x - r.x < r.width && p.y - r.y < r.height;
}

static long long area(const Rect& r) { return static_cast<long long>(r.width) * r.height; }

size_t chooseMonitor(const std::vector<Monitor>& monitors, const MonitorSetting& setting,
                     std::optional<Point> pointer, bool* missing) {
    if (missing) *missing = false;
    const size_t primary = primaryMonitor(monitors);
    switch (setting.mode) {
        case MonitorMode::Pointer: {
            if (!pointer) return primary;
            std::optional<size_t> best;
            for (size_t i = 0; i < monitors.size(); ++i) {
                if (!holds(monitors[i].area, *pointer)) continue;
                // Mirrored outputs overlap: the smallest shows all of the
                // console, then the primary, then the first listed.
                if (!best || area(monitors[i].area) < area(monitors[*best].area) ||
                    (area(monitors[i].area) == area(monitors[*best].area) && i == primary))
                    best = i;
            }
            return best.value_or(primary);
        }
        case MonitorMode::Named: {
            std::optional<size_t> named = findMonitor(monitors, setting.name);
            if (!named && missing) *missing = true;
            return named.value_or(primary);
        }
        case MonitorMode::Primary:
        case MonitorMode::WholeScreen:
            break;
    }
    return primary;
}

Span consoleSpan(const Rect& monitor, int xOffset, int screenWidth) {
    // Kept within the X protocol's 16-bit coordinates, which would wrap.
    const int x = std::clamp(monitor.x + xOffset, -kMaxExtent - 1, kMaxExtent);
    return {x, screenWidth > 0 ? screenWidth : std::clamp(monitor.width, 1, kMaxExtent)};
}

int fitHeight(int chosen, int monitorHeight, int handleWidth, int heightInc) {
    if (static_cast<long long>(chosen) + handleWidth <= monitorHeight) return chosen;
    const int row = std::max(heightInc, 1);
    const int room = monitorHeight - handleWidth;
    return std::min(chosen, std::max(room - room % row, row));
}

SizeState fitToMonitor(SizeState state, int chosen, int fittedTo, int monitorHeight, int handleWidth,
                       int heightInc) {
    if (monitorHeight == fittedTo) return state;
    const int fitted = fitHeight(chosen, monitorHeight, handleWidth, heightInc);
    if (state.fullScreen) {
        state.height = std::max(monitorHeight, 1);
        state.savedHeight = fitted;
    } else {
        state.height = fitted;
    }
    return state;
}

bool slideCrossesOther(const std::vector<Monitor>& monitors, size_t own, Span span, int top,
                       int frameHeight) {
    const long long left = span.x, right = left + span.width,
                    upper = static_cast<long long>(top) - frameHeight;
    for (size_t i = 0; i < monitors.size(); ++i) {
        if (i == own) continue;
        const Rect& m = monitors[i].area;
        if (m.x < right && left < m.x + static_cast<long long>(m.width) && m.y < top &&
            upper < m.y + static_cast<long long>(m.height))
            return true;
    }
    return false;
}
