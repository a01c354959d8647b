// Fuzz target: integer and length setting values, the program name from argv[0] and the search for -h.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/check.h"
#include "startup/parse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int fallback = in.ConsumeIntegral<int>();
    // Resource values are C strings: they end at the first NUL.
    const std::string text = in.ConsumeRandomLengthString().c_str();

    // As atoi reads it, but saturating: strtol in base 10 has the same
    // grammar and saturates at the long range, which holds the int range.
    long reference = std::strtol(text.c_str(), nullptr, 10);
    reference = std::clamp(reference, static_cast<long>(INT_MIN), static_cast<long>(INT_MAX));
    FUZZ_CHECK(settingInt(text.c_str(), fallback) == reference);
    FUZZ_CHECK(settingInt(nullptr, fallback) == fallback);

    // A length: a percentage when the last character but blanks is '%',
    // clamped into its range; otherwise the number, clamped into its own.
    const size_t last = text.find_last_not_of(" \t\n\v\f\r");
    const bool percent = last != std::string::npos && text[last] == '%';
    const int lowest = fallback < 0 ? fallback : -1, lowestPercent = fallback & 1;
    const Length length = settingLength(text.c_str(), fallback, lowest, 32767, lowestPercent);
    FUZZ_CHECK(length.percent == percent);
    if (percent)
        FUZZ_CHECK(length.value == std::clamp(static_cast<int>(reference), lowestPercent, 100));
    else
        FUZZ_CHECK(length.value == std::clamp(static_cast<int>(reference), lowest, 32767));
    FUZZ_CHECK(settingLength(nullptr, fallback, lowest, 32767, 1) ==
               (Length{std::min(fallback, 32767), false}));

    std::vector<std::string> args;
    while (in.remaining_bytes() > 0 && args.size() < 64)
        args.push_back(in.ConsumeRandomLengthString().c_str());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(args.size());

    if (argc > 0) {
        const char* name = programName(argv[0]);
        const size_t length = std::strlen(name), whole = args[0].size();
        FUZZ_CHECK(std::strchr(name, '/') == nullptr);
        FUZZ_CHECK(name == argv[0] + whole - length);  // a tail of argv[0] itself
        if (length < whole) FUZZ_CHECK(argv[0][whole - length - 1] == '/');
    }
    bool minusH =
        argc > 1 && std::any_of(args.begin() + 1, args.end(), [](const std::string& a) { return a == "-h"; });
    FUZZ_CHECK(asksForUsage(argc, argv.data()) == minusH);
    return 0;
}
