// Stress and fault tests: key storms, long drags, a vanished X server and bad resources.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tests/support/scene.h"

using namespace xt;

namespace {

KeyCode code(Display* dpy, KeySym sym) { return XKeysymToKeycode(dpy, sym); }

// Presses key `times` times with the modifiers held throughout, without a
// round trip in between: as fast as XTEST takes them.
void storm(Display* dpy, const std::vector<KeySym>& modifiers, KeySym key, int times) {
    for (KeySym m : modifiers) XTestFakeKeyEvent(dpy, code(dpy, m), True, CurrentTime);
    for (int i = 0; i < times; ++i) {
        XTestFakeKeyEvent(dpy, code(dpy, key), True, CurrentTime);
        XTestFakeKeyEvent(dpy, code(dpy, key), False, CurrentTime);
    }
    for (auto m = modifiers.rbegin(); m != modifiers.rend(); ++m)
        XTestFakeKeyEvent(dpy, code(dpy, *m), False, CurrentTime);
    XSync(dpy, False);
}

// A console that stops takes its frame with it, under the test's queries.
int ignoreError(Display*, XErrorEvent*) { return 0; }

// Ordinary keys that another client can still grab, and that typing into a
// focused window of its own delivers there: the console took no more of
// the keyboard than its hotkeys. Returns what went wrong, or "".
std::string keyboardStillWorks(const XServer& server) {
    Display* dpy = server.dpy();
    std::string wrong;
    for (KeySym sym : {XK_a, XK_Return, XK_space, XK_F5})
        for (unsigned mask : {0u, unsigned(ShiftMask), unsigned(ControlMask)})
            if (tryGrab(dpy, sym, mask))
                wrong += std::string(XKeysymToString(sym)) + " mask " + std::to_string(mask) + " taken; ";

    AppWindow w(server, "K", 600, 500, 80, 80);
    XSetInputFocus(dpy, w.window, RevertToPointerRoot, CurrentTime);
    pressKeys(dpy, {"a"});
    if (!waitUntil(dpy, [&] { return w.typed() == "a"; }))
        wrong += "typing into a focused window delivered nothing; ";
    return wrong;
}

}  // namespace

TEST(ToggleStorm, EvenAndOddCountsEndHiddenAndShownWithNoPressLost) {
    for (int presses : {200, 201}) {
        SCOPED_TRACE("presses " + std::to_string(presses));
        Scene desk({.resources = "dropcon.stepSize: 0\n"});
        ASSERT_TRUE(desk.ready()) << desk.c().process.err();
        Console& c = desk.c();
        const int height = c.terminal().height;
        // Every show nudges the terminal a pixel shorter and back: the
        // nudges count the shows the console has carried out.
        Watcher& terminal = *desk.nudges;

        storm(desk.dpy(), {XK_Control_L, XK_Alt_L}, XK_y, presses);
        const int shows = (presses + 1) / 2;
        const bool endsShown = presses % 2 == 1;
        ASSERT_TRUE(terminal.waitUntil(
            [&] {
                return terminal.configuresAt(height - 1) == shows &&
                       (endsShown ? desk.shown() : desk.hidden());
            },
            60000))
            << "shows " << terminal.configuresAt(height - 1) << ", " << desk.state();
        terminal.pump();
        EXPECT_EQ(terminal.configuresAt(height - 1), shows);
        EXPECT_EQ(c.terminal().height, height);
        EXPECT_EQ(c.frame().height, height + 3);

        // Still answering: one more press flips it.
        ASSERT_TRUE(endsShown ? desk.hide() : desk.show()) << desk.state();
        EXPECT_TRUE(c.process.running());
        EXPECT_EQ(c.process.err(), "");
    }
}

