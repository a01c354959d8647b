// End-to-end tests of the hotkeys: their grabs, layout changes at run time, shifted keysyms.
#include <gtest/gtest.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <signal.h>

#include <string>
#include <vector>

#include "tests/support/scene.h"

using namespace xt;

namespace {

bool lockGroup(Display* dpy, unsigned group) {
    XkbLockGroup(dpy, XkbUseCoreKbd, group);
    return waitUntil(dpy, [&] {
        XkbStateRec state{};
        return XkbGetState(dpy, XkbUseCoreKbd, &state) == Success && state.group == group;
    });
}

// xmodmap's swap of the keys that type y and z.
Command swapYAndZ(const Scene& s) {
    const std::string y = std::to_string(s.key("y")), z = std::to_string(s.key("z"));
    return {"xmodmap", "-e", "keycode " + y + " = z Z", "-e", "keycode " + z + " = y Y"};
}

}  // namespace

TEST(Hotkeys, AreGrabbedWithCapsLockAndNumLockVariants) {
    Scene s;
    Console& console = s.c();
    ASSERT_TRUE(s.ready()) << console.process.err();
    Display* dpy = s.dpy();
    const std::tuple<KeySym, unsigned, bool> keys[] = {{XK_y, ControlMask | Mod1Mask, false},
                                                       {XK_KP_Subtract, ControlMask, true},
                                                       {XK_KP_Add, ControlMask, true},
                                                       {XK_F11, Mod1Mask, true}};
    // The toggle key always; the size keys only while the console is shown.
    auto check = [&](bool shown) {
        for (const auto& [sym, modifiers, sizeKey] : keys) {
            const int expected = !sizeKey || shown ? BadAccess : 0;
            // Xvfb's keyboard map has Num Lock on Mod2.
            for (unsigned mask :
                 {modifiers, modifiers | LockMask, modifiers | Mod2Mask, modifiers | Mod2Mask | LockMask})
                EXPECT_EQ(tryGrab(dpy, sym, mask), expected)
                    << XKeysymToString(sym) << " mask " << mask << (shown ? " shown" : " hidden");
            // Other modifier combinations stay free for other clients.
            EXPECT_EQ(tryGrab(dpy, sym, ShiftMask | modifiers), 0) << XKeysymToString(sym);
        }
        EXPECT_EQ(tryGrab(dpy, XK_y, ControlMask), 0);
    };
    check(false);
    ASSERT_TRUE(s.show());
    check(true);
    ASSERT_TRUE(s.hide());
    check(false);
}

TEST(Hotkeys, UnknownKeyNameIsReportedAndNotGrabbed) {
    Scene s({.resources = "dropcon.keySmaller: Control+Foo\ndropcon.keyFull: Alt+\n"});
    Console& console = s.c();
    ASSERT_TRUE(s.ready()) << console.process.err();
    EXPECT_EQ(console.process.err(),
              "dropcon: keySmaller: no key named \"Foo\"\ndropcon: keyFull: no key named \"\"\n");
    Display* dpy = s.dpy();
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
    ASSERT_TRUE(s.show());
    othersFree();
    EXPECT_EQ(tryGrab(dpy, XK_KP_Add, ControlMask), BadAccess);
    EXPECT_TRUE(console.process.running());
}

TEST(Hotkeys, HotkeyHeldByAnotherClientIsReportedAndStartupGoesOn) {
    Scene s({.setUp = [](XServer& server) {
        Display* dpy = server.dpy();
        XGrabKey(dpy, XKeysymToKeycode(dpy, XK_y), kCtrlAlt, server.root(), True, GrabModeAsync,
                 GrabModeAsync);
        XSync(dpy, False);
    }});
    Console& console = s.c();
    ASSERT_TRUE(s.ready()) << console.process.err();
    EXPECT_EQ(console.process.err(),
              "10  XError caught\ndropcon: toggleKey: \"ControlAlt+y\" is held by another client\n");
}

