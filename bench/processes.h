// Starting programs for the benchmark: a child process group, a private Xvfb, the console's binary.
#pragma once

#include <X11/Xlib.h>
#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

// A child in a process group of its own, so that it can be ended together
// with what it starts (the console's shell and terminal) by its own id.
struct Child {
    pid_t pid = -1;

    Child(const std::vector<std::string>& argv, const std::vector<std::string>& env, int keepFd = -1,
          bool quiet = false);
    ~Child() { end(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    void end();
};

// A private Xvfb: it picks a free display itself and names it on a pipe.
// Given fbdir, it keeps its screen in DIR/Xvfb_screen0, an XWD image that
// another process can read while the server runs, grabbed or not.
class Server {
   public:
    Server(int width, int height, const std::string& fbdir = "");
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    const std::string& name() const { return name_; }
    Display* dpy() const { return dpy_; }
    int width() const { return DisplayWidth(dpy_, DefaultScreen(dpy_)); }
    int height() const { return DisplayHeight(dpy_, DefaultScreen(dpy_)); }
    Display* connect() const { return XOpenDisplay(name_.c_str()); }

    // Loads resource lines into the server, as xrdb -load does.
    void setResources(const std::string& text) const;

    // The environment of the console and of the other programs: this
    // display, an empty home, so that no personal resource file leaks in,
    // and a plain shell in the terminal.
    std::vector<std::string> env() const;

   private:
    std::unique_ptr<Child> xvfb_;
    std::string name_, home_;
    Display* dpy_ = nullptr;
};

std::string dropconBinary();

// The owner of the named selection on the server's screen 0, or None.
Window selectionOwner(Display* dpy, const char* selection);
