#include "ListWindow.h"

#include "Theme.h"
#include "util/HighContrast.h"
#include "util/ThisModule.h"

#include <algorithm>
#include <climits>

namespace {

const char kClassName[] = "VxListWindow";

bool registerClass(WNDPROC proc) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    if (::GetClassInfoExA(vx::thisModule(), kClassName, &wc))
        return true;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS | CS_SAVEBITS;
    wc.lpfnWndProc = proc;
    wc.hInstance = vx::thisModule();
    wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    return ::RegisterClassExA(&wc) != 0;
}

BYTE shifted(BYTE channel, int by) {
    return static_cast<BYTE>(std::clamp(channel + by, 0, 255));
}

// wanted, unless it is the background's colour: then the fallback, or the background inverted.
COLORREF distinct(COLORREF wanted, COLORREF background, COLORREF fallback) {
    if (wanted != background)
        return wanted;
    return fallback != background ? fallback : RGB(255, 255, 255) ^ background;
}

} // namespace

VListWindow::~VListWindow() {
    destroyWindow();
}

void VListWindow::destroyWindow() {
    // Messages sent while the window goes must not reach an object that is being destroyed.
    if (window)
        ::SetWindowLongPtrA(window.Get(), GWLP_USERDATA, 0);
    window.Reset();
}

bool VListWindow::createWindow(HWND owner, HFONT editFont, int height) {
    if (window || !registerClass(&VListWindow::windowProc))
        return false;
    font = editFont;
    dpi = dpiOf(owner);
    // The window procedure takes the handle into `window` while the window is being created.
    return ::CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kClassName, "",
                             WS_POPUP | WS_BORDER | WS_CLIPCHILDREN, 0, 0, 100, height, owner, nullptr,
                             vx::thisModule(), this) != nullptr;
}

int VListWindow::px(int n) const {
    return vx::scaleForDpi(n, dpi);
}

int VListWindow::metric(int index) const {
    return vx::metricForDpi(index, dpi);
}

void VListWindow::setDpi(UINT newDpi, HFONT newFont) {
    font = newFont;
    if (!newDpi || newDpi == dpi)
        return;
    const UINT previous = dpi;
    dpi = newDpi;
    dpiChanged(previous);
}

