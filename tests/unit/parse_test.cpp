// Unit tests of the start-up pieces: program name, -h, setting values, hotkeys, Num_Lock.
#include <gtest/gtest.h>

#include <X11/X.h>

#include <climits>

#include "startup/parse.h"

TEST(ProgramName, IsTheTextAfterTheLastSlash) {
    EXPECT_STREQ(programName("/usr/local/bin/abc"), "abc");
    EXPECT_STREQ(programName("abc"), "abc");
    EXPECT_STREQ(programName("./drop"), "drop");
    EXPECT_STREQ(programName("/usr/bin/"), "");
    EXPECT_STREQ(programName(nullptr), "dropcon");
}

TEST(Usage, OnlyAnExactMinusHAsksForIt) {
    const char* withH[] = {"dropcon", "-e", "top", "-h"};
    EXPECT_TRUE(asksForUsage(4, const_cast<char**>(withH)));
    const char* others[] = {"dropcon", "-help", "--h", "-hh", "h", "-H"};
    EXPECT_FALSE(asksForUsage(6, const_cast<char**>(others)));
    const char* onlyName[] = {"-h"};  // argv[0] is the program, never an option
    EXPECT_FALSE(asksForUsage(1, const_cast<char**>(onlyName)));
}

TEST(SettingInt, ReadsNumbersTheWayAtoiDoes) {
    const std::pair<const char*, int> cases[] = {{"40", 40},
                                                 {"  12", 12},
                                                 {"-40", -40},
                                                 {"+7", 7},
                                                 {"abc", 0},
                                                 {"", 0},
                                                 {"12abc", 12},
                                                 {"3.9", 3},
                                                 {"\t\n 5", 5},
                                                 {"- 5", 0},
                                                 {"0x10", 0},
                                                 {"--1", 0},
                                                 {"2147483647", INT_MAX},
                                                 {"-2147483648", INT_MIN}};
    for (const auto& [text, value] : cases) EXPECT_EQ(settingInt(text, 99), value) << '"' << text << '"';
}

TEST(SettingInt, SaturatesInsteadOfOverflowing) {
    EXPECT_EQ(settingInt("99999999999999999999999", 0), INT_MAX);
    EXPECT_EQ(settingInt("-99999999999999999999999", 0), INT_MIN);
    EXPECT_EQ(settingInt("2147483648", 0), INT_MAX);
}

TEST(SettingInt, AbsentTakesTheDefault) { EXPECT_EQ(settingInt(nullptr, 40), 40); }

TEST(SettingLength, PixelsOrAShareOfTheMonitor) {
    const std::tuple<const char*, int, int, Length> cases[] = {
        {" 80 % \t", 1, 1, {80, true}},  // blanks around
        {"12.5%", 1, 1, {12, true}},     // whole percent, as atoi reads the number
        {"150%", 1, 1, {100, true}},     // clamped into range
        {"0%", 1, 1, {1, true}},          {"-20%", -32768, 0, {0, true}}, {"80", 1, 1, {80, false}},
        {"80%x", 1, 1, {80, false}},  // a '%' not at the end: pixels, as before
        {"-40", -32768, 0, {-40, false}}, {nullptr, 1, 1, {7, false}},
    };
    for (const auto& [text, lowest, lowestPercent, length] : cases)
        EXPECT_EQ(settingLength(text, 7, lowest, 32767, lowestPercent), length)
            << '"' << (text ? text : "(absent)") << '"';
}

TEST(ParseHotkey, ModifierWordsAndKeyName) {
    const std::tuple<const char*, unsigned, const char*> cases[] = {
        {"ControlAlt+y", ControlMask | Mod1Mask, "y"},
        {"Control+KP_Subtract", ControlMask, "KP_Subtract"},
        {"Alt+F11", Mod1Mask, "F11"},
        {"None+F12", 0, "F12"},
        {"ControlNone+F12", 0, "F12"},
        {"Win+Return", Mod4Mask, "Return"},
        {"WinControl+Return", Mod4Mask | ControlMask, "Return"},
        // The words are found in the key name too.
        {"Control+Alt_R", ControlMask | Mod1Mask, "Alt_R"},
        // Without a '+' the whole text is the key name.
        {"F12", 0, "F12"},
        {"Alt", Mod1Mask, "Alt"},
        // The key name follows the last '+'.
        {"Control+Alt+plus", ControlMask | Mod1Mask, "plus"},
        {"Control+", ControlMask, ""},
        {"control+y", 0, "y"},  // case matters
        {"", 0, ""},
    };
    for (const auto& [spec, mask, key] : cases) {
        Hotkey hk = parseHotkey(spec);
        EXPECT_EQ(hk.mask, mask) << spec;
        EXPECT_EQ(hk.keyName, key) << spec;
    }
}

TEST(GrabMasks, CapsLockAlwaysNumLockWhenThereIsOne) {
    EXPECT_EQ(grabMasks(12, 0), (std::vector<unsigned>{12, 14}));
    EXPECT_EQ(grabMasks(12, Mod2Mask), (std::vector<unsigned>{12, 14, 28, 30}));
    EXPECT_EQ(grabMasks(0, Mod2Mask), (std::vector<unsigned>{0, LockMask, Mod2Mask, Mod2Mask | LockMask}));
}

TEST(NumLockMask, RowOfTheNumLockKey) {
    // Eight rows of two keycodes each; Num_Lock (77) on row 4 (Mod2).
    unsigned char map[16] = {50, 62, 66, 0, 37, 105, 64, 108, 77, 0, 0, 0, 133, 134, 0, 0};
    EXPECT_EQ(numLockMaskFrom(map, 2, 77), Mod2Mask);
    EXPECT_EQ(numLockMaskFrom(map, 2, 99), 0u);
    // Without a Num_Lock key the keycode is 0, which must not match the empty entries.
    EXPECT_EQ(numLockMaskFrom(map, 2, 0), 0u);
    EXPECT_EQ(numLockMaskFrom(map, 0, 77), 0u);
    // The last row that holds it wins.
    unsigned char twice[8] = {77, 0, 0, 0, 0, 0, 0, 77};
    EXPECT_EQ(numLockMaskFrom(twice, 1, 77), Mod5Mask);
}
