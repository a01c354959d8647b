// End-to-end tests of the console's life: signals, one console per name, a terminal that fails or ends.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/processes.h"
#include "tests/support/scene.h"

using namespace xt;

namespace {

// Top-level override-redirect windows holding a terminal: the consoles' frames.
int framesOn(Display* dpy) {
    int frames = 0;
    for (Window w : childrenOf(dpy, DefaultRootWindow(dpy)))
        frames += geometryOf(dpy, w).overrideRedirect && !childrenOf(dpy, w).empty();
    return frames;
}

// The shown console's terminal ends, by an exit typed in its shell or
// SIGKILL. Without restart the program ends with status 0 and the focus
// back. With restart, after a size key, a new terminal comes at the height
// the console had, with the focus, and is driven like the first one.
void terminalEndsWhileShown(bool sigkill, bool restart, const std::string& resources = "") {
    Scene desk(
        {.resources = "dropcon.stepSize: 0\ndropcon.restart: " + std::to_string(restart) + "\n" + resources});
    ASSERT_TRUE(desk.ready()) << desk.c().process.err();
    Console& c = desk.c();
    Display* dpy = desk.dpy();
    ASSERT_TRUE(desk.show()) << desk.state();
    if (restart) {
        ASSERT_TRUE(desk.resize(kBigger, c.terminal().height + c.rowHeight())) << desk.state();
    }
    const int height = c.terminal().height;
    const pid_t terminal = netWmPid(dpy, c.termWin);
    ASSERT_GT(terminal, 0) << "the terminal should name its process in _NET_WM_PID";
    Watcher children(desk.server, c.frameWin, SubstructureNotifyMask);
    if (sigkill) {
        ASSERT_EQ(kill(terminal, SIGKILL), 0);
    } else {
        typeText(dpy, "exit\n");
    }
    if (!restart) {
        EXPECT_EQ(c.process.waitExit(15000), 0);
        EXPECT_EQ(focusOf(dpy), desk.app());
        EXPECT_EQ(c.process.err(), "");
        return;
    }
    // The old window goes, a new one is mapped in its place (it may even
    // get the same id).
    ASSERT_TRUE(children.waitUntil([&] { return children.relaunchSeen(); }, 20000));
    ASSERT_TRUE(waitUntil(dpy, [&] { return desk.shown() && geometryOf(dpy, desk.term()).height == height; }))
        << "height " << geometryOf(dpy, desk.term()).height << ", " << desk.state();
    EXPECT_NE(netWmPid(dpy, desk.term()), terminal);
    EXPECT_EQ(c.frame().height, height + 3);
    ASSERT_TRUE(desk.hide()) << desk.state();
    EXPECT_TRUE(c.process.running());
    EXPECT_EQ(c.process.err(), "");
}

}  // namespace

