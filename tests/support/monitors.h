// Test support: RandR 1.5 monitors defined on a test's Xvfb with xrandr, as several heads would show up.
#pragma once

#include <string>
#include <vector>

#include "tests/support/xharness.h"

namespace xt {

struct MonitorSpec {
    std::string name;
    int x = 0, y = 0, width = 0, height = 0;
};

// Defines the monitors with xrandr --setmonitor. The first one takes Xvfb's
// one output ("screen"), so that the automatic whole-screen monitor goes
// away as on a real machine with several heads, and is the primary one; the
// others have no output. The server runs with -noreset, or it would forget
// them when xrandr disconnects.
void defineMonitors(const XServer& server, const std::vector<MonitorSpec>& monitors);
// Adds one more monitor, without an output, as plugging one in would.
void addMonitor(const XServer& server, const MonitorSpec& monitor);
void deleteMonitor(const XServer& server, const std::string& name);
// Shrinks the screen with xrandr --fb and waits until the root window has
// the new size (false, and a failure, when it does not).
bool shrinkScreen(const XServer& server, int width, int height);

}  // namespace xt
