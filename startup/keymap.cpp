// Pure hotkey pieces: where a keysym sits in the keyboard map, its grab modifiers, key press matching.
#include "startup/keymap.h"

#include <X11/X.h>

#include <cstddef>

KeyGrab grabFor(const KeyTable& table, KeySym keysym, unsigned mask) {
    KeyGrab grab;
    if (keysym == NoSymbol) return grab;
    size_t groups = 0, levels = 0;
    for (const auto& key : table.keys) {
        if (key.size() > groups) groups = key.size();
        for (const auto& group : key)
            if (group.size() > levels) levels = group.size();
    }
    for (size_t level = 0; level < levels; ++level)
        for (size_t group = 0; group < groups; ++group)
            for (size_t i = 0; i < table.keys.size(); ++i) {
                const auto& key = table.keys[i];
                if (group >= key.size() || level >= key[group].size() || key[group][level] != keysym)
                    continue;
                const int keycode = table.minKeycode + static_cast<int>(i);
                if (keycode < 1 || keycode > 255) continue;  // keycode 0 would be AnyKey
                if (level >= 2) {
                    grab.thirdLevel = true;
                    return grab;
                }
                grab.keycode = static_cast<KeyCode>(keycode);
                grab.mask = level == 1 ? mask | ShiftMask : mask;
                return grab;
            }
    return grab;
}

bool hotkeyMatches(const HotkeyGrab& hotkey, unsigned keycode, unsigned state, unsigned numLockMask) {
    if (hotkey.keycode == 0 || keycode != hotkey.keycode) return false;
    const unsigned coreModifiers = 0xff, ignored = LockMask | numLockMask;
    return (state & coreModifiers & ~ignored) == (hotkey.grabMask & coreModifiers & ~ignored);
}

bool repeatedPress(LastPress& last, unsigned keycode, Time time, bool pairedReleases) {
    const bool held = !last.released || (pairedReleases && time == last.releaseTime);
    // Server times are milliseconds in 32 bits that wrap around.
    const bool repeat = held && keycode == last.keycode && ((time - last.time) & 0xffffffffUL) < 1000;
    last = {keycode, time, false, 0};
    return repeat;
}

void noteRelease(LastPress& last, unsigned keycode, Time time) {
    if (keycode != last.keycode) return;
    last.released = true;
    last.releaseTime = time;
}
