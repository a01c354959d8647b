// End-to-end tests of the focus on a real desktop: under openbox, i3 and fluxbox and with no window manager.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/desktop.h"
#include "tests/support/xharness.h"

using namespace xt;

namespace {

const std::vector<std::string> kToggle{"Control_L", "Alt_L", "y"};

// A server with a window manager, application windows A and B (A holding
// the focus) and the console, whose shell only records the bytes it gets.
struct Scene {
    Scene(Wm wm, const std::string& resources) : server(), desktop(server, wm), dir(tempDir()) {
        server.setResources("dropcon.aniDelay: 10\n" + resources);
        if (!desktop.up()) return;
        // A across the top, where the console comes down, B below it.
        a = std::make_unique<AppWindow>(server, "A", 0, 0, 600, 400);
        b = std::make_unique<AppWindow>(server, "B", 650, 450, 500, 400);
        if (!desktop.activate(a->window)) ADD_FAILURE() << "A did not get the focus: " << focusOf(dpy());
        const std::string logger = dir + "/log.sh";
        writeFile(logger, "#!/bin/sh\nstty raw -echo\nexec cat > " + dir + "/log\n", true);
        console = std::make_unique<Console>(server, std::vector<std::string>{"-e", logger});
    }
    bool ready() {
        if (!desktop.up() || !console->ready()) return false;
        nudges = std::make_unique<Watcher>(server, term());
        return waitUntil(dpy(), [&] { return readFile(dir + "/log").empty() && fileExists(); });
    }
    // Waits until the console has come down this many times since it was
    // ready: every show nudges the terminal's height by a pixel and back. A
    // burst of toggles passes through hidden states on its way; only the
    // count tells the last hide from the ones before it.
    bool shownTimes(int count) {
        const int nudged = console->terminal().height - 1;
        return nudges->waitUntil([&] {
            int n = 0;
            for (const XEvent& e : nudges->events)
                n += e.type == ConfigureNotify && e.xconfigure.height == nudged;
            return n == count;
        });
    }
    bool fileExists() { return access((dir + "/log").c_str(), F_OK) == 0; }
    Display* dpy() { return server.dpy(); }
    Window term() { return console->currentTerminal(); }
    std::string consoleGot() { return readFile(dir + "/log"); }
    // Presses the toggle key and waits until the console is down with the
    // focus in the terminal, or up with the focus on the expected window.
    bool show() {
        pressKeys(dpy(), kToggle);
        return waitUntil(dpy(), [&] { return console->shownAt() && focusOf(dpy()) == term(); }) &&
               consoleKeeps() && settled();
    }
    // Returns once the console has dealt with everything before: a row more
    // and a row less, each a key press its event loop answers in turn. The
    // console sets the crossings of its own slide aside right after a show,
    // and a pointer moved before that would be taken for one of them.
    bool settled() {
        const int height = console->terminal().height;
        nudges->pump();
        const size_t from = nudges->events.size();
        pressKeys(dpy(), {"Control_L", "KP_Add"});
        pressKeys(dpy(), {"Control_L", "KP_Subtract"});
        return nudges->waitUntil([&] {
            bool grew = false;
            for (size_t i = from; i < nudges->events.size(); ++i) {
                const XEvent& e = nudges->events[i];
                if (e.type != ConfigureNotify) continue;
                if (e.xconfigure.height > height) grew = true;
                if (grew && e.xconfigure.height == height) return true;
            }
            return false;
        });
    }
    // i3 answers the toggle key with a focus request of its own that the
    // console undoes: the focus is the console's once i3 has done.
    bool consoleKeeps() {
        desktop.sync();
        return waitUntil(dpy(), [&] { return focusOf(dpy()) == term(); });
    }
    bool hide(Window focusAfter) {
        pressKeys(dpy(), kToggle);
        return waitUntil(dpy(), [&] { return console->hiddenAt() && focusOf(dpy()) == focusAfter; });
    }
    // Types text and waits until all of it has arrived in the console or
    // in the window.
    bool typeInto(const std::string& text, AppWindow* app) {
        const std::string before = app ? app->typed() : consoleGot();
        typeText(dpy(), text);
        return waitUntil(dpy(), [&] { return (app ? app->typed() : consoleGot()) == before + text; });
    }
    // What the failure message shows: where the focus and the keys went.
    std::string state() {
        if (!console || !a) return desktop.error;
        return "focus " + std::to_string(focusOf(dpy())) + " (terminal " + std::to_string(term()) + ", A " +
               std::to_string(a->window) + ", B " + std::to_string(b->window) + ") frame y " +
               std::to_string(console->frame().y) + " console got \"" + consoleGot() + "\" A got \"" +
               a->typed() + "\" B got \"" + b->typed() + "\"";
    }

