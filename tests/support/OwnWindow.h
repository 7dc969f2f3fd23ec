#pragma once
// Finding a window that the test's own code made. The test programs run side by side on one display: a
// search by class and title across the desktop can find another program's box or dialog, and answer it
// instead of this one, which then waits for a user until the test times out.
#include <windows.h>

#include <cstring>
#include <cwchar>

namespace own_window_detail {

struct Search {
    const char* className; // null: any class
    const char* title;
    HWND found;
};

inline BOOL CALLBACK visit(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process != ::GetCurrentProcessId())
        return TRUE;
    // Not GetWindowText: for a window of this process it sends WM_GETTEXT, and the window's thread may
    // be waiting for the caller (joining it), which would then wait forever.
    wchar_t text[256] = {};
    ::InternalGetWindowText(window, text, 256);
    wchar_t title[256] = {};
    ::MultiByteToWideChar(CP_UTF8, 0, search->title, -1, title, 256);
    if (std::wcscmp(text, title) != 0)
        return TRUE;
    if (search->className) {
        char name[64] = {};
        ::GetClassNameA(window, name, sizeof(name));
        if (std::strcmp(name, search->className) != 0)
            return TRUE;
    }
    search->found = window;
    return FALSE;
}

} // namespace own_window_detail

// The first top-level window of this process with that title (and class, unless null), or null.
inline HWND findOwnWindow(const char* className, const char* title) {
    own_window_detail::Search search{className, title, nullptr};
    ::EnumWindows(&own_window_detail::visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
