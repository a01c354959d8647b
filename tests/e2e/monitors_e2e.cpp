// End-to-end tests of several monitors: which one the console comes down on, its size there, and changes at
// run time.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/scene.h"

using namespace xt;

namespace {

// Two monitors side by side, as the user of the complaint had them.
const MonitorSpec kA{"A", 0, 0, 1920, 1080};
const MonitorSpec kB{"B", 1920, 0, 1280, 1024};
const MonitorSpec kLowB{"B", 1920, 56, 1280, 1024};  // aligned with A at the bottom
const std::vector<MonitorSpec> kSideBySide{kA, kB}, kBLower{kA, kLowB};
// One above the other.
const std::vector<MonitorSpec> kStacked{{"U", 0, 0, 1920, 1080}, {"L", 0, 1080, 1920, 1080}};

// A server of the given size with the monitors defined, a window manager
// or else the user's window holding the focus, and the console started on it.
Setup heads(int width, int height, const std::vector<MonitorSpec>& monitors, const std::string& resources,
            Wm wm = Wm::none) {
    Setup setup{.resources = resources, .width = width, .height = height, .monitors = monitors, .wm = wm};
    if (wm != Wm::none) setup.apps = {};  // mapped by the window manager, later
    return setup;
}

// Toggles and waits until the frame is at (x, y) with the focus in the
// terminal (unless a window manager may still be moving the focus after
// the pointer).
bool showAt(Scene& s, int x, int y) {
    pressKeys(s.dpy(), kToggle);
    return waitUntil(s.dpy(), [&] {
        Geometry f = s.c().frame();
        return f.x == x && f.y == y && (s.desktop.wm != Wm::none || focusOf(s.dpy()) == s.c().termWin);
    });
}

// The same with the pointer moved to (at.x, at.y) first, on the monitor it comes down on.
struct Point {
    int x, y;
};
bool showAt(Scene& s, Point at, int x, int y) {
    movePointer(s.dpy(), at.x, at.y);
    return showAt(s, x, y);
}

std::vector<int> shifted(std::vector<int> ys, int by, int last) {
    for (int& y : ys) y += by;
    ys.push_back(last);
    return ys;
}

// The frame's positions, leaving out the moves and resizes at the parked
// position (a show on another monitor first moves the parked frame there).
std::vector<int> positions(const Watcher& watch, int parked) {
    std::vector<int> ys;
    for (int y : watch.ys())
        if (y != parked) ys.push_back(y);
    return ys;
}

}  // namespace

