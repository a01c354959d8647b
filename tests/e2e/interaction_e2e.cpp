// End-to-end tests of the interaction: toggle and slide, size keys and drag, following the terminal.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/framebuffer.h"
#include "tests/support/processes.h"
#include "tests/support/scene.h"

using namespace xt;

TEST(Toggle, ShowsWithTheFocusInTheTerminalAndHidesWithTheFocusBack) {
    Scene desk({.resources = "dropcon.stepSize: 0\n"});
    ASSERT_TRUE(desk.ready()) << desk.c().process.err();
    Console& c = desk.c();
    Display* dpy = desk.dpy();
    Window other = XCreateSimpleWindow(dpy, desk.server.root(), 0, 0, 100, 100, 0, 0, 0);
    XMapRaised(dpy, other);  // stacked above the console before it is shown

    for (const char* lock : {"", "Caps_Lock", "Num_Lock"}) {
        SCOPED_TRACE(std::string("lock: ") + lock);
        if (*lock) pressKeys(dpy, {lock});
        XSetInputFocus(dpy, desk.app(), RevertToPointerRoot, CurrentTime);
        ASSERT_TRUE(desk.show()) << desk.state();
        EXPECT_TRUE(isTopmost(dpy, c.frameWin));
        EXPECT_EQ(c.frame().x, 0);
        // The handle under the terminal shows the default grey70.
        XImage* handle =
            XGetImage(dpy, desk.server.root(), 10, c.terminal().height + 1, 1, 1, AllPlanes, ZPixmap);
        ASSERT_NE(handle, nullptr);
        EXPECT_EQ(XGetPixel(handle, 0, 0) & 0xffffff, 0xb3b3b3u);
        XDestroyImage(handle);
        ASSERT_TRUE(desk.hide()) << desk.state();
        if (*lock) pressKeys(dpy, {lock});
    }
    EXPECT_TRUE(c.process.running());
    EXPECT_EQ(c.process.err(), "");
}

TEST(Toggle, HidingLeavesTheFocusWhereTheUserPutItMeanwhile) {
    Scene desk({.resources = "dropcon.stepSize: 0\n"});
    ASSERT_TRUE(desk.ready());
    Display* dpy = desk.dpy();
    Window elsewhere = makeFocusedWindow(dpy, 500, 500, 50, 50);
    XSetInputFocus(dpy, desk.app(), RevertToPointerRoot, CurrentTime);
    ASSERT_TRUE(desk.show());
    XSetInputFocus(dpy, elsewhere, RevertToPointerRoot, CurrentTime);
    pressKeys(dpy, kToggle);
    ASSERT_TRUE(waitUntil(dpy, [&] { return desk.c().hiddenAt(); }));
    EXPECT_EQ(focusOf(dpy), elsewhere);
}

// With the keyboard's autorepeat on, a key held for 1.5 s (as the server
// paces it): the toggle key toggles once, a show and held again a hide; a
// size key adds a row at every repeat.
TEST(Toggle, AHeldToggleKeyTogglesOnceAndAHeldSizeKeyRepeats) {
    Scene s({.resources = "dropcon.aniDelay: 10\n", .before = {{"xset", "r", "rate", "200", "25"}}});
    ASSERT_TRUE(s.ready()) << s.c().process.err();
    Display* dpy = s.dpy();
    auto hold = [&](const std::vector<std::string>& keys) {
        for (const std::string& k : keys) XTestFakeKeyEvent(dpy, s.key(k.c_str()), True, 0);
        for (size_t i = keys.size(); i-- > 0;)
            XTestFakeKeyEvent(dpy, s.key(keys[i].c_str()), False, i + 1 == keys.size() ? 1500 : 0);
        XSync(dpy, False);
    };
    hold(kToggle);
    ASSERT_TRUE(waitUntil(dpy, [&] { return s.shown(); })) << s.state();
    ASSERT_TRUE(s.settle()) << s.state();  // every repeat dealt with
    EXPECT_TRUE(s.shownTimes(1)) << s.state();
    hold(kToggle);
    ASSERT_TRUE(waitUntil(dpy, [&] { return s.hidden(); })) << s.state();
    ASSERT_TRUE(s.show()) << s.state();  // the next press shows: the hold hid once
    ASSERT_TRUE(s.settle()) << s.state();
    EXPECT_TRUE(s.shownTimes(2)) << s.state();

    const int height = s.c().terminal().height, row = s.c().rowHeight();
    hold(kBigger);
    ASSERT_TRUE(waitUntil(dpy, [&] { return s.c().terminal().height > height + 3 * row; })) << s.state();
}

