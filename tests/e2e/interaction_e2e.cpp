// End-to-end tests of the interaction: toggle and slide, focus, size keys, drag and the terminal ending.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <signal.h>

#include <string>
#include <vector>

#include "interaction/geometry.h"
#include "tests/support/processes.h"
#include "tests/support/xharness.h"

using namespace xt;

namespace {

const std::vector<std::string> kToggle{"Control_L", "Alt_L", "y"};
const std::vector<std::string> kBigger{"Control_L", "KP_Add"};
const std::vector<std::string> kSmaller{"Control_L", "KP_Subtract"};
const std::vector<std::string> kFull{"Alt_L", "F11"};

// A server with the user's application window holding the focus, and the
// console started on it.
struct Desk {
    explicit Desk(const std::string& resources, const std::vector<std::string>& args = {})
        : server(),
          app((server.setResources(resources), makeFocusedWindow(server.dpy()))),
          console(server, args) {}
    Display* dpy() { return server.dpy(); }
    // Presses the toggle key and waits until the console is down with the
    // focus in the terminal.
    bool show() {
        pressKeys(dpy(), kToggle);
        return waitUntil(dpy(),
                         [&] { return console.shownAt() && focusOf(dpy()) == console.currentTerminal(); });
    }

    XServer server;
    Window app;
    Console console;
};

// Waits until the frame has lost a terminal window and got a new one mapped.
bool relaunched(Watcher& children) {
    return children.waitUntil([&] {
        bool unmapped = false;
        for (const XEvent& e : children.events) {
            if (e.type == UnmapNotify) unmapped = true;
            if (unmapped && e.type == MapNotify) return true;
        }
        return false;
    });
}

std::vector<int> withLast(std::vector<int> ys, int last) {
    ys.push_back(last);
    return ys;
}

}  // namespace

TEST(Toggle, ShowsWithTheFocusInTheTerminalAndHidesWithTheFocusBack) {
    Desk desk("dropcon.stepSize: 0\n");
    ASSERT_TRUE(desk.console.ready()) << desk.console.process.err();
    Console& c = desk.console;
    Display* dpy = desk.dpy();
    Window other = XCreateSimpleWindow(dpy, desk.server.root(), 0, 0, 100, 100, 0, 0, 0);
    XMapRaised(dpy, other);  // stacked above the console before it is shown

    for (const char* lock : {"", "Caps_Lock", "Num_Lock"}) {
        SCOPED_TRACE(std::string("lock: ") + lock);
        if (*lock) pressKeys(dpy, {lock});
        XSetInputFocus(dpy, desk.app, RevertToPointerRoot, CurrentTime);
        pressKeys(dpy, kToggle);
        ASSERT_TRUE(waitUntil(dpy, [&] { return c.shownAt() && focusOf(dpy) == c.termWin; }))
            << "frame y " << c.frame().y << " focus " << focusOf(dpy);
        EXPECT_TRUE(isTopmost(dpy, c.frameWin));
        EXPECT_EQ(c.frame().x, 0);
        // The handle under the terminal shows the default grey70.
        XImage* handle =
            XGetImage(dpy, desk.server.root(), 10, c.terminal().height + 1, 1, 1, AllPlanes, ZPixmap);
        ASSERT_NE(handle, nullptr);
        EXPECT_EQ(XGetPixel(handle, 0, 0) & 0xffffff, 0xb3b3b3u);
        XDestroyImage(handle);
        pressKeys(dpy, kToggle);
        ASSERT_TRUE(waitUntil(dpy, [&] { return c.hiddenAt() && focusOf(dpy) == desk.app; }))
            << "frame y " << c.frame().y << " focus " << focusOf(dpy);
        if (*lock) pressKeys(dpy, {lock});
    }
    EXPECT_TRUE(c.process.running());
    EXPECT_EQ(c.process.err(), "");
}

TEST(Toggle, HidingLeavesTheFocusWhereTheUserPutItMeanwhile) {
    Desk desk("dropcon.stepSize: 0\n");
    ASSERT_TRUE(desk.console.ready());
    Console& c = desk.console;
    Display* dpy = desk.dpy();
    Window elsewhere = makeFocusedWindow(dpy, 500, 500, 50, 50);
    XSetInputFocus(dpy, desk.app, RevertToPointerRoot, CurrentTime);
    ASSERT_TRUE(desk.show());
    XSetInputFocus(dpy, elsewhere, RevertToPointerRoot, CurrentTime);
    pressKeys(dpy, kToggle);
    ASSERT_TRUE(waitUntil(dpy, [&] { return c.hiddenAt(); }));
    EXPECT_EQ(focusOf(dpy), elsewhere);
}

