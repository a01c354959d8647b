// Pure pieces of start-up: program name, usage, setting values and hotkey specifications.
#include "startup/parse.h"

#include <X11/X.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>

const char* programName(const char* argv0) {
    if (!argv0) return "dropcon";
    const char* slash = std::strrchr(argv0, '/');
    return slash ? slash + 1 : argv0;
}

bool asksForUsage(int argc, char* const* argv) {
    for (int i = 1; i < argc; ++i)
        if (argv[i] && std::strcmp(argv[i], "-h") == 0) return true;
    return false;
}

int settingInt(const char* text, int fallback) {
    if (!text) return fallback;
    const char* p = text;
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    long long value = 0;
    for (; std::isdigit(static_cast<unsigned char>(*p)); ++p)
        if (value <= INT_MAX) value = value * 10 + (*p - '0');  // stops growing once out of range
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

Length settingLength(const char* text, int fallback, int lowest, int highest, int lowestPercent) {
    if (!text) return {std::clamp(fallback, lowest, highest), false};
    const char* end = text + std::strlen(text);
    while (end > text && std::isspace(static_cast<unsigned char>(end[-1]))) --end;
    if (end > text && end[-1] == '%') return {std::clamp(settingInt(text, 0), lowestPercent, 100), true};
    return {std::clamp(settingInt(text, fallback), lowest, highest), false};
}

Hotkey parseHotkey(std::string_view spec) {
    Hotkey hotkey;
    auto has = [spec](std::string_view word) { return spec.find(word) != std::string_view::npos; };
    if (has("Control")) hotkey.mask |= ControlMask;
    if (has("Alt")) hotkey.mask |= Mod1Mask;
    if (has("Win")) hotkey.mask |= Mod4Mask;
    if (has("None")) hotkey.mask = 0;
    size_t plus = spec.rfind('+');
    hotkey.keyName = std::string(plus == std::string_view::npos ? spec : spec.substr(plus + 1));
    return hotkey;
}

std::vector<unsigned> grabMasks(unsigned mask, unsigned numLockMask) {
    std::vector<unsigned> masks{mask, mask | LockMask};
    if (numLockMask) {
        masks.push_back(mask | numLockMask);
        masks.push_back(mask | numLockMask | LockMask);
    }
    return masks;
}

unsigned numLockMaskFrom(const unsigned char* modifiermap, int maxKeypermod, unsigned char numLock) {
    unsigned mask = 0;
    if (numLock == 0 || maxKeypermod <= 0) return 0;
    for (int row = 0; row < 8; ++row)
        for (int col = 0; col < maxKeypermod; ++col)
            if (modifiermap[row * maxKeypermod + col] == numLock) mask = 1u << row;
    return mask;
}

MonitorSetting parseMonitorSetting(const char* value, bool xOffsetInPixels, bool screenWidthInPixels) {
    if (!value)
        return {(xOffsetInPixels || screenWidthInPixels) ? MonitorMode::WholeScreen : MonitorMode::Pointer,
                ""};
    if (std::strcmp(value, "pointer") == 0) return {MonitorMode::Pointer, ""};
    if (std::strcmp(value, "primary") == 0) return {MonitorMode::Primary, ""};
    if (std::strcmp(value, "screen") == 0) return {MonitorMode::WholeScreen, ""};
    if (*value == '\0') return {MonitorMode::Pointer, ""};
    return {MonitorMode::Named, value};
}
