// Test support: a private Xvfb, the console and other programs as children, XTEST input and Xlib observation.
#include "tests/support/xharness.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "tests/support/processes.h"

extern char** environ;

namespace xt {

namespace {

long long nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Execs argv with the given environment; stdout and stderr to the files.
pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>* env,
            const std::string& outPath, const std::string& errPath, int keepFd = -1, bool group = false) {
    std::vector<char*> args, envp;
    for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    if (env) {
        for (auto& e : *env) envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
    }
    pid_t pid = fork();
    if (pid == 0) {
        if (group) setpgid(0, 0);
        // A test killed by its timeout cannot tear down: its server and its
        // console go with it, rather than linger.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        int devnull = open("/dev/null", O_RDONLY);
        dup2(devnull, 0);
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        for (int fd = 3; fd < 1024; ++fd)
            if (fd != keepFd) close(fd);
        if (env)
            execvpe(args[0], args.data(), envp.data());
        else
            execvp(args[0], args.data());
        _exit(127);
    }
    if (group) setpgid(pid, pid);  // also from here, so that it holds before the child runs
    if (pid > 0) noteStarted(pid);
    return pid;
}

void printFailure(const std::string& what) { std::fprintf(stderr, "xharness: %s\n", what.c_str()); }

}  // namespace

void (*failed)(const std::string& what) = printFailure;

std::vector<std::string>& startedErrFiles() {
    static std::vector<std::string> files;
    return files;
}

bool waitUntil(Display* dpy, const std::function<bool()>& pred, int timeoutMs) {
    const long long deadline = nowMs() + timeoutMs;
    for (;;) {
        XSync(dpy, False);
        if (pred()) return true;
        long long left = deadline - nowMs();
        if (left <= 0) return false;
        pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(std::min<long long>(left, 5)));
    }
}

namespace {

// The folders this process made, removed when it ends unless a failed test
// kept them (keepTempDirs).
struct TempDirs {
    std::vector<std::string> paths;
    ~TempDirs() {
        for (const std::string& path : paths) std::filesystem::remove_all(path);
    }
};
TempDirs& tempDirs() {
    static TempDirs dirs;
    return dirs;
}

}  // namespace

std::string tempDir() {
    char path[] = "/tmp/dropcon-test-XXXXXX";
    if (!mkdtemp(path)) throw std::runtime_error("mkdtemp failed");
    tempDirs().paths.push_back(path);
    return path;
}

std::vector<std::string> keepTempDirs() { return std::exchange(tempDirs().paths, {}); }