TEST(Slide, FramePassesThroughEveryStepOfTheAnimationDownAndUp) {
    Scene desk({.resources = "dropcon.aniDelay: 1\n"});
    ASSERT_TRUE(desk.ready());
    EXPECT_EQ(desk.slideFaults(true), "");
    EXPECT_EQ(desk.c().process.err(), "");
}

// Other clients stand still: the server holds their round trips until the
// slide is over.
TEST(Slide, OtherClientsStandStillWhileTheConsoleComesDown) {
    Scene desk({.resources = "dropcon.aniDelay: 50\n"});
    ASSERT_TRUE(desk.ready());
    EXPECT_EQ(desk.slideFaults(true), "");
}

// A stop signal (job control in the shell that started the console, a
// background write to a terminal set to tostop) that comes while the slide
// holds the server stops the console only once the server is free: other
// clients are answered within the slide's length, and the console, continued,
// comes down and works on.
TEST(Slide, StopSignalDuringTheGrabbedSlideWaitsUntilTheServerIsFree) {
    for (int stop : {SIGTSTP, SIGTTIN, SIGTTOU}) {
        SCOPED_TRACE(strsignal(stop));
        Scene desk({.resources = "dropcon.aniDelay: 3000\n", .console = false});
        desk.console = std::make_unique<Console>(desk.server, std::vector<std::string>{}, "",
                                                 std::vector<std::string>{}, true);
        ASSERT_TRUE(desk.ready()) << desk.c().process.err();
        Console& c = desk.c();
        // The frame's events read on a connection kept open: closing it would
        // be a round trip, held up until the slide is over.
        Watcher frame(desk.server, c.frameWin);
        toggleAndAwaitFirstMove(desk.server, frame, c.frame().y);
        ASSERT_EQ(kill(c.process.pid(), stop), 0);
        // A slide lasts two seconds at most; half a second more is the bound.
        Process other({"/usr/bin/xset", "q"}, consoleEnv(desk.server));
        EXPECT_EQ(other.waitExit(2500), 0) << "another client was held up by the stopped console";
        // Looked at without a request to the server, which a console stopped
        // too early would hold.
        int tries = 0;
        while (!processStopped(c.process.pid()) && ++tries < 1000) poll(nullptr, 0, 10);
        EXPECT_TRUE(processStopped(c.process.pid())) << "the console did not stop";
        ASSERT_EQ(kill(c.process.pid(), SIGCONT), 0);
        EXPECT_TRUE(waitUntil(desk.dpy(), [&] { return desk.shown(); }));
        EXPECT_TRUE(desk.hide());
        EXPECT_EQ(c.process.err(), "");
    }
}

namespace {

// Without an animation the frame jumps straight to each end; once it is in
// view the terminal is nudged by a pixel and back.
void jumpsStraightToTheEnds(const std::string& stepSize) {
    Scene desk({.resources = "dropcon.stepSize: " + stepSize + "\n"});
    ASSERT_TRUE(desk.ready());
    Console& c = desk.c();
    Watcher watch(desk.server, c.frameWin);
    ASSERT_TRUE(desk.show()) << desk.state();
    ASSERT_TRUE(desk.nudges->waitUntil([&] { return desk.nudges->count(ConfigureNotify) >= 2; }));
    ASSERT_TRUE(desk.hide()) << desk.state();
    ASSERT_TRUE(watch.waitUntil([&] { return watch.ys().size() >= 2; }));
    const int height = c.terminal().height;
    EXPECT_EQ(watch.ys(), (std::vector<int>{0, -(height + kHandle)}));
    std::vector<int> heights;
    for (const XEvent& e : desk.nudges->events)
        if (e.type == ConfigureNotify) heights.push_back(e.xconfigure.height);
    EXPECT_EQ(heights, (std::vector<int>{height - 1, height}));
    EXPECT_TRUE(c.process.running());
}

}  // namespace

TEST(Slide, StepSizeZeroJumpsStraightToTheEnds) { jumpsStraightToTheEnds("0"); }

TEST(Slide, NegativeStepSizeMeansNoAnimation) { jumpsStraightToTheEnds("-7"); }

