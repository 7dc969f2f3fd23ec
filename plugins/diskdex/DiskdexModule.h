#pragma once
// The module that holds the plug-in's code and resources: the .vll, or a test program linking it.
#include <windows.h>

namespace diskdex {
HMODULE module();
// A 16 x 16 icon of the module's resources; never destroyed.
HICON loadIcon(int resourceId);
} // namespace diskdex