// The toggle key goes where y goes: the key that types y now toggles, the
// one that typed it before reaches the focused program; in every group.
TEST(Hotkeys, FollowTheKeyThatTypesTheirKeysymInEveryGroup) {
    struct Case {
        const char* name;
        std::vector<Command> before, after;  // before the console starts, after
        std::vector<unsigned> groups;
        unsigned numLock = 0;    // the modifier Num Lock is moved to, locked on for the presses
        bool swapYAndZ = false;  // after start-up
    } cases[] = {
        {"setxkbmap de after start-up", {}, {{"setxkbmap", "de"}}, {0}},
        {"xmodmap swaps y and z", {}, {}, {0}, 0, true},
        {"us,ru with a group switch key, both groups",
         {{"setxkbmap", "-layout", "us,ru", "-option", "grp:alt_shift_toggle"}},
         {},
         {1, 0}},
        {"ru,us after start-up: y only in the second group", {}, {{"setxkbmap", "-layout", "ru,us"}}, {0, 1}},
        {"Num Lock moved from Mod2 to Mod3 and on",
         {},
         {{"xmodmap", "-e", "clear mod2", "-e", "add mod3 = Num_Lock"}},
         {0},
         Mod3Mask},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scene desk({.resources = "dropcon.stepSize: 0\n", .before = c.before});
        ASSERT_TRUE(desk.ready()) << desk.c().process.err();
        const KeyCode oldY = desk.key("y");
        if (c.swapYAndZ) run(desk.server, swapYAndZ(desk));
        for (const Command& command : c.after) run(desk.server, command);
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
            ASSERT_TRUE(desk.pressUntilShown(toggle, kCtrlAlt | c.numLock)) << desk.c().process.err();
            ASSERT_TRUE(desk.hide(toggle));
        }
        // The key that typed y before is an ordinary key now.
        if (oldY != newY) {
            EXPECT_TRUE(desk.reachesTheProgram(desk.combo({"Control_L", "Alt_L"}, oldY), kCtrlAlt));
        }
        EXPECT_TRUE(desk.reachesTheProgram({newY}, c.numLock));
        EXPECT_TRUE(desk.c().process.running());
        EXPECT_EQ(desk.c().process.err(), "");
    }
}

// A press queued between two map changes (the console busy, here stopped)
// was made under the map before the second: it still toggles, and the key
// that types y after the second one toggles from then on. The first change,
// of the pointer's map, is one the console has nothing to do for.
TEST(Hotkeys, APressQueuedBetweenMapChangesCountsUnderTheMapItWasMadeIn) {
    Scene desk({.resources = "dropcon.stepSize: 0\n"});
    ASSERT_TRUE(desk.ready()) << desk.c().process.err();
    Display* dpy = desk.dpy();
    // XTEST's keyboard becomes the one in use, and the console hears of it
    // now: a notice of that change would otherwise come before the press.
    ASSERT_TRUE(desk.show());
    ASSERT_TRUE(desk.hide());
    const KeyCode y = desk.key("y"), z = desk.key("z");
    const pid_t console = desk.c().process.pid();
    ASSERT_EQ(kill(console, SIGSTOP), 0);
    unsigned char buttons[256];
    XSetPointerMapping(dpy, buttons, XGetPointerMapping(dpy, buttons, 256));  // the same map, noticed
    pressCodes(dpy, desk.combo({"Control_L", "Alt_L"}, y));
    run(desk.server, swapYAndZ(desk));
    ASSERT_EQ(kill(console, SIGCONT), 0);
    EXPECT_TRUE(waitUntil(dpy, [&] { return desk.shown(); })) << desk.state();
    EXPECT_TRUE(desk.hide(desk.combo({"Control_L", "Alt_L"}, z))) << desk.state();
    EXPECT_EQ(desk.c().process.err(), "");
}

// A keysym typed with Shift is grabbed with Shift: the hotkey fires with
// it, and the key without Shift is left to the program.
TEST(Hotkeys, ShiftedKeysymsFireWithShiftAndLeaveTheUnshiftedKeyAlone) {
    const std::tuple<const char*, const char*, unsigned, const char*> cases[] = {
        {"Control+Y", "Control_L", ControlMask, "y"},
        {"Control+exclam", "Control_L", ControlMask, "1"},
        {"Win+question", "Super_L", Mod4Mask, "slash"},
    };
    for (const auto& [spec, modifier, mask, keyName] : cases) {
        SCOPED_TRACE(spec);
        Scene desk({.resources = std::string("dropcon.stepSize: 0\ndropcon.toggleKey: ") + spec + "\n"});
        ASSERT_TRUE(desk.ready()) << desk.c().process.err();
        const KeyCode key = desk.key(keyName);
        for (int cycle = 0; cycle < 2; ++cycle) {
            EXPECT_TRUE(desk.reachesTheProgram(desk.combo({modifier}, key), mask));
            ASSERT_TRUE(desk.show(desk.combo({modifier, "Shift_L"}, key)));
            ASSERT_TRUE(desk.hide(desk.combo({modifier, "Shift_L"}, key)));
        }
        EXPECT_EQ(desk.a().presses(key, mask | ShiftMask), 0);
        EXPECT_EQ(desk.c().process.err(), "");
    }
}

