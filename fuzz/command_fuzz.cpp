// Fuzz target: the terminal command composed from any term, program name, window id and arguments.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "console/command.h"
#include "fuzz/check.h"
#include "startup/dropcon.h"

// Reads one shell word at pos, as sh would, up to the blank after it: plain
// characters and single-quoted parts (the only kind the command uses).
static std::string readWord(const std::string& command, size_t& pos) {
    std::string word;
    while (pos < command.size() && command[pos] != ' ') {
        if (command[pos] != '\'') {
            word += command[pos++];
            continue;
        }
        const size_t close = command.find('\'', pos + 1);
        FUZZ_CHECK(close != std::string::npos);
        word += command.substr(pos + 1, close - pos - 1);
        pos = close + 1;
        if (command.compare(pos, 2, "\\'") == 0) {
            word += '\'';
            pos += 2;
        }
    }
    return word;
}

// Takes expected from command at pos; false when it is not there.
static bool take(const std::string& command, size_t& pos, const std::string& expected) {
    if (command.compare(pos, expected.size(), expected) != 0) return false;
    pos += expected.size();
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const auto frameWin = in.ConsumeIntegral<unsigned long>();
    const int hinted = in.ConsumeIntegral<int>(), rows = in.ConsumeIntegral<int>();
    const int handleWidth = in.ConsumeIntegralInRange(0, kMaxExtent - 1);
    const std::string term = in.ConsumeRandomLengthString().c_str();
    const std::string progName = in.ConsumeRandomLengthString().c_str();
    std::vector<std::string> args{"dropcon"};
    while (in.remaining_bytes() > 0 && args.size() < 64)
        args.push_back(in.ConsumeRandomLengthString().c_str());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    const std::string command =
        composeCommand(term.c_str(), frameWin, progName.c_str(), static_cast<int>(args.size()), argv.data());
    size_t pos = 0;
    FUZZ_CHECK(take(command, pos, term));
    const bool urxvt = term.find("urxvt") != std::string::npos;
    FUZZ_CHECK(take(command, pos, urxvt ? " -b 0 -embed " : " -b 0 -into "));
    // The id as a signed 32-bit decimal that gives back the id's 32 bits.
    const char* digits = command.c_str() + pos;
    char* end = nullptr;
    errno = 0;
    long long id = std::strtoll(digits, &end, 10);
    FUZZ_CHECK(errno == 0 && end > digits && id >= INT32_MIN && id <= INT32_MAX);
    FUZZ_CHECK(static_cast<uint32_t>(id) == static_cast<uint32_t>(frameWin));
    FUZZ_CHECK(digits[0] == '-' ? id < 0 : digits[0] >= '0' && digits[0] <= '9');
    pos += end - digits;
    // The name gives itself back as one word, as it is when it needs no
    // quotes (plain characters only, as the shell takes them).
    FUZZ_CHECK(take(command, pos, " -name "));
    const size_t nameAt = pos;
    FUZZ_CHECK(readWord(command, pos) == progName);
    const bool plain = !progName.empty() && std::all_of(progName.begin(), progName.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("_./,:+@%^-", c);
    });
    if (plain) FUZZ_CHECK(command.compare(nameAt, pos - nameAt, progName) == 0);
    if (command[nameAt] != '\'') FUZZ_CHECK(plain);
    FUZZ_CHECK(take(command, pos, " "));
    for (size_t i = 1; i < args.size(); ++i) FUZZ_CHECK(take(command, pos, args[i] + " "));
    FUZZ_CHECK(take(command, pos, "&"));
    FUZZ_CHECK(pos == command.size());

    // The row height and the first console height stay usable whatever
    // the terminal's hints and the setting say.
    const int row = rowHeight(hinted, handleWidth);
    const int largest = kMaxExtent - handleWidth;
    FUZZ_CHECK(row >= 1 && row <= largest && (hinted < 1 || hinted > largest || row == hinted));
    const int height = initialHeight(row, rows, handleWidth);
    FUZZ_CHECK(height >= 1 && height + handleWidth <= kMaxExtent);
    const long long wanted = static_cast<long long>(row) * rows;
    if (wanted >= 1 && wanted + handleWidth <= kMaxExtent) FUZZ_CHECK(height == wanted);
    return 0;
}
