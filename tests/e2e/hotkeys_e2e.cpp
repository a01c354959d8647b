// End-to-end tests of the hotkeys: layout changes at run time, shifted keysyms, keys left to others.
#include <gtest/gtest.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/keys.h"
#include "tests/support/xharness.h"

using namespace xt;

namespace {

using Command = std::vector<std::string>;

// A server whose focused program records its keys, with the console on it.
// The commands (setxkbmap and the like) run before the console starts.
struct Desk {
    explicit Desk(const std::string& resources, const std::vector<Command>& before = {},
                  const std::function<void(XServer&)>& setUp = nullptr)
        : server(), log((prepare(resources, before, setUp), server)), console(server) {}
    void prepare(const std::string& resources, const std::vector<Command>& before,
                 const std::function<void(XServer&)>& setUp) {
        server.setResources("dropcon.stepSize: 0\n" + resources);
        for (const Command& command : before) run(server, command);
        if (setUp) setUp(server);
    }
    Display* dpy() { return server.dpy(); }
    KeyCode key(const char* name) { return keycodeNow(server, name); }
    // The modifier keys and the key, by their keycodes in the map as it is now.
    std::vector<KeyCode> combo(const std::vector<const char*>& modifiers, KeyCode keycode) {
        std::vector<KeyCode> codes;
        for (const char* modifier : modifiers) codes.push_back(key(modifier));
        codes.push_back(keycode);
        return codes;
    }
    bool shown() { return console.shownAt() && focusOf(dpy()) == console.termWin; }
    bool hidden() { return console.hiddenAt() && focusOf(dpy()) == log.window; }
    // Presses the combination until the console is down. The console moves
    // its grabs once it has read a map change, which no event tells the test
    // about: until then each press lands in the log, and is pressed again.
    bool pressUntilShown(const std::vector<KeyCode>& codes, unsigned modifiers) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < deadline) {
            const int before = log.presses(codes.back(), modifiers);
            pressCodes(dpy(), codes);
            if (!waitUntil(dpy(), [&] { return shown() || log.presses(codes.back(), modifiers) > before; }))
                return false;
            if (shown()) return true;
        }
        return false;
    }
    // Presses the combination once and waits until the focused program has
    // it; the console, which did not get it, has not moved.
    bool reachesTheProgram(const std::vector<KeyCode>& codes, unsigned modifiers) {
        const int before = log.presses(codes.back(), modifiers);
        pressCodes(dpy(), codes);
        return log.waitFor(codes.back(), modifiers, before + 1) && hidden();
    }

    XServer server;
    KeyLog log;
    Console console;
};

const unsigned kCtrlAlt = ControlMask | Mod1Mask;

bool lockGroup(Display* dpy, unsigned group) {
    XkbLockGroup(dpy, XkbUseCoreKbd, group);
    return waitUntil(dpy, [&] {
        XkbStateRec state{};
        return XkbGetState(dpy, XkbUseCoreKbd, &state) == Success && state.group == group;
    });
}

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

}  // namespace

