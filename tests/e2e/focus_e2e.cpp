// End-to-end tests of the focus: where the keys go on show, hide, pointer moves and relaunches.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <X11/Xatom.h>
#include <signal.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/framebuffer.h"
#include "tests/support/processes.h"
#include "tests/support/scene.h"

using namespace xt;

namespace {

// A window manager, application windows A and B (A holding the focus) and
// the console, whose shell only records the bytes it gets.
Setup onDesk(Wm wm, const std::string& resources = "") {
    return {.resources = "dropcon.aniDelay: 10\n" + resources,
            .wm = wm,
            // A across the top, where the console comes down, B below it.
            .apps = {{0, 0, 600, 400}, {650, 450, 500, 400}},
            .recordShell = true};
}

// Shows the console and waits until it has settled.
bool show(Scene& s) { return s.show() && s.settle(); }

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

// Runs cause and returns once the console has dealt with it and with every
// event before a root property that the test writes after it: the console
// has blocked since, and sleeps again in its one wait for input, on the X
// connection and its signal pipe (Xlib's wait for a reply and the slide's
// pause watch one descriptor). The property is written twice with a round
// trip each: once the second comes back, the server has sent the first.
bool caughtUp(Scene& s, const std::function<void()>& cause) {
    const pid_t pid = s.c().process.pid();
    const long before = blockedTimes(pid);
    cause();
    const Atom nudge = XInternAtom(s.dpy(), "_DROPCON_TEST_NUDGE", False);
    for (int i = 0; i < 2; ++i) {
        XChangeProperty(s.dpy(), s.server.root(), nudge, XA_CARDINAL, 32, PropModeReplace, nullptr, 0);
        XSync(s.dpy(), False);
    }
    return waitUntil(s.dpy(), [&] { return blockedTimes(pid) > before && sleepsInPoll(pid, 2); });
}

}  // namespace

TEST_P(UnderWm, ShowAndHideKeepTheKeysWithTheRightWindow) {
    Scene s(onDesk(GetParam()));
    ASSERT_TRUE(s.ready()) << s.state();
    int x, y;
    s.a().centre(x, y);
    movePointer(s.dpy(), x, 380);  // over A, below where the console comes down
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(show(s)) << s.state();
        // The window manager leaves the frame alone: no decoration, no
        // reparenting, on top.
        EXPECT_TRUE(isTopLevel(s.dpy(), s.c().frameWin));
        EXPECT_TRUE(isTopmost(s.dpy(), s.c().frameWin));
        EXPECT_EQ(s.c().frame().x, 0);
        EXPECT_EQ(s.c().frame().border, 0);
        ASSERT_TRUE(s.typeInto("ls", nullptr)) << s.state();
        ASSERT_TRUE(s.hide(s.a().window)) << s.state();
        ASSERT_TRUE(s.typeInto("vi", &s.a())) << s.state();
    }
    EXPECT_EQ(s.consoleGot(), "lsls");
    EXPECT_EQ(s.b().typed(), "");
    EXPECT_TRUE(s.c().process.running());
}

TEST_P(UnderWm, HidingWithThePointerInTheConsoleHandsTheKeysBack) {
    Scene s(onDesk(GetParam()));
    ASSERT_TRUE(s.ready()) << s.state();
    int shows = 0;
    for (int toggles : {1, 19}) {
        SCOPED_TRACE("toggles before the last hide: " + std::to_string(toggles));
        ASSERT_TRUE(show(s)) << s.state();
        shows += 1 + toggles / 2;
        movePointer(s.dpy(), 300, 20);  // into the terminal
        ASSERT_TRUE(waitUntil(s.dpy(), [&] { return focusOf(s.dpy()) == s.term(); })) << s.state();
        // A burst: the presses queue up behind the slides.
        for (int i = 0; i < toggles; ++i) pressKeys(s.dpy(), kToggle);
        ASSERT_TRUE(s.shownTimes(shows)) << s.state();
        ASSERT_TRUE(waitUntil(s.dpy(), [&] { return s.hidden(); })) << s.state();
        // Whatever the console still had queued has been dispatched once
        // the keys typed now arrive: they must reach A, not the hidden shell.
        ASSERT_TRUE(s.typeInto("ok", &s.a())) << s.state();
        EXPECT_EQ(focusOf(s.dpy()), s.a().window);
        movePointer(s.dpy(), 300, 380);
    }
    EXPECT_EQ(s.consoleGot(), "");
}

TEST(Focus, FollowsThePointerOutOfAndBackIntoTheConsole) {
    Scene desk({.resources = "dropcon.stepSize: 0\n"});
    ASSERT_TRUE(desk.ready());
    Console& c = desk.c();
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
    ASSERT_TRUE(waitUntil(dpy, [&] { return focusOf(dpy) == desk.app(); })) << focusOf(dpy);
    movePointer(dpy, 200, 20);
    ASSERT_TRUE(waitUntil(dpy, [&] { return focusOf(dpy) == c.termWin; })) << focusOf(dpy);
}

