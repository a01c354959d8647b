// The settings: every X resource under the program's name, read once at start-up.
#include <X11/Xlib.h>

#include <algorithm>
#include <climits>

#include "startup/dropcon.h"

static const char* resource(const char* key) { return XGetDefault(console.display, console.progName, key); }

// Pixels (rows for consoleHeight) or, ending in %, a share of the monitor.
static Length lengthSetting(const char* key, int fallback, int lowest, int highest, int lowestPercent) {
    return settingLength(resource(key), fallback, lowest, highest, lowestPercent);
}

static const char* textSetting(const char* key, const char* fallback) {
    const char* text = resource(key);
    return text ? text : fallback;
}

static int intSetting(const char* key, int fallback, int lowest, int highest) {
    return std::clamp(settingInt(resource(key), fallback), lowest, highest);
}

void readSettings() {
    // Values that make no geometric sense are raised to the least that
    // works, so the console never turns into an invisible zero-size window
    // and a negative pause never becomes an hour-long sleep.
    // Absent, the width is all of the monitor's (the screen's in screen
    // mode), and follows it when it changes.
    console.screenWidth = resource("screenWidth") ? lengthSetting("screenWidth", kMaxExtent, 1, kMaxExtent, 1)
                                                  : Length{100, true};
    console.handleColor = textSetting("handleColor", "grey70");
    console.handleWidth = intSetting("handleWidth", 3, 0, kMaxExtent - 1);
    console.consoleHeight = lengthSetting("consoleHeight", 10, 1, kMaxExtent, 1);
    console.xOffset = lengthSetting("xOffset", 0, -kMaxExtent - 1, kMaxExtent, 0);
    console.aniDelay = intSetting("aniDelay", 40, 0, INT_MAX);
    console.stepSize = settingInt(resource("stepSize"), 1);
    console.restart = settingInt(resource("restart"), 0);
    console.refocus = settingInt(resource("refocus"), 0);
    console.belowPanels = settingInt(resource("belowPanels"), 0);
    console.term = textSetting("term", "xterm");
    // A share of the monitor keeps the console on a monitor.
    auto inPixels = [](const char* key, Length length) { return resource(key) && !length.percent; };
    console.monitor = parseMonitorSetting(resource("monitor"), inPixels("xOffset", console.xOffset),
                                          inPixels("screenWidth", console.screenWidth));

    auto hotkey = [](const char* name, const char* fallback, HotkeyGrab& key) {
        key.resource = name;
        key.spec = textSetting(name, fallback);
    };
    hotkey("toggleKey", "ControlAlt+y", console.toggleKey);
    hotkey("keySmaller", "Control+KP_Subtract", console.keySmaller);
    hotkey("keyBigger", "Control+KP_Add", console.keyBigger);
    hotkey("keyFull", "Alt+F11", console.keyFull);
    grabHotkeys();
}
