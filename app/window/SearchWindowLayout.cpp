// The search window's geometry and look: sizes at its DPI and a move to another DPI, the theme's
// colours, the box's font and the strip's height, the children's places, the label that names the
// action of action mode, snapping to the work area while dragged, and where the frame can be taken.
#include "SearchWindow.h"

#include "Theme.h"
#include "engine/VVerbinoxCore.h"
#include "res/resource.h"
#include "util/SystemText.h"
#include "util/VxText.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

int CVerbinoxDlg::px(int n) const {
    return vx::scaleForDpi(n, dpi);
}

void CVerbinoxDlg::applyTheme() {
    const bool dark = vx::isDarkTheme();
    if (core)
        core->setThemeTextColors(dark ? vx::themeColor(COLOR_WINDOWTEXT) : CLR_INVALID,
                                 dark ? vx::themeColor(COLOR_HIGHLIGHTTEXT) : CLR_INVALID);
    vx::applyFrameTheme(hwnd);
    for (HWND window : {hwnd, list.getHwnd(), list.getActionList().getHwnd(),
                        list.getActionList().getPropertyList().getHwnd()}) {
        if (window)
            ::RedrawWindow(window, nullptr, nullptr,
                           RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    }
}

void CVerbinoxDlg::onDpiChanged(UINT newDpi, const RECT& suggested) {
    if (newDpi && newDpi != dpi) {
        dpi = newDpi;
        if (core)
            core->setFontDpi(dpi);
        // The box's font in points at the new DPI, and the box's and strip's heights with it.
        applyBoxFont();
        // The program's icon beside the box, drawn at its real size, is loaded again in the new size.
        HICON previousIcon = stripIcon;
        const int side = vx::metricForDpi(SM_CXSMICON, dpi);
        stripIcon = dpi == templateDpi ? nullptr
                                       : static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                                         MAKEINTRESOURCEW(IDR_MAINFRAME),
                                                                         IMAGE_ICON, side, side, 0));
        if (mode != ActionMode)
            setActionIcon(idleIcon());
        if (previousIcon)
            ::DestroyIcon(previousIcon);
        list.setDpi(dpi, reinterpret_cast<HFONT>(::SendMessageW(commandLine.getHwnd(), WM_GETFONT, 0, 0)));
    }
    // The suggested rectangle keeps the window on the monitor that asked; its height is the strip's.
    ::SetWindowPos(hwnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   stripHeight(), SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client{};
    ::GetClientRect(hwnd, &client);
    layoutChildren(client.right, client.bottom);
    if (list.isOnScreen())
        list.layout();
    ::InvalidateRect(hwnd, nullptr, TRUE);
}

void CVerbinoxDlg::setActionIcon(HICON icon) {
    ::SendDlgItemMessageW(hwnd, IDC_ACTIONICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
}

void CVerbinoxDlg::layoutChildren(int width, int height) {
    const int side = px(20), gap = px(2);
    ::MoveWindow(::GetDlgItem(hwnd, IDC_ACTIONICON), gap, gap, side, height - 2 * gap, TRUE);
    ::MoveWindow(::GetDlgItem(hwnd, IDC_MENUBUTTON), width - side - gap, gap, side, height - 2 * gap, TRUE);
    // A single-line edit draws its text at its top: as high as its text and centred, the text sits on
    // the strip's middle line, level with the icon.
    const int boxHeight = editHeight > 0 && editHeight < height ? editHeight : height - 2 * gap;
    const int top = (height - boxHeight) / 2;
    int left = side + 2 * gap;
    if (actionNameWidth > 0) {
        ::MoveWindow(actionName, left, top, actionNameWidth, boxHeight, TRUE);
        left += actionNameWidth + gap;
    }
    ::MoveWindow(commandLine.getHwnd(), left, top, width - left - (side + 2 * gap), boxHeight, TRUE);
}

void CVerbinoxDlg::applyBoxFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    LOGFONTW face{};
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        face = metrics.lfMessageFont;
    else
        ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(face), &face);
    face.lfHeight = -::MulDiv(settings.boxFontSize, static_cast<int>(dpi), 72);
    face.lfWidth = 0;
    vx::CFontHandle made(::CreateFontIndirectW(&face));
    if (!made)
        return;
    HFONT font = made.Get();
    HWND edit = commandLine.getHwnd();
    ::SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ::SendMessageW(actionName, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // The old font is freed only once nothing draws with it any more.
    boxFont = std::move(made);
    TEXTMETRICW text{};
    HDC dc = ::GetDC(edit);
    HGDIOBJ previous = ::SelectObject(dc, font);
    ::GetTextMetricsW(dc, &text);
    ::SelectObject(dc, previous);
    ::ReleaseDC(edit, dc);
    editHeight = text.tmHeight + px(2);
    RECT window{};
    ::GetWindowRect(hwnd, &window);
    ::SetWindowPos(hwnd, nullptr, 0, 0, window.right - window.left, stripHeight(),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client{};
    ::GetClientRect(hwnd, &client);
    layoutChildren(client.right, client.bottom);
    ::InvalidateRect(hwnd, nullptr, TRUE);
}

int CVerbinoxDlg::stripHeight() const {
    return editHeight + 2 * vx::metricForDpi(SM_CYFRAME, dpi) + px(8);
}

void CVerbinoxDlg::showActionName(const std::string& name) {
    if (!actionName)
        return;
    vx::setWindowText(actionName, name);
    RECT client{};
    ::GetClientRect(hwnd, &client);
    actionNameWidth = 0;
    if (!name.empty()) {
        const std::wstring wide = vx::widened(name);
        SIZE extent{};
        HDC dc = ::GetDC(actionName);
        HGDIOBJ previous =
            ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(actionName, WM_GETFONT, 0, 0)));
        ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &extent);
        ::SelectObject(dc, previous);
        ::ReleaseDC(actionName, dc);
        // A long name is cut with an ellipsis rather than squeezing out the box.
        actionNameWidth = (std::min)(static_cast<int>(extent.cx) + px(4), static_cast<int>(client.right / 3));
    }
    ::ShowWindow(actionName, actionNameWidth > 0 ? SW_SHOWNA : SW_HIDE);
    layoutChildren(client.right, client.bottom);
}

void CVerbinoxDlg::snapToWorkArea(RECT& rect) const {
    // The work area of the monitor being dragged over: SPI_GETWORKAREA knows the primary one only.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!::GetMonitorInfoW(::MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    const RECT& work = monitor.rcWork;
    const int snap = px(10);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (std::abs(rect.left - work.left) <= snap)
        rect.left = work.left;
    else if (std::abs(rect.right - work.right) <= snap)
        rect.left = work.right - width;
    if (std::abs(rect.top - work.top) <= snap)
        rect.top = work.top;
    else if (std::abs(rect.bottom - work.bottom) <= snap)
        rect.top = work.bottom - height;
    rect.right = rect.left + width;
    rect.bottom = rect.top + height;
}

LRESULT CVerbinoxDlg::hitTest(LPARAM lParam) const {
    POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    RECT rect{};
    ::GetWindowRect(hwnd, &rect);
    const int edge = px(4);
    if (at.x < rect.left + edge)
        return HTLEFT;
    if (at.x >= rect.right - edge)
        return HTRIGHT;
    // Dragged anywhere else, as if by a caption it does not have.
    return HTCAPTION;
}
