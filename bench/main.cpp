// Benchmark: runs every measurement of dropcon on private Xvfbs with a real xterm and prints the report.
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "bench/measure.h"
#include "bench/procfs.h"
#include "bench/report.h"

std::string resources(int aniDelay) {
    return "dropcon.aniDelay: " + std::to_string(aniDelay) +
           "\ndropcon.stepSize: 1\ndropcon.handleWidth: " + std::to_string(xt::kHandle) +
           "\ndropcon.consoleHeight: " + std::to_string(xt::kRows) + "\n";
}

void fail(const std::string& what) {
    std::fprintf(stderr, "bench: %s\n", what.c_str());
    std::exit(1);
}

namespace {

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
        else if (a == "--painted-data")
            o.paintedData = value();
        else
            fail(
                "usage: dropcon_bench [--runs N] [--idle-runs N] [--idle-seconds S] [--plot-data FILE] "
                "[--painted-data FILE]");
    }
    if (!idleRunsSet) o.idleRuns = o.runs;
    return o;
}

void run(const Options& opt) {
    const std::string loadBefore = loadAverage();
    Figures slides, keys, startup, idle, requests, stepCost, screen;
    std::string memoryNote, console;
    {
        Desk desk;
        std::fprintf(stderr, "bench: Xvfb %s, %ld cores\n", desk.server().name().c_str(),
                     sysconf(_SC_NPROCESSORS_ONLN));
        startup = measureStartup(desk, opt);

        // The console that the other figures are taken on.
        std::unique_ptr<xt::Process> child;
        desk.startConsole(child);
        std::fprintf(stderr, "bench: console %d px high (%d rows of %d px), %d moves down, %d up\n",
                     desk.height(), desk.height() / desk.rowHeight(), desk.rowHeight(), desk.movesDown(),
                     desk.movesUp());
        char line[256];
        std::snprintf(line, sizeof line,
                      "Default console: %d px high (%d rows of %d px) + %d px handle on a 1280x900 Xvfb; "
                      "step %d px, %d moves down, %d up, pause %d us.",
                      desk.height(), desk.height() / desk.rowHeight(), desk.rowHeight(), xt::kHandle,
                      xt::slideStepOf(desk.height()), desk.movesDown(), desk.movesUp(), xt::kAniDelay * 100);
        console = line;
        desk.toggle(true);  // warm-up
        desk.toggle(false);
        slides = measureSlides(desk, opt);
        requests = measureRequests(desk, opt);
        keys = measureKeys(desk, opt);
        memoryNote = "private memory by mapping (KiB):";
        auto mappings = privateByMapping(child->pid());
        for (size_t i = 0; i < mappings.size() && i < 12; ++i)
            memoryNote += " " + mappings[i].second + " " + std::to_string(mappings[i].first) + ";";
        idle = measureIdle(desk, opt, child->pid());
        endProcess(child);
        stepCost = measureStepCost(desk, opt);
    }
    screen = measureScreen(opt);

    Figures table, diagnostics;
    for (const Figures* f : {&slides, &keys, &startup, &idle, &requests, &screen}) table.add(*f);
    for (const Figures* f : {&slides, &stepCost, &startup})
        diagnostics.rows.insert(diagnostics.rows.end(), f->diagnostics.begin(), f->diagnostics.end());
    std::printf("%s\n\n", console.c_str());
    printTable(table.rows);
    std::printf("\nWhere the time goes:\n\n");
    printTable(diagnostics.rows);
    std::printf("\n");
    for (auto& n : requests.notes) std::printf("%s\n", n.c_str());
    std::printf("%s\n", memoryNote.c_str());
    std::printf("load average (1, 5, 15 min) at the start: %s; at the end: %s\n", loadBefore.c_str(),
                loadAverage().c_str());
}

}  // namespace

int main(int argc, char** argv) {
    Options options = parse(argc, argv);
    // Terminals the console starts through the shell are orphaned at once;
    // as their subreaper we can collect them when they end.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    signal(SIGPIPE, SIG_IGN);
    xt::failed = [](const std::string& what) { fail(what); };
    try {
        run(options);
    } catch (const std::exception& e) {
        fail(e.what());
    }
}
