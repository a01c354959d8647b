// The slide as the configure stream shows it: pace, key latencies, requests per step, cost of a step.
#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>
#include <map>

#include "bench/measure.h"
#include "bench/report.h"

namespace {

// Block 0 down as measured, 1 up as measured, 2 and 3 the same moves at
// the ideal pace (one pause per move from the first move on).
void writePlot(const std::string& path, const Desk& desk, const Desk::Slide& down, const Desk::Slide& up) {
    const long long pause = xt::kAniDelay * 100000LL;
    auto measured = [](const char* title, const Desk::Slide& s) {
        Trace t{title, {}};
        for (auto& [ns, y] : s.ys) t.ys.emplace_back(ns - s.press, y);
        return t;
    };
    auto ideal = [&](const char* title, const Desk::Slide& s) {
        Trace t{title, {}};
        for (size_t i = 0; i < s.ys.size(); ++i)
            t.ys.emplace_back(s.firstMove - s.press + pause * static_cast<long long>(i), s.ys[i].second);
        return t;
    };
    writeTraces(path, {{measured("down, measured", down), desk.hiddenY()},
                       {measured("up, measured", up), 0},
                       {ideal("down, ideal", down), desk.hiddenY()},
                       {ideal("up, ideal", up), 0}});
}

std::string histogram(const char* what, const std::map<int, int>& h) {
    std::string text = std::string(what) + ":";
    for (auto& [op, count] : h) {
        const char* name = requestName(op);
        text +=
            " " + (name ? std::string(name) : "opcode " + std::to_string(op)) + " " + std::to_string(count);
    }
    return text;
}

}  // namespace

Figures measureSlides(Desk& desk, const Options& opt) {
    const int down = desk.movesDown(), up = desk.movesUp();
    const double pauseMs = xt::kAniDelay / 10.0;
    std::fprintf(stderr, "bench: slides, %d runs each way\n", opt.runs);
    const std::string pause = std::to_string(xt::kAniDelay * 100) + " us)";
    Row downWall{"slide down: first move to y 0 (" + std::to_string(down) + " moves)", "ms", {}};
    Row downRatio{"slide down / ideal (" + std::to_string(down) + " x " + pause, "ratio", {}};
    Row upWall{"slide up: first move to hidden (" + std::to_string(up) + " moves)", "ms", {}};
    Row upRatio{"slide up / ideal (" + std::to_string(up) + " x " + pause, "ratio", {}};
    Row downFirst{"show: key press to first move", "ms", {}};
    Row downEnd{"show: key press to frame at y 0", "ms", {}};
    Row upFirst{"hide: key press to first move", "ms", {}};
    Row upEnd{"hide: key press to frame hidden", "ms", {}};
    Row movesSeen{"frame moves seen per slide / moves expected", "ratio", {}};
    Row beyondDown{"slide down: time per move beyond the pause", "us", {}, 1};
    Row beyondUp{"slide up: time per move beyond the pause", "us", {}, 1};
    for (int i = 0; i < opt.runs; ++i) {
        Desk::Slide d = desk.toggle(true);
        Desk::Slide u = desk.toggle(false);
        if (i == 0) writePlot(opt.plotData, desk, d, u);
        downWall.values.push_back(ms(d.end - d.firstMove));
        downRatio.values.push_back(ms(d.end - d.firstMove) / (down * pauseMs));
        upWall.values.push_back(ms(u.end - u.firstMove));
        upRatio.values.push_back(ms(u.end - u.firstMove) / (up * pauseMs));
        downFirst.values.push_back(ms(d.firstMove - d.press));
        downEnd.values.push_back(ms(d.end - d.press));
        upFirst.values.push_back(ms(u.firstMove - u.press));
        upEnd.values.push_back(ms(u.end - u.press));
        movesSeen.values.push_back(static_cast<double>(d.ys.size() + u.ys.size()) / (down + 1 + up + 1));
        beyondDown.values.push_back(ms(d.end - d.firstMove) * 1000 / down - xt::kAniDelay * 100);
        beyondUp.values.push_back(ms(u.end - u.firstMove) * 1000 / up - xt::kAniDelay * 100);
    }
    Figures f;
    f.rows = {downWall, downRatio, upWall, upRatio, downFirst, downEnd, upFirst, upEnd, movesSeen};
    f.diagnostics = {beyondDown, beyondUp};
    return f;
}

