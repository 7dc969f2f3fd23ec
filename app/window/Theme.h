#pragma once
// The colours the strip and the lists draw in: the system's, or a dark set while Windows apps use the
// dark theme. Windows does not give classic Win32 windows dark system colours; each program that
// follows the setting draws its own.
#include <windows.h>

namespace vx {

// Whether Windows apps use the dark theme: "AppsUseLightTheme" = 0 under Personalize. False where the
// value is absent (before Windows 10 1809).
bool appsUseDarkTheme();
// Tests replace the query; null restores the registry's.
using DarkThemeQuery = bool (*)();
DarkThemeQuery setDarkThemeQuery(DarkThemeQuery query);

// Reads the setting again: at start and when Windows says the colour set changed. True when the
// choice changed.
bool refreshTheme();
// The dark set is in use: the dark theme, and no high-contrast scheme (its colours are the user's).
bool isDarkTheme();

// A system colour (COLOR_WINDOW, COLOR_HIGHLIGHT, COLOR_BTNFACE, ...) as the program draws it.
COLORREF themeColor(int index);
// The stock DC brush, set to themeColor(index) in dc: for FillRect and WM_CTLCOLOR* answers.
HBRUSH themeBrush(HDC dc, int index);
// Gives a window's frame the dark theme's look, or takes it back (Windows 10 20H1 and later).
void applyFrameTheme(HWND window);

} // namespace vx
