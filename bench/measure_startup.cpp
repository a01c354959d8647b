// Start-up against the floor of a plain xterm, the first press after it, and the memory once settled.
#include <cstdio>

#include "bench/measure.h"
#include "bench/procfs.h"

void Figures::add(const Figures& other) {
    rows.insert(rows.end(), other.rows.begin(), other.rows.end());
    diagnostics.insert(diagnostics.end(), other.diagnostics.begin(), other.diagnostics.end());
    notes.insert(notes.end(), other.notes.begin(), other.notes.end());
}

Figures measureStartup(Desk& desk, const Options& opt) {
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
    std::fprintf(stderr, "bench: start-up, %d runs each (and one warm-up)\n", opt.runs);
    for (int i = 0; i <= opt.runs; ++i) {
        std::unique_ptr<xt::Process> console;
        Desk::Started s = desk.startConsole(console);
        Desk::Floor floor = desk.startPlainXterm();
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
        Desk::Slide first = desk.toggle(true);
        desk.toggle(false);
        if (i > 0) {
            firstPress.values.push_back(ms(first.firstMove - first.press));
            auto m = procFields("/proc/" + std::to_string(console->pid()) + "/smaps_rollup");
            rss.values.push_back(static_cast<double>(m["Rss"]));
            priv.values.push_back(static_cast<double>(m["Private_Clean"] + m["Private_Dirty"]));
            privDirty.values.push_back(static_cast<double>(m["Private_Dirty"]));
        }
        endProcess(console);
        desk.awaitGone(s.frame);
    }

    // The console's requests during start-up, counted apart from the timed
    // runs: recording every new client costs the server time.
    {
        RequestCounter counter(desk.server(), XRecordFutureClients);
        for (int i = 0; i < opt.runs; ++i) {
            counter.settle();
            counter.reset();
            std::unique_ptr<xt::Process> console;
            Desk::Started s = desk.startConsole(console);
            counter.follow(s.frame);
            counter.settle();
            startRequests.values.push_back(counter.requestTotal());
            startReplies.values.push_back(counter.replies());
            endProcess(console);
            desk.awaitGone(s.frame);
        }
    }
    Figures f;
    f.rows = {firstPress, startDropcon, startXterm, startRatio, rss, priv, privDirty};
    f.diagnostics = {phaseFrame, phaseTermStart, phaseTermMap,  phaseAdopt,  floorCreate,
                     floorMap,   startCpu,       startRequests, startReplies};
    return f;
}
