// The slide as it reaches the screen, read from Xvfb's framebuffer, with no compositor and with picom.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <set>

#include "bench/measure.h"
#include "bench/report.h"

namespace {

// The figures of one slide as painted, from the samples of the handle's
// lowest row taken from just before the key press on.
struct Painted {
    long long firstChange = -1, end = -1;  // ns since the press, -1 when never seen
    int positions = 0;                     // distinct animated positions painted
    Trace trace;
};

Painted analyse(const Desk& desk, const std::vector<ScreenSampler::Sample>& samples, long long press,
                bool down) {
    const int height = desk.height(), lowest = height + xt::kHandle - 1;
    // The frame's y from where its handle was painted; a frame with no row
    // of its handle on the screen is out of sight.
    auto frameY = [&](int bottom) { return bottom < 0 ? desk.hiddenY() : bottom - lowest; };
    const int endBottom = down ? lowest : -1;
    std::set<int> expected;
    for (int y : xt::slideMoves(height, down))
        if (y + lowest >= 0) expected.insert(y);  // a position above the screen cannot be painted
    Painted p;
    std::set<int> seen;
    for (size_t i = 1; i < samples.size(); ++i) {
        const long long at = samples[i].ns - press;
        if (p.firstChange < 0) p.firstChange = at;
        const int y = frameY(samples[i].handleBottom);
        if (expected.count(y)) seen.insert(y);
        p.trace.ys.emplace_back(at, y);
        if (samples[i].handleBottom == endBottom && p.end < 0) p.end = at;
    }
    p.positions = static_cast<int>(seen.size());
    return p;
}

int visiblePositions(const Desk& desk, bool down) {
    const int lowest = desk.height() + xt::kHandle - 1;
    auto path = xt::slideMoves(desk.height(), down);
    return static_cast<int>(std::count_if(path.begin(), path.end(), [&](int y) { return y + lowest >= 0; }));
}

}  // namespace

Figures measureScreen(const Options& opt) {
    char dir[] = "/dev/shm/dropcon-bench-fb-XXXXXX";
    char fallback[] = "/tmp/dropcon-bench-fb-XXXXXX";
    const char* fbdir = mkdtemp(dir) ? dir : mkdtemp(fallback);
    if (!fbdir) fail("mkdtemp failed");
    Figures f;
    std::vector<std::pair<Trace, int>> plot;
    for (bool picom : {false, true}) {
        const std::string who = picom ? "picom" : "no compositor";
        std::fprintf(stderr, "bench: the slide as painted, %s, %d runs each way\n", who.c_str(), opt.runs);
        Desk desk(fbdir);
        std::unique_ptr<xt::Process> console;
        desk.startConsole(console);
        // Started after the console, which takes note of it at the next show.
        if (picom) desk.scene().startCompositor();
        desk.toggle(true);  // warm-up
        desk.toggle(false);
        const int down = visiblePositions(desk, true), up = visiblePositions(desk, false);
        const std::string as = "painted, " + who + ": ";
        Row configured{as + "show: key press to first move (ConfigureNotify)", "ms", {}};
        Row downFirst{as + "show: key press to first visible change", "ms", {}};
        Row downEnd{as + "show: key press to console fully on screen", "ms", {}};
        Row downSeen{as + "slide down: positions painted (of " + std::to_string(down) + ")", "count", {}, 0};
        Row upFirst{as + "hide: key press to first visible change", "ms", {}};
        Row upEnd{as + "hide: key press to console gone", "ms", {}};
        Row upSeen{
            as + "slide up: positions painted (of " + std::to_string(up) + " on screen)", "count", {}, 0};
        ScreenSampler sampler(fbdir, desk.server().width() - 2, desk.height() + xt::kHandle);
        for (int i = 0; i < opt.runs; ++i) {
            for (bool isDown : {true, false}) {
                sampler.start();
                Desk::Slide s = desk.toggle(isDown);
                // A compositor paints the end after the server has moved the
                // frame there: wait for it, a second at most.
                const int endBottom = isDown ? desk.height() + xt::kHandle - 1 : -1;
                for (int k = 0; k < 1000 && sampler.handleBottomNow() != endBottom; ++k) poll(nullptr, 0, 1);
                Painted p = analyse(desk, sampler.stop(), s.press, isDown);
                if (isDown) configured.values.push_back(ms(s.firstMove - s.press));
                if (p.firstChange >= 0) (isDown ? downFirst : upFirst).values.push_back(ms(p.firstChange));
                if (p.end >= 0) (isDown ? downEnd : upEnd).values.push_back(ms(p.end));
                (isDown ? downSeen : upSeen).values.push_back(p.positions);
                if (i == 0) {
                    p.trace.title = std::string(isDown ? "down, " : "up, ") + who;
                    plot.emplace_back(p.trace, isDown ? desk.hiddenY() : 0);
                }
            }
        }
        f.rows.insert(f.rows.end(), {configured, downFirst, downEnd, downSeen, upFirst, upEnd, upSeen});
        endProcess(console);
    }
    writeTraces(opt.paintedData, plot);
    unlink((std::string(fbdir) + "/Xvfb_screen0").c_str());
    rmdir(fbdir);
    return f;
}
