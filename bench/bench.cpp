// Benchmark: times dropcon's slide, hotkeys, drag and start-up on a private Xvfb with a real xterm, and
// measures its memory, idle cost and X requests per step.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/record.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "interaction/geometry.h"

namespace {

// The console's settings, written out so that the ideal pace below is
// computed from the same numbers the console runs with. They are the
// program's defaults.
constexpr int kAniDelay = 40;  // tenths of a millisecond
constexpr int kStepSize = 1;
constexpr int kHandleWidth = 3;
std::string resources(int aniDelay) {
    return "dropcon.aniDelay: " + std::to_string(aniDelay) +
           "\n"
           "dropcon.stepSize: 1\n"
           "dropcon.handleWidth: 3\n"
           "dropcon.consoleHeight: 10\n";
}

long long nowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}

double ms(long long ns) { return static_cast<double>(ns) / 1e6; }

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "bench: %s\n", what.c_str());
    std::exit(1);
}

struct Options {
    int runs = 10;
    int idleRuns = 10;
    int idleSeconds = 10;
    std::string plotData;
};

// ---------------------------------------------------------------- processes

// A child in a process group of its own, so that it can be ended together
// with what it starts (the console's shell and terminal) by its own id.
struct Child {
    pid_t pid = -1;

    Child(const std::vector<std::string>& argv, const std::vector<std::string>& env, int keepFd = -1,
          bool quiet = false) {
        std::vector<char*> args, envp;
        for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        for (auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        pid = fork();
        if (pid == 0) {
            setpgid(0, 0);
            int devnull = open("/dev/null", O_RDWR);
            dup2(devnull, 0);
            dup2(devnull, 1);
            if (quiet) dup2(devnull, 2);
            for (int fd = 3; fd < 1024; ++fd)
                if (fd != keepFd) close(fd);
            execve(args[0], args.data(), envp.data());
            _exit(127);
        }
        if (pid < 0) fail("fork failed");
        setpgid(pid, pid);  // also from here, so that it holds before the child runs
    }
    ~Child() { end(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    void end() {
        if (pid <= 0) return;
        kill(-pid, SIGTERM);
        for (int i = 0; i < 200; ++i) {
            if (waitpid(pid, nullptr, WNOHANG) == pid) break;
            if (i == 199) {
                kill(-pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
            poll(nullptr, 0, 10);
        }
        pid = -1;
        // Terminals whose shell has exited were handed to us (we are their
        // subreaper): collect them.
        while (waitpid(-1, nullptr, WNOHANG) > 0) {
        }
    }
};

// ---------------------------------------------------------------- the X server

// A private Xvfb: it picks a free display itself and names it on a pipe.
class Server {
   public:
    Server(int width, int height) {
        int fds[2];
        if (pipe(fds) != 0) fail("pipe failed");
        const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
        xvfb_ = std::make_unique<Child>(
            std::vector<std::string>{"/usr/bin/Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                     screen, "-nolisten", "tcp", "-noreset"},
            std::vector<std::string>{}, fds[1], true);
        close(fds[1]);
        std::string number;
        char c = 0;
        while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (number.empty()) fail("Xvfb did not report a display");
        name_ = ":" + number;
        dpy_ = connect();
        if (!dpy_) fail("cannot connect to " + name_);
        int event = 0, error = 0, major = 0, minor = 0;
        if (!XTestQueryExtension(dpy_, &event, &error, &major, &minor)) fail("no XTEST on " + name_);
        char home[] = "/tmp/dropcon-bench-XXXXXX";
        if (!mkdtemp(home)) fail("mkdtemp failed");
        home_ = home;
    }
    ~Server() {
        XCloseDisplay(dpy_);
        xvfb_.reset();
        rmdir(home_.c_str());
    }

    const std::string& name() const { return name_; }
    Display* dpy() const { return dpy_; }
    int width() const { return DisplayWidth(dpy_, DefaultScreen(dpy_)); }
    int height() const { return DisplayHeight(dpy_, DefaultScreen(dpy_)); }
    Display* connect() const { return XOpenDisplay(name_.c_str()); }

    // Loads resource lines into the server, as xrdb -load does.
    void setResources(const std::string& text) const {
        XChangeProperty(dpy_, DefaultRootWindow(dpy_), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
        XSync(dpy_, False);
    }

    // The environment of the console and of the plain xterm: this display,
    // an empty home, so that no personal resource file leaks in, and a plain
    // shell in the terminal.
    std::vector<std::string> env() const {
        const char* path = getenv("PATH");
        return {"DISPLAY=" + name_, "HOME=" + home_, "SHELL=/bin/sh",
                std::string("PATH=") + (path ? path : "/usr/bin:/bin"), "PS1=$ "};
    }

   private:
    std::unique_ptr<Child> xvfb_;
    std::string name_, home_;
    Display* dpy_ = nullptr;
};

std::string dropconBinary() {
    const char* path = getenv("DROPCON_BINARY");
    return path ? path : DROPCON_BINARY;
}

int heightIncOf(Display* dpy, Window window) {
    XSizeHints hints{};
    long supplied = 0;
    if (!XGetWMNormalHints(dpy, window, &hints, &supplied)) return 0;
    return hints.height_inc;
}

void movePointer(Display* dpy, int x, int y) {
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), x, y, CurrentTime);
    XSync(dpy, False);
}

void button(Display* dpy, unsigned number, bool down) {
    XTestFakeButtonEvent(dpy, number, down, CurrentTime);
    XSync(dpy, False);
}

// A mapped window with the focus, standing in for the application the user
// was working in.
Window makeFocusedWindow(Display* dpy) {
    Window w = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 100, 400, 300, 300, 0, 0, 0xffffff);
    XSelectInput(dpy, w, StructureNotifyMask);
    XMapWindow(dpy, w);
    XEvent e;
    do XWindowEvent(dpy, w, StructureNotifyMask, &e);
    while (e.type != MapNotify);
    XSelectInput(dpy, w, NoEventMask);
    XSetInputFocus(dpy, w, RevertToPointerRoot, CurrentTime);
    XSync(dpy, False);
    return w;
}

// ---------------------------------------------------------------- observation

struct Seen {
    long long ns;
    XEvent event;
};

// A connection of its own that only reads: every ConfigureNotify, MapNotify,
// CreateNotify and DestroyNotify of the root's children and of the frame's
// children, each stamped with the monotonic time at which it was read. It
// sends nothing while a figure is being taken, so a server grab by the
// console does not hold it up.
class Observer {
   public:
    explicit Observer(const Server& server) : dpy(server.connect()) {
        if (!dpy) fail("cannot open the observer's connection");
        XSelectInput(dpy, DefaultRootWindow(dpy), SubstructureNotifyMask);
        XSync(dpy, False);
    }
    ~Observer() { XCloseDisplay(dpy); }

    void watchChildrenOf(Window frame) {
        XSelectInput(dpy, frame, SubstructureNotifyMask);
        XSync(dpy, False);
    }

    // The arrival time of the next event that satisfies pred, reading from
    // the server as needed; -1 on timeout.
    long long await(const std::function<bool(const XEvent&)>& pred, int timeoutMs = 5000) {
        return awaitSeen([&](const Seen& s) { return pred(s.event); }, timeoutMs);
    }
    long long awaitSeen(const std::function<bool(const Seen&)>& pred, int timeoutMs = 5000) {
        const long long deadline = nowNs() + timeoutMs * 1000000LL;
        for (;;) {
            while (next_ < seen.size()) {
                const Seen& s = seen[next_++];
                if (pred(s)) return s.ns;
            }
            long long left = deadline - nowNs();
            if (left <= 0) return -1;
            read(static_cast<int>(left / 1000000) + 1);
        }
    }

    // Drops what has been seen so far (after draining what has arrived).
    void forget() {
        XSync(dpy, False);
        read(0);
        seen.clear();
        next_ = 0;
    }

    Display* dpy;
    std::vector<Seen> seen;

   private:
    void read(int timeoutMs) {
        if (XEventsQueued(dpy, QueuedAfterReading) == 0) {
            pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
            if (poll(&fd, 1, timeoutMs) <= 0) return;
            XEventsQueued(dpy, QueuedAfterReading);
        }
        const long long at = nowNs();
        while (XEventsQueued(dpy, QueuedAlready) > 0) {
            XEvent event;
            XNextEvent(dpy, &event);
            seen.push_back({at, event});
        }
    }

    size_t next_ = 0;
};

bool configureOf(const XEvent& e, Window w) { return e.type == ConfigureNotify && e.xconfigure.window == w; }

// ---------------------------------------------------------------- input

KeyCode keycode(Display* dpy, const char* name) {
    KeyCode code = XKeysymToKeycode(dpy, XStringToKeysym(name));
    if (code == 0) fail(std::string("no key for ") + name);
    return code;
}

void key(Display* dpy, const char* name, bool down) {
    XTestFakeKeyEvent(dpy, keycode(dpy, name), down, CurrentTime);
}

// ---------------------------------------------------------------- statistics

struct Row {
    std::string what;
    std::string unit;
    std::vector<double> values;
    int decimals = 3;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void printTable(const std::vector<Row>& rows) {
    std::printf("| figure | unit | median | min | max | runs |\n|---|---|---:|---:|---:|---:|\n");
    for (const Row& r : rows) {
        if (r.values.empty()) {
            std::printf("| %s | %s | - | - | - | 0 |\n", r.what.c_str(), r.unit.c_str());
            continue;
        }
        auto [lo, hi] = std::minmax_element(r.values.begin(), r.values.end());
        std::printf("| %s | %s | %.*f | %.*f | %.*f | %zu |\n", r.what.c_str(), r.unit.c_str(), r.decimals,
                    median(r.values), r.decimals, *lo, r.decimals, *hi, r.values.size());
    }
}

// ---------------------------------------------------------------- /proc

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

struct Cost {
    long long cpuNs = 0;     // time on a CPU
    long long switches = 0;  // voluntary and involuntary context switches
};

Cost costOf(pid_t pid) {
    Cost c;
    std::ifstream sched("/proc/" + std::to_string(pid) + "/schedstat");
    sched >> c.cpuNs;
    auto status = procFields("/proc/" + std::to_string(pid) + "/status");
    c.switches = status["voluntary_ctxt_switches"] + status["nonvoluntary_ctxt_switches"];
    return c;
}

// Private memory of each mapping of the process, summed by what is mapped.
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

// ---------------------------------------------------------------- X request counting

// Counts, through the RECORD extension, the requests the console's client
// sends and the replies it gets. A second client (the marker) sends a
// NoOperation after a slide: once it shows up in the record, every request
// the console made before it has been counted. Given XRecordFutureClients
// instead of one of the console's windows, it counts every client that
// connects from then on, each by its resource id base.
class RequestCounter {
   public:
    RequestCounter(const Server& server, XRecordClientSpec console)
        : control_(server.connect()), data_(server.connect()) {
        if (!control_ || !data_) fail("cannot open the record connections");
        int major = 0, minor = 0;
        if (!XRecordQueryVersion(control_, &major, &minor)) fail("the server has no RECORD extension");
        marker_ = XCreateSimpleWindow(control_, DefaultRootWindow(control_), 0, 0, 1, 1, 0, 0, 0);
        mask_ = XRecordIdBaseMask(control_);
        if (console != XRecordFutureClients) follow(console);
        markerBase_ = marker_ & mask_;
        XRecordRange* range = XRecordAllocRange();
        range->core_requests.first = 1;
        range->core_requests.last = 127;
        range->core_replies.first = 1;
        range->core_replies.last = 127;
        XRecordClientSpec clients[2] = {console, marker_};
        context_ = XRecordCreateContext(control_, 0, clients, 2, &range, 1);
        XFree(range);
        XSync(control_, False);
        if (!XRecordEnableContextAsync(data_, context_, &RequestCounter::intercept,
                                       reinterpret_cast<XPointer>(this)))
            fail("cannot enable the record context");
    }
    ~RequestCounter() {
        XRecordDisableContext(control_, context_);
        XRecordFreeContext(control_, context_);
        XSync(control_, False);
        XCloseDisplay(data_);
        XCloseDisplay(control_);
    }

    // Waits until everything the console sent before now has been counted.
    void settle() {
        const int want = markers_ + 1;
        // A request with a reply: the server passes on what it has recorded
        // when it flushes its output to the clients.
        XNoOp(control_);
        XSync(control_, False);
        const long long deadline = nowNs() + 5000000000LL;
        while (markers_ < want) {
            if (nowNs() > deadline) fail("the record of the console's requests stalled");
            pollfd fd{ConnectionNumber(data_), POLLIN, 0};
            poll(&fd, 1, 100);
            XRecordProcessReplies(data_);
        }
    }
    // Counts from now on the client that owns this window.
    void follow(Window window) { consoleBase_ = window & mask_; }
    void reset() { tallies_.clear(); }
    // By major opcode.
    const std::map<int, int>& requests() { return tallies_[consoleBase_].requests; }
    int replies() { return tallies_[consoleBase_].replies; }
    int requestTotal() {
        int n = 0;
        for (auto& [op, count] : requests()) n += count;
        return n;
    }

   private:
    static void intercept(XPointer closure, XRecordInterceptData* d) {
        auto* self = reinterpret_cast<RequestCounter*>(closure);
        const bool fromClient = d->category == XRecordFromClient && d->data_len > 0;
        const bool fromServer = d->category == XRecordFromServer && d->data_len > 0;
        if (d->id_base == self->markerBase_) {
            if (fromClient && d->data[0] == X_NoOperation) ++self->markers_;
        } else {
            Tally& t = self->tallies_[d->id_base];
            if (fromClient) ++t.requests[d->data[0]];
            if (fromServer && d->data[0] == X_Reply) ++t.replies;
        }
        XRecordFreeData(d);
    }

    Display* control_;
    Display* data_;
    Window marker_ = None;
    struct Tally {
        std::map<int, int> requests;
        int replies = 0;
    };
    std::map<XID, Tally> tallies_;
    XID mask_ = 0, consoleBase_ = 0, markerBase_ = 0;
    XRecordContext context_ = 0;
    int markers_ = 0;
};

const char* requestName(int opcode) {
    switch (opcode) {
        case X_ChangeWindowAttributes:
            return "ChangeWindowAttributes";
        case X_GetWindowAttributes:
            return "GetWindowAttributes";
        case X_GetGeometry:
            return "GetGeometry";
        case X_MapWindow:
            return "MapWindow";
        case X_ConfigureWindow:
            return "ConfigureWindow";
        case X_GrabServer:
            return "GrabServer";
        case X_UngrabServer:
            return "UngrabServer";
        case X_SetInputFocus:
            return "SetInputFocus";
        case X_GetInputFocus:
            return "GetInputFocus";
        case X_GrabPointer:
            return "GrabPointer";
        case X_UngrabPointer:
            return "UngrabPointer";
        case X_GetKeyboardMapping:
            return "GetKeyboardMapping";
        default:
            return nullptr;
    }
}

// ---------------------------------------------------------------- the bench

class Bench {
   public:
    explicit Bench(const Options& options)
        : opt_(options), server_(1280, 900), in_(server_.dpy()), obs_(server_) {
        server_.setResources(resources(kAniDelay));
        app_ = makeFocusedWindow(in_);
        // The pointer rests off the console, at the bottom of the screen.
        movePointer(in_, server_.width() / 2, server_.height() - 10);
    }

    void run();

   private:
    struct Started {
        long long ns = -1;  // exec to parked with the terminal adopted
        // Phases, from exec: the frame created, the terminal's window
        // created in it, and mapped.
        long long frameAt = -1, termCreatedAt = -1, termMappedAt = -1;
        long long cpuNs = 0;  // the console's own CPU time until parked
        Window frame = None, terminal = None;
    };
    struct Floor {
        long long createdAt = -1, mappedAt = -1;  // from exec
    };
    struct Slide {
        long long press = 0, firstMove = -1, end = -1;
        std::vector<std::pair<long long, int>> ys;  // every ConfigureNotify of the frame
    };

    Started startConsole(std::unique_ptr<Child>& child);
    Floor startPlainXterm();
    Slide toggle(bool down);
    long long sizeKey(const char* keyName, int newHeight);
    Row drag();
    void geometry(Window frame, Window terminal);
    void writePlot(const Slide& down, const Slide& up) const;

    int hiddenY() const { return -(height_ + kHandleWidth); }
    int movesDown() const {
        return static_cast<int>(slidePositions(hiddenY(), height_, kHandleWidth, kStepSize).size());
    }
    int movesUp() const {
        return static_cast<int>(slidePositions(0, height_, kHandleWidth, kStepSize).size());
    }

    Options opt_;
    Server server_;
    Display* in_;
    Observer obs_;
    Window app_ = None;
    Window frame_ = None, terminal_ = None;
    int height_ = 0, rowHeight_ = 0;
    std::vector<Row> rows_;
    std::vector<std::string> notes_;
};

// Starts the console and waits, on the observer's events only, until its
// frame sits at the hidden position with the terminal mapped inside it.
Bench::Started Bench::startConsole(std::unique_ptr<Child>& child) {
    obs_.forget();
    Started s;
    const long long t0 = nowNs();
    child = std::make_unique<Child>(std::vector<std::string>{dropconBinary()}, server_.env());
    s.frameAt = obs_.await(
        [&](const XEvent& e) {
            if (e.type != CreateNotify || !e.xcreatewindow.override_redirect) return false;
            s.frame = e.xcreatewindow.window;
            return true;
        },
        15000);
    if (s.frameAt < 0) fail("the console created no frame");
    // The terminal's window comes tens of milliseconds later: there is time
    // to ask for the frame's substructure events.
    obs_.watchChildrenOf(s.frame);
    const long long end = obs_.awaitSeen(
        [&](const Seen& x) {
            const XEvent& e = x.event;
            // xterm creates its window on the root and then moves it into
            // the frame.
            if (e.type == CreateNotify && !e.xcreatewindow.override_redirect && s.termCreatedAt < 0)
                s.termCreatedAt = x.ns;
            if (e.type == MapNotify && e.xmap.event == s.frame) {
                s.terminal = e.xmap.window;
                s.termMappedAt = x.ns;
            }
            return s.terminal != None && configureOf(e, s.frame) && e.xconfigure.y == -e.xconfigure.height;
        },
        15000);
    if (end < 0 || s.termCreatedAt < 0) fail("the console did not park its frame with a terminal in it");
    s.cpuNs = costOf(child->pid).cpuNs;
    s.ns = end - t0;
    s.frameAt -= t0;
    s.termCreatedAt -= t0;
    s.termMappedAt -= t0;
    return s;
}

// A plain xterm, as the floor of the console's start-up: exec to mapped.
Bench::Floor Bench::startPlainXterm() {
    obs_.forget();
    Floor f;
    const long long t0 = nowNs();
    Child xterm({"/usr/bin/xterm"}, server_.env());
    Window w = None;
    const long long end = obs_.awaitSeen(
        [&](const Seen& x) {
            const XEvent& e = x.event;
            if (e.type == CreateNotify && f.createdAt < 0) f.createdAt = x.ns - t0;
            if (e.type != MapNotify || e.xmap.event != DefaultRootWindow(obs_.dpy)) return false;
            w = e.xmap.window;
            return true;
        },
        15000);
    if (end < 0) fail("xterm did not map a window");
    f.mappedAt = end - t0;
    xterm.end();
    obs_.await([&](const XEvent& e) { return e.type == DestroyNotify && e.xdestroywindow.window == w; });
    return f;
}

void Bench::geometry(Window frame, Window terminal) {
    frame_ = frame;
    terminal_ = terminal;
    XWindowAttributes f{};
    XGetWindowAttributes(in_, frame_, &f);
    height_ = f.height - kHandleWidth;
    rowHeight_ = heightIncOf(in_, terminal_);
}

// One press of the toggle key, timed from the XTEST press of its key
// (the modifiers are already down) to the frame's first move and to its
// arrival at the end position. Sends nothing on any connection until the
// slide has ended, so that the server grab holds up nobody that matters.
Bench::Slide Bench::toggle(bool down) {
    const int from = down ? hiddenY() : 0, to = down ? 0 : hiddenY();
    key(in_, "Control_L", true);
    key(in_, "Alt_L", true);
    XSync(in_, False);
    obs_.forget();
    Slide s;
    s.press = nowNs();
    key(in_, "y", true);
    XFlush(in_);
    s.end = obs_.awaitSeen([&](const Seen& x) {
        const XEvent& e = x.event;
        if (!configureOf(e, frame_)) return false;
        if (e.xconfigure.y == from) return false;  // the raise
        s.ys.emplace_back(x.ns, e.xconfigure.y);
        return e.xconfigure.y == to;
    });
    if (s.end < 0) fail(down ? "the console did not come down" : "the console did not go up");
    s.firstMove = s.ys.front().first;
    key(in_, "y", false);
    key(in_, "Alt_L", false);
    key(in_, "Control_L", false);
    XSync(in_, False);
    if (down) {
        // The terminal's one-pixel detour ends at its full height.
        obs_.await(
            [&](const XEvent& e) { return configureOf(e, terminal_) && e.xconfigure.height == height_; });
    }
    // Let the terminal finish drawing before the next figure is taken.
    poll(nullptr, 0, 30);
    return s;
}

// A size key while shown: press of the key to the terminal and the frame
// both at the new height.
long long Bench::sizeKey(const char* keyName, int newHeight) {
    key(in_, "Control_L", true);
    XSync(in_, False);
    obs_.forget();
    const long long t0 = nowNs();
    key(in_, keyName, true);
    XFlush(in_);
    bool term = false, frame = false;
    const long long end = obs_.await([&](const XEvent& e) {
        if (configureOf(e, terminal_) && e.xconfigure.height == newHeight) term = true;
        if (configureOf(e, frame_) && e.xconfigure.height == newHeight + kHandleWidth) frame = true;
        return term && frame;
    });
    if (end < 0) fail(std::string("no resize after ") + keyName);
    key(in_, keyName, false);
    key(in_, "Control_L", false);
    XSync(in_, False);
    height_ = newHeight;
    poll(nullptr, 0, 30);
    return end - t0;
}

// Drags the handle: each XTEST motion to another row, timed to the frame's
// resize to that row.
Row Bench::drag() {
    Row row{"drag: one pointer motion to terminal and frame resized", "ms", {}};
    const int x = server_.width() / 2, base = height_ / rowHeight_;
    movePointer(in_, x, height_ + 1);  // on the handle
    button(in_, 1, true);
    auto motionTo = [&](int rows, int dx) {
        obs_.forget();
        const long long t0 = nowNs();
        XTestFakeMotionEvent(in_, DefaultScreen(in_), x + dx, rows * rowHeight_ + 1, CurrentTime);
        XFlush(in_);
        const int want = rows * rowHeight_ + kHandleWidth;
        const long long end = obs_.await(
            [&](const XEvent& e) { return configureOf(e, frame_) && e.xconfigure.height == want; }, 300);
        XSync(in_, False);
        return end < 0 ? -1 : end - t0;
    };
    // The console takes the pointer over only once it has read the button
    // press; motions before that go nowhere, so the first one is repeated
    // until it takes effect, and is not counted.
    int tries = 0;
    while (motionTo(base + 1, tries) < 0)
        if (++tries > 20) fail("the drag does not resize the console");
    for (int i = 0; i < opt_.runs; ++i) {
        long long t = motionTo(i % 2 ? base + 1 : base + 2, 0);
        if (t < 0) fail("a drag motion did not resize the console");
        row.values.push_back(ms(t));
    }
    if (motionTo(base, 0) < 0) fail("the drag did not go back");
    button(in_, 1, false);
    movePointer(in_, x, server_.height() - 10);
    height_ = base * rowHeight_;
    return row;
}

void Bench::writePlot(const Slide& down, const Slide& up) const {
    if (opt_.plotData.empty()) return;
    std::ofstream out(opt_.plotData);
    const double pause = kAniDelay / 10.0;
    // Blocks: 0 down as measured, 1 up as measured, 2 and 3 the same moves
    // at the ideal pace (one pause per move from the first move on).
    out << "# ms since the toggle key press, frame y\n# down, measured\n0 " << hiddenY() << "\n";
    for (auto& [ns, y] : down.ys) out << ms(ns - down.press) << " " << y << "\n";
    out << "\n\n# up, measured\n0 0\n";
    for (auto& [ns, y] : up.ys) out << ms(ns - up.press) << " " << y << "\n";
    out << "\n\n# down, ideal\n";
    for (size_t i = 0; i < down.ys.size(); ++i)
        out << ms(down.firstMove - down.press) + pause * static_cast<double>(i) << " " << down.ys[i].second
            << "\n";
    out << "\n\n# up, ideal\n";
    for (size_t i = 0; i < up.ys.size(); ++i)
        out << ms(up.firstMove - up.press) + pause * static_cast<double>(i) << " " << up.ys[i].second << "\n";
}

void Bench::run() {
    std::fprintf(stderr, "bench: Xvfb %s, %ld cores\n", server_.name().c_str(),
                 sysconf(_SC_NPROCESSORS_ONLN));

    // 4, 5: start-up against the floor, and the memory of each console once
    // it has been shown and hidden once.
    Row startDropcon{"start-up: exec to parked with the terminal adopted", "ms", {}};
    Row startXterm{"floor: plain xterm, exec to mapped", "ms", {}};
    Row startRatio{"start-up / floor (same run)", "ratio", {}};
    Row firstPress{"first press after start-up: key to first move", "ms", {}};
    Row rss{"memory once settled: RSS", "KiB", {}, 0};
    Row priv{"memory once settled: private (clean + dirty)", "KiB", {}, 0};
    Row privDirty{"memory once settled: private dirty", "KiB", {}, 0};
    Row phaseFrame{"start-up: exec to the frame created", "ms", {}};
    Row phaseTermStart{"start-up: frame created to the terminal's window created", "ms", {}};
    Row phaseTermMap{"start-up: terminal's window created to mapped", "ms", {}};
    Row phaseAdopt{"start-up: terminal mapped to frame parked", "ms", {}};
    Row floorCreate{"floor: exec to xterm's window created", "ms", {}};
    Row floorMap{"floor: xterm's window created to mapped", "ms", {}};
    Row startCpu{"start-up: CPU time of the console process until parked", "ms", {}};
    Row startRequests{"start-up: X requests of the console until parked", "count", {}, 0};
    Row startReplies{"start-up: round trips (replies) of the console until parked", "count", {}, 0};
    std::fprintf(stderr, "bench: start-up, %d runs each (and one warm-up)\n", opt_.runs);
    for (int i = 0; i <= opt_.runs; ++i) {
        std::unique_ptr<Child> console;
        Started s = startConsole(console);
        Floor floor = startPlainXterm();
        if (i > 0) {
            startDropcon.values.push_back(ms(s.ns));
            startXterm.values.push_back(ms(floor.mappedAt));
            startRatio.values.push_back(static_cast<double>(s.ns) / static_cast<double>(floor.mappedAt));
            phaseFrame.values.push_back(ms(s.frameAt));
            phaseTermStart.values.push_back(ms(s.termCreatedAt - s.frameAt));
            phaseTermMap.values.push_back(ms(s.termMappedAt - s.termCreatedAt));
            phaseAdopt.values.push_back(ms(s.ns - s.termMappedAt));
            floorCreate.values.push_back(ms(floor.createdAt));
            floorMap.values.push_back(ms(floor.mappedAt - floor.createdAt));
            startCpu.values.push_back(ms(s.cpuNs));
        }
        geometry(s.frame, s.terminal);
        Slide first = toggle(true);
        toggle(false);
        if (i > 0) {
            firstPress.values.push_back(ms(first.firstMove - first.press));
            auto m = procFields("/proc/" + std::to_string(console->pid) + "/smaps_rollup");
            rss.values.push_back(static_cast<double>(m["Rss"]));
            priv.values.push_back(static_cast<double>(m["Private_Clean"] + m["Private_Dirty"]));
            privDirty.values.push_back(static_cast<double>(m["Private_Dirty"]));
        }
        Window frame = s.frame;
        console.reset();
        obs_.await(
            [&](const XEvent& e) { return e.type == DestroyNotify && e.xdestroywindow.window == frame; });
    }

    // The console's requests during start-up, counted apart from the timed
    // runs: recording every new client costs the server time.
    {
        RequestCounter counter(server_, XRecordFutureClients);
        for (int i = 0; i < opt_.runs; ++i) {
            counter.settle();
            counter.reset();
            std::unique_ptr<Child> console;
            Started s = startConsole(console);
            counter.follow(s.frame);
            counter.settle();
            startRequests.values.push_back(counter.requestTotal());
            startReplies.values.push_back(counter.replies());
            console.reset();
            obs_.await([&](const XEvent& e) {
                return e.type == DestroyNotify && e.xdestroywindow.window == s.frame;
            });
        }
    }

    // The console that every other figure is taken on.
    std::unique_ptr<Child> console;
    Started s = startConsole(console);
    geometry(s.frame, s.terminal);
    const int down = movesDown(), up = movesUp();
    const double pauseMs = kAniDelay / 10.0;
    std::fprintf(stderr, "bench: console %d px high (%d rows of %d px), %d moves down, %d up\n", height_,
                 height_ / rowHeight_, rowHeight_, down, up);
    toggle(true);  // warm-up
    toggle(false);

    // 1, 2: slides.
    std::fprintf(stderr, "bench: slides, %d runs each way\n", opt_.runs);
    Row downWall{"slide down: first move to y 0 (" + std::to_string(down) + " moves)", "ms", {}};
    Row downRatio{
        "slide down / ideal (" + std::to_string(down) + " x " + std::to_string(kAniDelay * 100) + " us)",
        "ratio",
        {}};
    Row upWall{"slide up: first move to hidden (" + std::to_string(up) + " moves)", "ms", {}};
    Row upRatio{"slide up / ideal (" + std::to_string(up) + " x " + std::to_string(kAniDelay * 100) + " us)",
                "ratio",
                {}};
    Row downFirst{"show: key press to first move", "ms", {}};
    Row downEnd{"show: key press to frame at y 0", "ms", {}};
    Row upFirst{"hide: key press to first move", "ms", {}};
    Row upEnd{"hide: key press to frame hidden", "ms", {}};
    Row movesSeen{"frame moves seen per slide / moves expected", "ratio", {}};
    for (int i = 0; i < opt_.runs; ++i) {
        Slide d = toggle(true);
        Slide u = toggle(false);
        if (i == 0) writePlot(d, u);
        downWall.values.push_back(ms(d.end - d.firstMove));
        downRatio.values.push_back(ms(d.end - d.firstMove) / (down * pauseMs));
        upWall.values.push_back(ms(u.end - u.firstMove));
        upRatio.values.push_back(ms(u.end - u.firstMove) / (up * pauseMs));
        downFirst.values.push_back(ms(d.firstMove - d.press));
        downEnd.values.push_back(ms(d.end - d.press));
        upFirst.values.push_back(ms(u.firstMove - u.press));
        upEnd.values.push_back(ms(u.end - u.press));
        movesSeen.values.push_back(static_cast<double>(d.ys.size() + u.ys.size()) / (down + 1 + up + 1));
    }

    // 7: X requests and round trips per animation step.
    std::fprintf(stderr, "bench: X requests per step, %d runs each way\n", opt_.runs);
    Row reqDown{"show: X requests per animation step", "count", {}};
    Row rtDown{"show: round trips (replies) per animation step", "count", {}};
    Row reqUp{"hide: X requests per animation step", "count", {}};
    Row rtUp{"hide: round trips (replies) per animation step", "count", {}};
    std::map<int, int> histogramDown, histogramUp;
    {
        RequestCounter counter(server_, frame_);
        for (int i = 0; i < opt_.runs; ++i) {
            for (bool isDown : {true, false}) {
                counter.settle();
                counter.reset();
                toggle(isDown);
                counter.settle();
                const double moves = isDown ? down : up;
                (isDown ? reqDown : reqUp).values.push_back(counter.requestTotal() / moves);
                (isDown ? rtDown : rtUp).values.push_back(counter.replies() / moves);
                if (i == 0) (isDown ? histogramDown : histogramUp) = counter.requests();
            }
        }
    }
    auto histogram = [](const char* what, const std::map<int, int>& h) {
        std::string text = std::string(what) + ":";
        for (auto& [op, count] : h) {
            const char* name = requestName(op);
            text += " " + (name ? std::string(name) : "opcode " + std::to_string(op)) + " " +
                    std::to_string(count);
        }
        return text;
    };
    notes_.push_back(histogram("requests of one show", histogramDown));
    notes_.push_back(histogram("requests of one hide", histogramUp));

    // 3: size keys and the drag, while shown.
    std::fprintf(stderr, "bench: size keys and drag, %d runs each\n", opt_.runs);
    toggle(true);
    Row bigger{"size key Control+KP_Add: press to terminal and frame resized", "ms", {}};
    Row smaller{"size key Control+KP_Subtract: press to terminal and frame resized", "ms", {}};
    for (int i = 0; i < opt_.runs; ++i) {
        bigger.values.push_back(ms(sizeKey("KP_Add", height_ + rowHeight_)));
        smaller.values.push_back(ms(sizeKey("KP_Subtract", height_ - rowHeight_)));
    }
    Row dragRow = drag();
    toggle(false);

    for (Row* r :
         {&downWall, &downRatio, &upWall, &upRatio, &downFirst, &downEnd, &upFirst, &upEnd, &firstPress,
          &bigger, &smaller, &dragRow, &startDropcon, &startXterm, &startRatio, &rss, &priv, &privDirty})
        rows_.push_back(*r);
    std::string top = "private memory by mapping (KiB):";
    auto mappings = privateByMapping(console->pid);
    for (size_t i = 0; i < mappings.size() && i < 12; ++i)
        top += " " + mappings[i].second + " " + std::to_string(mappings[i].first) + ";";
    notes_.push_back(top);

    // 6: idle cost, hidden and shown, no input at all.
    std::fprintf(stderr, "bench: idle, %d x %d s hidden and shown\n", opt_.idleRuns, opt_.idleSeconds);
    const std::string secs = std::to_string(opt_.idleSeconds) + " s";
    for (bool shown : {false, true}) {
        if (shown) toggle(true);
        Row cpu{std::string("idle ") + (shown ? "shown" : "hidden") + ": CPU time in " + secs, "us", {}, 0};
        Row sw{std::string("idle ") + (shown ? "shown" : "hidden") + ": context switches in " + secs,
               "count",
               {},
               0};
        poll(nullptr, 0, 500);  // the terminal's redraw after the slide is not idle time
        for (int i = 0; i < opt_.idleRuns; ++i) {
            Cost before = costOf(console->pid);
            poll(nullptr, 0, opt_.idleSeconds * 1000);
            Cost after = costOf(console->pid);
            cpu.values.push_back(static_cast<double>(after.cpuNs - before.cpuNs) / 1000.0);
            sw.values.push_back(static_cast<double>(after.switches - before.switches));
        }
        rows_.push_back(cpu);
        rows_.push_back(sw);
        if (shown) toggle(false);
    }
    for (Row* r : {&reqDown, &rtDown, &reqUp, &rtUp, &movesSeen}) rows_.push_back(*r);
    console.reset();

    // Where the time goes: the slide's moves beyond the pause, the same
    // slides without any pause, and the pause alone as the kernel gives it
    // to this process.
    std::fprintf(stderr, "bench: where the time goes, %d runs each\n", opt_.runs);
    Row beyondDown{"slide down: time per move beyond the pause", "us", {}, 1};
    Row beyondUp{"slide up: time per move beyond the pause", "us", {}, 1};
    for (double w : downWall.values) beyondDown.values.push_back(w * 1000 / down - kAniDelay * 100);
    for (double w : upWall.values) beyondUp.values.push_back(w * 1000 / up - kAniDelay * 100);
    Row oversleep{
        "usleep(" + std::to_string(kAniDelay * 100) + ") in the bench process: time beyond the pause",
        "us",
        {},
        1};
    for (int i = 0; i < opt_.runs; ++i) {
        const long long t0 = nowNs();
        for (int k = 0; k < down; ++k) usleep(kAniDelay * 100);
        oversleep.values.push_back(static_cast<double>(nowNs() - t0) / 1000.0 / down - kAniDelay * 100);
    }
    server_.setResources(resources(0));
    Started bare = startConsole(console);
    geometry(bare.frame, bare.terminal);
    toggle(true);
    toggle(false);
    Row bareDown{"slide down with aniDelay 0: time per move", "us", {}, 1};
    Row bareUp{"slide up with aniDelay 0: time per move", "us", {}, 1};
    for (int i = 0; i < opt_.runs; ++i) {
        Slide d = toggle(true);
        Slide u = toggle(false);
        bareDown.values.push_back(static_cast<double>(d.end - d.firstMove) / 1000.0 / down);
        bareUp.values.push_back(static_cast<double>(u.end - u.firstMove) / 1000.0 / up);
    }
    console.reset();
    server_.setResources(resources(kAniDelay));
    std::vector<Row> diagnostics{beyondDown, beyondUp,       oversleep,     bareDown,    bareUp,
                                 phaseFrame, phaseTermStart, phaseTermMap,  phaseAdopt,  floorCreate,
                                 floorMap,   startCpu,       startRequests, startReplies};

    double load[3] = {0, 0, 0};
    getloadavg(load, 3);
    std::printf(
        "Default console: %d px high (%d rows of %d px) + %d px handle on a 1280x900 Xvfb; "
        "step %d px, %d moves down, %d up, pause %d us.\n\n",
        height_, height_ / rowHeight_, rowHeight_, kHandleWidth, slideStep(height_, kStepSize), down, up,
        kAniDelay * 100);
    printTable(rows_);
    std::printf("\nWhere the time goes:\n\n");
    printTable(diagnostics);
    std::printf("\n");
    for (auto& n : notes_) std::printf("%s\n", n.c_str());
    std::printf("load average at the end: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
}

Options parse(int argc, char** argv) {
    Options o;
    bool idleRunsSet = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) fail("missing value after " + a);
            return argv[++i];
        };
        if (a == "--runs")
            o.runs = std::max(1, std::atoi(value().c_str()));
        else if (a == "--idle-runs")
            o.idleRuns = std::max(1, std::atoi(value().c_str())), idleRunsSet = true;
        else if (a == "--idle-seconds")
            o.idleSeconds = std::max(1, std::atoi(value().c_str()));
        else if (a == "--plot-data")
            o.plotData = value();
        else
            fail("usage: dropcon_bench [--runs N] [--idle-runs N] [--idle-seconds S] [--plot-data FILE]");
    }
    if (!idleRunsSet) o.idleRuns = o.runs;
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    Options options = parse(argc, argv);
    // Terminals the console starts through the shell are orphaned at once;
    // as their subreaper we can collect them when they end.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    signal(SIGPIPE, SIG_IGN);
    try {
        Bench bench(options);
        bench.run();
    } catch (const std::exception& e) {
        fail(e.what());
    }
}