TEST(Focus, GoesToThePointerWhenTheWindowThatHadItIsGone) {
    Scene desk({.resources = "dropcon.stepSize: 0\n"});
    ASSERT_TRUE(desk.ready());
    Display* dpy = desk.dpy();
    ASSERT_TRUE(desk.show());
    XDestroyWindow(dpy, desk.app());
    pressKeys(dpy, kToggle);
    ASSERT_TRUE(waitUntil(dpy, [&] { return desk.c().hiddenAt(); }));
    EXPECT_EQ(focusOf(dpy), static_cast<Window>(PointerRoot));
    EXPECT_EQ(desk.c().process.err(), "");
}

// Right after a show, a window manager focuses the window the console took
// the keys from again (i3 answers the toggle key's grab so): the console
// takes them back, also when the window manager sent a later time than the
// key press's (i3 answering late, with its own latest time; awesome).
TEST(Focus, AWindowManagerFocusingItsWindowAgainWithALaterTimeLosesTheKeys) {
    Scene desk(onDesk(Wm::none));
    ASSERT_TRUE(desk.ready());
    Display* dpy = desk.dpy();
    ASSERT_TRUE(desk.show());
    XSetInputFocus(dpy, desk.app(), RevertToPointerRoot, CurrentTime);
    ASSERT_TRUE(waitUntil(dpy, [&] { return focusOf(dpy) == desk.term(); })) << desk.state();
    ASSERT_TRUE(desk.typeInto("ls", nullptr)) << desk.state();
    EXPECT_EQ(desk.a().typed(), "");
}

