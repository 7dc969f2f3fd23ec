#pragma once
// What the results list and its two pop-ups share: one window class, painting through an off-screen
// buffer, row shading, the arrow mark, and pixel sizes scaled for the window's DPI.
#include "util/Win32Handle.h"

#include <windows.h>

class VListWindow {
public:
    VListWindow() = default;
    virtual ~VListWindow();
    VListWindow(const VListWindow&) = delete;
    VListWindow& operator=(const VListWindow&) = delete;

    HWND getHwnd() const { return window.Get(); }
    bool isVisible() const { return window && ::IsWindowVisible(window.Get()); }

protected:
    // A bordered, top-most tool window owned by owner. It never takes the activation: the focus stays
    // in the search edit box, which hands the keys on. font is the edit box's (not owned).
    bool createWindow(HWND owner, HFONT editFont, int height);
    // Derived classes call it first in their destructor, while their members still exist.
    void destroyWindow();
    // n pixels at 96 DPI in this window's DPI.
    int px(int n) const;
    // Top-most, without activating.
    void placeAndShow(const RECT& screenRect);
    void hide();
    void repaint() const;
    // The height the border adds to the client area.
    int frameHeight() const;
    // The client area's full width from top to top + height, in screen coordinates.
    RECT rowOnScreen(int top, int height) const;

    virtual LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Draws the client area into a buffer DC that holds the default GUI font, a window-coloured
    // background and transparent text mode.
    virtual void paint(HDC dc, const RECT& client) = 0;

    HFONT font = nullptr;

private:
    void paintBuffered(HDC target);
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    vx::CWindowHandle window;
};

// Fills a row's background: the selected row in the highlight colour, odd rows shaded by 10 in each
// channel (lighter on dark window colours, darker on light ones), even rows in the window colour.
// Returns the colour for the row's text.
COLORREF fillRow(HDC dc, const RECT& row, int index, bool selected);
// The DPI a window is shown at (96 = 100 %).
UINT dpiOf(HWND hwnd);

// The mark of a row that opens something further: a small triangle pointing right (or down, for a
// button that drops a menu), centred in box.
void drawArrow(HDC dc, const RECT& box, COLORREF color, bool down = false);
