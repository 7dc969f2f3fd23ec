#pragma once
// The DPI a window is shown at, and pixel sizes made for it. With per-monitor awareness every monitor
// has its own DPI and a window learns a new one from WM_DPICHANGED; sizes are kept at 96 DPI and
// scaled when they are used.
#include <windows.h>

// The DPI a window is shown at (96 = 100 %).
UINT dpiOf(HWND hwnd);

namespace vx {

// Tests replace the system's answer (Wine gives every window the screen's DPI); null restores it.
using DpiQuery = UINT (*)(HWND hwnd);
DpiQuery setDpiQuery(DpiQuery query);

// The DPI the system metrics and the screen's device context are measured in.
UINT systemDpi();
// n pixels at 96 DPI, at dpi.
inline int scaleForDpi(int n, UINT dpi) {
    return ::MulDiv(n, static_cast<int>(dpi), 96);
}
// A system metric (SM_CXSMICON, SM_CYFRAME, ...) as it is at dpi.
int metricForDpi(int index, UINT dpi);

} // namespace vx
