// Unit tests of the placement rules: which monitor, the frame's span, the fitted height, slide or jump.
#include <gtest/gtest.h>

#include "console/placement.h"
#include "interaction/geometry.h"

namespace {

const Monitor kA{"A", {0, 0, 1920, 1080}, true};
const Monitor kB{"B", {1920, 56, 1280, 1024}, false};
const std::vector<Monitor> kTwo{kA, kB};

}  // namespace

TEST(Placement, MonitorSettingAndItsDefault) {
    struct Row {
        const char* value;
        bool xOffset, screenWidth;
        MonitorMode mode;
        std::string name;
    } rows[] = {
        {nullptr, false, false, MonitorMode::Pointer, ""},
        // Resource files written in whole-screen coordinates keep the whole screen.
        {nullptr, true, false, MonitorMode::WholeScreen, ""},
        {nullptr, false, true, MonitorMode::WholeScreen, ""},
        {"pointer", true, true, MonitorMode::Pointer, ""},
        {"primary", false, false, MonitorMode::Primary, ""},
        {"screen", false, false, MonitorMode::WholeScreen, ""},
        {"", false, false, MonitorMode::Pointer, ""},
        {"HDMI-A-0", true, false, MonitorMode::Named, "HDMI-A-0"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value ? row.value : "(absent)");
        MonitorSetting setting = parseMonitorSetting(row.value, row.xOffset, row.screenWidth);
        EXPECT_EQ(setting.mode, row.mode);
        EXPECT_EQ(setting.name, row.name);
    }
}