    XServer server;
    Desktop desktop;
    std::string dir;
    std::unique_ptr<AppWindow> a, b;
    std::unique_ptr<Console> console;
    std::unique_ptr<Watcher> nudges;  // the terminal's configure events
};

std::string wmName(const testing::TestParamInfo<Wm>& info) { return nameOf(info.param); }

class UnderWm : public testing::TestWithParam<Wm> {};

// Whether console and app are the characters of typed, each exactly once,
// in their order: an interleaving of the two.
bool interleaves(const std::string& typed, const std::string& console, const std::string& app) {
    if (console.size() + app.size() != typed.size()) return false;
    std::vector<std::vector<char>> can(console.size() + 1, std::vector<char>(app.size() + 1, 0));
    can[0][0] = 1;
    for (size_t i = 0; i <= console.size(); ++i)
        for (size_t j = 0; j <= app.size(); ++j) {
            if (i && can[i - 1][j] && console[i - 1] == typed[i + j - 1]) can[i][j] = 1;
            if (j && can[i][j - 1] && app[j - 1] == typed[i + j - 1]) can[i][j] = 1;
        }
    return can[console.size()][app.size()];
}

}  // namespace

TEST_P(UnderWm, ShowAndHideKeepTheKeysWithTheRightWindow) {
    Scene s(GetParam(), "");
    ASSERT_TRUE(s.ready()) << s.state();
    int x, y;
    s.a->centre(x, y);
    movePointer(s.dpy(), x, 380);  // over A, below where the console comes down
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(s.show()) << s.state();
        // The window manager leaves the frame alone: no decoration, no
        // reparenting, on top.
        EXPECT_TRUE(isTopLevel(s.dpy(), s.console->frameWin));
        EXPECT_TRUE(isTopmost(s.dpy(), s.console->frameWin));
        EXPECT_EQ(s.console->frame().x, 0);
        EXPECT_EQ(s.console->frame().border, 0);
        ASSERT_TRUE(s.typeInto("ls", nullptr)) << s.state();
        ASSERT_TRUE(s.hide(s.a->window)) << s.state();
        ASSERT_TRUE(s.typeInto("vi", s.a.get())) << s.state();
    }
    EXPECT_EQ(s.consoleGot(), "lsls");
    EXPECT_EQ(s.b->typed(), "");
    EXPECT_TRUE(s.console->process.running());
}

TEST_P(UnderWm, HidingWithThePointerInTheConsoleHandsTheKeysBack) {
    Scene s(GetParam(), "");
    ASSERT_TRUE(s.ready()) << s.state();
    int shows = 0;
    for (int toggles : {1, 19}) {
        SCOPED_TRACE("toggles before the last hide: " + std::to_string(toggles));
        ASSERT_TRUE(s.show()) << s.state();
        shows += 1 + toggles / 2;
        movePointer(s.dpy(), 300, 20);  // into the terminal
        ASSERT_TRUE(waitUntil(s.dpy(), [&] { return focusOf(s.dpy()) == s.term(); })) << s.state();
        // A burst: the presses queue up behind the slides.
        for (int i = 0; i < toggles; ++i) pressKeys(s.dpy(), kToggle);
        ASSERT_TRUE(s.shownTimes(shows)) << s.state();
        ASSERT_TRUE(waitUntil(s.dpy(), [&] {
            return s.console->hiddenAt() && focusOf(s.dpy()) == s.a->window;
        })) << s.state();
        // Whatever the console still had queued has been dispatched once
        // the keys typed now arrive: they must reach A, not the hidden shell.
        ASSERT_TRUE(s.typeInto("ok", s.a.get())) << s.state();
        EXPECT_EQ(focusOf(s.dpy()), s.a->window);
        movePointer(s.dpy(), 300, 380);
    }
    EXPECT_EQ(s.consoleGot(), "");
}

