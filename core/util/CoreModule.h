#pragma once
#include "VxApi.h"

#include <windows.h>

namespace vx {
// The core library's own module, for loading its icon resources.
VX_CORE_API HMODULE coreModule();
// A 16 x 16 icon from the core library's resources; null if it is missing. Loaded once per resource
// and shared by every caller for the life of the process: callers never destroy it.
VX_CORE_API HICON loadCoreIcon(int resourceId);
} // namespace vx