TEST(Placement, WhichMonitor) {
    const Monitor big{"BIG", {0, 0, 1920, 1080}, false}, small{"SMALL", {0, 0, 1280, 720}, false},
        samePrimary{"P", {0, 0, 1280, 720}, true};
    const std::vector<Monitor> noPrimary{{"X", {0, 0, 800, 600}, false}, {"Y", {800, 0, 800, 600}, false}};
    const MonitorSetting pointer{MonitorMode::Pointer, ""};
    struct Row {
        const char* what;
        std::vector<Monitor> monitors;
        MonitorSetting setting;
        std::optional<Point> at;
        size_t expected;
        bool missing;
    } rows[] = {
        {"pointer on A", kTwo, pointer, Point{100, 100}, 0, false},
        {"pointer on B", kTwo, pointer, Point{1920, 56}, 1, false},
        {"pointer on B's last pixel", kTwo, pointer, Point{3199, 1079}, 1, false},
        {"pointer in the strip above B: primary", kTwo, pointer, Point{2000, 10}, 0, false},
        {"pointer on another screen: primary", kTwo, pointer, std::nullopt, 0, false},
        {"mirrored: the smallest", {big, small}, pointer, Point{10, 10}, 1, false},
        {"mirrored, same size: the primary", {small, samePrimary}, pointer, Point{10, 10}, 1, false},
        {"mirrored, same size, no primary: the first", {small, small}, pointer, Point{10, 10}, 0, false},
        {"no primary: the first", noPrimary, pointer, Point{5000, 5000}, 0, false},
        {"primary", kTwo, {MonitorMode::Primary, ""}, Point{2000, 500}, 0, false},
        {"by name", kTwo, {MonitorMode::Named, "B"}, Point{10, 10}, 1, false},
        {"unknown name: primary", kTwo, {MonitorMode::Named, "DP-1"}, Point{2000, 500}, 0, true},
        {"names are exact", kTwo, {MonitorMode::Named, "b"}, std::nullopt, 0, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        bool missing = !row.missing;
        EXPECT_EQ(chooseMonitor(row.monitors, row.setting, row.at, &missing), row.expected);
        EXPECT_EQ(missing, row.missing);
    }
}

TEST(Placement, SpanInPixelsOrShares) {
    const Length all{100, true};
    struct Row {
        const char* what;
        Rect monitor;
        Length xOffset, screenWidth;
        Span expected;
    } rows[] = {
        {"the monitor's width", kB.area, {40, false}, all, {1960, 1280}},
        {"within the protocol's coordinates", kB.area, {32767, false}, {600, false}, {32767, 600}},
        {"leftwards within them", {0, 0, 1280, 1024}, {-32768, false}, all, {-32768, 1280}},
        {"a share of A's width", kA.area, {25, true}, {50, true}, {480, 960}},
        {"a share of B's width", kB.area, {25, true}, {50, true}, {2240, 640}},
        {"centred on A", kA.area, {10, true}, {80, true}, {192, 1536}},
        {"centred on B", kB.area, {10, true}, {80, true}, {2048, 1024}},
        {"to the nearest pixel", {0, 0, 1366, 768}, {10, true}, {80, true}, {137, 1093}},
        {"a share with pixels", kB.area, {5, false}, {50, true}, {1925, 640}},
        {"at least one pixel", {0, 0, 40, 30}, {100, true}, {1, true}, {40, 1}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(consoleSpan(row.monitor, row.xOffset, row.screenWidth), row.expected);
    }
}

TEST(Placement, RowsOfConsoleHeight) {
    const std::tuple<Length, int, int, int, int> rows[] = {
        {{80, false}, 600, 3, 17, 80},   // rows as set, whatever the room
        {{50, true}, 1080, 3, 17, 31},   // (540 - 3) / 17
        {{50, true}, 1024, 3, 17, 29},   // (512 - 3) / 17
        {{100, true}, 1080, 3, 17, 63},  // all of it: the rows that fit with the handle
        {{1, true}, 600, 3, 17, 1},      // at least one row
    };
    for (const auto& [consoleHeight, room, handle, rowHeight, expected] : rows)
        EXPECT_EQ(consoleRows(consoleHeight, room, handle, rowHeight), expected)
            << consoleHeight.value << (consoleHeight.percent ? "%" : "") << " of " << room;
}

TEST(Placement, TopStrutOfAPanel) {
    const long partial[12] = {0, 0, 30, 0, 0, 0, 0, 0, 1920, 3199, 0, 0};
    const long plain[4] = {0, 0, 24, 0};
    const long bottomOnly[12] = {0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0, 1919};
    EXPECT_EQ(topStrut(partial, 12, 3200), (TopStrut{30, 1920, 3199}));
    EXPECT_EQ(topStrut(plain, 4, 3200), (TopStrut{24, 0, 3199}));  // across the screen
    EXPECT_EQ(topStrut(bottomOnly, 12, 3200), std::nullopt);
    EXPECT_EQ(topStrut(plain, 3, 3200), std::nullopt);
}

TEST(Placement, TopBelowPanels) {
    const Rect a = kA.area, lowB = kB.area;  // B at y 56
    const Rect lower{0, 1080, 1920, 1080};   // below another
    struct Row {
        const char* what;
        Rect monitor;
        std::vector<TopStrut> struts;
        int top;
    } rows[] = {
        {"no panel", a, {}, 0},
        {"a panel across A", a, {{30, 0, 1919}}, 30},
        {"the lowest of two", a, {{30, 0, 1919}, {45, 100, 300}}, 45},
        {"a panel on B only", a, {{90, 1920, 3199}}, 0},
        {"a panel on B, on B", lowB, {{90, 1920, 3199}}, 90},
        {"a panel across the screen ends above B", lowB, {{30, 0, 3199}}, 56},
        {"its last column on B", lowB, {{90, 1000, 1920}}, 90},
        {"on the monitor above", lower, {{30, 0, 1919}}, 1080},
        {"down to the monitor's bottom", a, {{1080, 0, 1919}}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(topBelowPanels(row.monitor, row.struts), row.top);
    }
}

TEST(Placement, FittedHeight) {
    const std::tuple<int, int, int, int, int> rows[] = {
        {170, 1080, 3, 17, 170},    // fits: kept
        {1077, 1080, 3, 1, 1077},   // fits exactly, handle and all
        {1071, 1024, 3, 17, 1020},  // the most whole rows that leave room for the handle
        {1071, 1024, 0, 17, 1020},
        {100, 10, 3, 17, 17},  // at least one row
        {32764, 900, 3, 13, 897 - 897 % 13},
    };
    for (const auto& [chosen, monitor, handle, row, expected] : rows)
        EXPECT_EQ(fitHeight(chosen, monitor, handle, row), expected) << chosen << " on " << monitor;
}

TEST(Placement, HeightsOnArrivalAtAMonitor) {
    // On a monitor of the height it was last on, nothing changes: heights
    // set there with the size keys stay, beyond the monitor or not.
    EXPECT_EQ(fitToMonitor({1097, 170, true}, 170, 1080, 1080, 3, 17).height, 1097);
    EXPECT_EQ(fitToMonitor({1190, 1190, false}, 1190, 1080, 1080, 3, 17).height, 1190);
    // Elsewhere the chosen height is fitted, and comes back where it fits.
    SizeState onB = fitToMonitor({1071, 1071, false}, 1071, 1080, 1024, 3, 17);
    EXPECT_EQ(onB.height, 1020);
    EXPECT_FALSE(onB.fullScreen);
    EXPECT_EQ(fitToMonitor(onB, 1071, 1024, 1080, 3, 17).height, 1071);
    // Full screen takes the monitor's height; keyFull then restores the
    // chosen height as fitted there.
    SizeState full = fitToMonitor({1080, 1071, true}, 1071, 1080, 1024, 3, 17);
    EXPECT_EQ(full.height, 1024);
    EXPECT_EQ(full.savedHeight, 1020);
    EXPECT_TRUE(full.fullScreen);
    EXPECT_EQ(applySizeKey(full, SizePress{true, false, false}, 17, 1024, 32764).height, 1020);
    // The first show fits a first height taller than the monitor.
    EXPECT_EQ(fitToMonitor({1300, 1300, false}, 1300, 0, 900, 3, 13).height, 897 - 897 % 13);
    // Full screen on a monitor taller than the frame can be parked above
    // the screen: the largest height, so that the parked y fits 16 bits.
    EXPECT_EQ(fitToMonitor({1080, 1071, true}, 1071, 1080, 32766, 3, 17).height, 32764);
    EXPECT_EQ(fitToMonitor({1080, 1071, true}, 1071, 1080, 65535, 0, 17).height, 32767);
}

TEST(Placement, SlideOrJump) {
    const std::vector<Monitor> stacked{{"U", {0, 0, 1920, 1080}, true}, {"L", {0, 1080, 1920, 1080}, false}};
    struct Row {
        const char* what;
        std::vector<Monitor> monitors;
        size_t own;
        Span span;
        int top, frameHeight;
        bool jumps;
    } rows[] = {
        {"side by side", kTwo, 1, {1920, 1280}, 56, 133, false},
        {"side by side, on A", kTwo, 0, {0, 1920}, 0, 133, false},
        {"below another: across it", stacked, 1, {0, 1920}, 1080, 133, true},
        {"above another", stacked, 0, {0, 1920}, 0, 133, false},
        {"a span that reaches into the neighbour's band", kTwo, 0, {1900, 1920}, 0, 133, false},
        {"a span that reaches over a lower neighbour's top",
         {{"A", {0, 100, 1920, 980}, true}, kB},
         0,
         {1000, 1920},
         100,
         133,
         true},
        {"only touching the upper one's bottom edge", stacked, 1, {0, 1920}, 1080, 0, false},
        {"one monitor", {kA}, 0, {0, 1920}, 0, 133, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(slideCrossesOther(row.monitors, row.own, row.span, row.top, row.frameHeight), row.jumps);
    }
}