// The toggle key goes where y goes: the key that types y now toggles, the
// one that typed it before reaches the focused program; in every group.
TEST(Hotkeys, FollowTheKeyThatTypesTheirKeysymInEveryGroup) {
    struct Case {
        const char* name;
        std::vector<Command> before;  // before the console starts
        std::function<std::vector<Command>(Desk&)> change;
        std::vector<unsigned> groups;
        unsigned numLock = 0;  // the modifier Num Lock is moved to, locked on for the presses
    } cases[] = {
        {"setxkbmap de after start-up",
         {},
         [](Desk&) {
             return std::vector<Command>{{"setxkbmap", "de"}};
         },
         {0}},
        {"xmodmap swaps y and z",
         {},
         [](Desk& d) {
             const std::string y = std::to_string(d.key("y")), z = std::to_string(d.key("z"));
             return std::vector<Command>{
                 {"xmodmap", "-e", "keycode " + y + " = z Z", "-e", "keycode " + z + " = y Y"}};
         },
         {0}},
        {"us,ru with a group switch key, both groups",
         {{"setxkbmap", "-layout", "us,ru", "-option", "grp:alt_shift_toggle"}},
         [](Desk&) { return std::vector<Command>{}; },
         {1, 0}},
        {"ru,us after start-up: y only in the second group",
         {},
         [](Desk&) {
             return std::vector<Command>{{"setxkbmap", "-layout", "ru,us"}};
         },
         {0, 1}},
        {"Num Lock moved from Mod2 to Mod3 and on",
         {},
         [](Desk&) {
             return std::vector<Command>{{"xmodmap", "-e", "clear mod2", "-e", "add mod3 = Num_Lock"}};
         },
         {0},
         Mod3Mask},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Desk desk("", c.before);
        ASSERT_TRUE(desk.console.ready()) << desk.console.process.err();
        const KeyCode oldY = desk.key("y");
        for (const Command& command : c.change(desk)) run(desk.server, command);
        const KeyCode newY = desk.key("y");
        ASSERT_NE(newY, 0);
        const auto toggle = desk.combo({"Control_L", "Alt_L"}, newY);
        if (c.numLock) {
            pressCodes(desk.dpy(), {desk.key("Num_Lock")});
            ASSERT_TRUE(waitUntil(desk.dpy(), [&] {
                XkbStateRec state{};
                return XkbGetState(desk.dpy(), XkbUseCoreKbd, &state) == Success &&
                       (state.locked_mods & c.numLock);
            }));
        }
        for (unsigned group : c.groups) {
            SCOPED_TRACE("group " + std::to_string(group + 1));
            ASSERT_TRUE(lockGroup(desk.dpy(), group));
            ASSERT_TRUE(desk.pressUntilShown(toggle, kCtrlAlt | c.numLock)) << desk.console.process.err();
            pressCodes(desk.dpy(), toggle);
            ASSERT_TRUE(waitUntil(desk.dpy(), [&] { return desk.hidden(); }));
        }
        // The key that typed y before is an ordinary key now.
        if (oldY != newY) {
            EXPECT_TRUE(desk.reachesTheProgram(desk.combo({"Control_L", "Alt_L"}, oldY), kCtrlAlt));
        }
        EXPECT_TRUE(desk.reachesTheProgram({newY}, c.numLock));
        EXPECT_TRUE(desk.console.process.running());
        EXPECT_EQ(desk.console.process.err(), "");
    }
}

// A keysym typed with Shift is grabbed with Shift: the hotkey fires with
// it, and the key without Shift is left to the program.
TEST(Hotkeys, ShiftedKeysymsFireWithShiftAndLeaveTheUnshiftedKeyAlone) {
    struct Case {
        const char* spec;
        const char* modifier;
        unsigned mask;
        const char* key;
    } cases[] = {
        {"Control+Y", "Control_L", ControlMask, "y"},
        {"Control+exclam", "Control_L", ControlMask, "1"},
        {"Win+question", "Super_L", Mod4Mask, "slash"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.spec);
        Desk desk(std::string("dropcon.toggleKey: ") + c.spec + "\n");
        ASSERT_TRUE(desk.console.ready()) << desk.console.process.err();
        const KeyCode key = desk.key(c.key);
        for (int cycle = 0; cycle < 2; ++cycle) {
            EXPECT_TRUE(desk.reachesTheProgram(desk.combo({c.modifier}, key), c.mask));
            pressCodes(desk.dpy(), desk.combo({c.modifier, "Shift_L"}, key));
            ASSERT_TRUE(waitUntil(desk.dpy(), [&] { return desk.shown(); }));
            pressCodes(desk.dpy(), desk.combo({c.modifier, "Shift_L"}, key));
            ASSERT_TRUE(waitUntil(desk.dpy(), [&] { return desk.hidden(); }));
        }
        EXPECT_EQ(desk.log.presses(key, c.mask | ShiftMask), 0);
        EXPECT_EQ(desk.console.process.err(), "");
    }
}

// What start-up says about hotkeys that the keyboard map makes hard to have.
TEST(Hotkeys, KeysymOnlyTypedWithAltGrIsRefusedWithOneLine) {
    Desk desk("dropcon.keyFull: Alt+at\n", {{"setxkbmap", "de"}});
    ASSERT_TRUE(desk.console.ready()) << desk.console.process.err();
    EXPECT_EQ(desk.console.process.err(),
              "dropcon: keyFull: \"Alt+at\" is typed only with AltGr; not grabbed\n");
    // The other hotkeys work as ever; the key with @ on its third level is
    // not taken, shown or hidden.
    const KeyCode q = desk.key("q");
    EXPECT_TRUE(desk.reachesTheProgram(desk.combo({"Alt_L"}, q), Mod1Mask));
    ASSERT_TRUE(desk.pressUntilShown(desk.combo({"Control_L", "Alt_L"}, desk.key("y")), kCtrlAlt));
}