TEST(SizeStorm, BurstOfSizeKeysAndALongDragKeepWholeRowsAndAConsistentFrame) {
    Scene desk({.resources = "dropcon.stepSize: 0\ndropcon.consoleHeight: 5\n"});
    ASSERT_TRUE(desk.ready()) << desk.c().process.err();
    Console& c = desk.c();
    Display* dpy = desk.dpy();
    const int row = c.rowHeight();
    ASSERT_GT(row, 1);
    Watcher terminal(desk.server, c.termWin);
    Watcher frame(desk.server, c.frameWin);
    pressKeys(dpy, kToggle);
    // Shown once the terminal has had its nudge and is back at five rows.
    ASSERT_TRUE(terminal.waitUntil([&] {
        return c.shownAt() && focusOf(dpy) == c.termWin &&
               terminal.heights() == std::vector<int>{5 * row - 1, 5 * row};
    })) << c.terminal().height;
    terminal.events.clear();
    frame.waitUntil([] { return true; });  // the show's own moves of the frame, out of the way
    frame.events.clear();

    // Runs of bigger and smaller presses, some long enough to hit the floor
    // of one row many times over, all sent without a pause.
    std::mt19937 random(6);
    std::vector<int> expected{5 * row};
    int rows = 5, presses = 0;
    XTestFakeKeyEvent(dpy, code(dpy, XK_Control_L), True, CurrentTime);
    for (int run = 0; run < 24; ++run) {
        bool bigger = run % 2 == 0;
        int length = 1 + static_cast<int>(random() % 25);
        for (int i = 0; i < length; ++i, ++presses) {
            KeySym key = bigger ? XK_KP_Add : XK_KP_Subtract;
            XTestFakeKeyEvent(dpy, code(dpy, key), True, CurrentTime);
            XTestFakeKeyEvent(dpy, code(dpy, key), False, CurrentTime);
            rows = std::max(1, rows + (bigger ? 1 : -1));
            if (expected.back() != rows * row) expected.push_back(rows * row);
        }
    }
    XTestFakeKeyEvent(dpy, code(dpy, XK_Control_L), False, CurrentTime);
    XSync(dpy, False);
    ASSERT_TRUE(
        terminal.waitUntil([&] { return terminal.heights(5 * row).size() >= expected.size(); }, 60000))
        << presses << " presses, terminal " << c.terminal().height;
    EXPECT_EQ(terminal.heights(5 * row), expected);
    EXPECT_EQ(c.terminal().height, rows * row);

    // The drag: hold a button on the handle until the console answers, then
    // hundreds of motions all over the screen in one go.
    desk.grabHandle(300);
    const int answerRows = rows == 3 ? 4 : 3;
    ASSERT_TRUE(desk.dragTo(300, answerRows * row + 1, answerRows * row)) << c.terminal().height;
    const int screen = desk.server.height();
    int lastY = 0;
    for (int i = 0; i < 600; ++i) {
        lastY = i % 7 == 0 ? static_cast<int>(random() % row) : static_cast<int>(random() % screen);
        XTestFakeMotionEvent(dpy, DefaultScreen(dpy), 100 + i % 400, lastY, CurrentTime);
    }
    lastY = 7 * row + row / 2;  // a final height that no earlier motion can leave behind by chance
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), 50, lastY - row, CurrentTime);
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), 51, lastY, CurrentTime);
    button(dpy, 1, false);
    // The drag is over, every motion before the release taken, once the
    // pointer can be grabbed again.
    ASSERT_TRUE(waitUntil(
        dpy, [&] { return !pointerGrabbed(dpy); }, 60000));
    EXPECT_EQ(c.terminal().height, 7 * row);
    EXPECT_EQ(c.frame().height, 7 * row + 3);

    // A round trip on each watcher's connection brings in every event
    // that the drag caused.
    terminal.waitUntil([] { return true; });
    frame.waitUntil([] { return true; });
    std::vector<int> terminalHeights = terminal.heights(), frameHeights = frame.heights();
    EXPECT_GT(terminalHeights.size(), 50u) << "the drag should have moved the console many times";
    for (int h : terminalHeights) {
        EXPECT_EQ(h % row, 0) << h;
        EXPECT_GE(h, row);
    }
    // The frame follows the terminal, one handle taller, every time.
    for (int& h : frameHeights) h -= 3;
    EXPECT_EQ(frameHeights, terminalHeights)
        << frameHeights.size() << " frame heights, " << terminalHeights.size() << " terminal heights";
    EXPECT_EQ(c.frame().y, 0);

    // The size keys still work after it.
    ASSERT_TRUE(desk.resize(kBigger, 8 * row));
    EXPECT_TRUE(c.process.running());
    EXPECT_EQ(c.process.err(), "");
}

