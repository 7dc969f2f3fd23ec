#pragma once
// The module that holds the plug-in's code and resources: the .vll, or a test program linking it.
#include <windows.h>

namespace outlook {
HMODULE module();
// A new 16 x 16 icon of the module's resources, which the caller destroys (before the module goes).
HICON loadIcon(int resourceId);
// The icon every contact shows: loaded on first use and shared. The last plug-in object to go destroys
// it, after every contact of its library is gone.
HICON contactIcon();
void releaseContactIcon();
} // namespace outlook
