// Unit tests of the terminal command and the first console height.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/command.h"

namespace {
std::string compose(const char* term, unsigned long frame, const char* name, std::vector<const char*> args) {
    args.insert(args.begin(), "dropcon");
    return composeCommand(term, frame, name, static_cast<int>(args.size()), const_cast<char**>(args.data()));
}
}  // namespace

TEST(ComposeCommand, EmbedsUrxvtAndPutsEverythingElseInto) {
    const std::pair<const char*, const char*> cases[] = {
        {"urxvt", "urxvt -b 0 -embed 42 -name drop &"},
        {"urxvtc", "urxvtc -b 0 -embed 42 -name drop &"},
        {"/opt/bin/urxvt", "/opt/bin/urxvt -b 0 -embed 42 -name drop &"},
        {"rxvt", "rxvt -b 0 -into 42 -name drop &"},
        {"URXVT", "URXVT -b 0 -into 42 -name drop &"},
        {"xterm", "xterm -b 0 -into 42 -name drop &"}};
    for (const auto& [term, head] : cases)
        EXPECT_EQ(compose(term, 42, "drop", {}), std::string(head)) << term;
}

TEST(ComposeCommand, ForwardsArgumentsUnquoted) {
    EXPECT_EQ(compose("xterm", 4194310, "drop", {"-e", "top"}),
              "xterm -b 0 -into 4194310 -name drop -e top &");
    // A blank inside an argument reaches the shell as a word break.
    EXPECT_EQ(compose("xterm", 7, "dropcon", {"-e", "top -d 1"}),
              "xterm -b 0 -into 7 -name dropcon -e top -d 1 &");
}

TEST(ComposeCommand, QuotesTheNameOnlyWhenTheShellWouldInterpretIt) {
    const std::pair<const char*, const char*> cases[] = {{"dropcon", "dropcon"},
                                                         {"drop-con_2.x", "drop-con_2.x"},
                                                         {"my console", "'my console'"},
                                                         {"it's", "'it'\\''s'"},
                                                         {"$HOME;ls", "'$HOME;ls'"},
                                                         {"~drop", "'~drop'"},
                                                         {"", "''"}};
    for (const auto& [name, word] : cases)
        EXPECT_EQ(compose("xterm", 7, name, {}), "xterm -b 0 -into 7 -name " + std::string(word) + " &")
            << name;
}

TEST(ComposeCommand, WindowIdIsSigned32BitDecimal) {
    EXPECT_EQ(compose("xterm", 0xffffffffUL, "d", {}), "xterm -b 0 -into -1 -name d &");
    EXPECT_EQ(compose("xterm", 0x80000000UL, "d", {}), "xterm -b 0 -into -2147483648 -name d &");
}

TEST(ComposeCommand, HasNoLengthLimit) {
    std::string longTerm(300, 't');
    std::vector<std::string> words(200, std::string(50, 'a'));
    std::vector<const char*> args;
    for (auto& w : words) args.push_back(w.c_str());
    std::string command = compose(longTerm.c_str(), 1, "dropcon", args);
    EXPECT_EQ(command.size(), 300 + std::string(" -b 0 -into 1 -name dropcon ").size() + 200 * 51 + 1);
    EXPECT_EQ(command.substr(0, 300), longTerm);
    EXPECT_EQ(command.substr(command.size() - 3), "a &");
}

TEST(RowHeight, IsAtLeastOnePixelAndAtMostTheLargestHeight) {
    EXPECT_EQ(rowHeight(17, 3), 17);
    EXPECT_EQ(rowHeight(0, 3), 1);
    EXPECT_EQ(rowHeight(-5, 3), 1);
    // Taller than the protocol can park above the screen with its handle.
    EXPECT_EQ(rowHeight(40000, 3), 32764);
    EXPECT_EQ(rowHeight(2147483647, 0), 32767);
    EXPECT_EQ(rowHeight(5, 32766), 1);
}

TEST(InitialHeight, RowsTimesRowHeightWithinTheProtocolsRange) {
    EXPECT_EQ(initialHeight(17, 10, 3), 170);
    EXPECT_EQ(initialHeight(1, 1, 3), 1);
    // A huge row count neither overflows nor leaves the 16-bit coordinate range.
    EXPECT_EQ(initialHeight(17, 2147483647, 3), 32764);
    EXPECT_EQ(initialHeight(17, 100000, 32766), 1);
}
