// The measurements, each a function that takes its figures on a desk and returns them.
#pragma once

#include <string>
#include <vector>

#include "bench/common.h"
#include "bench/desk.h"

// What a measurement hands to the report: rows of the main table, rows of
// the table of where the time goes, and lines of notes.
struct Figures {
    std::vector<Row> rows;
    std::vector<Row> diagnostics;
    std::vector<std::string> notes;
    // Appends another measurement's figures.
    void add(const Figures& other);
};

// Start-up against a plain xterm, the first press after it, the memory of a
// settled console, and the requests and round trips of the start-up.
Figures measureStartup(Desk& desk, const Options& opt);
// Slides down and up as the configure stream shows them, with the key
// latencies; writes the plot data of the first slide down and up.
Figures measureSlides(Desk& desk, const Options& opt);
// X requests and round trips per animation step, through RECORD.
Figures measureRequests(Desk& desk, const Options& opt);
// Size keys and the drag, while shown.
Figures measureKeys(Desk& desk, const Options& opt);
// CPU time and wake-ups with no input, hidden and shown.
Figures measureIdle(Desk& desk, const Options& opt, pid_t console);
// Where the time of a step goes: the sleep, a bare round trip, a move with
// the server's repaint, and the slide with no pause at all. Starts its own
// console.
Figures measureStepCost(Desk& desk, const Options& opt);
// The slides as painted on the screen, read from Xvfb's framebuffer, with
// no compositor and with picom, each on a desk of its own; writes the plot
// data of one slide down and up as painted.
Figures measureScreen(const Options& opt);
