// End-to-end tests of the slide under a compositing manager: no server grab, the same positions.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <vector>

#include "tests/support/scene.h"

using namespace xt;

namespace {

enum class Change { none, start, stop };

struct Case {
    const char* name;
    bool compositorFirst;  // picom runs before the console starts
    Change change;         // what happens to picom after the console's first show and hide
};

// The frame's y at each of its moves. A compositor that has stacked its
// own windows above the frame makes the show's raise a ConfigureNotify
// too, with the frame where it was.
std::vector<int> movesFrom(const Watcher& watch, int from) {
    std::vector<int> moves;
    for (int y : watch.ys())
        if (y != from || !moves.empty()) moves.push_back(y);
    return moves;
}

// Shows and hides the console once. Another client's round trip, made as
// soon as the frame has moved once, tells whether the server is grabbed:
// under the grab its answer waits until the slide is over. The slide down
// and up must pass through every position either way.
void showAndHide(XServer& server, Console& c, bool grabbed) {
    const int height = c.terminal().height, hidden = -(height + 3), step = slideStepOf(height);
    Watcher watch(server, c.frameWin);
    EXPECT_EQ(toggleAndAwaitFirstMove(server, watch, hidden), hidden + step);
    const int y = c.frame().y;
    if (grabbed)
        EXPECT_GT(y, -step) << "a request of another client ran in the middle of the slide";
    else
        EXPECT_LT(y, -step) << "another client stood still until the slide was over";
    const auto down = slide(height, true);
    ASSERT_TRUE(watch.waitUntil([&] { return movesFrom(watch, hidden).size() >= down.size(); }));
    EXPECT_EQ(movesFrom(watch, hidden), down);
    ASSERT_TRUE(waitUntil(server.dpy(), [&] { return focusOf(server.dpy()) == c.termWin; }));

    watch.events.clear();
    pressKeys(server.dpy(), kToggle);
    const auto up = slide(height, false);
    ASSERT_TRUE(watch.waitUntil([&] { return watch.ys().size() >= up.size(); }));
    EXPECT_EQ(watch.ys(), up);
    ASSERT_TRUE(waitUntil(server.dpy(), [&] { return c.hiddenAt(); }));
}

}  // namespace

TEST(Compositor, TheSlideDownGrabsTheServerOnlyWhileNoCompositorRuns) {
    const Case cases[] = {
        {"no compositor", false, Change::none},
        {"picom", true, Change::none},
        {"picom started after the console", false, Change::start},
        {"picom stopped while the console runs", true, Change::stop},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        // 20 ms a step: the slide lasts long enough for a round trip to
        // come back in the middle of it.
        Scene s({.resources = "dropcon.aniDelay: 200\n", .compositor = row.compositorFirst});
        Console& c = s.c();
        ASSERT_TRUE(s.ready()) << c.process.err();
        showAndHide(s.server, c, !row.compositorFirst);

        // The change counts from the next show.
        if (row.change == Change::start) s.startCompositor();
        if (row.change == Change::stop) {
            ASSERT_TRUE(s.stopCompositor());
        }
        if (row.change != Change::none) showAndHide(s.server, c, row.change == Change::stop);
        EXPECT_TRUE(c.process.running());
        EXPECT_EQ(c.process.err(), "");
    }
}