TEST(SizeKeys, RowByRowNeverBelowOneRowAndFullScreenWithoutAnimation) {
    Scene desk({.resources = "dropcon.stepSize: 1\ndropcon.aniDelay: 1\ndropcon.consoleHeight: 2\n"});
    ASSERT_TRUE(desk.ready());
    Console& c = desk.c();
    Display* dpy = desk.dpy();
    const int row = c.rowHeight();

    // While hidden the size keys do nothing: the console shows up at its old size.
    pressKeys(dpy, kBigger);
    pressKeys(dpy, kFull);
    ASSERT_TRUE(desk.show());
    EXPECT_EQ(c.terminal().height, 2 * row);

    pressKeys(dpy, kBigger);
    ASSERT_TRUE(desk.sizedTo(3 * row)) << c.terminal().height;
    pressKeys(dpy, kSmaller);
    pressKeys(dpy, kSmaller);
    ASSERT_TRUE(desk.sizedTo(row)) << c.terminal().height;
    pressKeys(dpy, kSmaller);
    pressKeys(dpy, kBigger);
    ASSERT_TRUE(desk.sizedTo(2 * row)) << c.terminal().height;

    pressKeys(dpy, kFull);
    ASSERT_TRUE(desk.sizedTo(desk.server.height())) << c.terminal().height;
    pressKeys(dpy, kBigger);
    ASSERT_TRUE(desk.sizedTo(desk.server.height() + row));

    // Full-screen stays across hide and show, and neither is animated.
    Watcher watch(desk.server, c.frameWin);
    pressKeys(dpy, kToggle);
    pressKeys(dpy, kToggle);
    ASSERT_TRUE(watch.waitUntil([&] { return watch.ys().size() >= 2; }));
    EXPECT_EQ(watch.ys(), (std::vector<int>{-(desk.server.height() + row + 3), 0}));
    // The show grabs the size keys right after its move: once its nudge,
    // which comes after the grab, has been seen, keyFull is the console's.
    ASSERT_TRUE(desk.shownTimes(1));

    pressKeys(dpy, kFull);
    ASSERT_TRUE(desk.sizedTo(2 * row)) << c.terminal().height;
    EXPECT_EQ(c.process.err(), "");
}

TEST(Drag, HandleSetsTheHeightInWholeRowsAbovePointer) {
    Scene desk({.resources = "dropcon.stepSize: 0\n"});
    ASSERT_TRUE(desk.ready());
    Console& c = desk.c();
    Display* dpy = desk.dpy();
    const int row = c.rowHeight();
    ASSERT_TRUE(desk.show());

    desk.grabHandle(300);
    const int expected = 200 - 200 % row;
    ASSERT_TRUE(desk.dragTo(300, 200, expected)) << c.terminal().height;
    movePointer(dpy, 300, row - 1);  // above the first row: ignored
    ASSERT_TRUE(desk.dragTo(300, 2 * row + 1, 2 * row)) << c.terminal().height;
    ASSERT_TRUE(desk.dragTo(300, 200, expected)) << c.terminal().height;
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
    ASSERT_TRUE(desk.dragTo(300, row, row)) << c.terminal().height;
    button(dpy, 3, false);

    // A press that another client sends to the handle starts no drag: it
    // would hold the pointer until the next real click. A size key the
    // console answers after it shows that it has read the press.
    XEvent press{};
    press.xbutton.type = ButtonPress;
    press.xbutton.window = c.frameWin;
    press.xbutton.root = desk.server.root();
    press.xbutton.y = press.xbutton.y_root = row + 1;  // on the handle
    press.xbutton.button = Button1;
    press.xbutton.same_screen = True;
    XSendEvent(dpy, c.frameWin, False, ButtonPressMask, &press);
    pressKeys(dpy, kBigger);
    ASSERT_TRUE(waitUntil(dpy, [&] { return c.terminal().height == 2 * row; }));
    EXPECT_FALSE(pointerGrabbed(dpy));
    EXPECT_EQ(c.process.err(), "");
    EXPECT_TRUE(c.process.running());
}

namespace {

// A shell in the console that runs each line written to its FIFO: a program
// in the terminal, driven whether the console is shown or not.
struct ShellInConsole {
    ShellInConsole() {
        mkfifo(fifo.c_str(), 0600);
        writeFile(dir + "/run", "#!/bin/sh\nwhile :; do if read -r l < \"$1\"; then eval \"$l\"; fi; done\n",
                  true);
    }
    // Hands a line over once the shell reads; the caller waits for its effect.
    bool run(Display* dpy, const std::string& line) const {
        int fd = -1;
        if (!waitUntil(dpy, [&] { return (fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK)) >= 0; }))
            return false;
        const bool written = write(fd, (line + "\n").c_str(), line.size() + 1) == ssize_t(line.size() + 1);
        close(fd);
        return written;
    }
    std::string dir = tempDir(), fifo = dir + "/fifo";
};

}  // namespace

