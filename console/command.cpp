// Pure pieces of the terminal launch: the shell command and the row-height arithmetic.
#include "console/command.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "startup/parse.h"

std::string composeCommand(const char* term, unsigned long frameWin, const char* progName, int argc,
                           char* const* argv) {
    std::string command = term;
    command += std::strstr(term, "urxvt") ? " -b 0 -embed " : " -b 0 -into ";
    // The window id goes out as a signed 32-bit decimal, as terminals parse it.
    command += std::to_string(static_cast<int32_t>(frameWin));
    command += " -name ";
    command += progName;
    command += ' ';
    for (int i = 1; i < argc; ++i) {
        command += argv[i];
        command += ' ';
    }
    command += '&';
    return command;
}

int rowHeight(int hintedHeightInc) { return std::max(hintedHeightInc, 1); }

int initialHeight(int heightInc, int consoleHeight, int handleWidth) {
    long long pixels = static_cast<long long>(heightInc) * consoleHeight;
    return static_cast<int>(
        std::clamp(pixels, 1LL, static_cast<long long>(std::max(kMaxExtent - handleWidth, 1))));
}