// Wherever the console is when it is told to end, it ends with status 0,
// takes its terminal and the shell in it along, and leaves the focus with
// the window that had it. Killed outright, it still takes the terminal along
// (the focus then goes where the server reverts it).
TEST(Ending, OnSignalTheTerminalAndItsShellGoAndTheFocusComesBack) {
    enum Where { kHidden, kShown, kSliding, kDragging, kStarting };
    const std::string dir = tempDir();
    writeFile(dir + "/slowterm", "#!/bin/sh\nsleep 20\nexec xterm \"$@\"\n", true);
    // Run in the terminal, it keeps the terminal from closing when asked.
    writeFile(dir + "/stubborn", "#!/bin/sh\ntrap '' HUP TERM\nwhile :; do sleep 1; done\n", true);
    struct Case {
        const char* name;
        int signal;
        Where where;
        std::vector<std::string> args = {};
        std::string resources = "dropcon.stepSize: 0\n";
        int status = 0;
    } cases[] = {
        {"SIGTERM while hidden", SIGTERM, kHidden},
        {"SIGTERM while shown", SIGTERM, kShown},
        {"SIGTERM during the slide down", SIGTERM, kSliding, {}, "dropcon.aniDelay: 5000\n"},
        {"SIGTERM during a drag", SIGTERM, kDragging},
        {"SIGTERM while awaiting the window", SIGTERM, kStarting, {}, "dropcon.term: " + dir + "/slowterm\n"},
        {"SIGINT while shown", SIGINT, kShown},
        {"SIGHUP while hidden", SIGHUP, kHidden},
        {"SIGTERM while shown, urxvt", SIGTERM, kShown, {}, "dropcon.stepSize: 0\ndropcon.term: urxvt\n"},
        {"SIGTERM, a terminal that does not close when asked", SIGTERM, kShown, {"-e", dir + "/stubborn"}},
        {"SIGKILL while hidden", SIGKILL, kHidden, {}, "dropcon.stepSize: 0\n", 128 + SIGKILL},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Scene desk({.resources = k.resources, .args = k.args});
        Console& c = desk.c();
        Display* dpy = desk.dpy();
        pid_t terminal = 0;
        if (k.where == kStarting) {
            ASSERT_TRUE(waitUntil(dpy, [&] { return findFrame(dpy, false) != None; })) << c.process.err();
            ASSERT_TRUE(waitUntil(dpy, [&] { return descendantsOf(c.process.pid()).size() >= 2; }));
        } else {
            ASSERT_TRUE(c.ready()) << c.process.err();
            terminal = netWmPid(dpy, c.termWin);
            ASSERT_GT(terminal, 0) << "the terminal should name its process in _NET_WM_PID";
        }
        if (k.where == kShown || k.where == kDragging) {
            ASSERT_TRUE(desk.show());
        }
        std::unique_ptr<Watcher> slide;  // kept open while the slide is under way
        if (k.where == kSliding) {
            slide = std::make_unique<Watcher>(desk.server, c.frameWin);
            toggleAndAwaitFirstMove(desk.server, *slide, c.frame().y);
        }
        if (k.where == kDragging) {
            desk.grabHandle(50);
            ASSERT_TRUE(waitUntil(dpy, [&] { return pointerGrabbed(dpy); }));
        }
        // The terminal, its shell and whatever the console started.
        if (terminal) {
            ASSERT_TRUE(waitUntil(dpy, [&] { return !descendantsOf(terminal).empty(); })) << "no shell";
        }
        std::vector<pid_t> left = descendantsOf(c.process.pid());
        if (terminal) {
            ASSERT_NE(std::find(left.begin(), left.end(), terminal), left.end());
        }

        ASSERT_EQ(kill(c.process.pid(), k.signal), 0);
        EXPECT_EQ(c.process.waitExit(5000), k.status) << c.process.err();
        if (k.where == kDragging) button(dpy, 1, false);
        if (!k.args.empty()) {
            // The terminal is ended by force; what ignores the hang-up in it
            // is left alone, as anything detached on purpose would be.
            EXPECT_TRUE(waitUntil(
                dpy, [&] { return processGone(terminal); }, 5000));
            for (pid_t pid : left)
                if (pid != terminal) kill(pid, SIGKILL);
        } else {
            EXPECT_TRUE(waitUntil(
                dpy, [&] { return stillRunning(left).empty(); }, 5000))
                << stillRunning(left);
        }
        EXPECT_EQ(findFrame(dpy, false), None);
        // Killed, the console says nothing; the terminal, drawing into the
        // window that went with the frame, may.
        if (k.signal != SIGKILL) {
            EXPECT_EQ(focusOf(dpy), desk.app());
            EXPECT_EQ(c.process.err(), "");
        }
    }
}

// A signal that was ignored when the console started stays ignored: under
// nohup, a hang-up leaves it running and working.
TEST(Ending, SignalIgnoredAtStartStaysIgnored) {
    XServer server;
    Display* dpy = server.dpy();
    server.setResources("dropcon.stepSize: 0\n");
    Window app = makeFocusedWindow(dpy);
    Process nohup({"nohup", dropconBinary()}, consoleEnv(server));
    Window frame = None;
    ASSERT_TRUE(waitUntil(
        dpy, [&] { return (frame = findFrame(dpy)) != None; }, 15000))
        << nohup.err();
    ASSERT_EQ(kill(nohup.pid(), SIGHUP), 0);
    pressKeys(dpy, kToggle);
    EXPECT_TRUE(waitUntil(dpy, [&] { return geometryOf(dpy, frame).y == 0 && focusOf(dpy) != app; }));
    EXPECT_TRUE(nohup.running());
    ASSERT_EQ(kill(nohup.pid(), SIGTERM), 0);
    EXPECT_EQ(nohup.waitExit(5000), 0);
    EXPECT_EQ(focusOf(dpy), app);
}