// What start-up says about hotkeys that the keyboard map makes hard to have.
TEST(Hotkeys, KeysymOnlyTypedWithAltGrIsRefusedWithOneLine) {
    Scene desk(
        {.resources = "dropcon.stepSize: 0\ndropcon.keyFull: Alt+at\n", .before = {{"setxkbmap", "de"}}});
    ASSERT_TRUE(desk.ready()) << desk.c().process.err();
    EXPECT_EQ(desk.c().process.err(), "dropcon: keyFull: \"Alt+at\" is typed only with AltGr; not grabbed\n");
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
    Scene desk({.resources = "dropcon.stepSize: 0\ndropcon.consoleHeight: 5\n"});
    ASSERT_TRUE(desk.ready()) << desk.c().process.err();
    Console& c = desk.c();
    const int row = c.rowHeight(), height = c.terminal().height, screen = desk.server.height();
    const KeyCode y = desk.key("y");
    const auto bigger = desk.combo({"Control_L"}, desk.key("KP_Add"));
    const auto smaller = desk.combo({"Control_L"}, desk.key("KP_Subtract"));
    const auto full = desk.combo({"Alt_L"}, desk.key("F11"));
    const auto toggle = desk.combo({"Control_L", "Alt_L"}, y);
    auto sizePresses = [&] {
        return desk.a().presses(bigger.back(), ControlMask) + desk.a().presses(smaller.back(), ControlMask) +
               desk.a().presses(full.back(), Mod1Mask);
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
            ASSERT_TRUE(waitUntil(desk.dpy(), [&] { return occurrences(c.process.err(), lost) == losses; }))
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
            ASSERT_TRUE(desk.show(toggle));
        }
        const int logged = sizePresses();
        ASSERT_TRUE(desk.resize(bigger, height + row));
        ASSERT_TRUE(desk.resize(full, screen));
        pressCodes(desk.dpy(), full);
        ASSERT_TRUE(desk.resize(smaller, height));
        ASSERT_TRUE(desk.hide(toggle));
        EXPECT_EQ(sizePresses(), logged) << "a size key pressed while shown reached the program";
    }
    EXPECT_EQ(occurrences(c.process.err(), lost), 2);
    EXPECT_EQ(c.process.err(), lost + lost);
}

// Another client holds keyFull: start-up says so once, and the shows that
// grab the size keys again say nothing more; the other size keys work.
TEST(Hotkeys, KeyFullHeldByAnotherClientIsReportedOnceOverManyShows) {
    Display* other = nullptr;
    Scene desk({.resources = "dropcon.stepSize: 0\n", .setUp = [&](XServer& server) {
                    other = server.connect();
                    XGrabKey(other, XKeysymToKeycode(other, XK_F11), Mod1Mask, DefaultRootWindow(other), True,
                             GrabModeAsync, GrabModeAsync);
                    XSync(other, False);
                }});
    Console& c = desk.c();
    ASSERT_TRUE(c.ready()) << c.process.err();
    const std::string message =
        "10  XError caught\ndropcon: keyFull: \"Alt+F11\" is held by another client\n";
    EXPECT_EQ(c.process.err(), message);
    const int height = c.terminal().height, row = c.rowHeight();
    for (int show = 0; show < 4; ++show) {
        SCOPED_TRACE("show " + std::to_string(show + 1));
        ASSERT_TRUE(desk.show());
        ASSERT_TRUE(desk.resize(kBigger, height + row));
        ASSERT_TRUE(desk.resize(kSmaller, height));
        ASSERT_TRUE(desk.hide());
    }
    EXPECT_EQ(c.process.err(), message);
    XCloseDisplay(other);
}

// Hotkeys that share one key: with the toggle key among them only the
// toggle acts, and the hide never lets the toggle's combination go;
// without it, every size key on it applies, in order.
TEST(Hotkeys, SeveralHotkeysOnOneKey) {
    const std::tuple<const char*, std::string, bool> cases[] = {
        {"all four on Control+F5",
         "dropcon.toggleKey: Control+F5\ndropcon.keySmaller: Control+F5\ndropcon.keyBigger: Control+F5\n"
         "dropcon.keyFull: Control+F5\n",
         true},
        {"the three size keys on Alt+F11",
         "dropcon.keySmaller: Alt+F11\ndropcon.keyBigger: Alt+F11\ndropcon.keyFull: Alt+F11\n", false},
    };
    for (const auto& [name, resources, toggles] : cases) {
        SCOPED_TRACE(name);
        Scene desk({.resources = "dropcon.stepSize: 0\n" + resources});
        ASSERT_TRUE(desk.ready()) << desk.c().process.err();
        Console& c = desk.c();
        const int height = c.terminal().height;
        const auto shared = desk.combo({toggles ? "Control_L" : "Alt_L"}, desk.key(toggles ? "F5" : "F11"));
        const auto toggle = desk.combo({"Control_L", "Alt_L"}, desk.key("y"));
        for (int cycle = 0; cycle < 3; ++cycle) {
            if (toggles) {
                ASSERT_TRUE(desk.show(shared));
                ASSERT_TRUE(desk.hide(shared));
                EXPECT_EQ(c.terminal().height, height);
                continue;
            }
            EXPECT_TRUE(desk.reachesTheProgram(shared, Mod1Mask));
            ASSERT_TRUE(desk.show(toggle));
            // Full-screen, a row more and a row less: the screen's height.
            ASSERT_TRUE(desk.resize(shared, desk.server.height()));
            ASSERT_TRUE(desk.resize(shared, height));
            ASSERT_TRUE(desk.hide(toggle));
        }
        EXPECT_EQ(desk.a().presses(shared.back(), toggles ? ControlMask : Mod1Mask), toggles ? 0 : 3);
        EXPECT_EQ(c.process.err(), "");
    }
}
