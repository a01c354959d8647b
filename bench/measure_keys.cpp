// Size keys and the drag while shown, and what the console costs when nothing happens.
#include <poll.h>

#include <cstdio>

#include "bench/measure.h"
#include "bench/procfs.h"

Figures measureKeys(Desk& desk, const Options& opt) {
    std::fprintf(stderr, "bench: size keys and drag, %d runs each\n", opt.runs);
    desk.toggle(true);
    Row bigger{"size key Control+KP_Add: press to terminal and frame resized", "ms", {}};
    Row smaller{"size key Control+KP_Subtract: press to terminal and frame resized", "ms", {}};
    for (int i = 0; i < opt.runs; ++i) {
        bigger.values.push_back(ms(desk.sizeKey("KP_Add", desk.height() + desk.rowHeight())));
        smaller.values.push_back(ms(desk.sizeKey("KP_Subtract", desk.height() - desk.rowHeight())));
    }
    Row dragRow = desk.drag(opt.runs);
    desk.toggle(false);
    Figures f;
    f.rows = {bigger, smaller, dragRow};
    return f;
}

Figures measureIdle(Desk& desk, const Options& opt, pid_t console) {
    std::fprintf(stderr, "bench: idle, %d x %d s hidden and shown\n", opt.idleRuns, opt.idleSeconds);
    const std::string secs = std::to_string(opt.idleSeconds) + " s";
    Figures f;
    for (bool shown : {false, true}) {
        if (shown) desk.toggle(true);
        const std::string state = shown ? "shown" : "hidden";
        Row cpu{"idle " + state + ": CPU time in " + secs, "us", {}, 0};
        Row sw{"idle " + state + ": context switches in " + secs, "count", {}, 0};
        poll(nullptr, 0, 500);  // the terminal's redraw after the slide is not idle time
        for (int i = 0; i < opt.idleRuns; ++i) {
            Cost before = costOf(console);
            poll(nullptr, 0, opt.idleSeconds * 1000);
            Cost after = costOf(console);
            cpu.values.push_back(static_cast<double>(after.cpuNs - before.cpuNs) / 1000.0);
            sw.values.push_back(static_cast<double>(after.switches - before.switches));
        }
        f.rows.push_back(cpu);
        f.rows.push_back(sw);
        if (shown) desk.toggle(false);
    }
    return f;
}