TEST(Slide, FramePassesThroughEveryStepOfTheAnimationDownAndUp) {
    Desk desk("dropcon.aniDelay: 1\n");
    ASSERT_TRUE(desk.console.ready());
    Console& c = desk.console;
    const int height = c.terminal().height, hidden = -(height + 3);
    Watcher watch(desk.server, c.frameWin);

    pressKeys(desk.dpy(), kToggle);
    auto down = withLast(slidePositions(hidden, height, 3, 1), 0);
    ASSERT_TRUE(watch.waitUntil([&] { return watch.ys().size() >= down.size(); }));
    EXPECT_EQ(watch.ys(), down);

    watch.events.clear();
    pressKeys(desk.dpy(), kToggle);
    auto up = withLast(slidePositions(0, height, 3, 1), hidden);
    ASSERT_TRUE(watch.waitUntil([&] { return watch.ys().size() >= up.size(); }));
    EXPECT_EQ(watch.ys(), up);
    EXPECT_EQ(c.process.err(), "");
}

TEST(Slide, OtherClientsStandStillWhileTheConsoleComesDown) {
    Desk desk("dropcon.aniDelay: 50\n");
    ASSERT_TRUE(desk.console.ready());
    Console& c = desk.console;
    const int height = c.terminal().height;
    EXPECT_EQ(toggleAndAwaitFirstMove(desk.server, c.frameWin), -(height + 3) + slideStep(height, 1));
    // The server holds this round trip until the slide is over.
    EXPECT_GT(c.frame().y, -slideStep(height, 1))
        << "a request of another client ran in the middle of the slide";
}

TEST(Slide, StepSizeZeroJumpsStraightToTheEnds) {
    Desk desk("dropcon.stepSize: 0\n");
    ASSERT_TRUE(desk.console.ready());
    Console& c = desk.console;
    Watcher watch(desk.server, c.frameWin);
    Watcher terminal(desk.server, c.termWin);
    pressKeys(desk.dpy(), kToggle);
    ASSERT_TRUE(waitUntil(desk.dpy(), [&] { return focusOf(desk.dpy()) == c.termWin; }));
    // The terminal is nudged by a pixel and back once it is in view.
    ASSERT_TRUE(terminal.waitUntil([&] { return terminal.count(ConfigureNotify) >= 2; }));
    pressKeys(desk.dpy(), kToggle);
    ASSERT_TRUE(watch.waitUntil([&] { return watch.ys().size() >= 2; }));
    EXPECT_EQ(watch.ys(), (std::vector<int>{0, c.frame().y}));
    EXPECT_TRUE(c.hiddenAt());
    int height = c.terminal().height;
    std::vector<int> heights;
    for (const XEvent& e : terminal.events)
        if (e.type == ConfigureNotify) heights.push_back(e.xconfigure.height);
    EXPECT_EQ(heights, (std::vector<int>{height - 1, height}));
}

TEST(Slide, NegativeStepSizeMeansNoAnimation) {
    Desk desk("dropcon.stepSize: -7\n");
    ASSERT_TRUE(desk.console.ready());
    Console& c = desk.console;
    Watcher watch(desk.server, c.frameWin);
    pressKeys(desk.dpy(), kToggle);
    pressKeys(desk.dpy(), kToggle);
    ASSERT_TRUE(watch.waitUntil([&] { return watch.ys().size() >= 2; }));
    EXPECT_EQ(watch.ys(), (std::vector<int>{0, -(c.terminal().height + 3)}));
    EXPECT_TRUE(c.process.running());
}

