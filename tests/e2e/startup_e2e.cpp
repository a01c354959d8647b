// End-to-end tests of start-up: usage, display errors, settings and the adopted terminal.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <unistd.h>

#include <string>

#include "tests/support/scene.h"

using namespace xt;

namespace {

std::string usageFor(const std::string& name) {
    return name + ":\n-e: program to execute\nyou can configure me via xresources:\n" + name +
           "*foo:value\n"
           "foo can be any standard xterm/urxvt xresource or:\n"
           "resource               default value\n"
           "\n"
           "term:                  xterm\n"
           "restart:               0\n"
           "xOffset:               0\n"
           "screenWidth:           Display width\n"
           "consoleHeight:         10\n"
           "aniDelay:              40\n"
           "stepSize;              1\n"
           "toggleKey:             ControlAlt+y\n"
           "keySmaller:            Control+KP_Subtract\n"
           "keyBigger:             Control+KP_Add\n"
           "keyFull:               Alt+F11\n";
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

namespace {

struct Parked {
    std::string resources;
    int x = 0, width = 1280, rows = 10, handle = 3;
    std::string argv0, instance = "dropcon/XTerm";
};

// Starts the console on a server of its own and checks it parked above the
// screen: the frame override-redirect, mapped, borderless, at x and width
// wide; the terminal in it as wide, at its top, rows high, the handle under
// it; the terminal's instance and class; nothing on the standard error.
void expectParked(const Parked& p) {
    XServer server;
    server.setResources(p.resources);
    Console console(server, {}, p.argv0);
    ASSERT_TRUE(console.ready()) << console.process.err();
    Geometry frame = console.frame(), term = console.terminal();
    int row = console.rowHeight();
    ASSERT_GT(row, 1);
    EXPECT_TRUE(frame.overrideRedirect);
    EXPECT_TRUE(frame.mapped);
    EXPECT_EQ(frame.border, 0);
    EXPECT_EQ(frame.x, p.x);
    EXPECT_EQ(frame.width, p.width);
    EXPECT_EQ(term.width, p.width);
    EXPECT_EQ(term.x, 0);
    EXPECT_EQ(term.y, 0);
    EXPECT_EQ(term.border, 0);
    EXPECT_EQ(term.height, p.rows * row);
    EXPECT_EQ(frame.height, term.height + p.handle);
    EXPECT_EQ(frame.y, -frame.height);
    // The terminal reads its resources under the program's name.
    EXPECT_EQ(classOf(server.dpy(), console.termWin), p.instance);
    EXPECT_TRUE(console.process.running());
    EXPECT_EQ(console.process.err(), "");
}

}  // namespace

TEST(Startup, DefaultsGiveAFullWidthConsoleOfTenRowsParkedAboveTheScreen) { expectParked({}); }

TEST(Startup, ResourcesSetPositionWidthRowsAndHandle) {
    expectParked({.resources = "dropcon.xOffset: 40\ndropcon.screenWidth: 600\ndropcon*consoleHeight: 5\n"
                               "dropcon.handleWidth: 7\n",
                  .x = 40,
                  .width = 600,
                  .rows = 5,
                  .handle = 7});
}

TEST(Startup, SettingsThatMakeNoSenseAreRaisedToTheLeastThatWorks) {
    expectParked({.resources = "dropcon.xOffset: -40\ndropcon.consoleHeight: abc\ndropcon.handleWidth: -5\n"
                               "dropcon.screenWidth: 0\n",
                  .x = -40,
                  .width = 1,
                  .rows = 1,
                  .handle = 0});
}

// The terminal gets the name as one word, a blank in it and all.
TEST(Startup, SettingsAreReadUnderTheNameOfTheLinkThatStartedIt) {
    const std::pair<const char*, int> cases[] = {{"drop", 4}, {"my console", 10}};
    for (const auto& [name, rows] : cases) {
        SCOPED_TRACE(name);
        std::string link = tempDir() + "/" + name;
        ASSERT_EQ(symlink(dropconBinary().c_str(), link.c_str()), 0);
        expectParked({.resources = "drop.consoleHeight: 4\ndropcon.consoleHeight: 7\n",
                      .rows = rows,
                      .argv0 = link,
                      .instance = std::string(name) + "/XTerm"});
    }
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

// The console runs with a timer slack of 1 ns for its slide; the terminal,
// its shell and what runs in it have the slack they would have had.
TEST(Startup, TheTerminalsShellHasTheTimerSlackOfAShellStartedBesideTheConsole) {
    const std::string dir = tempDir(), inside = dir + "/inside", beside = dir + "/beside";
    writeFile(dir + "/shell", "#!/bin/sh\ncat /proc/$$/timerslack_ns > " + inside + "\nexec sleep 600\n",
              true);
    Scene desk({.args = {"-e", dir + "/shell"}});
    ASSERT_TRUE(desk.ready()) << desk.c().process.err();
    run(desk.server, {"sh", "-c", "cat /proc/$$/timerslack_ns > " + beside});
    ASSERT_TRUE(waitUntil(desk.dpy(), [&] { return !readFile(inside).empty(); }));
    EXPECT_EQ(readFile(inside), readFile(beside));
    EXPECT_NE(readFile(inside), "1\n");
}

TEST(Startup, UrxvtIsEmbedded) {
    expectParked({.resources = "dropcon.term: urxvt\n", .instance = "dropcon/URxvt"});
}
