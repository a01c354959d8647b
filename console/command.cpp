// Pure pieces of the terminal launch: the shell command and the row-height arithmetic.
#include "console/command.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>

#include <sys/wait.h>

#include "startup/dropcon.h"

// A character the shell takes as it is, wherever it stands in a word.
static bool plainChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || (c != 0 && std::strchr("_./,:+@%^-", c));
}

std::string shellWord(const std::string& text) {
    if (!text.empty() && std::all_of(text.begin(), text.end(), plainChar)) return text;
    // Inside single quotes only the quote itself is special: it closes the
    // quotes, comes as \', and opens them again.
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string composeCommand(const char* term, unsigned long frameWin, const char* progName, int argc,
                           char* const* argv) {
    std::string command = term;
    command += std::strstr(term, "urxvt") ? " -b 0 -embed " : " -b 0 -into ";
    // The window id goes out as a signed 32-bit decimal, as terminals parse it.
    command += std::to_string(static_cast<int32_t>(frameWin));
    command += " -name ";
    command += shellWord(progName);
    command += ' ';
    for (int i = 1; i < argc; ++i) {
        command += argv[i];
        command += ' ';
    }
    command += '&';
    return command;
}

int rowHeight(int hintedHeightInc, int handleWidth) {
    return std::clamp(hintedHeightInc, 1, std::max(kMaxExtent - handleWidth, 1));
}

int initialHeight(int heightInc, int consoleHeight, int handleWidth) {
    long long pixels = static_cast<long long>(heightInc) * consoleHeight;
    return static_cast<int>(
        std::clamp(pixels, 1LL, static_cast<long long>(std::max(kMaxExtent - handleWidth, 1))));
}

std::string foregroundCommand(const std::string& command) {
    std::string foreground = command;
    if (!foreground.empty() && foreground.back() == '&') foreground.pop_back();
    while (!foreground.empty() && foreground.back() == ' ') foreground.pop_back();
    // Plain words: the shell makes way for the terminal, which is then our
    // own child, and a terminal killed by a signal is not reported by the
    // shell on top. Anything the shell would interpret (a ';', quotes, an
    // assignment before the program, ...) is left to the shell as written.
    const bool plain = !foreground.empty() && std::all_of(foreground.begin(), foreground.end(),
                                                          [](char c) { return c == ' ' || plainChar(c); });
    return plain ? "exec " + foreground : foreground;
}

std::string exitStatusText(int waitStatus) {
    if (WIFSIGNALED(waitStatus)) return "killed by signal " + std::to_string(WTERMSIG(waitStatus));
    return "exit status " + std::to_string(WEXITSTATUS(waitStatus));
}
