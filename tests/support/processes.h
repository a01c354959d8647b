// Test support: the processes behind windows, and whether they are gone.
#pragma once

#include <X11/Xlib.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace xt {

// Notes a process the support started itself (see endOrphans).
void noteStarted(pid_t pid);
// Ends what the programs a test started left behind on the server at
// display. The test process takes in orphans (it is their subreaper, from
// its first server on): a console killed outright may leave a terminal that
// has not connected yet, and that would connect to whichever test's server
// gets the display number next. Every orphan given this DISPLAY is killed
// and collected, and so is every orphan that has ended; never a process
// the support started itself.
void endOrphans(const std::string& display);
// The process id a client put in _NET_WM_PID of its window, or 0.
pid_t netWmPid(Display* dpy, Window window);
// Every process below pid in the process tree (children, their children...).
std::vector<pid_t> descendantsOf(pid_t pid);
// True when the process no longer runs (gone, or a zombie nobody reaped yet).
bool processGone(pid_t pid);
// True when the process has been collected by its parent: no zombie is left.
bool processCollected(pid_t pid);
// True when the process is stopped (by SIGSTOP, SIGTSTP and the like).
bool processStopped(pid_t pid);
// The signals the process has blocked, as a mask (bit n-1 for signal n).
unsigned long long blockedSignals(pid_t pid);
// The processes of the list that still run, for a failure message.
std::string stillRunning(const std::vector<pid_t>& pids);
// How often the process has blocked of its own accord (its voluntary
// context switches); -1 once it has gone.
long blockedTimes(pid_t pid);
// Whether the process sleeps in poll() on this many descriptors, as
// /proc/<pid>/syscall shows it.
bool sleepsInPoll(pid_t pid, unsigned long descriptors);

}  // namespace xt