TEST(Monitors, ConsoleComesDownOnTheMonitorTheSettingsAndThePointerChoose) {
    struct Row {
        const char* what;
        std::string resources;
        int pointerX, pointerY;
        int x, y, width;  // where the console comes down
        // When set, the terminal's height is the whole rows (one at least)
        // that fit into this many pixels with the handle.
        int rowsIn = 0;
        std::vector<MonitorSpec> monitors = kSideBySide;
        int screenWidth = 3200, screenHeight = 1080;
        bool slides = true;
        std::string err;  // on the standard error
    };
    const std::string missing = "dropcon: monitor: no monitor named \"DP-9\", using the primary one\n";
    const std::string kShares =
        "dropcon.xOffset: 25%\ndropcon.screenWidth: 50%\ndropcon.consoleHeight: 50%\n";
    const std::string kCentred = "dropcon.xOffset: 10%\ndropcon.screenWidth: 80%\n";
    const Row rows[] = {
        {"pointer on A", "", 500, 500, 0, 0, 1920},
        {"pointer on B", "", 2500, 500, 1920, 0, 1280},
        {"B lower: its top", "", 2500, 500, 1920, 56, 1280, 0, kBLower},
        {"pointer in the strip above B: primary", "", 2500, 20, 0, 0, 1920, 0, kBLower},
        {"monitor B, pointer on A", "dropcon.monitor: B\n", 500, 500, 1920, 0, 1280},
        {"monitor primary, pointer on B", "dropcon.monitor: primary\n", 2500, 500, 0, 0, 1920},
        {"unknown name: primary and a warning", "dropcon.monitor: DP-9\n", 2500, 500, 0, 0, 1920, 0,
         kSideBySide, 3200, 1080, true, missing},
        {"xOffset and screenWidth: whole-screen coordinates",
         "dropcon.xOffset: 1920\ndropcon.screenWidth: 1280\n", 500, 500, 1920, 0, 1280},
        {"xOffset alone: the screen's width", "dropcon.xOffset: 40\n", 2500, 500, 40, 0, 3200},
        {"xOffset and screenWidth on the pointer's monitor",
         "dropcon.monitor: pointer\ndropcon.xOffset: 10\ndropcon.screenWidth: 600\n", 2500, 500, 1930, 0,
         600},
        {"stacked, pointer on the upper", "", 500, 500, 0, 0, 1920, 0, kStacked, 1920, 2160},
        {"stacked, pointer on the lower: no slide across the upper", "", 500, 1500, 0, 1080, 1920, 0,
         kStacked, 1920, 2160, false},
        {"one monitor", "", 700, 500, 0, 0, 1280, 0, {}, 1280, 900},
        // Shares of the monitor it comes down on, which keep it on a monitor.
        {"shares of A", kShares, 500, 500, 480, 0, 960, 540},
        {"shares of B", kShares, 2500, 500, 2240, 0, 640, 512},
        {"centred on A", kCentred, 500, 500, 192, 0, 1536},
        {"centred on B", kCentred, 2500, 500, 2048, 0, 1024},
        {"percentages out of range: clamped",
         "dropcon.xOffset: -5%\ndropcon.screenWidth: 250%\ndropcon.consoleHeight: 150%\n", 2500, 500, 1920, 0,
         1280, 1024},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Scene s(
            heads(row.screenWidth, row.screenHeight, row.monitors, "dropcon.aniDelay: 1\n" + row.resources));
        Console& c = s.c();
        ASSERT_TRUE(c.ready()) << c.process.err();
        movePointer(s.dpy(), row.pointerX, row.pointerY);
        Watcher watch(s.server, c.frameWin);
        ASSERT_TRUE(showAt(s, row.x, row.y)) << "frame at " << c.frame().x << "," << c.frame().y;
        EXPECT_EQ(c.frame().width, row.width);
        EXPECT_EQ(c.terminal().width, row.width);
        const int height = c.terminal().height, parked = -(height + 3);
        if (row.rowsIn) {
            EXPECT_EQ(height, std::max((row.rowsIn - 3) / c.rowHeight(), 1) * c.rowHeight());
        }
        // It comes down from just above its monitor's top, or jumps there
        // when sliding would cross another monitor.
        std::vector<int> down =
            row.slides ? shifted(slideMoves(height, true), row.y, row.y) : std::vector<int>{row.y};
        ASSERT_TRUE(watch.waitUntil([&] { return positions(watch, parked).size() >= down.size(); }));
        EXPECT_EQ(positions(watch, parked), down);
        // On one monitor nothing is moved but by the slide itself.
        if (row.monitors.empty()) {
            EXPECT_EQ(watch.ys(), down);
        }

        watch.events.clear();
        ASSERT_TRUE(s.hide());
        std::vector<int> up =
            row.slides ? shifted(slideMoves(height, false), row.y, parked) : std::vector<int>{parked};
        ASSERT_TRUE(watch.waitUntil([&] { return watch.ys().size() >= up.size(); }));
        EXPECT_EQ(watch.ys(), up);
        EXPECT_EQ(focusOf(s.dpy()), s.app());
        EXPECT_EQ(c.process.err(), row.err);
        EXPECT_TRUE(c.process.running());
    }
}

