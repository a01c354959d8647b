// Test support: the processes behind windows, and whether they are gone.
#include "tests/support/processes.h"

#include <X11/Xatom.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "tests/support/xharness.h"

namespace xt {

namespace {

// A file of /proc/<pid>, "" when the process has gone: a read from one
// that ends between the open and the read fails with ESRCH.
std::string procFile(pid_t pid, const char* name) {
    std::string text;
    const int fd = open(("/proc/" + std::to_string(pid) + "/" + name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return text;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    close(fd);
    return text;
}

// The state letter (and the parent) from /proc/<pid>/stat; 0 when gone.
char stateOf(pid_t pid, pid_t* parent = nullptr) {
    const std::string text = procFile(pid, "stat");
    // The command name in parentheses may hold blanks: read after its end.
    size_t close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream rest(text.substr(close + 1));
    char state = 0;
    pid_t ppid = 0;
    rest >> state >> ppid;
    if (parent) *parent = ppid;
    return rest ? state : 0;
}

std::vector<pid_t>& startedHere() {
    static std::vector<pid_t> pids;
    return pids;
}

// This process's children that it did not start, with their state letters.
std::vector<std::pair<pid_t, char>> orphans() {
    std::vector<std::pair<pid_t, char>> found;
    if (DIR* proc = opendir("/proc")) {
        while (dirent* entry = readdir(proc)) {
            pid_t pid = std::atoi(entry->d_name), parent = 0;
            const char state = pid > 0 ? stateOf(pid, &parent) : 0;
            if (state && parent == getpid() &&
                std::find(startedHere().begin(), startedHere().end(), pid) == startedHere().end())
                found.emplace_back(pid, state);
        }
        closedir(proc);
    }
    return found;
}

}  // namespace

void noteStarted(pid_t pid) { startedHere().push_back(pid); }

void endOrphans(const std::string& display) {
    const std::string mark = std::string("DISPLAY=") + display + '\0';
    // A killed orphan's own children come next, a round later.
    for (bool again = true; again;) {
        again = false;
        for (auto [pid, state] : orphans()) {
            const std::string environment = '\0' + procFile(pid, "environ");
            if (state != 'Z' && environment.find('\0' + mark) == std::string::npos) continue;
            if (state != 'Z') kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            again = true;
        }
    }
}

pid_t netWmPid(Display* dpy, Window window) {
    const long pid = windowLong(dpy, window, "_NET_WM_PID", XA_CARDINAL);
    return pid > 0 ? static_cast<pid_t>(pid) : 0;
}

std::vector<pid_t> descendantsOf(pid_t root) {
    std::vector<std::pair<pid_t, pid_t>> all;  // pid, parent
    if (DIR* proc = opendir("/proc")) {
        while (dirent* entry = readdir(proc)) {
            pid_t pid = std::atoi(entry->d_name), parent = 0;
            if (pid > 0 && stateOf(pid, &parent)) all.emplace_back(pid, parent);
        }
        closedir(proc);
    }
    std::vector<pid_t> found{root};
    for (size_t i = 0; i < found.size(); ++i)
        for (auto [pid, parent] : all)
            if (parent == found[i]) found.push_back(pid);
    found.erase(found.begin());
    return found;
}

bool processGone(pid_t pid) {
    const char state = stateOf(pid);
    return state == 0 || state == 'Z' || state == 'X';
}

bool processCollected(pid_t pid) { return stateOf(pid) == 0; }

bool processStopped(pid_t pid) { return stateOf(pid) == 'T'; }

unsigned long long blockedSignals(pid_t pid) {
    const std::string status = procFile(pid, "status");
    const size_t at = status.find("\nSigBlk:");
    return at == std::string::npos ? 0 : std::strtoull(status.c_str() + at + 8, nullptr, 16);
}

std::string stillRunning(const std::vector<pid_t>& pids) {
    std::string text;
    for (pid_t pid : pids)
        if (!processGone(pid)) {
            std::string command = procFile(pid, "cmdline");
            for (char& c : command)
                if (c == '\0') c = ' ';
            text += std::to_string(pid) + " " + command + "\n";
        }
    return text;
}

long blockedTimes(pid_t pid) {
    const std::string text = procFile(pid, "status");
    const char* const field = "\nvoluntary_ctxt_switches:";
    const size_t at = text.find(field);
    return at == std::string::npos ? -1 : std::atol(text.c_str() + at + std::strlen(field));
}

bool sleepsInPoll(pid_t pid, unsigned long descriptors) {
    // Woken but not yet run, a process still shows the call it slept in.
    if (stateOf(pid) != 'S') return false;
    std::istringstream call(procFile(pid, "syscall"));
    long number = -1;
    std::string fds, count;
    call >> number >> fds >> count;
    bool poll = number == SYS_ppoll;
#ifdef SYS_poll
    poll = poll || number == SYS_poll;
#endif
    return poll && std::strtoul(count.c_str(), nullptr, 16) == descriptors;
}

}  // namespace xt
