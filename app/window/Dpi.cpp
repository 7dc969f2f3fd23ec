#include "Dpi.h"

namespace {

// GetDpiForWindow exists from Windows 10 1607 on; before that the screen's DPI is the only one.
UINT systemDpiOf(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    const UINT dpi = getDpiForWindow && hwnd ? getDpiForWindow(hwnd) : 0;
    return dpi ? dpi : vx::systemDpi();
}

vx::DpiQuery dpiQuery = &systemDpiOf;

} // namespace

UINT dpiOf(HWND hwnd) {
    const UINT dpi = dpiQuery(hwnd);
    return dpi ? dpi : 96;
}

namespace vx {

DpiQuery setDpiQuery(DpiQuery query) {
    DpiQuery previous = dpiQuery;
    dpiQuery = query ? query : &systemDpiOf;
    return previous;
}

UINT systemDpi() {
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

int metricForDpi(int index, UINT dpi) {
    // GetSystemMetrics answers at the system DPI, which the process was started with.
    return ::MulDiv(::GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(systemDpi()));
}

} // namespace vx