void writeFile(const std::string& path, const std::string& text, bool executable) {
    std::ofstream(path) << text;
    if (executable) chmod(path.c_str(), 0755);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

XServer::XServer(int width, int height, const std::string& fbdir) {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    // Orphans of the programs started on it come to this process (see endOrphans).
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    std::string dir = tempDir();
    std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    std::vector<std::string> argv{
        "Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen, "-nolisten", "tcp", "-noreset"};
    if (!fbdir.empty()) argv.insert(argv.end(), {"-fbdir", fbdir});
    pid_ = spawn(argv, nullptr, dir + "/xvfb.out", dir + "/xvfb.err", fds[1]);
    close(fds[1]);
    std::string number;
    const long long deadline = nowMs() + 15000;
    while (nowMs() < deadline) {
        pollfd fd{fds[0], POLLIN, 0};
        if (poll(&fd, 1, 100) <= 0) continue;
        char c;
        ssize_t n = read(fds[0], &c, 1);
        if (n <= 0 || c == '\n') break;
        number += c;
    }
    close(fds[0]);
    if (number.empty()) throw std::runtime_error("Xvfb did not report a display");
    name_ = ":" + number;
    dpy_ = XOpenDisplay(name_.c_str());
    if (!dpy_) throw std::runtime_error("cannot connect to " + name_);
    int event, error, major, minor;
    if (!XTestQueryExtension(dpy_, &event, &error, &major, &minor))
        throw std::runtime_error("no XTEST on " + name_);
}

XServer::~XServer() {
    if (dpy_) XCloseDisplay(dpy_);
    endOrphans(name_);
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

void XServer::setResources(const std::string& text) {
    XChangeProperty(dpy_, root(), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    XSync(dpy_, False);
}

Display* XServer::connect() const { return XOpenDisplay(name_.c_str()); }

void XServer::kill() {
    // Kept reachable, so that a leak checker does not count it.
    static std::vector<Display*> abandoned;
    if (dpy_) abandoned.push_back(dpy_);
    dpy_ = nullptr;
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

Process::Process(const std::vector<std::string>& argv, const std::vector<std::string>& env, bool group)
    : group_(group), dir_(tempDir()) {
    pid_ = spawn(argv, &env, dir_ + "/out", dir_ + "/err", -1, group);
    startedErrFiles().push_back(dir_ + "/err");
}

Process::~Process() { end(); }

void Process::end() {
    if (!running()) return;
    if (group_) {
        kill(-pid_, SIGTERM);
        if (waitExit(2000) != -1) return;
        kill(-pid_, SIGKILL);
    } else {
        kill(pid_, SIGKILL);
    }
    waitExit(10000);
}

bool Process::running() {
    if (status_ != -1) return false;
    int status = 0;
    pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == 0) return true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
}

int Process::waitExit(int timeoutMs) {
    const long long deadline = nowMs() + timeoutMs;
    while (running()) {
        if (nowMs() >= deadline) return -1;
        poll(nullptr, 0, 5);
    }
    return status_;
}

std::string Process::out() const { return readFile(dir_ + "/out"); }
std::string Process::err() const { return readFile(dir_ + "/err"); }

std::vector<std::string> consoleEnv(const XServer& server, const std::vector<std::string>& extra) {
    static const std::string home = tempDir();
    std::vector<std::string> env{"DISPLAY=" + server.name(), "HOME=" + home, "SHELL=/bin/sh",
                                 "PATH=" + std::string(getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin"),
                                 "PS1=$ "};
    for (const char* keep : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
        if (const char* value = getenv(keep)) env.push_back(std::string(keep) + "=" + value);
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

Geometry geometryOf(Display* dpy, Window window) {
    XWindowAttributes a;
    if (window == None || !XGetWindowAttributes(dpy, window, &a)) return {};
    return {
        a.x, a.y, a.width, a.height, a.border_width, a.override_redirect != False, a.map_state != IsUnmapped};
}

std::vector<Window> childrenOf(Display* dpy, Window window) {
    Window rootReturn, parent, *children = nullptr;
    unsigned count = 0;
    std::vector<Window> result;
    if (XQueryTree(dpy, window, &rootReturn, &parent, &children, &count)) {
        result.assign(children, children + count);
        if (children) XFree(children);
    }
    return result;
}

long windowLong(Display* dpy, Window window, const char* name, Atom type, long index) {
    XSync(dpy, False);
    XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long value = -1;
    if (XGetWindowProperty(dpy, window, XInternAtom(dpy, name, False), index, 1, False, type, &actual,
                           &format, &count, &after, &data) == Success &&
        data && count == 1 && format == 32)
        value = *reinterpret_cast<long*>(data);
    if (data) XFree(data);
    XSync(dpy, False);
    XSetErrorHandler(previous);
    return value;
}

std::string classOf(Display* dpy, Window window) {
    XClassHint hint{};
    if (!XGetClassHint(dpy, window, &hint)) return "";
    std::string text =
        std::string(hint.res_name ? hint.res_name : "") + "/" + (hint.res_class ? hint.res_class : "");
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
    return text;
}

Window findFrame(Display* dpy, bool withTerminal) {
    // Window managers and compositors make override-redirect windows of their
    // own (i3 maps one at the bottom of the stack, its frames around clients
    // are override-redirect too, openbox keeps unmapped menus with children);
    // fluxbox maps panels with inner windows); the frame is the mapped one that
    // holds the terminal's window: named by its class, managed by nobody.
    // Their windows may go while we look at them: no error is fatal here.
    XSync(dpy, False);
    XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    Window frame = None;
    for (Window w : childrenOf(dpy, DefaultRootWindow(dpy))) {
        Geometry g = geometryOf(dpy, w);
        if (!g.overrideRedirect || !g.mapped) continue;
        if (!withTerminal) frame = w;
        for (Window child : childrenOf(dpy, w))
            // A window manager puts WM_STATE on the windows it manages.
            if (frame == None && geometryOf(dpy, child).mapped && !classOf(dpy, child).empty() &&
                windowLong(dpy, child, "WM_STATE", AnyPropertyType) == -1)
                frame = w;
        if (frame != None) break;
    }
    XSync(dpy, False);
    XSetErrorHandler(previous);
    return frame;
}

int run(const XServer& server, const std::vector<std::string>& argv, int timeoutMs) {
    Process process(argv, consoleEnv(server));
    int status = process.waitExit(timeoutMs);
    if (status != 0) failed(argv[0] + " ended with " + std::to_string(status) + ":\n" + process.err());
    return status;
}

Window selectionOwner(Display* dpy, const std::string& selection) {
    return XGetSelectionOwner(dpy, XInternAtom(dpy, selection.c_str(), False));
}

std::unique_ptr<Process> startOwner(const XServer& server, const std::vector<std::string>& argv,
                                    const std::string& selection, const std::vector<std::string>& extraEnv) {
    auto process = std::make_unique<Process>(argv, consoleEnv(server, extraEnv));
    if (!waitUntil(
            server.dpy(), [&] { return selectionOwner(server.dpy(), selection) != None; }, 15000))
        failed(argv[0] + " did not take " + selection + ":\n" + process->err());
    return process;
}

int heightIncOf(Display* dpy, Window window) {
    XSizeHints hints{};
    long supplied = 0;
    if (!XGetWMNormalHints(dpy, window, &hints, &supplied)) return 0;
    return hints.height_inc;
}

Window focusOf(Display* dpy) {
    Window focus = None;
    int revert = 0;
    XGetInputFocus(dpy, &focus, &revert);
    return focus;
}

bool isTopmost(Display* dpy, Window window) {
    auto children = childrenOf(dpy, DefaultRootWindow(dpy));
    return !children.empty() && children.back() == window;
}

static int lastError = 0;

int tryGrab(Display* dpy, KeySym keysym, unsigned mask) {
    lastError = 0;
    auto old = XSetErrorHandler([](Display*, XErrorEvent* e) { return lastError = e->error_code, 0; });
    KeyCode code = XKeysymToKeycode(dpy, keysym);
    XGrabKey(dpy, code, mask, DefaultRootWindow(dpy), True, GrabModeAsync, GrabModeAsync);
    XSync(dpy, False);
    XUngrabKey(dpy, code, mask, DefaultRootWindow(dpy));
    XSync(dpy, False);
    XSetErrorHandler(old);
    return lastError;
}

bool pointerGrabbed(Display* dpy) {
    int result = XGrabPointer(dpy, DefaultRootWindow(dpy), False, 0, GrabModeAsync, GrabModeAsync, None, None,
                              CurrentTime);
    if (result == GrabSuccess) XUngrabPointer(dpy, CurrentTime);
    return result == AlreadyGrabbed;
}

static KeyCode keycodeOf(Display* dpy, const std::string& name) {
    KeySym sym = XStringToKeysym(name.c_str());
    KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(dpy, sym);
    if (code == 0) throw std::runtime_error("no key for " + name);
    return code;
}

void key(Display* dpy, const std::string& keysym, bool down) {
    XTestFakeKeyEvent(dpy, keycodeOf(dpy, keysym), down, CurrentTime);
}

void pressKeys(Display* dpy, const std::vector<std::string>& keysyms) {
    for (auto& k : keysyms) key(dpy, k, true);
    for (auto it = keysyms.rbegin(); it != keysyms.rend(); ++it) key(dpy, *it, false);
    XSync(dpy, False);
}

void pressCodes(Display* dpy, const std::vector<KeyCode>& keycodes) {
    for (KeyCode keycode : keycodes) XTestFakeKeyEvent(dpy, keycode, True, CurrentTime);
    for (auto it = keycodes.rbegin(); it != keycodes.rend(); ++it)
        XTestFakeKeyEvent(dpy, *it, False, CurrentTime);
    XSync(dpy, False);
}

KeyCode keycodeNow(const XServer& server, const char* keysym) {
    Display* fresh = server.connect();
    KeyCode keycode = XKeysymToKeycode(fresh, XStringToKeysym(keysym));
    XCloseDisplay(fresh);
    return keycode;
}

void typeText(Display* dpy, const std::string& text) {
    for (char c : text) {
        std::string name = c == '\n' ? "Return" : c == ' ' ? "space" : std::string(1, c);
        pressKeys(dpy, {name});
    }
}

void movePointer(Display* dpy, int x, int y) {
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), x, y, CurrentTime);
    XSync(dpy, False);
}

void button(Display* dpy, unsigned number, bool down) {
    XTestFakeButtonEvent(dpy, number, down ? True : False, CurrentTime);
    XSync(dpy, False);
}

Window makeFocusedWindow(Display* dpy, int x, int y, int width, int height) {
    Window w = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), x, y, width, height, 0, 0, 0xffffff);
    XMapWindow(dpy, w);
    waitUntil(dpy, [&] { return geometryOf(dpy, w).mapped; });
    XSetInputFocus(dpy, w, RevertToPointerRoot, CurrentTime);
    XSync(dpy, False);
    return w;
}

Watcher::Watcher(const XServer& server, Window w, long mask) : dpy(server.connect()), window(w) {
    XSelectInput(dpy, window, mask);
    XSync(dpy, False);
}

Watcher::~Watcher() { XCloseDisplay(dpy); }

void Watcher::pump() {
    while (XPending(dpy)) {
        XEvent event;
        XNextEvent(dpy, &event);
        events.push_back(event);
    }
}

bool Watcher::waitUntil(const std::function<bool()>& pred, int timeoutMs) {
    return xt::waitUntil(
        dpy,
        [&] {
            pump();
            return pred();
        },
        timeoutMs);
}

std::vector<int> Watcher::ys() const {
    std::vector<int> result;
    for (const XEvent& e : events)
        if (e.type == ConfigureNotify && e.xconfigure.window == window) result.push_back(e.xconfigure.y);
    return result;
}

std::vector<int> Watcher::heights(int start) const {
    std::vector<int> result;
    if (start >= 0) result.push_back(start);
    for (const XEvent& e : events)
        if (e.type == ConfigureNotify && e.xconfigure.window == window &&
            (result.empty() || result.back() != e.xconfigure.height))
            result.push_back(e.xconfigure.height);
    return result;
}

int Watcher::configuresAt(int height) const {
    int n = 0;
    for (const XEvent& e : events)
        n += e.type == ConfigureNotify && e.xconfigure.window == window && e.xconfigure.height == height;
    return n;
}

bool Watcher::relaunchSeen() const {
    bool unmapped = false;
    for (const XEvent& e : events) {
        if (e.type == UnmapNotify) unmapped = true;
        if (unmapped && e.type == MapNotify) return true;
    }
    return false;
}

int Watcher::count(int type) const {
    int n = 0;
    for (const XEvent& e : events) n += e.type == type;
    return n;
}

// The toggle key's default combination, pressed and released unsynced.
static void sendToggle(Display* dpy) {
    for (const char* name : {"Control_L", "Alt_L", "y"}) key(dpy, name, true);
    for (const char* name : {"y", "Alt_L", "Control_L"}) key(dpy, name, false);
    XFlush(dpy);
}

int toggleAndAwaitFirstMove(const XServer& server, Window frame) {
    Watcher watch(server, frame);
    return toggleAndAwaitFirstMove(server, watch, INT_MIN);  // any y
}

int toggleAndAwaitFirstMove(const XServer& server, Watcher& watch, int from) {
    sendToggle(server.dpy());
    for (;;) {
        XEvent event;
        XNextEvent(watch.dpy, &event);
        watch.events.push_back(event);
        if (event.type == ConfigureNotify && event.xconfigure.window == watch.window &&
            event.xconfigure.y != from)
            return event.xconfigure.y;
    }
}

std::string dropconBinary() {
    const char* override = getenv("DROPCON_BINARY");
    return override ? override : DROPCON_BINARY;
}

int occurrences(const std::string& text, const std::string& what) {
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

std::string sanitizerReport(const std::string& text) {
    for (const char* mark : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer",
                             "runtime error:", "UndefinedBehaviorSanitizer"}) {
        size_t at = text.find(mark);
        if (at == std::string::npos) continue;
        size_t from = text.rfind('\n', at);
        return text.substr(from == std::string::npos ? 0 : from + 1, 4000);
    }
    return "";
}

Console::Console(XServer& s, const std::vector<std::string>& args, const std::string& argv0,
                 const std::vector<std::string>& extraEnv, bool group)
    : server(s),
      dpy(s.dpy()),
      process(
          [&] {
              std::vector<std::string> argv{argv0.empty() ? dropconBinary() : argv0};
              argv.insert(argv.end(), args.begin(), args.end());
              return argv;
          }(),
          consoleEnv(s, extraEnv), group) {}

Window Console::currentTerminal() const {
    auto children = childrenOf(dpy, frameWin);
    return children.empty() ? None : children.front();
}

void Console::killTerminal() const {
    Display* killer = server.connect();
    XKillClient(killer, termWin);
    XCloseDisplay(killer);
}

bool Console::hiddenAt() const {
    Geometry f = frame();
    return f.height > 0 && f.y == -f.height;
}

bool Console::shownAt() const { return frame().y == 0; }

bool Console::ready(int timeoutMs) {
    return waitUntil(
        dpy,
        [&] {
            if (termWin == None) frameWin = findFrame(dpy);
            if (frameWin == None) return false;
            termWin = currentTerminal();
            if (termWin == None) return false;
            Geometry t = terminal(), f = frame();
            return t.mapped && t.border == 0 && f.width == t.width && f.height >= t.height && hiddenAt();
        },
        timeoutMs);
}

}  // namespace xt
