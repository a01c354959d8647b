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

int shareOf(int extent, int percent) {
    return static_cast<int>((static_cast<long long>(extent) * percent + 50) / 100);
}

Span consoleSpan(const Rect& monitor, Length xOffset, Length screenWidth) {
    const int width = std::clamp(monitor.width, 1, kMaxExtent);
    const long long offset = xOffset.percent ? shareOf(width, xOffset.value) : xOffset.value;
    // Kept within the X protocol's 16-bit coordinates, which would wrap.
    const int x = static_cast<int>(std::clamp(monitor.x + offset, -kMaxExtent - 1LL, kMaxExtent + 0LL));
    return {x, screenWidth.percent ? std::max(shareOf(width, screenWidth.value), 1) : screenWidth.value};
}

int consoleRows(Length consoleHeight, int room, int handleWidth, int heightInc) {
    if (!consoleHeight.percent) return consoleHeight.value;
    return std::max((shareOf(room, consoleHeight.value) - handleWidth) / std::max(heightInc, 1), 1);
}

std::optional<TopStrut> topStrut(const long* values, unsigned long count, int screenWidth) {
    // _NET_WM_STRUT_PARTIAL: left, right, top, bottom, then the start and
    // end of each: the top's x range is at 8 and 9.
    if (count < 4 || values[2] <= 0) return std::nullopt;
    auto coordinate = [](long v) { return static_cast<int>(std::clamp<long>(v, 0, kMaxExtent)); };
    if (count >= 12) return TopStrut{coordinate(values[2]), coordinate(values[8]), coordinate(values[9])};
    return TopStrut{coordinate(values[2]), 0, std::max(screenWidth - 1, 0)};
}

int topBelowPanels(const Rect& monitor, const std::vector<TopStrut>& struts) {
    int top = monitor.y;
    for (const TopStrut& s : struts)
        if (s.left < monitor.x + monitor.width && s.right >= monitor.x && s.bottom > monitor.y &&
            s.bottom < monitor.y + monitor.height)
            top = std::max(top, s.bottom);
    return top;
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
