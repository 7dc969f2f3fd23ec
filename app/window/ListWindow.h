#pragma once
// What the results list and its two pop-ups share: one window class, painting through an off-screen
// buffer, row shading, the arrow mark, and pixel sizes scaled for the window's DPI.
#include "Dpi.h"
#include "util/Win32Handle.h"

#include <windows.h>

class VListWindow {
public:
    VListWindow() = default;
    virtual ~VListWindow();
    VListWindow(const VListWindow&) = delete;
    VListWindow& operator=(const VListWindow&) = delete;

    HWND getHwnd() const { return window.Get(); }
    // On the screen for the user: mapped and not hidden by its region.
    bool isOnScreen() const { return window && !hiddenByRegion && ::IsWindowVisible(window.Get()); }
    // The search window moved to a monitor of another DPI: sizes are made again for it, and the text
    // is drawn in font, the edit box's new one (not owned).
    void setDpi(UINT dpi, HFONT font);
    UINT getDpi() const { return dpi; }

protected:
    // A bordered, top-most tool window owned by owner. It never takes the activation: the focus stays
    // in the search edit box, which hands the keys on. font is the edit box's (not owned).
    bool createWindow(HWND owner, HFONT editFont, int height);
    // Derived classes call it first in their destructor, while their members still exist.
    void destroyWindow();
    // n pixels at 96 DPI in this window's DPI.
    int px(int n) const;
    // A system metric (the small icon's side, the scroll bar's width) in this window's DPI.
    int metric(int index) const;
    // Sizes that depend on the DPI are made again; previous is the DPI they were made for.
    virtual void dpiChanged(UINT previous) { (void)previous; }
    // Top-most, without activating.
    void placeAndShow(const RECT& screenRect);
    void hide();
    // Keeps the window mapped but out of sight and out of the mouse's way: an empty window region.
    // Under Wine, mapping a top-level window costs 6 to 11 ms and its pixels reach the screen only
    // after the X server's expose comes back; changing a mapped window's region costs 1 to 2 ms and
    // what it paints shows at once. A window that is not mapped is mapped so hidden.
    void hideByRegion();
    // Gives a window hidden by its region its area back (as far as the clip allows) and repaints it.
    void showByRegion();
    bool isHiddenByRegion() const { return hiddenByRegion; }
    // Shows only the window's top height pixels (0: all of it), through its region: a window that keeps
    // its size while what it shows grows and shrinks. Under Wine, resizing a mapped window costs about
    // 10 ms more than changing its region.
    void setClip(int height);
    int getClip() const { return clip; }
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
    // The owner's DPI at creation, then the one the search window was told.
    UINT dpi = 96;
    void paintBuffered(HDC target);
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // Gives the window the region its state asks for: none, empty (hidden) or the clip.
    bool applyRegion(bool redraw);

    vx::CWindowHandle window;
    bool hiddenByRegion = false;
    int clip = 0;
};

// The colours the lists and their scroll thumb are drawn in: chosen here alone.
struct VListColors {
    COLORREF window;
    // Odd rows.
    COLORREF shaded;
    COLORREF text;
    COLORREF highlight;
    COLORREF highlightText;
    COLORREF grayText;
    COLORREF track;
    COLORREF thumb;
    COLORREF thumbDragged;
};
// From the system's colours (sysColor answers as GetSysColor): odd rows shaded by 10 in each channel,
// lighter on dark window colours, darker on light ones. A high-contrast theme's colours are taken as
// they are, unshaded, the thumb in its face's text colour. The thumb never has its track's colour.
VListColors listColors(bool highContrast, COLORREF (*sysColor)(int));
// The colours for the theme the user has now: the system's, the dark set, or high contrast's.
VListColors listColors();

// Fills a row's background: the selected row in the highlight colour, odd rows shaded, even rows in
// the window colour. Returns the colour for the row's text.
COLORREF fillRow(HDC dc, const RECT& row, int index, bool selected, const VListColors& colors);

// The mark of a row that opens something further: a small triangle pointing right (or down, for a
// button that drops a menu), centred in box.
void drawArrow(HDC dc, const RECT& box, COLORREF color, bool down = false);
