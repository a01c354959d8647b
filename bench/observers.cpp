// What the benchmark watches: the server's events, the console's requests, and the screen itself.
#include "bench/observers.h"

#include <X11/Xproto.h>
#include <poll.h>

#include "bench/common.h"
#include "tests/support/scene.h"

Observer::Observer(const xt::XServer& server) : dpy(server.connect()) {
    if (!dpy) fail("cannot open the observer's connection");
    XSelectInput(dpy, DefaultRootWindow(dpy), SubstructureNotifyMask);
    XSync(dpy, False);
}

Observer::~Observer() { XCloseDisplay(dpy); }

void Observer::watchChildrenOf(Window frame) {
    XSelectInput(dpy, frame, SubstructureNotifyMask);
    XSync(dpy, False);
}

long long Observer::await(const std::function<bool(const XEvent&)>& pred, int timeoutMs) {
    return awaitSeen([&](const Seen& s) { return pred(s.event); }, timeoutMs);
}

long long Observer::awaitSeen(const std::function<bool(const Seen&)>& pred, int timeoutMs) {
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

void Observer::forget() {
    XSync(dpy, False);
    read(0);
    seen.clear();
    next_ = 0;
}

void Observer::read(int timeoutMs) {
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

bool configureOf(const XEvent& e, Window w) { return e.type == ConfigureNotify && e.xconfigure.window == w; }

RequestCounter::RequestCounter(const xt::XServer& server, XRecordClientSpec console)
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
RequestCounter::~RequestCounter() {
    XRecordDisableContext(control_, context_);
    XRecordFreeContext(control_, context_);
    XSync(control_, False);
    XCloseDisplay(data_);
    XCloseDisplay(control_);
}

void RequestCounter::settle() {
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

int RequestCounter::requestTotal() {
    int n = 0;
    for (auto& [op, count] : requests()) n += count;
    return n;
}

void RequestCounter::intercept(XPointer closure, XRecordInterceptData* d) {
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
        case X_GrabKey:
            return "GrabKey";
        case X_UngrabKey:
            return "UngrabKey";
        case X_QueryPointer:
            return "QueryPointer";
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

ScreenSampler::ScreenSampler(const std::string& fbdir, int x, int rows) : screen_(fbdir), x_(x), rows_(rows) {
    if (!screen_.ok() || rows_ > screen_.height())
        fail("no framebuffer of " + std::to_string(rows) + " rows");
}

ScreenSampler::~ScreenSampler() {
    if (running_) stop();
}

int ScreenSampler::handleBottomNow() const {
    int bottom = -1;
    for (int row = 0; row < rows_; ++row)
        if (screen_.pixel(x_, row) == xt::kHandleColour) bottom = row;
    return bottom;
}

void ScreenSampler::start() {
    samples_.clear();
    samples_.push_back({nowNs(), handleBottomNow()});
    running_ = true;
    thread_ = std::thread(&ScreenSampler::run, this);
}

std::vector<ScreenSampler::Sample> ScreenSampler::stop() {
    running_ = false;
    thread_.join();
    return std::move(samples_);
}

void ScreenSampler::run() {
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    while (running_) {
        next.tv_nsec += 1000000;
        if (next.tv_nsec >= 1000000000) {
            next.tv_nsec -= 1000000000;
            ++next.tv_sec;
        }
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        const int bottom = handleBottomNow();
        if (bottom != samples_.back().handleBottom) samples_.push_back({nowNs(), bottom});
    }
}
