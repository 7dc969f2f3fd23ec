#pragma once
// Whether the user runs a high-contrast theme: the lists then draw in the system's colours alone, not
// in the colours chosen for the results' text.
#include "VxApi.h"

namespace vx {

// The system's answer (SPI_GETHIGHCONTRAST), asked at each call: the user may switch at any time.
VX_CORE_API bool isHighContrast();

// Replaces the system's answer; returns the previous hook. Null asks the system again.
using HighContrastHook = bool (*)();
VX_CORE_API HighContrastHook setHighContrastHook(HighContrastHook hook);

} // namespace vx
