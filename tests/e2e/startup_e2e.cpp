// End-to-end tests of start-up: usage, display errors, settings, hotkey grabs and the adopted terminal.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "startup/parse.h"
#include "tests/support/xharness.h"

using namespace xt;

namespace {

std::string usageFor(const char* name) {
    char text[2048];
    std::snprintf(text, sizeof text, DROPCON_USAGE, name, name);
    return text;
}

// Catches the error codes of this test's own requests.
int lastError = 0;
int recordError(Display*, XErrorEvent* e) {
    lastError = e->error_code;
    return 0;
}

// Tries to grab a key combination on the root; the X error code, or 0 when it was free.
int tryGrab(Display* dpy, KeySym sym, unsigned mask) {
    lastError = 0;
    auto old = XSetErrorHandler(recordError);
    KeyCode code = XKeysymToKeycode(dpy, sym);
    XGrabKey(dpy, code, mask, DefaultRootWindow(dpy), True, GrabModeAsync, GrabModeAsync);
    XSync(dpy, False);
    XUngrabKey(dpy, code, mask, DefaultRootWindow(dpy));
    XSync(dpy, False);
    XSetErrorHandler(old);
    return lastError;
}

unsigned numLockMaskOf(Display* dpy) {
    XModifierKeymap* map = XGetModifierMapping(dpy);
    unsigned mask = numLockMaskFrom(map->modifiermap, map->max_keypermod, XKeysymToKeycode(dpy, XK_Num_Lock));
    XFreeModifiermap(map);
    return mask;
}

std::string instanceName(Display* dpy, Window w) {
    XClassHint hint{};
    if (!XGetClassHint(dpy, w, &hint)) return "";
    std::string name = hint.res_name ? hint.res_name : "";
    std::string cls = hint.res_class ? hint.res_class : "";
    XFree(hint.res_name);
    XFree(hint.res_class);
    return name + "/" + cls;
}

}  // namespace

TEST(Usage, MinusHAnywherePrintsUsageWithoutAnyDisplay) {
    std::string dir = tempDir();
    std::string link = dir + "/abc";
    ASSERT_EQ(symlink(dropconBinary().c_str(), link.c_str()), 0);
    for (const std::string& argv0 : {dropconBinary(), link}) {
        Process p({argv0, "-e", "top", "-h"}, {"HOME=" + dir});
        ASSERT_EQ(p.waitExit(10000), 0);
        EXPECT_EQ(p.out(), usageFor(argv0 == link ? "abc" : "dropcon"));
        EXPECT_EQ(p.err(), "");
    }
}

TEST(Usage, DisplayThatCannotBeOpenedIsReportedWithStatusOne) {
    Process nowhere({dropconBinary()}, {"DISPLAY=:4093", "HOME=/nonexistent"});
    EXPECT_EQ(nowhere.waitExit(10000), 1);
    EXPECT_EQ(nowhere.err(), " can not open dpy :4093");
    EXPECT_EQ(nowhere.out(), "");

    // -help, --h and -hh are not -h: they belong to the terminal, so the
    // program goes on to open the display.
    Process unset({dropconBinary(), "-help", "--h", "-hh"}, {"HOME=/nonexistent"});
    EXPECT_EQ(unset.waitExit(10000), 1);
    EXPECT_EQ(unset.err(), " can not open dpy ");
    EXPECT_EQ(unset.out(), "");
}

TEST(Startup, DefaultsGiveAFullWidthConsoleOfTenRowsParkedAboveTheScreen) {
    XServer server;
    Console console(server);
    ASSERT_TRUE(console.ready()) << console.process.err();
    Geometry frame = console.frame(), term = console.terminal();
    int row = console.rowHeight();
    ASSERT_GT(row, 1);
    EXPECT_TRUE(frame.overrideRedirect);
    EXPECT_TRUE(frame.mapped);
    EXPECT_EQ(frame.border, 0);
    EXPECT_EQ(frame.x, 0);
    EXPECT_EQ(frame.width, server.width());
    EXPECT_EQ(term.width, server.width());
    EXPECT_EQ(term.x, 0);
    EXPECT_EQ(term.y, 0);
    EXPECT_EQ(term.border, 0);
    EXPECT_EQ(term.height, 10 * row);
    EXPECT_EQ(frame.height, term.height + 3);
    EXPECT_EQ(frame.y, -frame.height);
    // The terminal reads its resources under the program's name.
    EXPECT_EQ(instanceName(server.dpy(), console.termWin), "dropcon/XTerm");
    EXPECT_TRUE(console.process.running());
    EXPECT_EQ(console.process.err(), "");
}