// The X server vanishes while the console is idle, in the middle of a
// slow slide, and while it waits for a slow terminal's window: each time it
// must end within seconds with a non-zero status and say why.
TEST(LostServer, ProgramEndsPromptlyWithAMessageWhereverItIs) {
    std::string dir = tempDir();
    writeFile(dir + "/slowterm", "#!/bin/sh\nsleep 20\nexec xterm \"$@\"\n", true);
    const std::tuple<const char*, std::string, bool, bool> cases[] = {
        {"idle", "dropcon.stepSize: 0\n", true, false},
        {"mid-slide", "dropcon.aniDelay: 2000\n", true, true},  // 0.2 s a step
        {"waiting for the terminal", "dropcon.term: " + dir + "/slowterm\n", false, false},
    };
    for (const auto& [name, resources, waitReady, toggle] : cases) {
        SCOPED_TRACE(name);
        XServer server;
        server.setResources(resources);
        Console c(server);
        if (waitReady) {
            ASSERT_TRUE(c.ready()) << c.process.err();
        }
        if (toggle) {
            toggleAndAwaitFirstMove(server, c.frameWin);  // the slide is under way
        } else if (!waitReady) {
            // Once its frame is up, the console is waiting for the window.
            ASSERT_TRUE(waitUntil(server.dpy(), [&] { return findFrame(server.dpy(), false) != None; }));
        }
        server.kill();
        int status = c.process.waitExit(5000);
        EXPECT_NE(status, -1) << "still running 5 s after the server went away";
        EXPECT_NE(status, 0);
        EXPECT_LT(status, 128) << "killed by a signal";
        EXPECT_NE(c.process.err(), "") << "no message";
    }
}

// Bad values for every kind of resource. For each the console either comes
// up and works, or stops at once with a message; it never crashes and never
// takes the keyboard beyond its hotkeys.
namespace {

struct BadCase {
    std::string what;
    std::string resources;
    bool toggles = true;  // the toggle key is still Control+Alt+y
};

const std::string kLongDigits(5000, '9'), kLongText(5000, 'x');

void tryBadResources(const std::vector<BadCase>& cases, bool mayStop) {
    XServer server;
    Display* dpy = server.dpy();
    XSetErrorHandler(ignoreError);
    for (const BadCase& k : cases) {
        SCOPED_TRACE(k.what);
        server.setResources(k.resources);
        Console c(server);
        ASSERT_TRUE(waitUntil(
            dpy, [&] { return !c.process.running() || c.ready(0); }, 20000))
            << c.process.err();
        if (!c.process.running()) {
            int status = c.process.waitExit(0);
            ASSERT_TRUE(mayStop) << "did not come up: status " << status << "\n" << c.process.err();
            EXPECT_EQ(status, 1) << c.process.err();
            EXPECT_NE(c.process.err().find("dropcon: "), std::string::npos) << c.process.err();
        } else {
            // Shown and hidden again; a frozen or dead console fails here.
            Window app = makeFocusedWindow(dpy, 10, 600, 50, 50);
            pressKeys(dpy, kToggle);
            if (k.toggles) {
                EXPECT_TRUE(waitUntil(dpy, [&] { return c.shownAt() && focusOf(dpy) == c.termWin; }));
                pressKeys(dpy, kToggle);
                EXPECT_TRUE(waitUntil(dpy, [&] { return c.hiddenAt() && focusOf(dpy) == app; }));
            }
            EXPECT_TRUE(c.process.running()) << c.process.err();
            XDestroyWindow(dpy, app);
        }
        EXPECT_EQ(keyboardStillWorks(server), "");
        EXPECT_EQ(sanitizerReport(c.process.err()), "");
    }
    XSetErrorHandler(nullptr);
}

std::string allNumbers(const std::string& value) {
    std::string text = "dropcon.aniDelay: 0\n";  // the pause has a test of its own
    for (const char* key : {"screenWidth", "handleWidth", "consoleHeight", "xOffset", "stepSize", "restart"})
        text += std::string("dropcon.") + key + ": " + value + "\n";
    return text;
}

std::string allHotkeys(const std::string& spec) {
    std::string text = "dropcon.stepSize: 0\n";
    for (const char* key : {"toggleKey", "keySmaller", "keyBigger", "keyFull"})
        text += std::string("dropcon.") + key + ": " + spec + "\n";
    return text;
}

}  // namespace

