// Pure rules of where the console goes: which monitor, the frame's span on it, slide or jump.
#include "console/placement.h"

#include <algorithm>


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