TEST(Startup, ResourcesSetPositionWidthRowsAndHandle) {
    XServer server;
    server.setResources(
        "dropcon.xOffset: 40\ndropcon.screenWidth: 600\ndropcon*consoleHeight: 5\ndropcon.handleWidth: 7\n");
    Console console(server);
    ASSERT_TRUE(console.ready()) << console.process.err();
    Geometry frame = console.frame(), term = console.terminal();
    EXPECT_EQ(frame.x, 40);
    EXPECT_EQ(frame.width, 600);
    EXPECT_EQ(term.width, 600);
    EXPECT_EQ(term.height, 5 * console.rowHeight());
    EXPECT_EQ(frame.height, term.height + 7);
    EXPECT_EQ(frame.y, -frame.height);
    EXPECT_EQ(console.process.err(), "");
}

TEST(Startup, SettingsThatMakeNoSenseAreRaisedToTheLeastThatWorks) {
    XServer server;
    server.setResources(
        "dropcon.xOffset: -40\ndropcon.consoleHeight: abc\ndropcon.handleWidth: -5\ndropcon.screenWidth: "
        "0\n");
    Console console(server);
    ASSERT_TRUE(console.ready()) << console.process.err();
    Geometry frame = console.frame(), term = console.terminal();
    EXPECT_EQ(frame.x, -40);
    EXPECT_EQ(frame.width, 1);
    EXPECT_EQ(term.height, console.rowHeight());
    EXPECT_EQ(frame.height, term.height);
    EXPECT_EQ(xErrorLines(console.process.err()), 0) << console.process.err();
}

TEST(Startup, SettingsAreReadUnderTheNameOfTheLinkThatStartedIt) {
    XServer server;
    server.setResources("drop.consoleHeight: 4\ndropcon.consoleHeight: 7\n");
    std::string link = tempDir() + "/drop";
    ASSERT_EQ(symlink(dropconBinary().c_str(), link.c_str()), 0);
    Console console(server, {}, link);
    ASSERT_TRUE(console.ready()) << console.process.err();
    EXPECT_EQ(console.terminal().height, 4 * console.rowHeight());
    EXPECT_EQ(instanceName(server.dpy(), console.termWin), "drop/XTerm");
}

TEST(Startup, TerminalGetsItsOptionsAndTheForwardedArgumentsSplitByTheShell) {
    XServer server;
    std::string dir = tempDir();
    std::string log = dir + "/argv";
    writeFile(dir + "/term",
              "#!/bin/sh\nprintf '%s\\n' \"$@\" > " + log +
                  "\nexec xterm \"$1\" \"$2\" \"$3\" \"$4\" \"$5\" \"$6\"\n",
              true);
    server.setResources("dropcon.term: " + dir + "/term\n");
    Console console(server, {"-e", "top -d 1", "-help", "--h"});
    ASSERT_TRUE(console.ready()) << console.process.err();
    std::string expected = "-b\n0\n-into\n" + std::to_string(static_cast<int>(console.frameWin)) +
                           "\n-name\ndropcon\n-e\ntop\n-d\n1\n-help\n--h\n";
    EXPECT_EQ(readFile(log), expected);
}

TEST(Startup, UrxvtIsEmbedded) {
    XServer server;
    server.setResources("dropcon.term: urxvt\n");
    Console console(server);
    ASSERT_TRUE(console.ready()) << console.process.err();
    EXPECT_EQ(instanceName(server.dpy(), console.termWin), "dropcon/URxvt");
    EXPECT_EQ(console.terminal().height, 10 * console.rowHeight());
    EXPECT_EQ(console.frame().y, -(console.terminal().height + 3));
}