TEST(BadResources, NumbersEmptyHugeNegativeGarbageAndLong) {
    std::vector<BadCase> cases;
    for (const std::string& v :
         {std::string(""), std::string("99999999999999999999"), std::string("-99999999999999999999"),
          std::string("2147483648"), std::string("-2147483649"), std::string("-1"), std::string("-32768"),
          std::string("32767"), std::string("abc"), std::string("0x20"), std::string(" 12junk"), kLongDigits,
          "-" + kLongDigits, kLongText})
        cases.push_back({"every number " + v.substr(0, 30), allNumbers(v)});
    tryBadResources(cases, false);
}

TEST(BadResources, ColoursAndHotkeysWithNoKeyOnlyModifiersUnknownOrShifted) {
    std::vector<BadCase> cases;
    for (const std::string& v : {std::string(""), std::string("no such colour"), std::string("#12345"),
                                 std::string("#zzzzzz"), kLongText})
        cases.push_back(
            {"handleColor " + v.substr(0, 30), "dropcon.stepSize: 0\ndropcon.handleColor: " + v + "\n"});
    for (const std::string& v :
         {std::string(""), std::string("Control+"), std::string("ControlAlt"), std::string("ControlAltWin+"),
          std::string("+"), std::string("++"), std::string("None"), std::string("Control+NoSuchKey"),
          std::string("Control+Y"), std::string("Alt+Cyrillic_zhe"), std::string("Win+ydiaeresis"),
          "Control+" + kLongText, kLongText + "+y"})
        cases.push_back({"every hotkey " + v.substr(0, 30), allHotkeys(v), false});
    tryBadResources(cases, false);
}

TEST(BadResources, TerminalThatCannotRunStopsWithAMessage) {
    tryBadResources({{"term empty", "dropcon.term:\n"},
                     {"term long", "dropcon.term: /nonexistent/" + kLongText + "\n"},
                     {"term not a terminal", "dropcon.term: /bin/true\n"}},
                    true);
}

// A pause of days per animation step: the slide down holds the server
// grabbed while it sleeps, so every other client, the keyboard included,
// would stand still until it is over.
TEST(BadResources, HugeAnimationPauseDoesNotFreezeTheServer) {
    XServer server;
    server.setResources("dropcon.aniDelay: 99999999999\n");
    Console c(server);
    ASSERT_TRUE(c.ready()) << c.process.err();
    Watcher slide(server, c.frameWin);
    toggleAndAwaitFirstMove(server, slide, c.frame().y);  // the slide is under way
    // Another client's round trips, with a deadline that Xlib alone would
    // not give: xset blocks while the server is grabbed.
    Process other({"/usr/bin/xset", "q"}, consoleEnv(server));
    EXPECT_EQ(other.waitExit(10000), 0) << "another client was held up 10 s after the toggle";
}
