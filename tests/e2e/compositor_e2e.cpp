// End-to-end tests of the slide under a compositing manager: no server grab, the same positions.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include "tests/support/scene.h"

using namespace xt;

namespace {

enum class Change { none, start, stop };

struct Case {
    const char* name;
    bool compositorFirst;  // picom runs before the console starts
    Change change;         // what happens to picom after the console's first show and hide
};

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
        EXPECT_EQ(s.slideFaults(!row.compositorFirst), "");

        // The change counts from the next show.
        if (row.change == Change::start) s.startCompositor();
        if (row.change == Change::stop) {
            ASSERT_TRUE(s.stopCompositor());
        }
        if (row.change != Change::none) {
            EXPECT_EQ(s.slideFaults(row.change == Change::stop), "");
        }
        EXPECT_TRUE(c.process.running());
        EXPECT_EQ(c.process.err(), "");
    }
}