Figures measureRequests(Desk& desk, const Options& opt) {
    std::fprintf(stderr, "bench: X requests per step, %d runs each way\n", opt.runs);
    Row reqDown{"show: X requests per animation step", "count", {}};
    Row rtDown{"show: round trips (replies) per animation step", "count", {}};
    Row reqUp{"hide: X requests per animation step", "count", {}};
    Row rtUp{"hide: round trips (replies) per animation step", "count", {}};
    std::map<int, int> histogramDown, histogramUp;
    RequestCounter counter(desk.server(), desk.frame());
    for (int i = 0; i < opt.runs; ++i) {
        for (bool isDown : {true, false}) {
            counter.settle();
            counter.reset();
            desk.toggle(isDown);
            counter.settle();
            const double moves = isDown ? desk.movesDown() : desk.movesUp();
            (isDown ? reqDown : reqUp).values.push_back(counter.requestTotal() / moves);
            (isDown ? rtDown : rtUp).values.push_back(counter.replies() / moves);
            if (i == 0) (isDown ? histogramDown : histogramUp) = counter.requests();
        }
    }
    Figures f;
    f.rows = {reqDown, rtDown, reqUp, rtUp};
    f.notes = {histogram("requests of one show", histogramDown),
               histogram("requests of one hide", histogramUp)};
    return f;
}

Figures measureStepCost(Desk& desk, const Options& opt) {
    std::fprintf(stderr, "bench: where the time goes, %d runs each\n", opt.runs);
    Display* dpy = desk.input();
    const int down = desk.movesDown(), up = desk.movesUp();
    const int height = desk.height();

    // The wake-up: the pause alone as the kernel gives it to this process.
    Row oversleep{
        "usleep(" + std::to_string(xt::kAniDelay * 100) + ") in the bench process: time beyond the pause",
        "us",
        {},
        1};
    for (int i = 0; i < opt.runs; ++i) {
        const long long t0 = nowNs();
        for (int k = 0; k < down; ++k) usleep(xt::kAniDelay * 100);
        oversleep.values.push_back(static_cast<double>(nowNs() - t0) / 1000.0 / down - xt::kAniDelay * 100);
    }

    // The round trip alone, and a round trip after moving a window of the
    // frame's size down the same path: the difference is the server moving
    // it and repainting what it uncovers and exposes.
    Row roundTrip{"round trip (XSync) of another client, alone", "us", {}, 1};
    Row moveTrip{"move of a frame-sized window down the slide's path + round trip", "us", {}, 1};
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = WhitePixel(dpy, DefaultScreen(dpy));
    Window w = XCreateWindow(dpy, DefaultRootWindow(dpy), 0, desk.hiddenY(), desk.server().width(),
                             height + xt::kHandle, 0, CopyFromParent, InputOutput, CopyFromParent,
                             CWOverrideRedirect | CWBackPixel, &attributes);
    XMapRaised(dpy, w);
    XSync(dpy, False);
    const std::vector<int> path = xt::slideMoves(height, true);
    for (int i = 0; i < opt.runs; ++i) {
        long long t0 = nowNs();
        for (size_t k = 0; k < path.size(); ++k) XSync(dpy, False);
        roundTrip.values.push_back(static_cast<double>(nowNs() - t0) / 1000.0 /
                                   static_cast<double>(path.size()));
        t0 = nowNs();
        for (int y : path) {
            XMoveWindow(dpy, w, 0, y);
            XSync(dpy, False);
        }
        moveTrip.values.push_back(static_cast<double>(nowNs() - t0) / 1000.0 /
                                  static_cast<double>(path.size()));
        XMoveWindow(dpy, w, 0, desk.hiddenY());
        XSync(dpy, False);
    }
    XDestroyWindow(dpy, w);
    XSync(dpy, False);

    // The same slides with no pause at all, on a console started for it.
    desk.server().setResources(resources(0));
    std::unique_ptr<xt::Process> console;
    desk.startConsole(console);
    desk.toggle(true);
    desk.toggle(false);
    Row bareDown{"slide down with aniDelay 0: time per move", "us", {}, 1};
    Row bareUp{"slide up with aniDelay 0: time per move", "us", {}, 1};
    for (int i = 0; i < opt.runs; ++i) {
        Desk::Slide d = desk.toggle(true);
        Desk::Slide u = desk.toggle(false);
        bareDown.values.push_back(static_cast<double>(d.end - d.firstMove) / 1000.0 / down);
        bareUp.values.push_back(static_cast<double>(u.end - u.firstMove) / 1000.0 / up);
    }
    endProcess(console);
    desk.server().setResources(resources(xt::kAniDelay));
    Figures f;
    f.diagnostics = {oversleep, roundTrip, moveTrip, bareDown, bareUp};
    return f;
}