TEST(Hotkeys, AreGrabbedWithCapsLockAndNumLockVariants) {
    XServer server;
    Console console(server);
    ASSERT_TRUE(console.ready()) << console.process.err();
    Display* dpy = server.dpy();
    unsigned numLock = numLockMaskOf(dpy);
    ASSERT_NE(numLock, 0u) << "the test server should have a Num_Lock modifier";
    struct Key {
        KeySym sym;
        unsigned mask;
        bool sizeKey;
    } keys[] = {{XK_y, ControlMask | Mod1Mask, false},
                {XK_KP_Subtract, ControlMask, true},
                {XK_KP_Add, ControlMask, true},
                {XK_F11, Mod1Mask, true}};
    // The toggle key always; the size keys only while the console is shown.
    auto check = [&](bool shown) {
        for (const Key& k : keys) {
            const int expected = !k.sizeKey || shown ? BadAccess : 0;
            for (unsigned mask : grabMasks(k.mask, numLock))
                EXPECT_EQ(tryGrab(dpy, k.sym, mask), expected)
                    << XKeysymToString(k.sym) << " mask " << mask << (shown ? " shown" : " hidden");
            // Other modifier combinations stay free for other clients.
            EXPECT_EQ(tryGrab(dpy, k.sym, ShiftMask | k.mask), 0) << XKeysymToString(k.sym);
        }
        EXPECT_EQ(tryGrab(dpy, XK_y, ControlMask), 0);
    };
    check(false);
    pressKeys(dpy, {"Control_L", "Alt_L", "y"});
    ASSERT_TRUE(waitUntil(dpy, [&] { return console.shownAt(); }));
    check(true);
    pressKeys(dpy, {"Control_L", "Alt_L", "y"});
    ASSERT_TRUE(waitUntil(dpy, [&] { return console.hiddenAt(); }));
    check(false);
}

TEST(Hotkeys, UnknownKeyNameIsReportedAndNotGrabbed) {
    XServer server;
    server.setResources("dropcon.keySmaller: Control+Foo\ndropcon.keyFull: Alt+\n");
    Console console(server);
    ASSERT_TRUE(console.ready()) << console.process.err();
    EXPECT_EQ(console.process.err(),
              "dropcon: keySmaller: no key named \"Foo\"\ndropcon: keyFull: no key named \"\"\n");
    Display* dpy = server.dpy();
    // Grabbing keycode 0 would be AnyKey: every other key must still be
    // free, while hidden and after a show, when the size keys are grabbed.
    auto othersFree = [&] {
        for (KeySym sym : {XK_a, XK_Return, XK_F11, XK_KP_Subtract})
            for (unsigned mask :
                 {0u, unsigned(ControlMask), unsigned(Mod1Mask), unsigned(ControlMask | Mod1Mask)})
                EXPECT_EQ(tryGrab(dpy, sym, mask), 0) << XKeysymToString(sym) << " mask " << mask;
    };
    othersFree();
    // The size key that was fine is free while hidden, grabbed while shown.
    EXPECT_EQ(tryGrab(dpy, XK_KP_Add, ControlMask), 0);
    pressKeys(dpy, {"Control_L", "Alt_L", "y"});
    ASSERT_TRUE(waitUntil(dpy, [&] { return console.shownAt(); }));
    othersFree();
    EXPECT_EQ(tryGrab(dpy, XK_KP_Add, ControlMask), BadAccess);
    EXPECT_TRUE(console.process.running());
}

TEST(Hotkeys, HotkeyHeldByAnotherClientIsReportedAndStartupGoesOn) {
    XServer server;
    Display* dpy = server.dpy();
    XGrabKey(dpy, XKeysymToKeycode(dpy, XK_y), ControlMask | Mod1Mask, server.root(), True, GrabModeAsync,
             GrabModeAsync);
    XSync(dpy, False);
    Console console(server);
    ASSERT_TRUE(console.ready()) << console.process.err();
    EXPECT_EQ(console.process.err(),
              "10  XError caught\ndropcon: toggleKey: \"ControlAlt+y\" is held by another client\n");
}

TEST(Launch, TerminalThatNeverShowsAWindowEndsTheProgramWithStatusOne) {
    XServer server;
    server.setResources("dropcon.term: false\n");
    Console console(server);
    EXPECT_EQ(console.process.waitExit(20000), 1);
    EXPECT_EQ(console.process.err().rfind("dropcon: terminal did not start: false -b 0 -into ", 0), 0u)
        << console.process.err();
}