// A launcher that starts programs with signals blocked (the mask survives
// exec; here the test is that launcher): the console still toggles on
// SIGUSR1, collects a killed terminal and starts another, ends on SIGTERM,
// and its terminal gets no signal blocked.
TEST(Ending, ConsoleStartedWithSignalsBlockedStillAnswersThem) {
    Scene desk({.resources = "dropcon.stepSize: 0\ndropcon.restart: 1\n", .console = false});
    Display* dpy = desk.dpy();
    sigset_t blocked, before;
    sigemptyset(&blocked);
    for (int number : {SIGCHLD, SIGTERM, SIGUSR1}) sigaddset(&blocked, number);
    pthread_sigmask(SIG_BLOCK, &blocked, &before);
    desk.console = std::make_unique<Console>(desk.server);
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    ASSERT_TRUE(desk.ready()) << desk.c().process.err();
    Console& c = desk.c();

    ASSERT_EQ(kill(c.process.pid(), SIGUSR1), 0);
    EXPECT_TRUE(waitUntil(dpy, [&] { return desk.shown(); }));
    const pid_t terminal = netWmPid(dpy, c.termWin);
    ASSERT_GT(terminal, 0) << "the terminal should name its process in _NET_WM_PID";
    EXPECT_EQ(blockedSignals(terminal), 0u);
    Watcher children(desk.server, c.frameWin, SubstructureNotifyMask);
    ASSERT_EQ(kill(terminal, SIGKILL), 0);
    ASSERT_TRUE(children.waitUntil([&] { return children.relaunchSeen(); }));
    EXPECT_TRUE(waitUntil(dpy, [&] { return processCollected(terminal); })) << "left a zombie";
    ASSERT_EQ(kill(c.process.pid(), SIGTERM), 0);
    EXPECT_EQ(c.process.waitExit(5000), 0);
    EXPECT_EQ(focusOf(dpy), desk.app());
    EXPECT_EQ(c.process.err(), "");
}

// One console per display, screen and name: a second start under the same
// name says so and stops before it shows anything or starts a terminal;
// under another name (a link, with resources of its own) it runs beside
// the first; and a console killed outright does not keep the next one out.
TEST(OneConsole, SecondStartUnderTheSameNameStopsUnderAnotherNameRuns) {
    const std::string dir = tempDir();
    ASSERT_EQ(symlink(dropconBinary().c_str(), (dir + "/quake").c_str()), 0);
    const std::tuple<const char*, std::string, bool, bool> cases[] = {
        {"same name", "", false, false},
        {"a link's name", dir + "/quake", false, true},
        {"same name after the first was killed with SIGKILL", "", true, true},
    };
    for (const auto& [name, argv0, killFirstOutright, runs] : cases) {
        SCOPED_TRACE(name);
        Scene desk({.resources =
                        "dropcon.stepSize: 0\nquake.toggleKey: Control+F12\nquake.keySmaller: Control+F9\n"
                        "quake.keyBigger: Control+F10\nquake.keyFull: Control+F11\n"});
        Display* dpy = desk.dpy();
        ASSERT_TRUE(desk.ready()) << desk.c().process.err();
        if (killFirstOutright) {
            kill(desk.c().process.pid(), SIGKILL);
            desk.c().process.waitExit(5000);
            ASSERT_TRUE(waitUntil(dpy, [&] { return framesOn(dpy) == 0; }));
        }
        const size_t windowsBefore = childrenOf(dpy, desk.server.root()).size();
        Console second(desk.server, {}, argv0);
        if (!runs) {
            EXPECT_EQ(second.process.waitExit(10000), 1);
            EXPECT_EQ(second.process.err(), "dropcon: already running on " + desk.server.name() + "\n");
            EXPECT_EQ(childrenOf(dpy, desk.server.root()).size(), windowsBefore) << "a window was left";
            EXPECT_EQ(framesOn(dpy), 1);
        } else {
            EXPECT_TRUE(waitUntil(
                dpy, [&] { return framesOn(dpy) == (killFirstOutright ? 1 : 2); }, 15000))
                << second.process.err();
            EXPECT_TRUE(second.process.running()) << second.process.err();
            EXPECT_EQ(second.process.err(), "");
        }
        if (killFirstOutright) continue;
        // The first one is undisturbed: its key still shows it.
        EXPECT_TRUE(desk.show());
        EXPECT_TRUE(desk.c().process.running());
    }
}