// The terminal changes its own size: a font change (OSC 50 up and back,
// xterm's own font key) or a program's resize (resize -s), the console
// shown or hidden. The console follows: the rows it had, or the terminal's
// height in whole rows; the terminal as wide as the console, the frame
// around it; and the size keys and the handle step by the new row height.
TEST(FollowTerminal, FontChangesAndResizesOfItsOwnKeepTheConsoleWhole) {
    struct Step {
        std::string line;               // for the shell in the terminal
        std::vector<std::string> keys;  // or pressed in the terminal
        int rows;                       // the console's rows afterwards; 0: the rows it had
    };
    const Step up{"printf '\\033]50;10x20\\007'", {}, 0}, back{"printf '\\033]50;fixed\\007'", {}, 0},
        fontKey{"", {"Shift_L", "KP_Add"}, 0}, resize{"resize -s 40 100", {}, 40};
    const std::tuple<const char*, bool, std::vector<Step>> rows[] = {
        {"OSC 50, shown", true, {up, back}},  {"OSC 50, hidden", false, {up, back}},
        {"font key, shown", true, {fontKey}}, {"font key, hidden", false, {fontKey}},
        {"resize -s, shown", true, {resize}}, {"resize -s, hidden", false, {resize}},
    };
    for (const auto& [name, shown, steps] : rows) {
        SCOPED_TRACE(name);
        ShellInConsole shell;
        Scene desk(
            {.resources = "dropcon.stepSize: 0\ndropcon*allowFontOps: true\ndropcon*allowWindowOps: true\n",
             .fbdir = shell.dir,
             .args = {"-e", shell.dir + "/run", shell.fifo}});
        ASSERT_TRUE(desk.ready()) << desk.c().process.err();
        Console& c = desk.c();
        Display* dpy = desk.dpy();
        Framebuffer screen(shell.dir);
        for (const Step& step : steps) {
            ASSERT_TRUE(!shown || c.shownAt() || desk.show());
            const int before = c.rowHeight(),
                      rowsAfter = step.rows ? step.rows : c.terminal().height / before;
            desk.nudges->pump();
            const size_t from = desk.nudges->events.size();
            // A hidden console's terminal gets the keys when given the focus.
            if (!shown && !step.keys.empty())
                XSetInputFocus(dpy, c.termWin, RevertToPointerRoot, CurrentTime);
            ASSERT_TRUE(!step.keys.empty() || shell.run(dpy, step.line));
            pressKeys(dpy, step.keys);
            // The terminal did change: its row height, or a width of its own.
            ASSERT_TRUE(desk.nudges->waitUntil([&] {
                for (size_t i = from; i < desk.nudges->events.size(); ++i) {
                    const XEvent& e = desk.nudges->events[i];
                    if (e.type == ConfigureNotify && e.xconfigure.width != c.frame().width) return true;
                }
                return c.rowHeight() != before;
            })) << desk.state();
            if (!shown) XSetInputFocus(dpy, desk.app(), RevertToPointerRoot, CurrentTime);
            EXPECT_TRUE(waitUntil(dpy, [&] {
                const int height = rowsAfter * c.rowHeight();
                return c.terminal().height == height && c.terminal().width == c.frame().width &&
                       c.frame().height == height + kHandle && (shown ? c.shownAt() : c.hiddenAt());
            })) << desk.state();

            // Shown, with the handle in view under the terminal, the size
            // keys and a short drag step by the row height.
            ASSERT_TRUE(shown || desk.show());
            const int r = c.rowHeight(), height = c.terminal().height;
            EXPECT_TRUE(waitUntil(dpy, [&] { return screen.pixel(10, height + 1) == kHandleColour; }));
            pressKeys(dpy, kBigger);
            EXPECT_TRUE(waitUntil(dpy, [&] { return c.frame().height == height + r + kHandle; }))
                << desk.state();
            EXPECT_TRUE(desk.drag(300, height + 3 * r - 1, height + 2 * r)) << desk.state();
            EXPECT_EQ(c.frame().height, height + 2 * r + kHandle);
            ASSERT_TRUE(shown || desk.hide());
        }
        EXPECT_EQ(occurrences(c.process.err(), "XError caught"), 0) << c.process.err();
    }
}