// The size keys and keyFull belong to the focused program while the console
// is hidden and to the console while it is shown, show after show, and
// after the keyboard map changed while it was hidden.
TEST(Hotkeys, SizeKeysReachTheProgramWhileHiddenAndActWhileShown) {
    Desk desk("dropcon.consoleHeight: 5\n");
    ASSERT_TRUE(desk.console.ready()) << desk.console.process.err();
    Console& c = desk.console;
    const int row = c.rowHeight(), height = c.terminal().height, screen = desk.server.height();
    const KeyCode y = desk.key("y");
    const auto bigger = desk.combo({"Control_L"}, desk.key("KP_Add"));
    const auto smaller = desk.combo({"Control_L"}, desk.key("KP_Subtract"));
    const auto full = desk.combo({"Alt_L"}, desk.key("F11"));
    const auto toggle = desk.combo({"Control_L", "Alt_L"}, y);
    auto sizePresses = [&] {
        return desk.log.presses(bigger.back(), ControlMask) + desk.log.presses(smaller.back(), ControlMask) +
               desk.log.presses(full.back(), Mod1Mask);
    };
    const std::string lost = "dropcon: toggleKey: no key for \"y\" on this keyboard\n";
    const std::string yKey = "keycode " + std::to_string(y);
    struct Cycle {
        const char* what;
        bool mapChange;  // y taken off its key and put back while hidden
    } cycles[] = {
        {"first show", false}, {"second show", false}, {"map changed", true}, {"changed again", true}};
    int losses = 0;
    for (const Cycle& cycle : cycles) {
        SCOPED_TRACE(cycle.what);
        if (cycle.mapChange) {
            // The warning tells that the console has read the change.
            run(desk.server, {"xmodmap", "-e", yKey + " = NoSymbol"});
            ++losses;
            ASSERT_TRUE(waitUntil(desk.dpy(), [&] { return count(c.process.err(), lost) == losses; }))
                << c.process.err();
        }
        EXPECT_TRUE(desk.reachesTheProgram(bigger, ControlMask));
        EXPECT_TRUE(desk.reachesTheProgram(smaller, ControlMask));
        EXPECT_TRUE(desk.reachesTheProgram(full, Mod1Mask));
        EXPECT_EQ(c.terminal().height, height);
        if (cycle.mapChange) {
            // y is back: the toggle key gets its grab back, the size keys not yet.
            run(desk.server, {"xmodmap", "-e", yKey + " = y Y"});
            ASSERT_TRUE(desk.pressUntilShown(toggle, kCtrlAlt)) << c.process.err();
        } else {
            pressCodes(desk.dpy(), toggle);
            ASSERT_TRUE(waitUntil(desk.dpy(), [&] { return desk.shown(); }));
        }
        const int logged = sizePresses();
        pressCodes(desk.dpy(), bigger);
        ASSERT_TRUE(waitUntil(desk.dpy(), [&] { return c.terminal().height == height + row; }));
        pressCodes(desk.dpy(), full);
        ASSERT_TRUE(waitUntil(desk.dpy(), [&] { return c.terminal().height == screen; }));
        pressCodes(desk.dpy(), full);
        pressCodes(desk.dpy(), smaller);
        ASSERT_TRUE(waitUntil(desk.dpy(), [&] { return c.terminal().height == height; }));
        pressCodes(desk.dpy(), toggle);
        ASSERT_TRUE(waitUntil(desk.dpy(), [&] { return desk.hidden(); }));
        EXPECT_EQ(sizePresses(), logged) << "a size key pressed while shown reached the program";
    }
    EXPECT_EQ(count(c.process.err(), lost), 2);
    EXPECT_EQ(c.process.err(), lost + lost);
}

