#include "Theme.h"

#include "util/HighContrast.h"
#include "util/Win32Handle.h"

namespace {

bool registryUsesDarkTheme() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER,
                        L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize", 0,
                        KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    vx::CRegKeyHandle hold(key);
    DWORD value = 1, size = sizeof(value), type = 0;
    if (::RegQueryValueExW(key, L"AppsUseLightTheme", nullptr, &type, reinterpret_cast<BYTE*>(&value),
                           &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return false;
    return value == 0;
}

vx::DarkThemeQuery darkQuery = &registryUsesDarkTheme;
bool dark = false;
bool read = false;

// Near what Windows' own dark applications use; the odd rows' shading works from the window colour.
COLORREF darkColor(int index) {
    switch (index) {
    case COLOR_WINDOW:
        return RGB(32, 32, 32);
    case COLOR_WINDOWTEXT:
    case COLOR_BTNTEXT:
        return RGB(240, 240, 240);
    case COLOR_HIGHLIGHT:
        return RGB(0, 90, 158);
    case COLOR_HIGHLIGHTTEXT:
        return RGB(255, 255, 255);
    case COLOR_BTNFACE:
        return RGB(43, 43, 43);
    case COLOR_BTNSHADOW:
        return RGB(80, 80, 80);
    case COLOR_BTNHIGHLIGHT:
        return RGB(200, 200, 200);
    case COLOR_3DDKSHADOW:
        return RGB(120, 120, 120);
    case COLOR_GRAYTEXT:
        return RGB(150, 150, 150);
    case COLOR_WINDOWFRAME:
        return RGB(90, 90, 90);
    default:
        return ::GetSysColor(index);
    }
}

} // namespace

namespace vx {

bool appsUseDarkTheme() {
    return darkQuery();
}

DarkThemeQuery setDarkThemeQuery(DarkThemeQuery query) {
    DarkThemeQuery previous = darkQuery;
    darkQuery = query ? query : &registryUsesDarkTheme;
    read = false;
    return previous;
}

bool refreshTheme() {
    const bool was = dark;
    dark = appsUseDarkTheme();
    read = true;
    return dark != was;
}

bool isDarkTheme() {
    if (!read)
        refreshTheme();
    return dark && !vx::isHighContrast();
}

COLORREF themeColor(int index) {
    return isDarkTheme() ? darkColor(index) : ::GetSysColor(index);
}

HBRUSH themeBrush(HDC dc, int index) {
    ::SetDCBrushColor(dc, themeColor(index));
    return static_cast<HBRUSH>(::GetStockObject(DC_BRUSH));
}

void applyFrameTheme(HWND window) {
    // dwmapi is loaded when needed: it is absent from some Windows editions, and attribute 20 is known
    // only to Windows 10 20H1 and later (older ones refuse it, which changes nothing).
    using SetAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
    static HMODULE dwm = ::LoadLibraryW(L"dwmapi.dll");
    static const auto setAttribute = dwm ? reinterpret_cast<SetAttributeFn>(reinterpret_cast<void*>(
                                               ::GetProcAddress(dwm, "DwmSetWindowAttribute")))
                                         : nullptr;
    if (!setAttribute || !window)
        return;
    const DWORD useImmersiveDarkMode = 20;
    const BOOL on = isDarkTheme() ? TRUE : FALSE;
    setAttribute(window, useImmersiveDarkMode, &on, sizeof(on));
}

} // namespace vx
