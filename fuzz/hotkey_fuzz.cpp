// Fuzz target: hotkey specifications, grab modifiers and keys in any map, Num_Lock scan, press matching.
#include <X11/X.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/check.h"
#include "startup/keymap.h"
#include "startup/parse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int maxKeypermod = in.ConsumeIntegralInRange(0, 8);
    std::vector<unsigned char> modifiermap = in.ConsumeBytes<unsigned char>(8 * maxKeypermod);
    modifiermap.resize(8 * maxKeypermod);
    const auto numLockKey = in.ConsumeIntegral<unsigned char>();
    // A small keyboard map of keysyms 0..7 (0 is NoSymbol), and one of them.
    KeyTable table;
    table.minKeycode = in.ConsumeIntegralInRange(0, 250);
    table.keys.resize(in.ConsumeIntegralInRange(0, 8));
    for (auto& key : table.keys) {
        key.resize(in.ConsumeIntegralInRange(0, 4));
        for (auto& group : key) {
            group.resize(in.ConsumeIntegralInRange(0, 5));
            for (KeySym& sym : group) sym = in.ConsumeIntegralInRange(0, 7);
        }
    }
    const KeySym keysym = in.ConsumeIntegralInRange(0, 7);
    const unsigned state = in.ConsumeIntegral<uint16_t>();
    const std::string spec = in.ConsumeRemainingBytesAsString();

    Hotkey hotkey = parseHotkey(spec);
    const unsigned modifiers = ControlMask | Mod1Mask | Mod4Mask;
    FUZZ_CHECK((hotkey.mask & ~modifiers) == 0);
    if (spec.find("None") != std::string::npos) FUZZ_CHECK(hotkey.mask == 0);
    if (spec.find("Control") == std::string::npos) FUZZ_CHECK(!(hotkey.mask & ControlMask));
    // The key name is what follows the last '+', or everything.
    FUZZ_CHECK(hotkey.keyName.find('+') == std::string::npos);
    FUZZ_CHECK(hotkey.keyName.size() <= spec.size());
    FUZZ_CHECK(spec.compare(spec.size() - hotkey.keyName.size(), std::string::npos, hotkey.keyName) == 0);
    if (hotkey.keyName.size() < spec.size()) FUZZ_CHECK(spec[spec.size() - hotkey.keyName.size() - 1] == '+');

    unsigned numLockMask = numLockMaskFrom(modifiermap.data(), maxKeypermod, numLockKey);
    // One modifier bit or none; the row it names holds the key, no later row does.
    FUZZ_CHECK(numLockMask < 256 && (numLockMask & (numLockMask - 1)) == 0);
    auto rowHolds = [&](int row) {
        auto first = modifiermap.begin() + row * maxKeypermod;
        return std::find(first, first + maxKeypermod, numLockKey) != first + maxKeypermod;
    };
    if (numLockKey == 0) FUZZ_CHECK(numLockMask == 0);
    for (int row = 0; row < 8 && numLockKey != 0; ++row) {
        if (numLockMask == (1u << row)) FUZZ_CHECK(rowHolds(row));
        if (numLockMask < (1u << row)) FUZZ_CHECK(!rowHolds(row));
    }

    std::vector<unsigned> masks = grabMasks(hotkey.mask, numLockMask);
    FUZZ_CHECK(masks.size() == (numLockMask ? 4u : 2u));
    FUZZ_CHECK(std::count(masks.begin(), masks.end(), hotkey.mask) >= 1);
    FUZZ_CHECK(std::count(masks.begin(), masks.end(), hotkey.mask | LockMask) >= 1);
    for (unsigned mask : masks) {
        FUZZ_CHECK((mask & hotkey.mask) == hotkey.mask);
        FUZZ_CHECK((mask & ~(hotkey.mask | LockMask | numLockMask)) == 0);
    }

    // The key found types the keysym at level 1 (no Shift) or 2 (Shift), and
    // no key types it at a lower level; a third level only is refused.
    KeyGrab grab = grabFor(table, keysym, hotkey.mask);
    auto levelOf = [&](int keycode, int lowest) {
        int found = -1;
        if (keycode < table.minKeycode || keycode - table.minKeycode >= static_cast<int>(table.keys.size()))
            return found;
        for (const auto& group : table.keys[keycode - table.minKeycode])
            for (int level = 0; level < static_cast<int>(group.size()); ++level)
                if (group[level] == keysym && level >= lowest && (found < 0 || level < found)) found = level;
        return found;
    };
    if (grab.keycode) {
        FUZZ_CHECK(!grab.thirdLevel && keysym != NoSymbol);
        const int level = levelOf(grab.keycode, 0);
        FUZZ_CHECK(level == 0 || level == 1);
        FUZZ_CHECK(grab.mask == (level == 0 ? hotkey.mask : hotkey.mask | ShiftMask));
        if (level == 1)
            for (int keycode = 1; keycode < 256; ++keycode) FUZZ_CHECK(levelOf(keycode, 0) != 0);
    } else {
        FUZZ_CHECK(grab.mask == 0);
        for (int keycode = 1; keycode < 256 && keysym != NoSymbol; ++keycode) {
            const int level = levelOf(keycode, 0);
            FUZZ_CHECK(level < 0 || level >= 2);
            if (level >= 2) FUZZ_CHECK(grab.thirdLevel);
        }
    }

    // A press of the grabbed key matches whatever locks, group or buttons
    // are on, and only with the grabbed modifiers.
    HotkeyGrab held;
    held.keycode = grab.keycode;
    held.grabMask = grab.mask;
    const unsigned ignored = LockMask | numLockMask | 0xff00u;
    const bool matches = hotkeyMatches(held, grab.keycode, state, numLockMask);
    FUZZ_CHECK(matches ==
               (grab.keycode != 0 && (state & ~ignored) == (grab.mask & ~(LockMask | numLockMask))));
    FUZZ_CHECK(!hotkeyMatches(held, grab.keycode + 1u, state, numLockMask));
    return 0;
}
