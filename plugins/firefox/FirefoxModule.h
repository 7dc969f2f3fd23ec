#pragma once
// The module that holds the plug-in's code and resources: the .vll, or a test program linking it.
#include <windows.h>

#include <string>

namespace firefox {
HMODULE module();
// A new 16 x 16 icon of the module's resources, which the caller destroys (before the module goes).
HICON loadIcon(int resourceId);
// True for an existing file, false for a folder or nothing.
bool isFile(const std::string& path);
} // namespace firefox
