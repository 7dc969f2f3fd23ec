#pragma once
// What the process's environment and the file system say, in the active code page.
#include "VxApi.h"

#include <string>

namespace vx {

// The value of an environment variable; empty when it is unset (or set empty).
VX_CORE_API std::string environmentVariable(const char* name);
// True for an existing file; false for a folder or nothing there.
VX_CORE_API bool isFile(const std::string& path);

} // namespace vx
