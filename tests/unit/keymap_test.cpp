// Unit tests of where a hotkey's keysym is grabbed, with which modifiers, and of matching a key press.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include "startup/keymap.h"

namespace {

// Keycodes 10 to 14: y, z, 1, a keypad key, and q with @ on its third level,
// in a us layout with a second group (Cyrillic) on some keys.
KeyTable table() {
    KeyTable t;
    t.minKeycode = 10;
    t.keys = {
        {{XK_y, XK_Y}, {XK_Cyrillic_en, XK_Cyrillic_EN}},
        {{XK_z, XK_Z}, {XK_Cyrillic_ya, XK_Cyrillic_YA}},
        {{XK_1, XK_exclam}},
        {{XK_KP_Add}},
        {{XK_q, XK_Q, XK_at, XK_Greek_OMEGA}},
    };
    return t;
}

}  // namespace

TEST(GrabFor, LevelOneWithoutShiftLevelTwoWithShiftAndAltGrRefused) {
    const unsigned ctrlAlt = ControlMask | Mod1Mask;
    struct Case {
        const char* what;
        KeySym keysym;
        unsigned mask;
        KeyCode keycode;
        unsigned grabMask;
        bool thirdLevel;
    } cases[] = {
        {"level 1 of group 1", XK_y, ctrlAlt, 10, ctrlAlt, false},
        {"level 2 adds Shift", XK_Y, ControlMask, 10, ControlMask | ShiftMask, false},
        {"shifted punctuation", XK_exclam, ControlMask, 12, ControlMask | ShiftMask, false},
        {"only in the second group", XK_Cyrillic_ya, Mod1Mask, 11, Mod1Mask, false},
        {"level 2 of the second group", XK_Cyrillic_EN, 0, 10, ShiftMask, false},
        {"a single-level key", XK_KP_Add, ControlMask, 13, ControlMask, false},
        {"third level only", XK_at, ControlMask, 0, 0, true},
        {"fourth level only", XK_Greek_OMEGA, 0, 0, 0, true},
        {"on no key", XK_F11, Mod1Mask, 0, 0, false},
        {"no keysym", NoSymbol, 0, 0, 0, false},
    };
    for (const Case& c : cases) {
        KeyGrab grab = grabFor(table(), c.keysym, c.mask);
        EXPECT_EQ(grab.keycode, c.keycode) << c.what;
        EXPECT_EQ(grab.mask, c.grabMask) << c.what;
        EXPECT_EQ(grab.thirdLevel, c.thirdLevel) << c.what;
    }
}

TEST(GrabFor, SeveralPlacesTakeTheLowestLevelThenGroupThenKeycode) {
    KeyTable t;
    t.minKeycode = 20;
    t.keys = {
        {{XK_a, XK_b, XK_c}},          // 20: b at level 2, c at level 3 of group 1
        {{XK_d, XK_e}, {XK_b, XK_B}},  // 21: b at level 1 of group 2
        {{XK_c}},                      // 22: c at level 1
        {{XK_e}},                      // 23: e at level 1, as on 24
        {{XK_e}},
    };
    EXPECT_EQ(grabFor(t, XK_b, 0).keycode, 21);  // level 1 of any group, without Shift
    EXPECT_EQ(grabFor(t, XK_b, 0).mask, 0u);
    EXPECT_EQ(grabFor(t, XK_c, 0).keycode, 22);  // a grabbable place rather than the third level
    EXPECT_FALSE(grabFor(t, XK_c, 0).thirdLevel);
    EXPECT_EQ(grabFor(t, XK_e, 0).keycode, 23);  // the lowest keycode of level 1
    EXPECT_EQ(grabFor(t, XK_e, 0).mask, 0u);
}

TEST(GrabFor, KeycodesOutsideTheProtocolRangeAreNeverTaken) {
    KeyTable t;
    t.minKeycode = 0;  // keycode 0 would be AnyKey
    t.keys = {{{XK_y}}};
    EXPECT_EQ(grabFor(t, XK_y, 0).keycode, 0);
}

TEST(HotkeyMatches, KeycodeAndGrabbedModifiersLocksGroupAndButtonsAside) {
    HotkeyGrab hotkey;
    hotkey.keycode = 29;
    hotkey.grabMask = ControlMask | Mod1Mask;
    const unsigned numLock = Mod2Mask, group2 = 1u << 13, button1 = Button1Mask;
    const std::tuple<unsigned, unsigned, bool> cases[] = {
        {29, ControlMask | Mod1Mask, true},
        {29, ControlMask | Mod1Mask | LockMask, true},
        {29, ControlMask | Mod1Mask | numLock | LockMask, true},
        {29, ControlMask | Mod1Mask | group2, true},
        {29, ControlMask | Mod1Mask | button1, true},
        {29, ControlMask | Mod1Mask | ShiftMask, false},
        {29, ControlMask, false},
        {29, ControlMask | Mod1Mask | Mod4Mask, false},
        {30, ControlMask | Mod1Mask, false},
    };
    for (const auto& [keycode, state, matches] : cases)
        EXPECT_EQ(hotkeyMatches(hotkey, keycode, state, numLock), matches)
            << "keycode " << keycode << " state " << state;
    // Without a Num Lock modifier, Mod2 is an ordinary modifier.
    EXPECT_FALSE(hotkeyMatches(hotkey, 29, ControlMask | Mod1Mask | Mod2Mask, 0));
    // A shifted keysym's hotkey wants Shift.
    hotkey.grabMask = ControlMask | ShiftMask;
    EXPECT_TRUE(hotkeyMatches(hotkey, 29, ControlMask | ShiftMask, numLock));
    EXPECT_FALSE(hotkeyMatches(hotkey, 29, ControlMask, numLock));
    // A hotkey without a key matches nothing, not even keycode 0.
    hotkey.keycode = 0;
    EXPECT_FALSE(hotkeyMatches(hotkey, 0, ControlMask | ShiftMask, numLock));
}

TEST(RepeatedPress, OnePressUntilItsKeyIsReleasedOrASecondPasses) {
    LastPress last;
    EXPECT_FALSE(repeatedPress(last, 29, 5000, false));
    EXPECT_TRUE(repeatedPress(last, 29, 5660, false));  // held: the first repeat
    noteRelease(last, 30, 5665);                        // another key's release
    EXPECT_TRUE(repeatedPress(last, 29, 5700, false));
    noteRelease(last, 29, 5750);
    EXPECT_FALSE(repeatedPress(last, 29, 5750, false));  // released and pressed again at once
    EXPECT_FALSE(repeatedPress(last, 30, 5760, false));  // another key
    EXPECT_FALSE(repeatedPress(last, 30, 6760, false));  // a release that never came
    EXPECT_FALSE(repeatedPress(last, 30, 0xffffff00UL, false));
    EXPECT_TRUE(repeatedPress(last, 30, 40, false));  // server times wrap around after 2^32 ms
    // Without XKB a repeat is a release and a press with one time.
    noteRelease(last, 30, 80);
    EXPECT_TRUE(repeatedPress(last, 30, 80, true));
    noteRelease(last, 30, 120);
    EXPECT_FALSE(repeatedPress(last, 30, 121, true));
}
