// Starting programs for the benchmark: a child process group, a private Xvfb, the console's binary.
#include "bench/processes.h"

#include <X11/Xatom.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "bench/common.h"

Child::Child(const std::vector<std::string>& argv, const std::vector<std::string>& env, int keepFd,
             bool quiet) {
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
        execvpe(args[0], args.data(), envp.data());
        _exit(127);
    }
    if (pid < 0) fail("fork failed");
    setpgid(pid, pid);  // also from here, so that it holds before the child runs
}

void Child::end() {
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

Server::Server(int width, int height, const std::string& fbdir) {
    int fds[2];
    if (pipe(fds) != 0) fail("pipe failed");
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    std::vector<std::string> argv{"/usr/bin/Xvfb", "-displayfd", std::to_string(fds[1]),
                                  "-screen",       "0",          screen,
                                  "-nolisten",     "tcp",        "-noreset"};
    if (!fbdir.empty()) argv.insert(argv.end(), {"-fbdir", fbdir});
    xvfb_ = std::make_unique<Child>(argv, std::vector<std::string>{}, fds[1], true);
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

Server::~Server() {
    XCloseDisplay(dpy_);
    xvfb_.reset();
    rmdir(home_.c_str());
}

void Server::setResources(const std::string& text) const {
    XChangeProperty(dpy_, DefaultRootWindow(dpy_), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    XSync(dpy_, False);
}

std::vector<std::string> Server::env() const {
    const char* path = getenv("PATH");
    return {"DISPLAY=" + name_, "HOME=" + home_, "SHELL=/bin/sh",
            std::string("PATH=") + (path ? path : "/usr/bin:/bin"), "PS1=$ "};
}

std::string dropconBinary() {
    const char* path = getenv("DROPCON_BINARY");
    return path ? path : DROPCON_BINARY;
}

Window selectionOwner(Display* dpy, const char* selection) {
    return XGetSelectionOwner(dpy, XInternAtom(dpy, selection, False));
}
