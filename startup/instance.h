// The one-console claim's pure piece: the name of the selection a console owns.
#pragma once

#include <string>

// The selection that one console per program name and screen owns, in the
// manner of a window manager's WM_S<screen>.
std::string instanceSelection(const char* progName, int screen);