TEST(Focus, ShrinkingTheConsoleAwayFromThePointerKeepsTheKeysInIt) {
    Scene s(Wm::none, "dropcon.consoleHeight: 4\n");
    ASSERT_TRUE(s.ready()) << s.state();
    ASSERT_TRUE(s.show()) << s.state();
    const int row = s.console->rowHeight();
    movePointer(s.dpy(), 300, 3 * row + row / 2);  // into the last row
    ASSERT_TRUE(waitUntil(s.dpy(), [&] { return focusOf(s.dpy()) == s.term(); })) << s.state();
    pressKeys(s.dpy(), {"Control_L", "KP_Subtract"});
    ASSERT_TRUE(waitUntil(s.dpy(), [&] { return s.console->terminal().height == 3 * row; })) << s.state();
    ASSERT_TRUE(s.typeInto("ls", nullptr)) << s.state();
    // As after a show, the pointer outside leaves the focus in the console
    // until the user moves the pointer in and out again.
    movePointer(s.dpy(), 300, 380);
    ASSERT_TRUE(s.typeInto("pwd", nullptr)) << s.state();
    movePointer(s.dpy(), 300, 20);
    movePointer(s.dpy(), 300, 380);
    ASSERT_TRUE(waitUntil(s.dpy(), [&] { return focusOf(s.dpy()) == s.a->window; })) << s.state();
}

TEST_P(UnderWm, LeavingTheConsoleLeavesTheKeysWhereTheWindowManagerPutsThem) {
    Scene s(GetParam(), "");
    ASSERT_TRUE(s.ready()) << s.state();
    int bx, by;
    s.b->centre(bx, by);
    ASSERT_TRUE(s.show()) << s.state();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        movePointer(s.dpy(), 300, 20);  // into the terminal
        ASSERT_TRUE(waitUntil(s.dpy(), [&] { return focusOf(s.dpy()) == s.term(); })) << s.state();
        movePointer(s.dpy(), bx, by);  // out of the console onto B
        // Under focus-follows-mouse the window under the pointer keeps the
        // focus; otherwise the window that had it before the console.
        Window expected = s.desktop.focusFollowsMouse() ? s.b->window : s.a->window;
        ASSERT_TRUE(waitUntil(s.dpy(), [&] { return focusOf(s.dpy()) == expected; })) << s.state();
        ASSERT_TRUE(s.typeInto("k", expected == s.a->window ? s.a.get() : s.b.get())) << s.state();
    }
    EXPECT_EQ(s.consoleGot(), "");
}

TEST_P(UnderWm, WorkspaceSwitchAndShowDesktopKeepTheKeysInTheShownConsole) {
    if (GetParam() == Wm::none) GTEST_SKIP() << "no workspaces without a window manager";
    Scene s(GetParam(), "");
    ASSERT_TRUE(s.ready()) << s.state();
    movePointer(s.dpy(), 300, 600);
    ASSERT_TRUE(s.show()) << s.state();
    auto consoleKeepsTheKeys = [&](const std::string& text) {
        return waitUntil(s.dpy(), [&] { return focusOf(s.dpy()) == s.term(); }) && s.typeInto(text, nullptr);
    };
    ASSERT_TRUE(s.desktop.switchDesktop(1));
    EXPECT_TRUE(s.console->shownAt());
    ASSERT_TRUE(consoleKeepsTheKeys("one")) << s.state();
    ASSERT_TRUE(s.desktop.switchDesktop(0));
    ASSERT_TRUE(consoleKeepsTheKeys("two")) << s.state();
    if (GetParam() == Wm::openbox) {
        ASSERT_TRUE(s.desktop.showDesktop(true));
        ASSERT_TRUE(consoleKeepsTheKeys("three")) << s.state();
        ASSERT_TRUE(s.desktop.showDesktop(false));
        ASSERT_TRUE(consoleKeepsTheKeys("four")) << s.state();
    }
    // The hide goes back to a window of this workspace, never to the
    // hidden console.
    pressKeys(s.dpy(), kToggle);
    ASSERT_TRUE(waitUntil(s.dpy(), [&] { return s.console->hiddenAt() && focusOf(s.dpy()) != s.term(); }))
        << s.state();
    EXPECT_EQ(s.a->typed(), "");
}