// Another client holds keyFull: start-up says so once, and the shows that
// grab the size keys again say nothing more; the other size keys work.
TEST(Hotkeys, KeyFullHeldByAnotherClientIsReportedOnceOverManyShows) {
    Display* other = nullptr;
    Desk desk("", {}, [&](XServer& server) {
        other = server.connect();
        XGrabKey(other, XKeysymToKeycode(other, XK_F11), Mod1Mask, DefaultRootWindow(other), True,
                 GrabModeAsync, GrabModeAsync);
        XSync(other, False);
    });
    Console& c = desk.console;
    ASSERT_TRUE(c.ready()) << c.process.err();
    const std::string message =
        "10  XError caught\ndropcon: keyFull: \"Alt+F11\" is held by another client\n";
    EXPECT_EQ(c.process.err(), message);
    const int height = c.terminal().height, row = c.rowHeight();
    for (int show = 0; show < 4; ++show) {
        SCOPED_TRACE("show " + std::to_string(show + 1));
        pressKeys(desk.dpy(), {"Control_L", "Alt_L", "y"});
        ASSERT_TRUE(waitUntil(desk.dpy(), [&] { return desk.shown(); }));
        pressKeys(desk.dpy(), {"Control_L", "KP_Add"});
        ASSERT_TRUE(waitUntil(desk.dpy(), [&] { return c.terminal().height == height + row; }));
        pressKeys(desk.dpy(), {"Control_L", "KP_Subtract"});
        ASSERT_TRUE(waitUntil(desk.dpy(), [&] { return c.terminal().height == height; }));
        pressKeys(desk.dpy(), {"Control_L", "Alt_L", "y"});
        ASSERT_TRUE(waitUntil(desk.dpy(), [&] { return desk.hidden(); }));
    }
    EXPECT_EQ(c.process.err(), message);
    XCloseDisplay(other);
}

// Hotkeys that share one key: with the toggle key among them only the
// toggle acts, and the hide never lets the toggle's combination go;
// without it, every size key on it applies, in order.
TEST(Hotkeys, SeveralHotkeysOnOneKey) {
    struct Case {
        const char* name;
        std::string resources;
        bool toggles;
    } cases[] = {
        {"all four on Control+F5",
         "dropcon.toggleKey: Control+F5\ndropcon.keySmaller: Control+F5\ndropcon.keyBigger: Control+F5\n"
         "dropcon.keyFull: Control+F5\n",
         true},
        {"the three size keys on Alt+F11",
         "dropcon.keySmaller: Alt+F11\ndropcon.keyBigger: Alt+F11\ndropcon.keyFull: Alt+F11\n", false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Desk desk(k.resources);
        ASSERT_TRUE(desk.console.ready()) << desk.console.process.err();
        Console& c = desk.console;
        const int height = c.terminal().height;
        const auto shared =
            desk.combo({k.toggles ? "Control_L" : "Alt_L"}, desk.key(k.toggles ? "F5" : "F11"));
        const auto toggle = desk.combo({"Control_L", "Alt_L"}, desk.key("y"));
        for (int cycle = 0; cycle < 3; ++cycle) {
            if (k.toggles) {
                pressCodes(desk.dpy(), shared);
                ASSERT_TRUE(waitUntil(desk.dpy(), [&] { return desk.shown(); }));
                pressCodes(desk.dpy(), shared);
                ASSERT_TRUE(waitUntil(desk.dpy(), [&] { return desk.hidden(); }));
                EXPECT_EQ(c.terminal().height, height);
                continue;
            }
            EXPECT_TRUE(desk.reachesTheProgram(shared, Mod1Mask));
            pressCodes(desk.dpy(), toggle);
            ASSERT_TRUE(waitUntil(desk.dpy(), [&] { return desk.shown(); }));
            // Full-screen, a row more and a row less: the screen's height.
            pressCodes(desk.dpy(), shared);
            ASSERT_TRUE(waitUntil(desk.dpy(), [&] { return c.terminal().height == desk.server.height(); }));
            pressCodes(desk.dpy(), shared);
            ASSERT_TRUE(waitUntil(desk.dpy(), [&] { return c.terminal().height == height; }));
            pressCodes(desk.dpy(), toggle);
            ASSERT_TRUE(waitUntil(desk.dpy(), [&] { return desk.hidden(); }));
        }
        EXPECT_EQ(desk.log.presses(shared.back(), k.toggles ? ControlMask : Mod1Mask), k.toggles ? 0 : 3);
        EXPECT_EQ(c.process.err(), "");
    }
}
