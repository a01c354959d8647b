// The scene every figure is taken on: the tests' scene, the console timed from its exec, and the keys.
#pragma once

#include <X11/Xlib.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/common.h"
#include "bench/observers.h"
#include "tests/support/scene.h"

class Desk {
   public:
    struct Started {
        long long ns = -1;  // exec to parked with the terminal adopted
        // Phases, from exec: the frame created, the terminal's window
        // created in it, and mapped.
        long long frameAt = -1, termCreatedAt = -1, termMappedAt = -1;
        long long cpuNs = 0;  // the console's own CPU time until parked
        Window frame = None, terminal = None;
    };
    struct Floor {
        long long createdAt = -1, mappedAt = -1;  // from exec
    };
    struct Slide {
        long long press = 0, firstMove = -1, end = -1;
        std::vector<std::pair<long long, int>> ys;  // every ConfigureNotify of the frame
    };

    // The tests' scene on a 1280x900 Xvfb (keeping its screen in fbdir when
    // given one) with the console's settings loaded and the application's
    // window holding the focus, but no console.
    explicit Desk(const std::string& fbdir = "");

    // Starts the console and waits, on the observer's events only, until its
    // frame sits at the hidden position with the terminal mapped inside it;
    // the console's figures are taken on it from then on.
    Started startConsole(std::unique_ptr<xt::Process>& child);
    // A plain xterm, as the floor of the console's start-up: exec to mapped.
    Floor startPlainXterm();
    // Waits until the started console's frame is destroyed.
    void awaitGone(Window frame);
    // One press of the toggle key, timed from the XTEST press of its key to
    // the frame's first move and to its arrival at the end position.
    Slide toggle(bool down);
    // A size key while shown: press to the terminal and the frame resized.
    long long sizeKey(const char* keyName, int newHeight);
    // Drags the handle: each XTEST motion to another row, timed to the
    // frame's resize to that row.
    Row drag(int runs);

    xt::Scene& scene() { return scene_; }
    xt::XServer& server() { return scene_.server; }
    Observer& observer() { return obs_; }
    Display* input() const { return in_; }
    Window frame() const { return frame_; }
    int height() const { return height_; }
    int rowHeight() const { return rowHeight_; }
    int hiddenY() const { return -(height_ + xt::kHandle); }
    int movesDown() const { return static_cast<int>(xt::slideMoves(height_, true).size()); }
    int movesUp() const { return static_cast<int>(xt::slideMoves(height_, false).size()); }

   private:
    void geometry(Window frame, Window terminal);

    xt::Scene scene_;
    Display* in_;
    Observer obs_;
    Window frame_ = None, terminal_ = None;
    int height_ = 0, rowHeight_ = 0;
};

// Ends a program started for a figure, with what it started. Terminals
// whose shell has exited were handed to us (we are their subreaper):
// collects them.
void endProcess(std::unique_ptr<xt::Process>& process);