TEST(SizeKeys, RowByRowNeverBelowOneRowAndFullScreenWithoutAnimation) {
    Desk desk("dropcon.stepSize: 1\ndropcon.aniDelay: 1\ndropcon.consoleHeight: 2\n");
    ASSERT_TRUE(desk.console.ready());
    Console& c = desk.console;
    Display* dpy = desk.dpy();
    const int row = c.rowHeight();
    auto consistent = [&](int height) {
        return c.terminal().height == height && c.frame().height == height + 3 && c.frame().y == 0;
    };

    // While hidden the size keys do nothing: the console shows up at its old size.
    pressKeys(dpy, kBigger);
    pressKeys(dpy, kFull);
    ASSERT_TRUE(desk.show());
    EXPECT_EQ(c.terminal().height, 2 * row);

    pressKeys(dpy, kBigger);
    ASSERT_TRUE(waitUntil(dpy, [&] { return consistent(3 * row); })) << c.terminal().height;
    pressKeys(dpy, kSmaller);
    pressKeys(dpy, kSmaller);
    ASSERT_TRUE(waitUntil(dpy, [&] { return consistent(row); })) << c.terminal().height;
    pressKeys(dpy, kSmaller);
    pressKeys(dpy, kBigger);
    ASSERT_TRUE(waitUntil(dpy, [&] { return consistent(2 * row); })) << c.terminal().height;

    pressKeys(dpy, kFull);
    ASSERT_TRUE(waitUntil(dpy, [&] { return consistent(desk.server.height()); })) << c.terminal().height;
    pressKeys(dpy, kBigger);
    ASSERT_TRUE(waitUntil(dpy, [&] { return consistent(desk.server.height() + row); }));

    // Full-screen stays across hide and show, and neither is animated.
    Watcher watch(desk.server, c.frameWin);
    pressKeys(dpy, kToggle);
    pressKeys(dpy, kToggle);
    ASSERT_TRUE(watch.waitUntil([&] { return watch.ys().size() >= 2; }));
    EXPECT_EQ(watch.ys(), (std::vector<int>{-(desk.server.height() + row + 3), 0}));

    pressKeys(dpy, kFull);
    ASSERT_TRUE(waitUntil(dpy, [&] { return consistent(2 * row); })) << c.terminal().height;
    EXPECT_EQ(c.process.err(), "");
}

TEST(Drag, HandleSetsTheHeightInWholeRowsAbovePointer) {
    Desk desk("dropcon.stepSize: 0\n");
    ASSERT_TRUE(desk.console.ready());
    Console& c = desk.console;
    Display* dpy = desk.dpy();
    const int row = c.rowHeight();
    ASSERT_TRUE(desk.show());
    const int before = c.terminal().height;

    // The console grabs the pointer once it has read the press; motions
    // before that are not its to see, so keep moving until it answers.
    auto dragTo = [&](int y, int expected) {
        int wiggle = 0;
        return waitUntil(dpy, [&] {
            movePointer(dpy, 300 + (wiggle++ & 1), y);
            return c.terminal().height == expected;
        });
    };
    movePointer(dpy, 300, before + 1);  // on the handle
    button(dpy, 1, true);
    const int expected = 200 - 200 % row;
    ASSERT_TRUE(dragTo(200, expected)) << c.terminal().height;
    movePointer(dpy, 300, row - 1);  // above the first row: ignored
    ASSERT_TRUE(dragTo(2 * row + 1, 2 * row)) << c.terminal().height;
    ASSERT_TRUE(dragTo(200, expected)) << c.terminal().height;
    button(dpy, 1, false);
    movePointer(dpy, 300, 600);
    EXPECT_EQ(c.terminal().height, expected);
    EXPECT_EQ(c.frame().height, expected + 3);
    EXPECT_EQ(c.frame().y, 0);

    // A wheel click on the handle is a drag that ends at once; the next
    // drag, with another button, starts from the new handle.
    movePointer(dpy, 300, expected + 1);
    button(dpy, 4, true);
    button(dpy, 4, false);
    button(dpy, 3, true);
    ASSERT_TRUE(dragTo(row, row)) << c.terminal().height;
    button(dpy, 3, false);
    EXPECT_EQ(c.process.err(), "");
    EXPECT_TRUE(c.process.running());
}

TEST(Focus, FollowsThePointerOutOfAndBackIntoTheConsole) {
    Desk desk("dropcon.stepSize: 0\n");
    ASSERT_TRUE(desk.console.ready());
    Console& c = desk.console;
    Display* dpy = desk.dpy();
    movePointer(dpy, 200, 500);  // over the application
    ASSERT_TRUE(desk.show());
    const int height = c.terminal().height;

    movePointer(dpy, 200, 20);  // into the terminal
    ASSERT_TRUE(waitUntil(dpy, [&] { return focusOf(dpy) == c.termWin; }));
    movePointer(dpy, 200, height + 1);  // onto the handle and back: still ours
    movePointer(dpy, 200, 20);
    XSync(dpy, False);
    movePointer(dpy, 200, 500);  // out of the console
    ASSERT_TRUE(waitUntil(dpy, [&] { return focusOf(dpy) == desk.app; })) << focusOf(dpy);
    movePointer(dpy, 200, 20);
    ASSERT_TRUE(waitUntil(dpy, [&] { return focusOf(dpy) == c.termWin; })) << focusOf(dpy);
}

