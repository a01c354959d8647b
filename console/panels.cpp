// Panels along the top of the screen: their struts, followed while the console runs, to come down below them.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <map>
#include <optional>
#include <vector>

#include "console/console.h"
#include "console/placement.h"

static Atom clientListAtom = None, strutAtom = None, strutPartialAtom = None;
// The windows that may be panels, each with its top strut when it has one:
// the window manager's clients while it lists them, the root's mapped
// children otherwise.
static std::map<Window, std::optional<TopStrut>> candidates;
static bool byClientList = false;

// Selects a window's property changes and reads its top strut.
static std::optional<TopStrut> follow(Window window) {
    Display* dpy = console.display;
    XErrorHandler previous = quietErrors();
    XSelectInput(dpy, window, PropertyChangeMask);
    // _NET_WM_STRUT counts only where _NET_WM_STRUT_PARTIAL is not set.
    std::vector<long> values =
        propertyLongs(window, strutPartialAtom, XA_CARDINAL).value_or(std::vector<long>{});
    if (values.size() < 12)
        values = propertyLongs(window, strutAtom, XA_CARDINAL).value_or(std::vector<long>{});
    XSetErrorHandler(previous);
    return topStrut(values.data(), values.size(), DisplayWidth(dpy, console.screen));
}

static std::vector<Window> mappedChildren() {
    Display* dpy = console.display;
    Window rootReturn = None, parent = None, *children = nullptr;
    unsigned count = 0;
    std::vector<Window> mapped;
    if (!XQueryTree(dpy, console.root, &rootReturn, &parent, &children, &count)) return mapped;
    XErrorHandler previous = quietErrors();
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(dpy, children[i], &attributes) && attributes.map_state != IsUnmapped)
            mapped.push_back(children[i]);
    }
    XSetErrorHandler(previous);
    if (children) XFree(children);
    return mapped;
}

// Takes the windows that may be panels anew; the struts of those already
// followed are kept, since their changes are seen.
static void rescan() {
    const std::optional<std::vector<long>> clients = propertyLongs(console.root, clientListAtom, XA_WINDOW);
    byClientList = clients.has_value();
    std::vector<Window> windows;
    if (clients)
        for (long w : *clients) windows.push_back(static_cast<Window>(w));
    else
        windows = mappedChildren();
    std::map<Window, std::optional<TopStrut>> next;
    for (Window w : windows) {
        // Selecting on the frame would take its own events away.
        if (w == console.frameWin) continue;
        auto known = candidates.find(w);
        next[w] = known != candidates.end() ? known->second : follow(w);
    }
    candidates = std::move(next);
}

static std::vector<TopStrut> struts() {
    std::vector<TopStrut> list;
    for (const auto& [window, strut] : candidates)
        if (strut) list.push_back(*strut);
    return list;
}

void watchPanels() {
    if (!console.belowPanels) return;
    const char* names[] = {"_NET_CLIENT_LIST", "_NET_WM_STRUT", "_NET_WM_STRUT_PARTIAL"};
    Atom atoms[3] = {None, None, None};
    XInternAtoms(console.display, const_cast<char**>(names), 3, False, atoms);
    clientListAtom = atoms[0];
    strutAtom = atoms[1];
    strutPartialAtom = atoms[2];
    rescan();
}

bool isPanelEvent(const XEvent& event) {
    if (!console.belowPanels) return false;
    if (event.type == PropertyNotify) {
        if (event.xproperty.window == console.root) return event.xproperty.atom == clientListAtom;
        return (event.xproperty.atom == strutAtom || event.xproperty.atom == strutPartialAtom) &&
               candidates.count(event.xproperty.window);
    }
    // The root's children, which count while no window manager lists its
    // clients: mapped, unmapped, destroyed or taken off the root. Each of
    // these events names the root and then the child, in the same fields.
    const bool child = event.type == MapNotify || event.type == UnmapNotify || event.type == DestroyNotify ||
                       (event.type == ReparentNotify && event.xreparent.parent != console.root);
    return child && !byClientList && event.xmap.event == console.root &&
           event.xmap.window != console.frameWin;
}

bool panelsChanged(XEvent& event) {
    const std::vector<TopStrut> before = struts();
    if (event.type == MapNotify)
        candidates[event.xmap.window] = follow(event.xmap.window);
    else if (event.type != PropertyNotify)
        candidates.erase(event.xmap.window);
    else if (event.xproperty.window == console.root)
        rescan();
    else
        candidates[event.xproperty.window] = follow(event.xproperty.window);
    return struts() != before && placeShownAgain();
}

int topOfRoom(const Rect& monitor) {
    return console.belowPanels ? topBelowPanels(monitor, struts()) : monitor.y;
}