TEST(Monitors, BelowThePanelsAtTheTopOfItsMonitor) {
    struct Panel {
        int left, width, bottom;
    };
    struct Row {
        const char* what;
        int screenWidth, screenHeight;
        std::vector<MonitorSpec> monitors;
        std::vector<Panel> panels;  // stand-ins, up before the console
        bool tint2;                 // under openbox, up after the console
        MonitorSpec on;             // where the pointer is and the console comes down
        int top;
    };
    const MonitorSpec kOne{"", 0, 0, 1280, 900};
    const std::vector<Panel> kPanelsOnAAndB{{0, 1920, 30}, {1920, 1280, 96}};
    const Row rows[] = {
        {"a panel on one monitor", 1280, 900, {}, {{0, 1280, 30}}, false, kOne, 30},
        {"panels on A and B, on B", 3200, 1080, kBLower, kPanelsOnAAndB, false, kLowB, 96},
        {"panels on A and B, on A", 3200, 1080, kBLower, kPanelsOnAAndB, false, kA, 30},
        {"tint2 under openbox", 1280, 900, {}, {}, true, kOne, kTint2Height},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<Window> panels;
        xt::Setup setup =
            heads(row.screenWidth, row.screenHeight, row.monitors,
                  "dropcon.aniDelay: 1\ndropcon.belowPanels: 1\n", row.tint2 ? Wm::openbox : Wm::none);
        setup.setUp = [&](XServer& server) {
            for (const Panel& p : row.panels)
                panels.push_back(makePanel(server.dpy(), p.left, p.width, p.bottom));
        };
        Scene s(setup);
        Console& c = s.c();
        Display* dpy = s.dpy();
        ASSERT_TRUE(c.ready()) << c.process.err();
        // A panel that comes while the console is hidden counts from the next show.
        std::unique_ptr<Process> tint2 = row.tint2 ? startTint2(s.server) : nullptr;
        movePointer(dpy, row.on.x + row.on.width / 2, row.on.y + row.on.height / 2);
        Watcher watch(s.server, c.frameWin);
        ASSERT_TRUE(showAt(s, row.on.x, row.top)) << "frame at " << c.frame().x << "," << c.frame().y;
        EXPECT_EQ(c.frame().width, row.on.width);
        // It slides in from above its monitor, over the panels.
        const int height = c.terminal().height, parked = -(height + 3);
        const std::vector<int> down = shifted(slideMoves(height, true, row.top - row.on.y), row.top, row.top);
        ASSERT_TRUE(watch.waitUntil([&] { return positions(watch, parked).size() >= down.size(); }));
        EXPECT_EQ(positions(watch, parked), down);

        // Full screen is the room below the panels.
        const int room = row.on.y + row.on.height - row.top;
        pressKeys(dpy, kFull);
        EXPECT_TRUE(s.sizedTo(room, row.top)) << c.terminal().height;
        EXPECT_TRUE(s.resize(kFull, height)) << c.terminal().height;

        // A panel's strut removed while the console is shown: up to its monitor's top.
        if (!panels.empty()) {
            for (Window panel : panels) setStrut(dpy, panel, 0, 0, 0);
            EXPECT_TRUE(waitUntil(dpy, [&] { return c.frame().y == row.on.y; })) << c.frame().y;
        }
        ASSERT_TRUE(s.hide());
        EXPECT_EQ(c.process.err(), "");
        EXPECT_TRUE(c.process.running());
    }
}

TEST(Monitors, FullScreenDragAndTheChosenHeightFitTheMonitor) {
    Scene s(heads(3200, 1080, kBLower, "dropcon.stepSize: 0\n"));
    Console& c = s.c();
    Display* dpy = s.dpy();
    ASSERT_TRUE(c.ready()) << c.process.err();
    const int row = c.rowHeight();
    const int first = c.terminal().height;

    // Full screen on B is B's height, and back.
    ASSERT_TRUE(showAt(s, {2500, 600}, 1920, 56));
    pressKeys(dpy, kFull);
    ASSERT_TRUE(s.sizedTo(1024, 56)) << c.terminal().height;
    pressKeys(dpy, kFull);
    ASSERT_TRUE(s.sizedTo(first, 56)) << c.terminal().height;

    // A drag on B measures the pointer from B's top.
    ASSERT_TRUE(s.drag(2500, 56 + 200, 200 - 200 % row)) << c.terminal().height;
    EXPECT_EQ(c.frame().y, 56);

    // A height chosen on A that B cannot show is fitted to B in whole rows,
    // handle and all, and comes back on A.
    ASSERT_TRUE(s.hide());
    ASSERT_TRUE(showAt(s, {500, 500}, 0, 0));
    const int tall = 1075 - 1075 % row;
    ASSERT_GT(tall + 3, 1024);
    ASSERT_TRUE(s.drag(500, 1075, tall)) << c.terminal().height;
    ASSERT_TRUE(s.hide());
    ASSERT_TRUE(showAt(s, {2500, 600}, 1920, 56));
    EXPECT_EQ(c.terminal().height, 1021 - 1021 % row);
    ASSERT_TRUE(s.hide());
    ASSERT_TRUE(showAt(s, {500, 500}, 0, 0));
    EXPECT_EQ(c.terminal().height, tall);

    // Full screen follows the monitor the console comes down on; keyFull
    // gives the chosen height back, fitted to where it is.
    ASSERT_TRUE(s.hide());
    ASSERT_TRUE(showAt(s, {2500, 600}, 1920, 56));
    pressKeys(dpy, kFull);
    ASSERT_TRUE(s.sizedTo(1024, 56)) << c.terminal().height;
    ASSERT_TRUE(s.hide());
    ASSERT_TRUE(showAt(s, {500, 500}, 0, 0));
    ASSERT_TRUE(s.sizedTo(1080, 0)) << c.terminal().height;
    pressKeys(dpy, kFull);
    ASSERT_TRUE(s.sizedTo(tall, 0)) << c.terminal().height;
    EXPECT_EQ(c.process.err(), "");
}

