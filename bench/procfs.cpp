// What /proc tells about a process: its CPU time, context switches and memory.
#include "bench/procfs.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

std::map<std::string, long> procFields(const std::string& path) {
    std::map<std::string, long> fields;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        fields[line.substr(0, colon)] = std::atol(line.c_str() + colon + 1);
    }
    return fields;
}

Cost costOf(pid_t pid) {
    Cost c;
    std::ifstream sched("/proc/" + std::to_string(pid) + "/schedstat");
    sched >> c.cpuNs;
    auto status = procFields("/proc/" + std::to_string(pid) + "/status");
    c.switches = status["voluntary_ctxt_switches"] + status["nonvoluntary_ctxt_switches"];
    return c;
}

std::vector<std::pair<long, std::string>> privateByMapping(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/smaps");
    std::map<std::string, long> kib;
    std::string line, current;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        bool header = std::isxdigit(static_cast<unsigned char>(line[0])) && line.find('-') < line.find(' ');
        if (header) {
            std::istringstream fields(line);
            std::string range, perms, offset, dev, inode, path;
            fields >> range >> perms >> offset >> dev >> inode;
            std::getline(fields, path);
            path.erase(0, path.find_first_not_of(' '));
            if (path.empty()) path = "[anonymous]";
            auto slash = path.rfind('/');
            current = (slash == std::string::npos ? path : path.substr(slash + 1)) + " " + perms;
        } else if (line.rfind("Private_Clean:", 0) == 0 || line.rfind("Private_Dirty:", 0) == 0) {
            kib[current] += std::atol(line.c_str() + 14);
        }
    }
    std::vector<std::pair<long, std::string>> list;
    for (auto& [name, size] : kib)
        if (size > 0) list.emplace_back(size, name);
    std::sort(list.rbegin(), list.rend());
    return list;
}

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}
