#pragma once
// A message loop for tests that drive windows: timers fire and posted messages arrive while it runs.
#include <windows.h>

// Dispatches this thread's messages for about ms milliseconds (at least once).
inline void pumpMessages(DWORD ms) {
    const DWORD start = ::GetTickCount();
    do {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(2);
    } while (::GetTickCount() - start < ms);
}