// A console that ends lets go of what the next one needs at once, before
// its terminal has gone: a console started as soon as the claim is free gets
// every key. One whose claim another client takes ends so, with one line;
// a console started once that client has gone runs alone.
TEST(OneConsole, TheNextConsoleGetsTheClaimAndTheKeys) {
    const std::string dir = tempDir();
    // Run in the terminal, it ignores the hang-up: the terminal takes its time to close.
    writeFile(dir + "/nohup-shell", "#!/bin/sh\ntrap '' HUP\nexec sh\n", true);
    const std::string claim = "_DROPCON_S0_dropcon";
    const std::tuple<const char*, bool, const char*> cases[] = {
        {"a second console started as soon as the first, ended by SIGTERM, lets its claim go", false, ""},
        {"another client takes the claim", true, "dropcon: another client took over the one-console claim\n"},
    };
    for (const auto& [name, taken, said] : cases) {
        SCOPED_TRACE(name);
        Scene desk({.resources = "dropcon.stepSize: 0\n", .args = {"-e", dir + "/nohup-shell"}});
        ASSERT_TRUE(desk.ready()) << desk.c().process.err();
        Console& first = desk.c();
        Display* dpy = desk.dpy();
        ASSERT_TRUE(desk.show());
        if (taken) {
            Display* taker = desk.server.connect();
            const Window owner = XCreateSimpleWindow(taker, desk.server.root(), 0, 0, 1, 1, 0, 0, 0);
            XSetSelectionOwner(taker, XInternAtom(taker, claim.c_str(), False), owner, CurrentTime);
            XSync(taker, False);
            EXPECT_EQ(first.process.waitExit(5000), 0);
            XCloseDisplay(taker);
        } else {
            ASSERT_EQ(kill(first.process.pid(), SIGTERM), 0);
            // The first then closes its terminal, which takes it a second.
            ASSERT_TRUE(waitUntil(dpy, [&] { return selectionOwner(dpy, claim) == None; }));
        }
        EXPECT_EQ(focusOf(dpy), desk.app());
        Console second(desk.server);
        ASSERT_TRUE(second.ready()) << second.process.err();
        pressKeys(dpy, kToggle);
        EXPECT_TRUE(waitUntil(dpy, [&] { return second.shownAt() && focusOf(dpy) == second.termWin; }))
            << second.process.err();
        EXPECT_EQ(first.process.waitExit(5000), 0);
        EXPECT_EQ(first.process.err(), said);
        EXPECT_EQ(second.process.err(), "");
        EXPECT_EQ(framesOn(dpy), 1);
    }
}

// By force the console ends only what it started: the window of a terminal
// daemon's client that will not close (the daemon is stopped) is left to the
// daemon, which serves other terminals too.
TEST(Ending, ADaemonsTerminalThatWillNotCloseIsLeftToTheDaemon) {
    const std::string dir = tempDir();
    const std::string socket = "RXVT_SOCKET=" + dir + "/urxvtd";
    Scene desk({.resources = "dropcon.stepSize: 0\ndropcon.term: urxvtc\n", .console = false});
    Display* dpy = desk.dpy();
    Process daemon({"urxvtd", "-q", "-o"}, consoleEnv(desk.server, {socket}));
    ASSERT_TRUE(waitUntil(dpy, [&] { return access((dir + "/urxvtd").c_str(), F_OK) == 0; }));
    run(desk.server, {"env", socket, "urxvtc"});  // a terminal outside the console
    desk.console = std::make_unique<Console>(desk.server, std::vector<std::string>{}, "",
                                             std::vector<std::string>{socket});
    Console& c = desk.c();
    ASSERT_TRUE(c.ready()) << c.process.err();
    ASSERT_EQ(netWmPid(dpy, c.termWin), daemon.pid());
    std::vector<Window> others;  // the other terminal's
    for (Window w : childrenOf(dpy, desk.server.root()))
        if (netWmPid(dpy, w) == daemon.pid()) others.push_back(w);
    ASSERT_FALSE(others.empty());
    ASSERT_EQ(kill(daemon.pid(), SIGSTOP), 0);
    ASSERT_EQ(kill(c.process.pid(), SIGTERM), 0);
    EXPECT_EQ(c.process.waitExit(5000), 0);
    ASSERT_EQ(kill(daemon.pid(), SIGCONT), 0);
    // The daemon still serves, and the other terminal is there.
    run(desk.server, {"env", socket, "urxvtc"});
    const std::vector<Window> windows = childrenOf(dpy, desk.server.root());
    for (Window w : others) EXPECT_NE(std::find(windows.begin(), windows.end(), w), windows.end());
    EXPECT_TRUE(daemon.running()) << daemon.err();
    EXPECT_EQ(c.process.err(), "");
}

