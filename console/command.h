// Pure pieces of the terminal launch: the shell command and the row-height arithmetic.
#pragma once

#include <string>

// The shell command that starts the terminal inside the frame, in the
// background. urxvt embeds with -embed, everything else with -into; the
// name is one word (see shellWord); the forwarded arguments go in unquoted,
// for the shell to split.
std::string composeCommand(const char* term, unsigned long frameWin, const char* progName, int argc,
                           char* const* argv);

// text as one shell word: as it is when it is not empty and holds nothing
// the shell would interpret, otherwise in single quotes.
std::string shellWord(const std::string& text);

// The row height a terminal's size hints give, at least one pixel and at
// most the largest height (see initialHeight).
int rowHeight(int hintedHeightInc, int handleWidth);

// The first console height: consoleHeight rows, kept within what the X
// protocol can place above the screen together with the handle.
int initialHeight(int heightInc, int consoleHeight, int handleWidth);

// The command as the console runs it itself, in the shell's foreground: the
// same without its final '&' (and the blanks before it); made an exec when
// it is plain words that need nothing else of the shell.
std::string foregroundCommand(const std::string& command);

// How a process ended, from its wait status: "exit status N" or "killed by
// signal N".
std::string exitStatusText(int waitStatus);
