// The monitors RandR lists, kept current by events, and putting the console on one of them.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <cstdio>

#include "console/placement.h"
#include "startup/dropcon.h"

static Rect screenRect() {
    return {0, 0, DisplayWidth(console.display, console.screen),
            DisplayHeight(console.display, console.screen)};
}

// Reads the monitor list again: one round trip for the monitors, one for
// their names (atoms). Without RandR 1.5, or with no monitor listed (every
// output off), the whole screen counts as one monitor.
static void refreshMonitors() {
    Display* dpy = console.display;
    std::vector<Monitor> list;
    if (console.randrMonitors) {
        int count = 0;
        if (XRRMonitorInfo* info = XRRGetMonitors(dpy, console.root, True, &count)) {
            std::vector<Atom> atoms;
            for (int i = 0; i < count; ++i) atoms.push_back(info[i].name);
            std::vector<char*> names(atoms.size(), nullptr);
            if (!atoms.empty()) XGetAtomNames(dpy, atoms.data(), count, names.data());
            for (int i = 0; i < count; ++i) {
                const XRRMonitorInfo& m = info[i];
                if (m.width > 0 && m.height > 0)
                    list.push_back({names[i] ? names[i] : "", {m.x, m.y, m.width, m.height}, m.primary != 0});
                if (names[i]) XFree(names[i]);
            }
            XRRFreeMonitors(info);
        }
    }
    if (list.empty()) list.push_back({"", screenRect(), true});
    console.monitors = std::move(list);
}

// Notes the console's monitor (the whole screen in screen mode) and the
// frame's span on it; no request yet.
static void placeOn(size_t index) {
    if (console.monitor.mode == MonitorMode::WholeScreen) {
        console.area = screenRect();
        console.placedOn.clear();
    } else {
        console.area = console.monitors[index].area;
        console.placedOn = console.monitors[index].name;
    }
    console.span = consoleSpan(console.area, console.xOffset, console.screenWidth);
}

// Fits the heights to the monitor just placed on and moves and resizes
// the frame and the terminal where that changed anything: at its top when
// shown, parked above the screen otherwise. On one monitor that never
// changes, this sends nothing.
static void fitAndApply(Span before, int topBefore, bool shown) {
    const int heightBefore = console.height;
    SizeState state{console.height, loop.savedHeight, loop.fullScreen};
    state = fitToMonitor(state, console.chosenHeight, console.fittedTo, console.area.height,
                         console.handleWidth, console.heightInc);
    console.height = state.height;
    loop.savedHeight = state.savedHeight;
    console.fittedTo = console.area.height;
    if (console.span == before && console.height == heightBefore && (!shown || shownY() == topBefore)) return;
    Display* dpy = console.display;
    XResizeWindow(dpy, console.termWin, console.span.width, console.height);
    XMoveResizeWindow(dpy, console.frameWin, console.span.x, shown ? shownY() : hiddenY(), console.span.width,
                      console.height + console.handleWidth);
}

static std::optional<Point> pointerPosition() {
    Window rootReturn = None, child = None;
    int x = 0, y = 0, winX = 0, winY = 0;
    unsigned mask = 0;
    // False: the pointer is on another screen, and no monitor here holds it.
    if (!XQueryPointer(console.display, console.root, &rootReturn, &child, &x, &y, &winX, &winY, &mask))
        return std::nullopt;
    return Point{x, y};
}

void watchMonitors() {
    Display* dpy = console.display;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (XRRQueryExtension(dpy, &eventBase, &errorBase) && XRRQueryVersion(dpy, &major, &minor)) {
        console.randrEventBase = eventBase;
        console.randrMonitors = major > 1 || (major == 1 && minor >= 5);
        // Outputs plugged in or out and modes set come as these; monitors set
        // or deleted with xrandr --setmonitor only as the root's ConfigureNotify.
        // A server before RandR 1.2 would refuse the CRTC and output masks.
        const bool crtcs = major > 1 || (major == 1 && minor >= 2);
        XRRSelectInput(
            dpy, console.root,
            RRScreenChangeNotifyMask | (crtcs ? RRCrtcChangeNotifyMask | RROutputChangeNotifyMask : 0));
    }
    refreshMonitors();
    // Parked on the primary monitor (or the named one) until the first show.
    placeOn(chooseMonitor(console.monitors, console.monitor, std::nullopt));
}

bool isMonitorEvent(const XEvent& event) {
    if (event.type == ConfigureNotify) return event.xconfigure.window == console.root;
    return console.randrEventBase >= 0 && (event.type == console.randrEventBase + RRScreenChangeNotify ||
                                           event.type == console.randrEventBase + RRNotify);
}

void monitorsChanged(XEvent& event) {
    // One change of the screen comes as several events: take them all in
    // (XRRUpdateConfiguration keeps Xlib's idea of the screen size right)
    // and read the list once.
    XRRUpdateConfiguration(&event);
    XEvent more;
    while (XCheckIfEvent(
        console.display, &more, [](Display*, XEvent* e, XPointer) -> Bool { return isMonitorEvent(*e); },
        nullptr))
        XRRUpdateConfiguration(&more);
    refreshMonitors();
    // A hidden console stays parked out of sight and is placed at its next show.
    if (loop.hidden) return;
    const Span before = console.span;
    const int topBefore = shownY();
    std::optional<size_t> index = findMonitor(console.monitors, console.placedOn);
    if (!index) {
        // Its monitor is gone: to the pointer's monitor, or the primary one.
        MonitorSetting setting = console.monitor;
        if (setting.mode == MonitorMode::Named) setting.mode = MonitorMode::Primary;
        const bool byPointer = setting.mode == MonitorMode::Pointer;
        index = chooseMonitor(console.monitors, setting, byPointer ? pointerPosition() : std::nullopt);
    }
    placeOn(*index);
    fitAndApply(before, topBefore, true);
    // Moved or resized past a resting pointer, the frame gets crossings
    // that are not the user's doing.
    settleResize();
}

void placeForShow() {
    const MonitorSetting& setting = console.monitor;
    const Span before = console.span;
    const int topBefore = shownY();
    bool missing = false;
    // The pointer query is the one round trip placement adds to a show; the
    // monitors come from the copy that events keep current.
    const size_t index =
        chooseMonitor(console.monitors, setting,
                      setting.mode == MonitorMode::Pointer ? pointerPosition() : std::nullopt, &missing);
    // Said once each time the name goes missing: a monitor plugged in later
    // is used from the next show on.
    if (missing && !console.monitorMissing)
        std::fprintf(stderr, "%s: monitor: no monitor named \"%s\", using the primary one\n",
                     console.progName, setting.name.c_str());
    console.monitorMissing = missing;
    placeOn(index);
    fitAndApply(before, topBefore, false);
}

int shownY() { return console.area.y; }

bool slideCrossesMonitor() {
    // Asked at each slide, since a size key or a drag changes the band the
    // frame passes through; the list is the kept copy, no request.
    if (console.monitor.mode == MonitorMode::WholeScreen) return false;
    const size_t own = findMonitor(console.monitors, console.placedOn).value_or(console.monitors.size());
    return slideCrossesOther(console.monitors, own, console.span, shownY(),
                             console.height + console.handleWidth);
}