TEST(Monitors, RemovedMonitorAndShrunkScreenWhileShownOrHidden) {
    const std::tuple<const char*, std::string, bool, int, int> rows[] = {
        {"on B while shown: moves to A", "", true, 1280, 1920},
        {"on B while hidden: out of sight, on A at the next show", "", false, 1280, 1920},
        {"whole screen while shown: the width follows", "dropcon.monitor: screen\n", true, 3200, 0},
    };
    for (const auto& [what, resources, shown, widthBefore, xBefore] : rows) {
        SCOPED_TRACE(what);
        Scene s(heads(3200, 1080, kSideBySide, "dropcon.stepSize: 0\n" + resources));
        Console& c = s.c();
        Display* dpy = s.dpy();
        ASSERT_TRUE(c.ready()) << c.process.err();
        ASSERT_TRUE(showAt(s, {2500, 500}, xBefore, 0));
        EXPECT_EQ(c.frame().width, widthBefore);
        if (!shown) {
            ASSERT_TRUE(s.hide());
        }

        deleteMonitor(s.server, "B");
        ASSERT_TRUE(shrinkScreen(s.server, 1920, 1080));
        auto onA = [&] {
            Geometry f = c.frame();
            return f.x == 0 && f.y == 0 && f.width == 1920 && c.terminal().width == 1920;
        };
        if (shown) {
            ASSERT_TRUE(waitUntil(dpy, onA)) << c.frame().x << " " << c.frame().width;
        } else {
            XSync(dpy, False);
            EXPECT_TRUE(c.hiddenAt());
            ASSERT_TRUE(showAt(s, 0, 0));
            EXPECT_TRUE(onA());
        }
        EXPECT_EQ(focusOf(dpy), c.termWin);
        ASSERT_TRUE(s.hide());
        EXPECT_EQ(c.process.err(), "");
        EXPECT_TRUE(c.process.running());
    }
}

TEST(Monitors, NamedMonitorThatComesAndGoes) {
    Scene s(heads(3200, 1080, kSideBySide, "dropcon.stepSize: 0\ndropcon.monitor: B\n"));
    Console& c = s.c();
    ASSERT_TRUE(c.ready()) << c.process.err();
    const std::string missing = "dropcon: monitor: no monitor named \"B\", using the primary one\n";
    ASSERT_TRUE(showAt(s, {500, 500}, 1920, 0));
    // Gone while shown: to the primary one at once, and said at the next show.
    deleteMonitor(s.server, "B");
    ASSERT_TRUE(waitUntil(s.dpy(), [&] { return c.frame().x == 0 && c.frame().width == 1920; }));
    EXPECT_EQ(c.process.err(), "");
    for (int show = 0; show < 2; ++show) {
        ASSERT_TRUE(s.hide());
        ASSERT_TRUE(showAt(s, 0, 0));
        EXPECT_EQ(c.process.err(), missing) << "said once while it stays away";
    }
    // Plugged in again: used from the next show; gone again: said again.
    ASSERT_TRUE(s.hide());
    addMonitor(s.server, kB);
    ASSERT_TRUE(showAt(s, 1920, 0));
    EXPECT_EQ(c.frame().width, 1280);
    ASSERT_TRUE(s.hide());
    deleteMonitor(s.server, "B");
    ASSERT_TRUE(showAt(s, 0, 0));
    EXPECT_EQ(c.process.err(), missing + missing);
}

TEST(Monitors, ThePointersMonitorUnderEachWindowManager) {
    // A window manager creates and destroys windows of its own while the
    // console's frame is looked for among the root's children.
    XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    for (Wm wm : {Wm::none, Wm::openbox, Wm::i3}) {
        SCOPED_TRACE(nameOf(wm));
        Scene s(heads(3200, 1080, kBLower, "dropcon.stepSize: 0\n", wm));
        Console& c = s.c();
        ASSERT_TRUE(c.ready()) << c.process.err();
        ASSERT_TRUE(showAt(s, {2500, 600}, 1920, 56)) << c.frame().x << "," << c.frame().y;
        EXPECT_EQ(c.frame().width, 1280);
        ASSERT_TRUE(s.hide());
        ASSERT_TRUE(showAt(s, {500, 600}, 0, 0)) << c.frame().x << "," << c.frame().y;
        EXPECT_EQ(c.frame().width, 1920);
        ASSERT_TRUE(s.hide());
        EXPECT_EQ(c.process.err(), "");
    }
    XSetErrorHandler(previous);
}