TEST(Launch, TerminalThatNeverShowsAWindowEndsTheProgramWithStatusOne) {
    XServer server;
    server.setResources("dropcon.term: false\n");
    Console console(server);
    EXPECT_EQ(console.process.waitExit(20000), 1);
    EXPECT_EQ(console.process.err().rfind("dropcon: terminal did not start: false -b 0 -into ", 0), 0u)
        << console.process.err();
}

// A terminal that fails at once is given up on at once, with how its shell
// ended after the command and what it printed above; one that runs but
// never shows a window is given up on after the bound, and closed.
TEST(Launch, TerminalThatFailsIsGivenUpOnWithItsStatusAndNothingIsLeft) {
    const std::string dir = tempDir();
    writeFile(dir + "/usageterm", "#!/bin/sh\necho 'usage: usageterm [options]' >&2\nexit 2\n", true);
    writeFile(dir + "/windowless", "#!/bin/sh\nsleep 60\n", true);
    // A wrapper that starts the terminal (one that shows no window) in the
    // background and exits well.
    writeFile(dir + "/wrapper", "#!/bin/sh\nsleep 60 &\necho $! > " + dir + "/started\n", true);
    const std::tuple<std::string, std::string, std::string, int> cases[] = {
        {dir + "/usageterm", "usage: usageterm [options]\n", " (exit status 2)\n", 5000},
        {"nosuchterm", "nosuchterm: not found\n", " (exit status 127)\n", 5000},
        {dir + "/windowless", "", "\n", 20000},
        {dir + "/wrapper", "", " (exit status 0)\n", 20000},
    };
    for (const auto& [term, printed, ending, deadlineMs] : cases) {
        SCOPED_TRACE(term);
        XServer server;
        server.setResources("dropcon.term: " + term + "\n");
        Console c(server);
        std::vector<pid_t> started;
        waitUntil(
            server.dpy(),
            [&] { return !(started = descendantsOf(c.process.pid())).empty() || !c.process.running(); },
            2000);
        EXPECT_EQ(c.process.waitExit(deadlineMs), 1);
        const std::string err = c.process.err();
        // What the terminal printed, then the message as the last line.
        const std::string line = "dropcon: terminal did not start: " + term + " -b 0 -into ";
        const size_t at = err.rfind(line);
        ASSERT_NE(at, std::string::npos) << err;
        EXPECT_TRUE(at == 0 || err[at - 1] == '\n') << err;
        EXPECT_TRUE(err.ends_with(" -name dropcon &" + ending)) << err;
        EXPECT_NE(err.substr(0, at).find(printed), std::string::npos) << err;
        // What the wrapper started in the background is no longer below it.
        if (pid_t pid = std::atoi(readFile(dir + "/started").c_str())) started.push_back(pid);
        EXPECT_TRUE(waitUntil(
            server.dpy(), [&] { return stillRunning(started).empty(); }, 5000))
            << stillRunning(started);
        for (pid_t pid : started)
            if (!processGone(pid)) kill(pid, SIGKILL);
    }
}

// SIGUSR1 toggles as the key does. One that comes during a slide or a drag
// is taken after it: the console goes all the way, then back.
TEST(ToggleBySignal, ShowsAndHidesWithTheFocusAlsoDuringASlideOrADrag) {
    Scene desk({.resources = "dropcon.aniDelay: 3000\n"});
    Console& c = desk.c();
    Display* dpy = desk.dpy();
    ASSERT_TRUE(c.ready()) << c.process.err();
    enum During { kNothing, kSlide, kDrag };
    const std::tuple<const char*, During, bool> steps[] = {
        {"signal shows", kNothing, true},
        {"signal during the slide up shows after it", kSlide, true},
        {"signal hides", kNothing, false},
        {"signal during the slide down hides after it", kSlide, false},
        {"signal shows again", kNothing, true},
        {"signal during a drag hides after the release", kDrag, false},
    };
    bool shown = false;
    for (const auto& [name, during, shownAfter] : steps) {
        SCOPED_TRACE(name);
        Watcher watch(desk.server, c.frameWin);
        if (during == kSlide) {
            toggleAndAwaitFirstMove(desk.server, watch, c.frame().y);
            shown = !shown;
        }
        if (during == kDrag) {
            desk.grabHandle(50);
            ASSERT_TRUE(waitUntil(dpy, [&] { return pointerGrabbed(dpy); }));
            movePointer(dpy, 50, c.terminal().height + 2 * c.rowHeight());
        }
        ASSERT_EQ(kill(c.process.pid(), SIGUSR1), 0);
        shown = !shown;
        ASSERT_EQ(shown, shownAfter);
        if (during == kDrag) {
            // Still dragging: the signal waits for the release.
            movePointer(dpy, 50, c.terminal().height + 4 * c.rowHeight());
            EXPECT_TRUE(waitUntil(dpy, [&] { return c.shownAt() && pointerGrabbed(dpy); }));
            button(dpy, 1, false);
        }
        EXPECT_TRUE(waitUntil(dpy, [&] { return shown ? desk.shown() : desk.hidden(); }))
            << "frame at y " << c.frame().y << ", focus " << focusOf(dpy) << " app " << desk.app()
            << " terminal " << c.termWin;
        if (during == kSlide) {
            watch.pump();
            const int end = shown ? c.frame().y - c.frame().height : 0;
            std::vector<int> ys = watch.ys();
            EXPECT_NE(std::find(ys.begin(), ys.end(), end), ys.end()) << "the slide was not finished first";
        }
    }
    EXPECT_TRUE(c.process.running());
    EXPECT_EQ(c.process.err(), "");
}

