// Pure pieces of start-up: program name, usage, setting values and hotkey specifications.
#pragma once

#include <X11/X.h>

#include <string>
#include <string_view>
#include <vector>

// The usage text printed for -h; both %s are the program's name.
#define DROPCON_USAGE                                     \
    "%s:\n"                                               \
    "-e: program to execute\n"                            \
    "you can configure me via xresources:\n"              \
    "%s*foo:value\n"                                      \
    "foo can be any standard xterm/urxvt xresource or:\n" \
    "resource               default value\n"              \
    "\n"                                                  \
    "term:                  xterm\n"                      \
    "restart:               0\n"                          \
    "xOffset:               0\n"                          \
    "screenWidth:           Display width\n"              \
    "consoleHeight:         10\n"                         \
    "aniDelay:              40\n"                         \
    "stepSize;              1\n"                          \
    "toggleKey:             ControlAlt+y\n"               \
    "keySmaller:            Control+KP_Subtract\n"        \
    "keyBigger:             Control+KP_Add\n"             \
    "keyFull:               Alt+F11\n"

// The text after the last '/' of argv[0].
const char* programName(const char* argv0);

// True when any argument after argv[0] is exactly "-h".
bool asksForUsage(int argc, char* const* argv);

// An integer setting as atoi reads it (blanks, sign, digits), but saturating
// instead of overflowing; fallback when the resource is absent.
int settingInt(const char* text, int fallback);

// A size or offset setting: pixels (rows for consoleHeight), or a share in
// percent of the monitor the console comes down on.
struct Length {
    int value = 0;
    bool percent = false;
    bool operator==(const Length&) const = default;
};

// A setting whose last character but blanks is '%' is a percentage: its
// number, as settingInt reads it, clamped into lowestPercent..100. Any other
// is a number clamped into lowest..highest; fallback when absent.
Length settingLength(const char* text, int fallback, int lowest, int highest, int lowestPercent);

// The monitor resource: the pointer's monitor, the primary one, one by
// name, or the whole screen as one strip.
enum class MonitorMode { Pointer, Primary, Named, WholeScreen };

struct MonitorSetting {
    MonitorMode mode = MonitorMode::Pointer;
    std::string name;  // for Named
};

// The monitor resource's value (nullptr when absent). Without it, resource
// files that set xOffset or screenWidth in pixels were written in
// whole-screen coordinates, and keep the whole screen.
MonitorSetting parseMonitorSetting(const char* value, bool xOffsetInPixels, bool screenWidthInPixels);

struct Hotkey {
    unsigned mask = 0;
    std::string keyName;
};

// "ControlAlt+y" -> Control|Mod1 and "y". The modifier words are found
// anywhere in the text; the key name follows the last '+', or is the whole
// text when there is none.
Hotkey parseHotkey(std::string_view spec);

// The modifier combinations a hotkey is grabbed with, so that it still fires
// with Caps Lock and Num Lock on.
std::vector<unsigned> grabMasks(unsigned mask, unsigned numLockMask);

// The modifier bit of the row of the modifier map that holds numLock, or 0.
// A keycode of 0 (no Num_Lock key) never matches the empty entries.
unsigned numLockMaskFrom(const unsigned char* modifiermap, int maxKeypermod, unsigned char numLock);
