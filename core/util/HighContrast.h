#pragma once
// Whether the user runs a high-contrast theme: the lists then draw in the system's colours alone, not
// in the colours chosen for the results' text.
#include "VxApi.h"

namespace vx {

// The system's answer (SPI_GETHIGHCONTRAST), read once and kept: it is asked for every line drawn.
VX_CORE_API bool isHighContrast();
// Reads the answer again: windows call it when Windows says the colours or this setting changed
// (WM_SYSCOLORCHANGE, WM_SETTINGCHANGE).
VX_CORE_API void refreshHighContrast();

// Replaces the system's answer; returns the previous hook. Null asks the system again.
using HighContrastHook = bool (*)();
VX_CORE_API HighContrastHook setHighContrastHook(HighContrastHook hook);

} // namespace vx