TEST_P(UnderWm, RefocusTakesALostFocusBackBeforeItHides) {
    for (int refocus : {0, 1}) {
        SCOPED_TRACE("refocus " + std::to_string(refocus));
        Scene s(GetParam(), "dropcon.refocus: " + std::to_string(refocus) + "\n");
        ASSERT_TRUE(s.ready()) << s.state();
        movePointer(s.dpy(), 300, 600);
        ASSERT_TRUE(s.show()) << s.state();
        ASSERT_TRUE(s.desktop.activate(s.b->window)) << s.state();  // the focus moved elsewhere
        pressKeys(s.dpy(), kToggle);
        if (refocus) {
            ASSERT_TRUE(waitUntil(s.dpy(), [&] { return focusOf(s.dpy()) == s.term(); })) << s.state();
            ASSERT_TRUE(s.consoleKeeps()) << s.state();
            EXPECT_TRUE(s.console->shownAt());
            EXPECT_TRUE(isTopmost(s.dpy(), s.console->frameWin));
            ASSERT_TRUE(s.typeInto("back", nullptr)) << s.state();
            // The window that had the focus is the one the hide returns to.
            ASSERT_TRUE(s.hide(s.b->window)) << s.state();
        } else {
            ASSERT_TRUE(waitUntil(s.dpy(), [&] { return s.console->hiddenAt(); })) << s.state();
            EXPECT_EQ(focusOf(s.dpy()), s.b->window);
        }
        ASSERT_TRUE(s.typeInto("b", s.b.get())) << s.state();
    }
}

TEST_P(UnderWm, TypingWhileTogglingLandsEveryKeyOnceAndNoneInTheHiddenConsole) {
    Scene s(GetParam(), "");
    ASSERT_TRUE(s.ready()) << s.state();
    Display* dpy = s.dpy();
    movePointer(dpy, 300, 20);  // where the console comes down
    auto code = [&](const char* name) { return XKeysymToKeycode(dpy, XStringToKeysym(name)); };
    // A key every 4 ms, the toggle every 15 keys (about 60 ms), an even
    // number of toggles: the console ends hidden. The server paces the
    // fake input itself (the delay of each XTEST request).
    std::string typed;
    for (int i = 0; i < 20 * 15; ++i) {
        if (i % 15 == 7) {
            for (const char* key : {"Control_L", "Alt_L", "y"}) XTestFakeKeyEvent(dpy, code(key), True, 0);
            for (const char* key : {"y", "Alt_L", "Control_L"}) XTestFakeKeyEvent(dpy, code(key), False, 0);
        }
        const char letter[] = {static_cast<char>('a' + i % 26), 0};
        XTestFakeKeyEvent(dpy, code(letter), True, 4);
        XTestFakeKeyEvent(dpy, code(letter), False, 0);
        typed += letter;
    }
    XSync(dpy, False);
    ASSERT_TRUE(s.shownTimes(10)) << s.state();
    ASSERT_TRUE(waitUntil(dpy, [&] { return s.console->hiddenAt() && focusOf(dpy) == s.a->window; }))
        << s.state();
    // Every key once, in the console or in A.
    ASSERT_TRUE(waitUntil(dpy, [&] { return s.consoleGot().size() + s.a->typed().size() >= typed.size(); }))
        << s.state();
    EXPECT_TRUE(interleaves(typed, s.consoleGot(), s.a->typed())) << s.state();
    EXPECT_NE(s.consoleGot(), "");
    // None in the hidden console after the last hide.
    const std::string before = s.consoleGot();
    ASSERT_TRUE(s.typeInto("end", s.a.get())) << s.state();
    EXPECT_EQ(s.consoleGot(), before);
    EXPECT_EQ(s.b->typed(), "");
}

INSTANTIATE_TEST_SUITE_P(Focus, UnderWm, testing::ValuesIn(allWms()), wmName);