TEST(TerminalEnds, ExitInTheShellEndsTheProgramWithTheFocusBack) { terminalEndsWhileShown(false, false); }

TEST(TerminalEnds, TerminalEndingWhileHiddenLeavesTheFocusWhereTheUserPutIt) {
    Scene desk({.resources = "dropcon.stepSize: 0\n"});
    ASSERT_TRUE(desk.ready());
    ASSERT_TRUE(desk.show());
    ASSERT_TRUE(desk.hide());
    Window later = makeFocusedWindow(desk.dpy(), 500, 500, 50, 50);
    desk.c().killTerminal();
    EXPECT_EQ(desk.c().process.waitExit(15000), 0);
    EXPECT_EQ(focusOf(desk.dpy()), later);
}

TEST(TerminalEnds, WithRestartANewTerminalComesAtTheSameHeightWithTheFocus) {
    terminalEndsWhileShown(false, true, "dropcon.consoleHeight: 6\n");
}

TEST(TerminalEnds, TerminalRelaunchedWhileHiddenLeavesTheFocusAlone) {
    Scene desk({.resources = "dropcon.stepSize: 0\ndropcon.restart: 1\n"});
    ASSERT_TRUE(desk.ready());
    Console& c = desk.c();
    Watcher children(desk.server, c.frameWin, SubstructureNotifyMask);
    c.killTerminal();  // the terminal dies out of sight
    ASSERT_TRUE(children.waitUntil([&] { return children.relaunchSeen(); }));
    ASSERT_TRUE(c.ready());
    EXPECT_EQ(focusOf(desk.dpy()), desk.app());
    ASSERT_TRUE(desk.show());
    EXPECT_TRUE(c.process.running());
}

TEST(TerminalEnds, ShellCommandThatKeepsTheTerminalInTheForegroundDoesNotFreezeTheConsole) {
    // The arguments reach the shell unquoted: the ';' ends the command early
    // and leaves the terminal in the shell's foreground.
    Scene desk({.resources = "dropcon.stepSize: 0\n", .args = {"; true"}});
    ASSERT_TRUE(desk.ready()) << desk.c().process.err();
    ASSERT_TRUE(desk.show());
}

TEST(TerminalEnds, TerminalThatKeepsDyingAtOnceIsGivenUpOn) {
    // Each terminal shows its window and is gone a moment later.
    Scene desk({.resources = "dropcon.restart: 1\n", .args = {"-e", "sleep", "0.2"}});
    EXPECT_EQ(desk.c().process.waitExit(60000), 1);
    std::string err = desk.c().process.err();
    // A terminal may die between showing its window and being adopted; the
    // requests on its vanished window are reported as X errors, which is fine.
    EXPECT_NE(err.find("dropcon: terminal keeps exiting, giving up: xterm -b 0 -into "), std::string::npos)
        << err;
    EXPECT_EQ(err.find("did not start"), std::string::npos) << err;
}

TEST(KilledTerminal, SigkillIsTheTerminalEndingWithAndWithoutRestart) {
    for (bool restart : {false, true}) {
        SCOPED_TRACE("restart " + std::to_string(restart));
        terminalEndsWhileShown(true, restart);
    }
}