TEST(Focus, GoesToThePointerWhenTheWindowThatHadItIsGone) {
    Desk desk("dropcon.stepSize: 0\n");
    ASSERT_TRUE(desk.console.ready());
    Console& c = desk.console;
    Display* dpy = desk.dpy();
    ASSERT_TRUE(desk.show());
    XDestroyWindow(dpy, desk.app);
    pressKeys(dpy, kToggle);
    ASSERT_TRUE(waitUntil(dpy, [&] { return c.hiddenAt(); }));
    EXPECT_EQ(focusOf(dpy), static_cast<Window>(PointerRoot));
    EXPECT_EQ(c.process.err(), "");
}

// With nothing to give the focus back to, or the focus already given back,
// neither a hide nor a relaunch leaves the keys in the console; and a
// terminal that only unmaps its window is ended before its successor comes.
TEST(Focus, NothingToGoBackToAndRelaunchesLeaveTheKeysWithTheUser) {
    enum Case { kNoFocusAtShow, kPointerLeftBeforeRelaunch, kTerminalOnlyUnmapped };
    // A lambda per case, so that a failed assertion ends only its own case.
    auto check = [](Case k) {
        Desk desk("dropcon.stepSize: 0\ndropcon.restart: 1\n");
        ASSERT_TRUE(desk.console.ready());
        Console& c = desk.console;
        Display* dpy = desk.dpy();
        const auto pointerRoot = static_cast<Window>(PointerRoot);
        movePointer(dpy, 640, 850);  // on the root, away from the application
        XSetInputFocus(dpy, k == kNoFocusAtShow ? None : PointerRoot, RevertToNone, CurrentTime);
        XSync(dpy, False);  // before the signal below, which is not ordered with our requests
        if (k == kNoFocusAtShow) {
            // With the focus on None no key reaches anyone, the toggle key
            // included; the signal shows the console.
            kill(c.process.pid(), SIGUSR1);
            ASSERT_TRUE(waitUntil(dpy, [&] { return c.shownAt() && focusOf(dpy) == c.termWin; }));
            pressKeys(dpy, kToggle);
            EXPECT_TRUE(waitUntil(dpy, [&] { return c.hiddenAt() && focusOf(dpy) == pointerRoot; }))
                << "focus " << focusOf(dpy);
            return;
        }
        ASSERT_TRUE(desk.show());
        const Window old = c.termWin;
        const pid_t oldPid = netWmPid(dpy, old);
        ASSERT_NE(oldPid, 0);
        if (k == kPointerLeftBeforeRelaunch) {
            movePointer(dpy, 640, 20);  // in and out again: the focus goes back
            movePointer(dpy, 640, 850);
            ASSERT_TRUE(waitUntil(dpy, [&] { return focusOf(dpy) == pointerRoot; })) << focusOf(dpy);
            c.killTerminal();
        } else {
            XUnmapWindow(dpy, old);
        }
        Window fresh = None;
        ASSERT_TRUE(waitUntil(dpy, [&] {
            if (!c.process.running()) return true;
            fresh = c.currentTerminal();
            // The new window may even get the old id: told apart by its process.
            const pid_t pid = fresh == None ? 0 : netWmPid(dpy, fresh);
            // Adopted: sized to the console, the handle below it.
            const Geometry g = geometryOf(dpy, fresh);
            return pid != 0 && pid != oldPid && g.mapped && g.border == 0 && g.height == c.frame().height - 3;
        }));
        ASSERT_TRUE(c.process.running()) << "status " << c.process.waitExit(0) << ": " << c.process.err();
        // A size key is dispatched after the relaunch: once it has acted, the
        // relaunch has made its choice of focus.
        const int height = geometryOf(dpy, fresh).height;
        pressKeys(dpy, kBigger);
        ASSERT_TRUE(waitUntil(dpy, [&] { return geometryOf(dpy, fresh).height > height; }));
        if (k == kPointerLeftBeforeRelaunch) {
            EXPECT_EQ(focusOf(dpy), pointerRoot);
        }
        EXPECT_TRUE(waitUntil(
            dpy, [&] { return processGone(oldPid); }, 5000))
            << stillRunning({oldPid});
        EXPECT_TRUE(c.process.running());
    };
    for (Case k : {kNoFocusAtShow, kPointerLeftBeforeRelaunch, kTerminalOnlyUnmapped}) {
        SCOPED_TRACE(k);
        check(k);
    }
}

