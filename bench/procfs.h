// What /proc tells about a process: its CPU time, context switches and memory.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

// The "Name: value" lines of a /proc file such as status or smaps_rollup.
std::map<std::string, long> procFields(const std::string& path);

struct Cost {
    long long cpuNs = 0;     // time on a CPU
    long long switches = 0;  // voluntary and involuntary context switches
};
Cost costOf(pid_t pid);

// Private memory of each mapping of the process, summed by what is mapped,
// largest first.
std::vector<std::pair<long, std::string>> privateByMapping(pid_t pid);

// The load average as /proc/loadavg gives it, for the report.
std::string loadAverage();
