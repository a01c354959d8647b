// The state record, the X error handler, the settings and the hotkey grabs.
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <ctime>

#include "startup/dropcon.h"
#include "startup/parse.h"

ConsoleState console;
LoopState loop;

// How many X errors have been reported so far.
static unsigned long xErrors = 0;

int onXError(Display*, XErrorEvent* error) {
    // Every protocol error is reported and otherwise ignored: the request
    // that failed simply has no effect, and the console goes on.
    std::fprintf(stderr, "%d  XError caught\n", error->error_code);
    ++xErrors;
    return 0;
}

long long monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

static unsigned findNumLockMask() {
    XModifierKeymap* map = XGetModifierMapping(console.display);
    if (!map) return 0;
    unsigned mask =
        numLockMaskFrom(map->modifiermap, map->max_keypermod, XKeysymToKeycode(console.display, XK_Num_Lock));
    XFreeModifiermap(map);
    return mask;
}

static const char* resource(const char* key) { return XGetDefault(console.display, console.progName, key); }

static int intSetting(const char* key, int fallback, int lowest, int highest) {
    return std::clamp(settingInt(resource(key), fallback), lowest, highest);
}

void readSettings() {
    unsigned numLockMask = findNumLockMask();

    // Values that make no geometric sense are raised to the least that
    // works, so the console never turns into an invisible zero-size window
    // and a negative pause never becomes an hour-long sleep.
    console.screenWidth =
        intSetting("screenWidth", DisplayWidth(console.display, console.screen), 1, kMaxExtent);
    const char* color = resource("handleColor");
    console.handleColor = color ? color : "grey70";
    console.handleWidth = intSetting("handleWidth", 3, 0, kMaxExtent - 1);
    console.consoleHeight = intSetting("consoleHeight", 10, 1, kMaxExtent);
    console.xOffset = intSetting("xOffset", 0, -kMaxExtent - 1, kMaxExtent);
    console.aniDelay = intSetting("aniDelay", 40, 0, INT_MAX);
    console.stepSize = settingInt(resource("stepSize"), 1);
    console.restart = settingInt(resource("restart"), 0);
    console.refocus = settingInt(resource("refocus"), 0);
    const char* term = resource("term");
    console.term = term ? term : "xterm";

    auto hotkey = [&](const char* key, const char* fallback) {
        const char* spec = resource(key);
        return grabHotkey(key, spec ? spec : fallback, numLockMask);
    };
    console.toggleKeysym = hotkey("toggleKey", "ControlAlt+y");
    console.smallerKeysym = hotkey("keySmaller", "Control+KP_Subtract");
    console.biggerKeysym = hotkey("keyBigger", "Control+KP_Add");
    console.fullKeysym = hotkey("keyFull", "Alt+F11");
}

KeySym grabHotkey(const char* resourceName, const char* spec, unsigned numLockMask) {
    Hotkey hotkey = parseHotkey(spec);
    KeySym keysym = XStringToKeysym(hotkey.keyName.c_str());
    if (keysym == NoSymbol) {
        std::fprintf(stderr, "%s: %s: no key named \"%s\"\n", console.progName, resourceName,
                     hotkey.keyName.c_str());
        return NoSymbol;
    }
    // Keycode 0 is AnyKey to XGrabKey: grabbing it would take every key of
    // the keyboard, so a keysym this keyboard cannot type is not grabbed.
    KeyCode keycode = XKeysymToKeycode(console.display, keysym);
    if (keycode == 0) {
        std::fprintf(stderr, "%s: %s: no key for \"%s\" on this keyboard\n", console.progName, resourceName,
                     hotkey.keyName.c_str());
        return NoSymbol;
    }
    const unsigned long errorsBefore = xErrors;
    for (unsigned mask : grabMasks(hotkey.mask, numLockMask))
        XGrabKey(console.display, keycode, mask, console.root, True, GrabModeAsync, GrabModeAsync);
    // A refused grab (another client holds the key) is reported by the
    // error handler by its code alone; say once which hotkey it was.
    XSync(console.display, False);
    if (xErrors != errorsBefore)
        std::fprintf(stderr, "%s: %s: \"%s\" is held by another client\n", console.progName, resourceName,
                     spec);
    return keysym;
}