TEST(TerminalEnds, ExitInTheShellEndsTheProgramWithTheFocusBack) {
    Desk desk("dropcon.stepSize: 0\n");
    ASSERT_TRUE(desk.console.ready());
    Console& c = desk.console;
    Display* dpy = desk.dpy();
    ASSERT_TRUE(desk.show());
    typeText(dpy, "exit\n");
    EXPECT_EQ(c.process.waitExit(15000), 0);
    EXPECT_EQ(focusOf(dpy), desk.app);
    EXPECT_EQ(c.process.err(), "");
}

TEST(TerminalEnds, TerminalEndingWhileHiddenLeavesTheFocusWhereTheUserPutIt) {
    Desk desk("dropcon.stepSize: 0\n");
    ASSERT_TRUE(desk.console.ready());
    Console& c = desk.console;
    Display* dpy = desk.dpy();
    ASSERT_TRUE(desk.show());
    pressKeys(dpy, kToggle);
    ASSERT_TRUE(waitUntil(dpy, [&] { return c.hiddenAt() && focusOf(dpy) == desk.app; }));
    Window later = makeFocusedWindow(dpy, 500, 500, 50, 50);
    c.killTerminal();
    EXPECT_EQ(c.process.waitExit(15000), 0);
    EXPECT_EQ(focusOf(dpy), later);
}

TEST(TerminalEnds, WithRestartANewTerminalComesAtTheSameHeightWithTheFocus) {
    Desk desk("dropcon.stepSize: 0\ndropcon.restart: 1\ndropcon.consoleHeight: 6\n");
    ASSERT_TRUE(desk.console.ready());
    Console& c = desk.console;
    Display* dpy = desk.dpy();
    ASSERT_TRUE(desk.show());
    pressKeys(dpy, kBigger);
    const int row = c.rowHeight();
    ASSERT_TRUE(waitUntil(dpy, [&] { return c.terminal().height == 7 * row; }));

    Watcher children(desk.server, c.frameWin, SubstructureNotifyMask);
    typeText(dpy, "exit\n");
    // The old window goes, a new one is mapped in its place (it may even
    // get the same id).
    ASSERT_TRUE(relaunched(children));
    Window fresh = c.currentTerminal();
    ASSERT_TRUE(waitUntil(dpy,
                          [&] {
                              fresh = c.currentTerminal();
                              return geometryOf(dpy, fresh).height == 7 * row && focusOf(dpy) == fresh;
                          }))
        << "height " << geometryOf(dpy, fresh).height << " focus " << focusOf(dpy);
    EXPECT_TRUE(c.shownAt());
    EXPECT_TRUE(c.process.running());
    EXPECT_EQ(c.process.err(), "");
}

TEST(TerminalEnds, TerminalRelaunchedWhileHiddenLeavesTheFocusAlone) {
    Desk desk("dropcon.stepSize: 0\ndropcon.restart: 1\n");
    ASSERT_TRUE(desk.console.ready());
    Console& c = desk.console;
    Display* dpy = desk.dpy();
    Watcher children(desk.server, c.frameWin, SubstructureNotifyMask);
    c.killTerminal();  // the terminal dies out of sight
    ASSERT_TRUE(relaunched(children));
    ASSERT_TRUE(c.ready());
    EXPECT_EQ(focusOf(dpy), desk.app);
    pressKeys(dpy, kToggle);
    ASSERT_TRUE(waitUntil(dpy, [&] { return c.shownAt() && focusOf(dpy) == c.currentTerminal(); }));
    EXPECT_TRUE(c.process.running());
}

TEST(TerminalEnds, ShellCommandThatKeepsTheTerminalInTheForegroundDoesNotFreezeTheConsole) {
    // The arguments reach the shell unquoted: the ';' ends the command early
    // and leaves the terminal in the shell's foreground.
    Desk desk("dropcon.stepSize: 0\n", {"; true"});
    ASSERT_TRUE(desk.console.ready()) << desk.console.process.err();
    ASSERT_TRUE(desk.show());
}

TEST(TerminalEnds, TerminalThatKeepsDyingAtOnceIsGivenUpOn) {
    // Each terminal shows its window and is gone a moment later.
    Desk desk("dropcon.restart: 1\n", {"-e", "sleep", "0.2"});
    EXPECT_EQ(desk.console.process.waitExit(60000), 1);
    std::string err = desk.console.process.err();
    // A terminal may die between showing its window and being adopted; the
    // requests on its vanished window are reported as X errors, which is fine.
    EXPECT_NE(err.find("dropcon: terminal keeps exiting, giving up: xterm -b 0 -into "), std::string::npos)
        << err;
    EXPECT_EQ(err.find("did not start"), std::string::npos) << err;
}
