// What the benchmark watches: the server's events, the console's requests, and the screen itself.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/record.h>

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/framebuffer.h"
#include "tests/support/xharness.h"

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
    explicit Observer(const xt::XServer& server);
    ~Observer();
    Observer(const Observer&) = delete;
    Observer& operator=(const Observer&) = delete;

    void watchChildrenOf(Window frame);

    // The arrival time of the next event that satisfies pred, reading from
    // the server as needed; -1 on timeout.
    long long await(const std::function<bool(const XEvent&)>& pred, int timeoutMs = 5000);
    long long awaitSeen(const std::function<bool(const Seen&)>& pred, int timeoutMs = 5000);

    // Drops what has been seen so far (after draining what has arrived).
    void forget();

    Display* dpy;
    std::vector<Seen> seen;

   private:
    void read(int timeoutMs);

    size_t next_ = 0;
};

bool configureOf(const XEvent& e, Window w);

// Counts, through the RECORD extension, the requests the console's client
// sends and the replies it gets. A second client (the marker) sends a
// NoOperation after a slide: once it shows up in the record, every request
// the console made before it has been counted. Given XRecordFutureClients
// instead of one of the console's windows, it counts every client that
// connects from then on, each by its resource id base.
class RequestCounter {
   public:
    RequestCounter(const xt::XServer& server, XRecordClientSpec console);
    ~RequestCounter();
    RequestCounter(const RequestCounter&) = delete;
    RequestCounter& operator=(const RequestCounter&) = delete;

    // Waits until everything the console sent before now has been counted.
    void settle();
    // Counts from now on the client that owns this window.
    void follow(Window window) { consoleBase_ = window & mask_; }
    void reset() { tallies_.clear(); }
    // By major opcode.
    const std::map<int, int>& requests() { return tallies_[consoleBase_].requests; }
    int replies() { return tallies_[consoleBase_].replies; }
    int requestTotal();

   private:
    static void intercept(XPointer closure, XRecordInterceptData* d);

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

// The names of the requests the console makes, for the histograms.
const char* requestName(int opcode);

// Reads the screen itself from the framebuffer of an Xvfb started with
// -fbdir: no X connection, so neither a server grab nor a compositor that
// has not painted yet can hide anything. A thread samples one column of
// pixels about every millisecond and keeps, for each sample that differs
// from the one before, where the console's handle was painted.
class ScreenSampler {
   public:
    struct Sample {
        long long ns;
        int handleBottom;  // the lowest row of handle colour, -1 when none is painted
    };

    // The column at x, rows 0 to rows - 1, of DIR/Xvfb_screen0.
    ScreenSampler(const std::string& fbdir, int x, int rows);
    ~ScreenSampler();
    ScreenSampler(const ScreenSampler&) = delete;
    ScreenSampler& operator=(const ScreenSampler&) = delete;

    void start();
    // Stops sampling and hands over the changes seen since start().
    std::vector<Sample> stop();
    // Where the handle is painted now.
    int handleBottomNow() const;

   private:
    void run();

    xt::Framebuffer screen_;
    int x_ = 0, rows_ = 0;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::vector<Sample> samples_;
};
