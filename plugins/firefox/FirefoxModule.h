#pragma once
// Small helpers of the plug-in's.
#include <windows.h>

#include <string>

namespace firefox {
// True for an existing file, false for a folder or nothing.
bool isFile(const std::string& path);
} // namespace firefox