// With nothing to give the focus back to, or the focus already given back,
// neither a hide nor a relaunch leaves the keys in the console; and a
// terminal that only unmaps its window is ended before its successor comes.
TEST(Focus, NothingToGoBackToAndRelaunchesLeaveTheKeysWithTheUser) {
    enum Case { kNoFocusAtShow, kPointerLeftBeforeRelaunch, kTerminalOnlyUnmapped };
    // A lambda per case, so that a failed assertion ends only its own case.
    auto check = [](Case k) {
        Scene desk({.resources = "dropcon.stepSize: 0\ndropcon.restart: 1\n"});
        ASSERT_TRUE(desk.ready());
        Console& c = desk.c();
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

TEST(Focus, ShrinkingTheConsoleAwayFromThePointerKeepsTheKeysInIt) {
    Scene s(onDesk(Wm::none, "dropcon.consoleHeight: 4\n"));
    ASSERT_TRUE(s.ready()) << s.state();
    ASSERT_TRUE(show(s)) << s.state();
    const int row = s.c().rowHeight();
    movePointer(s.dpy(), 300, 3 * row + row / 2);  // into the last row
    ASSERT_TRUE(waitUntil(s.dpy(), [&] { return focusOf(s.dpy()) == s.term(); })) << s.state();
    ASSERT_TRUE(s.resize(kSmaller, 3 * row)) << s.state();
    ASSERT_TRUE(s.typeInto("ls", nullptr)) << s.state();
    // As after a show, the pointer outside leaves the focus in the console
    // until the user moves the pointer in and out again.
    movePointer(s.dpy(), 300, 380);
    ASSERT_TRUE(s.typeInto("pwd", nullptr)) << s.state();
    movePointer(s.dpy(), 300, 20);
    movePointer(s.dpy(), 300, 380);
    ASSERT_TRUE(waitUntil(s.dpy(), [&] { return focusOf(s.dpy()) == s.a().window; })) << s.state();
}

TEST_P(UnderWm, LeavingTheConsoleLeavesTheKeysWhereTheWindowManagerPutsThem) {
    Scene s(onDesk(GetParam()));
    ASSERT_TRUE(s.ready()) << s.state();
    int bx, by;
    s.b().centre(bx, by);
    ASSERT_TRUE(show(s)) << s.state();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        movePointer(s.dpy(), 300, 20);  // into the terminal
        ASSERT_TRUE(waitUntil(s.dpy(), [&] { return focusOf(s.dpy()) == s.term(); })) << s.state();
        movePointer(s.dpy(), bx, by);  // out of the console onto B
        // Under focus-follows-mouse the window under the pointer keeps the
        // focus; otherwise the window that had it before the console.
        Window expected = s.desktop.focusFollowsMouse() ? s.b().window : s.a().window;
        ASSERT_TRUE(waitUntil(s.dpy(), [&] { return focusOf(s.dpy()) == expected; })) << s.state();
        ASSERT_TRUE(s.typeInto("k", expected == s.a().window ? &s.a() : &s.b())) << s.state();
    }
    EXPECT_EQ(s.consoleGot(), "");
}

TEST_P(UnderWm, WorkspaceSwitchAndShowDesktopKeepTheKeysInTheShownConsole) {
    if (GetParam() == Wm::none) GTEST_SKIP() << "no workspaces without a window manager";
    Scene s(onDesk(GetParam()));
    ASSERT_TRUE(s.ready()) << s.state();
    movePointer(s.dpy(), 300, 600);
    ASSERT_TRUE(show(s)) << s.state();
    auto consoleKeepsTheKeys = [&](const std::string& text) {
        return waitUntil(s.dpy(), [&] { return focusOf(s.dpy()) == s.term(); }) && s.typeInto(text, nullptr);
    };
    ASSERT_TRUE(s.desktop.switchDesktop(1));
    EXPECT_TRUE(s.c().shownAt());
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
    ASSERT_TRUE(waitUntil(s.dpy(), [&] { return s.c().hiddenAt() && focusOf(s.dpy()) != s.term(); }))
        << s.state();
    EXPECT_EQ(s.a().typed(), "");
}

TEST_P(UnderWm, RefocusTakesALostFocusBackBeforeItHides) {
    for (int refocus : {0, 1}) {
        SCOPED_TRACE("refocus " + std::to_string(refocus));
        Scene s(onDesk(GetParam(), "dropcon.refocus: " + std::to_string(refocus) + "\n"));
        ASSERT_TRUE(s.ready()) << s.state();
        movePointer(s.dpy(), 300, 600);
        ASSERT_TRUE(show(s)) << s.state();
        ASSERT_TRUE(s.desktop.activate(s.b().window)) << s.state();  // the focus moved elsewhere
        // And it stays there, also under awesome (B is clicked), which
        // writes its desktop's value again at every focus change.
        ASSERT_TRUE(s.typeInto("a", &s.b())) << s.state();
        pressKeys(s.dpy(), kToggle);
        if (refocus) {
            ASSERT_TRUE(waitUntil(s.dpy(), [&] { return focusOf(s.dpy()) == s.term(); })) << s.state();
            ASSERT_TRUE(s.keepsFocus()) << s.state();
            EXPECT_TRUE(s.c().shownAt());
            EXPECT_TRUE(isTopmost(s.dpy(), s.c().frameWin));
            ASSERT_TRUE(s.typeInto("back", nullptr)) << s.state();
            // The window that had the focus is the one the hide returns to.
            ASSERT_TRUE(s.hide(s.b().window)) << s.state();
        } else {
            ASSERT_TRUE(waitUntil(s.dpy(), [&] { return s.c().hiddenAt(); })) << s.state();
            EXPECT_EQ(focusOf(s.dpy()), s.b().window);
        }
        ASSERT_TRUE(s.typeInto("b", &s.b())) << s.state();
    }
}

TEST_P(UnderWm, TypingWhileTogglingLandsEveryKeyOnceAndNoneInTheHiddenConsole) {
    Scene s(onDesk(GetParam()));
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
    ASSERT_TRUE(waitUntil(dpy, [&] { return s.hidden(); })) << s.state();
    // Every key once, in the console or in A.
    ASSERT_TRUE(waitUntil(dpy, [&] { return s.consoleGot().size() + s.a().typed().size() >= typed.size(); }))
        << s.state();
    EXPECT_TRUE(interleaves(typed, s.consoleGot(), s.a().typed())) << s.state();
    EXPECT_NE(s.consoleGot(), "");
    // None in the hidden console after the last hide.
    const std::string before = s.consoleGot();
    ASSERT_TRUE(s.typeInto("end", &s.a())) << s.state();
    EXPECT_EQ(s.consoleGot(), before);
    EXPECT_EQ(s.b().typed(), "");
}

INSTANTIATE_TEST_SUITE_P(Focus, UnderWm, testing::ValuesIn(allWms()), wmName);

// i3 keeps a workspace per monitor. A click on a window on the other monitor
// switches workspaces there, and that window keeps the keys; a switch on
// the console's monitor (to an empty workspace, where i3 focuses a window
// of its own off the screen) leaves them in the shown console.
TEST(Focus, AWorkspacePerMonitorOnlyASwitchUnderTheConsoleTakesTheKeysBack) {
    xt::Setup setup = onDesk(Wm::i3);
    setup.width = 2560;
    setup.monitors = {{"L", 0, 0, 1280, 900}, {"R", 1280, 0, 1280, 900}};
    setup.apps = {{100, 400, 400, 300}};
    // i3 starts on the pointer's monitor, and A comes onto its workspace.
    setup.setUp = [](XServer& server) { movePointer(server.dpy(), 640, 450); };
    Scene s(setup);
    ASSERT_TRUE(s.ready()) << s.state();
    movePointer(s.dpy(), 1920, 450);  // i3 follows the pointer to R's workspace
    AppWindow r(s.server, "R", 1500, 400, 400, 300);
    ASSERT_TRUE(s.desktop.activate(r.window)) << s.state();
    ASSERT_TRUE(s.desktop.activate(s.app())) << s.state();  // on L, with the pointer
    ASSERT_TRUE(show(s)) << s.state();
    ASSERT_TRUE(s.desktop.activate(r.window)) << s.state();
    ASSERT_TRUE(s.typeInto("r", &r)) << s.state();
    ASSERT_TRUE(s.desktop.activate(s.app())) << s.state();
    movePointer(s.dpy(), 640, 20);  // into the terminal
    ASSERT_TRUE(waitUntil(s.dpy(), [&] { return focusOf(s.dpy()) == s.term(); })) << s.state();
    ASSERT_TRUE(s.desktop.switchDesktop(2));  // i3 numbers its workspaces in order: 3 here
    ASSERT_TRUE(waitUntil(s.dpy(), [&] { return focusOf(s.dpy()) == s.term(); })) << s.state();
    ASSERT_TRUE(s.typeInto("l", nullptr)) << s.state();
    EXPECT_EQ(s.a().typed(), "");
}

// Nothing of the console comes over a screen locker. i3lock (a window over
// the screen that holds the keyboard) stays on top through a workspace
// switch and toggles by signal, whether the console was hidden or shown
// with the keys when the screen was locked, with no compositor and with
// picom, and no pixel of the handle's colour is painted; a signal's hide
// goes ahead. Once the locker has gone, the toggle key works as ever.
TEST(Focus, NothingOfTheConsoleComesOverAScreenLocker) {
    const std::tuple<const char*, bool, bool> rows[] = {
        {"hidden", false, false},
        {"shown", false, true},
        {"hidden, picom", true, false},
        {"shown, picom", true, true},
    };
    constexpr unsigned kMagenta = 0xff00ff;  // i3lock paints white
    for (const auto& [name, picom, shownAtLock] : rows) {
        SCOPED_TRACE(name);
        xt::Setup setup = onDesk(Wm::openbox, "dropcon.handleColor: #ff00ff\n");
        setup.fbdir = tempDir();
        setup.compositor = picom;
        Scene s(setup);
        ASSERT_TRUE(s.ready()) << s.state();
        Display* dpy = s.dpy();
        if (shownAtLock) {
            ASSERT_TRUE(show(s)) << s.state();
        }
        Process locker({"i3lock", "-n"}, consoleEnv(s.server));
        Window lock = None;
        ASSERT_TRUE(waitUntil(dpy, [&] {
            const std::vector<Window> top = childrenOf(dpy, s.server.root());
            lock = top.empty() ? None : top.back();
            const Geometry g = geometryOf(dpy, lock);
            return lock != s.c().frameWin && g.mapped && g.width == 1280 && g.height == 900;
        })) << locker.err();
        EXPECT_TRUE(geometryOf(dpy, lock).overrideRedirect);
        Framebuffer screen(setup.fbdir);
        ASSERT_TRUE(screen.ok());
        auto lockerHolds = [&] {
            return isTopmost(dpy, lock) && !screen.any(kMagenta, 0, 0, screen.width(), screen.height());
        };
        ASSERT_TRUE(waitUntil(dpy, lockerHolds));  // painted (under picom, a moment later)
        ASSERT_TRUE(caughtUp(s, [&] { ASSERT_TRUE(s.desktop.switchDesktop(1)); }));
        EXPECT_TRUE(lockerHolds());
        for (int signal = 0; signal < 2; ++signal) {
            ASSERT_TRUE(caughtUp(s, [&] { kill(s.c().process.pid(), SIGUSR1); }));
            EXPECT_TRUE(lockerHolds()) << "signal " << signal;
            EXPECT_TRUE(s.c().hiddenAt()) << "signal " << signal;
        }
        ASSERT_TRUE(caughtUp(s, [&] { ASSERT_TRUE(s.desktop.switchDesktop(0)); }));
        EXPECT_TRUE(lockerHolds());
        // Unlocked once the server has closed its connection, and its grab with it.
        locker.end();
        ASSERT_TRUE(waitUntil(dpy, [&] {
            const std::vector<Window> top = childrenOf(dpy, s.server.root());
            return std::find(top.begin(), top.end(), lock) == top.end();
        }));
        const Window before = focusOf(dpy);
        ASSERT_TRUE(show(s)) << s.state();
        ASSERT_TRUE(s.typeInto("ls", nullptr)) << s.state();
        pressKeys(dpy, kToggle);
        ASSERT_TRUE(waitUntil(dpy, [&] {
            return s.c().hiddenAt() && focusOf(dpy) == (before == None ? PointerRoot : before);
        })) << s.state();
        EXPECT_EQ(s.c().process.err(), "");
    }
}
