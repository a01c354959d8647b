// Whether a compositing manager runs, as told by the owner of the _NET_WM_CM_S<screen> selection.
#pragma once

#include <X11/X.h>

#include <string>

// The selection a compositing manager owns while it runs on a screen.
std::string compositorSelection(int screen);

// Whether the selection has an owner after an XFixes selection event of
// this subtype. The events of an owner's window destroyed or its client
// gone still name the old owner: the selection has none any more.
bool ownedAfter(int subtype, Window owner);
