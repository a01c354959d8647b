// Follows a compositing manager coming and going; the slide down grabs the server only without one.
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include "interaction/interaction.h"

// XFixes' first event code (0 without XFixes) and _NET_WM_CM_S<screen>.
static int fixesEvent = 0;
static Atom compositorAtom = None;

std::string compositorSelection(int screen) { return "_NET_WM_CM_S" + std::to_string(screen); }

bool ownedAfter(int subtype, Window owner) {
    return subtype == XFixesSetSelectionOwnerNotify && owner != None;
}

void watchCompositor() {
    Display* dpy = console.display;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    // A compositing manager needs Composite, which needs XFixes: a server
    // without XFixes runs none.
    if (!XFixesQueryExtension(dpy, &eventBase, &errorBase)) return;
    // The version must be announced before the first XFixes request.
    XFixesQueryVersion(dpy, &major, &minor);
    Atom selection = XInternAtom(dpy, compositorSelection(console.screen).c_str(), False);
    // Selected before the owner is read, so that no change falls in between:
    // from here on the server reports every change of owner, and the flag
    // is ready at every show without a request of its own.
    XFixesSelectSelectionInput(dpy, console.root, selection,
                               XFixesSetSelectionOwnerNotifyMask | XFixesSelectionWindowDestroyNotifyMask |
                                   XFixesSelectionClientCloseNotifyMask);
    fixesEvent = eventBase;
    compositorAtom = selection;
    console.compositing = XGetSelectionOwner(dpy, selection) != None;
}

void noteCompositorChange(const XEvent& event) {
    if (fixesEvent == 0 || event.type != fixesEvent + XFixesSelectionNotify) return;
    const auto& change = reinterpret_cast<const XFixesSelectionNotifyEvent&>(event);
    if (change.selection != compositorAtom) return;
    console.compositing = ownedAfter(change.subtype, change.owner);
}
