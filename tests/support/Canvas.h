#pragma once
// A white bitmap in a memory DC, for tests that look at what a window or a drawing call painted.
#include <windows.h>

class Canvas {
public:
    Canvas(int width, int height) {
        HDC screen = ::GetDC(nullptr);
        dc = ::CreateCompatibleDC(screen);
        bitmap = ::CreateCompatibleBitmap(screen, width, height);
        ::ReleaseDC(nullptr, screen);
        old = ::SelectObject(dc, bitmap);
        const RECT all{0, 0, width, height};
        ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    }
    ~Canvas() {
        ::SelectObject(dc, old);
        ::DeleteObject(bitmap);
        ::DeleteDC(dc);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // The window's whole client area as its WM_PRINTCLIENT paints it, hidden parts included.
    static RECT clientOf(HWND window) {
        RECT client{};
        ::GetClientRect(window, &client);
        return client;
    }
    void printClient(HWND window) const {
        ::SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    }
    COLORREF at(int x, int y) const { return ::GetPixel(dc, x, y); }
    HDC dc;

private:
    HBITMAP bitmap;
    HGDIOBJ old;
};
