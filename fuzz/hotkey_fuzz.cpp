// Fuzz target: hotkey specifications, the modifier combinations they are grabbed with, and the Num_Lock scan.
#include <X11/X.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/check.h"
#include "startup/parse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int maxKeypermod = in.ConsumeIntegralInRange(0, 8);
    std::vector<unsigned char> modifiermap = in.ConsumeBytes<unsigned char>(8 * maxKeypermod);
    modifiermap.resize(8 * maxKeypermod);
    const auto numLockKey = in.ConsumeIntegral<unsigned char>();
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
    return 0;
}
