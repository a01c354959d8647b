// Unit tests of the console's life: the command it runs itself, exit statuses, the claim's name.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <string>

#include "console/command.h"
#include "startup/dropcon.h"

TEST(ForegroundCommand, DropsTheFinalAmpersandAndExecsPlainWordsOnly) {
    const std::pair<const char*, const char*> cases[] = {
        {"xterm -b 0 -into 42 -name dropcon &", "exec xterm -b 0 -into 42 -name dropcon"},
        {"/opt/bin/urxvt -b 0 -embed -7 -name drop-con -e top -d 1 &",
         "exec /opt/bin/urxvt -b 0 -embed -7 -name drop-con -e top -d 1"},
        // Whatever the shell interprets stays the shell's, as written.
        {"xterm -b 0 -into 42 -name dropcon ; true &", "xterm -b 0 -into 42 -name dropcon ; true"},
        {"FOO=1 xterm -b 0 -into 42 -name d &", "FOO=1 xterm -b 0 -into 42 -name d"},
        {"xterm -b 0 -into 42 -name d -e 'top -d 1' &", "xterm -b 0 -into 42 -name d -e 'top -d 1'"},
        {"xterm -b 0 -into 42 -name d -e ls $HOME &", "xterm -b 0 -into 42 -name d -e ls $HOME"},
        {"xterm -b 0 -into 42 -name d -e a&&b &", "xterm -b 0 -into 42 -name d -e a&&b"},
        // Only the one final '&' goes.
        {"xterm -e x & &", "xterm -e x &"},
        {"&", ""},
    };
    for (const auto& [command, foreground] : cases)
        EXPECT_EQ(foregroundCommand(command), foreground) << command;
}

TEST(ExitStatusText, SaysTheStatusOrTheSignal) {
    const std::pair<int, const char*> cases[] = {{W_EXITCODE(2, 0), "exit status 2"},
                                                 {W_EXITCODE(127, 0), "exit status 127"},
                                                 {W_EXITCODE(0, 0), "exit status 0"},
                                                 {W_EXITCODE(0, SIGKILL), "killed by signal 9"},
                                                 {W_EXITCODE(0, SIGSEGV) | WCOREFLAG, "killed by signal 11"}};
    for (const auto& [waitStatus, text] : cases) EXPECT_EQ(exitStatusText(waitStatus), text) << waitStatus;
}

TEST(InstanceSelection, OnePerNameAndScreen) {
    EXPECT_EQ(instanceSelection("dropcon", 0), "_DROPCON_S0_dropcon");
    EXPECT_EQ(instanceSelection("quake", 1), "_DROPCON_S1_quake");
    EXPECT_NE(instanceSelection("dropcon", 0), instanceSelection("dropcon", 1));
    EXPECT_NE(instanceSelection("dropcon", 0), instanceSelection("quake", 0));
}