void VListWindow::placeAndShow(const RECT& r) {
    ::SetWindowPos(window.Get(), HWND_TOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void VListWindow::hide() {
    if (window)
        ::ShowWindow(window.Get(), SW_HIDE);
}

bool VListWindow::applyRegion(bool redraw) {
    HRGN region = nullptr;
    if (hiddenByRegion)
        region = ::CreateRectRgn(0, 0, 0, 0);
    else if (clip > 0)
        region = ::CreateRectRgn(0, 0, SHRT_MAX, clip);
    if ((hiddenByRegion || clip > 0) && !region)
        return false;
    if (!::SetWindowRgn(window.Get(), region, redraw ? TRUE : FALSE)) {
        // A region the call took is the system's from then on; one it refused is still ours.
        if (region)
            ::DeleteObject(region);
        return false;
    }
    return true;
}

void VListWindow::hideByRegion() {
    if (!window || hiddenByRegion)
        return;
    hiddenByRegion = true;
    if (!applyRegion(true)) {
        hiddenByRegion = false;
        hide();
        return;
    }
    if (!::IsWindowVisible(window.Get()))
        ::SetWindowPos(window.Get(), HWND_TOPMOST, 0, 0, 0, 0,
                       SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
}

void VListWindow::showByRegion() {
    if (!window || !hiddenByRegion)
        return;
    hiddenByRegion = false;
    applyRegion(true);
}

void VListWindow::setClip(int height) {
    height = std::max(height, 0);
    if (height == clip)
        return;
    clip = height;
    if (window && !hiddenByRegion)
        applyRegion(true);
}

void VListWindow::repaint() const {
    if (window)
        ::InvalidateRect(window.Get(), nullptr, FALSE);
}

int VListWindow::frameHeight() const {
    RECT r{0, 0, 0, 0};
    ::AdjustWindowRectEx(&r, static_cast<DWORD>(::GetWindowLongPtrA(window.Get(), GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongPtrA(window.Get(), GWL_EXSTYLE)));
    return r.bottom - r.top;
}

RECT VListWindow::rowOnScreen(int top, int height) const {
    RECT r;
    ::GetClientRect(window.Get(), &r);
    r.top = top;
    r.bottom = top + height;
    ::MapWindowPoints(window.Get(), nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void VListWindow::paintBuffered(HDC target) {
    RECT client;
    ::GetClientRect(window.Get(), &client);
    vx::CMemoryDC buffer(::CreateCompatibleDC(target));
    vx::CBitmapHandle bitmap(
        ::CreateCompatibleBitmap(target, std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1)));
    if (!buffer || !bitmap)
        return;
    HGDIOBJ oldBitmap = ::SelectObject(buffer.Get(), bitmap.Get());
    HGDIOBJ oldFont = ::SelectObject(buffer.Get(), ::GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(buffer.Get(), TRANSPARENT);
    ::FillRect(buffer.Get(), &client, vx::themeBrush(buffer.Get(), COLOR_WINDOW));
    paint(buffer.Get(), client);
    ::BitBlt(target, 0, 0, client.right, client.bottom, buffer.Get(), 0, 0, SRCCOPY);
    ::SelectObject(buffer.Get(), oldFont);
    ::SelectObject(buffer.Get(), oldBitmap);
}

LRESULT VListWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(window.Get(), &ps);
        paintBuffered(dc);
        ::EndPaint(window.Get(), &ps);
        return 0;
    }
    case WM_PRINTCLIENT:
        paintBuffered(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
        // The colours are chosen at each paint: a switch of theme, or to high contrast, shows at once.
        vx::refreshHighContrast();
        repaint();
        return ::DefWindowProcA(window.Get(), message, wParam, lParam);
    default:
        return ::DefWindowProcA(window.Get(), message, wParam, lParam);
    }
}

LRESULT CALLBACK VListWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<VListWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        // CreateWindowEx has not returned yet, but messages sent from here on need the handle.
        self->window.Reset(hwnd);
    }
    auto* self = reinterpret_cast<VListWindow*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self || message == WM_NCDESTROY) {
        if (self)
            self->window.Detach();
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        return ::DefWindowProcA(hwnd, message, wParam, lParam);
    }
    return self->handleMessage(message, wParam, lParam);
}

VListColors listColors(bool highContrast, COLORREF (*sysColor)(int)) {
    VListColors colors{};
    colors.window = sysColor(COLOR_WINDOW);
    colors.text = sysColor(COLOR_WINDOWTEXT);
    colors.highlight = sysColor(COLOR_HIGHLIGHT);
    colors.highlightText = sysColor(COLOR_HIGHLIGHTTEXT);
    colors.grayText = sysColor(COLOR_GRAYTEXT);
    colors.track = sysColor(COLOR_BTNFACE);
    if (highContrast) {
        // A high-contrast theme pairs each background with one text colour; shades of its own would
        // lower the contrast it was chosen for, and its shadow colours may be its face colour.
        colors.shaded = colors.window;
        colors.thumb = distinct(sysColor(COLOR_BTNTEXT), colors.track, colors.text);
        colors.thumbDragged = distinct(colors.highlight, colors.track, colors.thumb);
        return colors;
    }
    const int by = colors.window < RGB(129, 128, 128) ? 10 : -10;
    colors.shaded = RGB(shifted(GetRValue(colors.window), by), shifted(GetGValue(colors.window), by),
                        shifted(GetBValue(colors.window), by));
    colors.thumb = distinct(sysColor(COLOR_BTNSHADOW), colors.track, sysColor(COLOR_BTNTEXT));
    colors.thumbDragged = distinct(sysColor(COLOR_3DDKSHADOW), colors.track, colors.thumb);
    return colors;
}

VListColors listColors() {
    // themeColor gives the dark set in the dark theme, and the system's colours under high contrast.
    return listColors(vx::isHighContrast(), [](int index) -> COLORREF { return vx::themeColor(index); });
}

COLORREF fillRow(HDC dc, const RECT& row, int index, bool selected, const VListColors& colors) {
    ::SetDCBrushColor(dc, selected ? colors.highlight : index % 2 == 1 ? colors.shaded : colors.window);
    ::FillRect(dc, &row, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
    return selected ? colors.highlightText : colors.text;
}

void drawArrow(HDC dc, const RECT& box, COLORREF color, bool down) {
    const int half = std::max<int>(2, std::min(box.right - box.left, box.bottom - box.top) / 4);
    const int cx = (box.left + box.right) / 2;
    const int cy = (box.top + box.bottom) / 2;
    const POINT right[3] = {{cx - half / 2, cy - half}, {cx - half / 2, cy + half}, {cx + half / 2 + 1, cy}};
    const POINT below[3] = {{cx - half, cy - half / 2}, {cx + half, cy - half / 2}, {cx, cy + half / 2 + 1}};
    const POINT* points = down ? below : right;
    HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(DC_BRUSH));
    HGDIOBJ oldPen = ::SelectObject(dc, ::GetStockObject(DC_PEN));
    ::SetDCBrushColor(dc, color);
    ::SetDCPenColor(dc, color);
    ::Polygon(dc, points, 3);
    ::SelectObject(dc, oldPen);
    ::SelectObject(dc, oldBrush);
}
