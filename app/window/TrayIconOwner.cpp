#include "TrayIconOwner.h"

#include "Messages.h"
#include "util/VxText.h"

#include <cwchar>

namespace {

CTrayIconOwner::NotifyCall notify = &::Shell_NotifyIconW;

// Copies text into a fixed array of the record, cut so that the terminator always fits.
template <std::size_t N> void copyCut(WCHAR (&target)[N], const std::string& text) {
    std::wstring wide = vx::widened(text);
    std::size_t n = wide.size() < N - 1 ? wide.size() : N - 1;
    // Never end on half of a surrogate pair.
    if (n > 0 && n < wide.size() && wide[n - 1] >= 0xD800 && wide[n - 1] <= 0xDBFF)
        --n;
    std::wmemcpy(target, wide.data(), n);
    target[n] = L'\0';
}

} // namespace

CTrayIconOwner::NotifyCall CTrayIconOwner::setNotifyCall(NotifyCall call) {
    NotifyCall previous = notify;
    notify = call ? call : &::Shell_NotifyIconW;
    return previous;
}

CTrayIconOwner::CTrayIconOwner() : data{}, taskbarCreated(::RegisterWindowMessageW(L"TaskbarCreated")) {
    data.cbSize = sizeof(data);
    data.uID = 1;
    data.uFlags = NIF_MESSAGE;
    data.uCallbackMessage = UM_TRAYNOTIFY;
}

CTrayIconOwner::~CTrayIconOwner() {
    hideTrayIcon();
    if (data.hIcon)
        ::DestroyIcon(data.hIcon);
    if (menu)
        ::DestroyMenu(menu);
}

void CTrayIconOwner::attachTray(HWND window) {
    data.hWnd = window;
}

void CTrayIconOwner::setTrayIcon(HICON icon) {
    if (!icon)
        return;
    HICON copy = ::CopyIcon(icon);
    if (!copy)
        return;
    if (data.hIcon)
        ::DestroyIcon(data.hIcon);
    data.hIcon = copy;
    data.uFlags |= NIF_ICON;
}

void CTrayIconOwner::setTrayTip(const std::string& tip) {
    copyCut(data.szTip, tip);
    data.uFlags |= NIF_TIP;
}

void CTrayIconOwner::setTrayMenu(HMENU newMenu, UINT item) {
    if (menu)
        ::DestroyMenu(menu);
    menu = newMenu;
    defaultItem = item;
}

bool CTrayIconOwner::addIcon(bool retry) {
    data.uFlags &= ~NIF_INFO;
    // A shell busy at logon may answer an add too late (ERROR_TIMEOUT) although it made the icon; every
    // later add of it then fails, and only a modify tells that it is there.
    if (!notify(NIM_ADD, &data) && !(retry && notify(NIM_MODIFY, &data))) {
        // The shell is not ready (at logon), or busy: the icon must not stay missing for the session.
        if (data.hWnd)
            ::SetTimer(data.hWnd, retryTimerId, retryIntervalMs, nullptr);
        return false;
    }
    inTray = true;
    if (data.hWnd)
        ::KillTimer(data.hWnd, retryTimerId);
    if (balloonPending) {
        balloonPending = false;
        data.uFlags |= NIF_INFO;
        notify(NIM_MODIFY, &data);
        data.uFlags &= ~NIF_INFO;
    }
    return true;
}

bool CTrayIconOwner::showTrayIcon() {
    wanted = true;
    return inTray || addIcon(false);
}

bool CTrayIconOwner::hideTrayIcon() {
    wanted = false;
    balloonPending = false;
    if (data.hWnd)
        ::KillTimer(data.hWnd, retryTimerId);
    if (!inTray)
        return true;
    if (!notify(NIM_DELETE, &data))
        return false;
    inTray = false;
    return true;
}

bool CTrayIconOwner::updateTrayIcon() {
    return inTray && notify(NIM_MODIFY, &data);
}

bool CTrayIconOwner::showBalloon(const std::string& title, const std::string& text, DWORD infoFlags,
                                 UINT timeoutSeconds) {
    data.uFlags |= NIF_INFO;
    data.dwInfoFlags = infoFlags;
    data.uTimeout = timeoutSeconds * 1000;
    copyCut(data.szInfoTitle, title);
    copyCut(data.szInfo, text);
    if (!inTray && wanted) {
        balloonPending = true;
        data.uFlags &= ~NIF_INFO;
        return true;
    }
    bool ok = updateTrayIcon();
    data.uFlags &= ~NIF_INFO; // a later update must not show the balloon again
    return ok;
}

void CTrayIconOwner::onTrayLButtonDblClk(POINT) {
    if (!minimizeToTray || !inTray || !data.hWnd)
        return;
    hideTrayIcon();
    ::ShowWindow(data.hWnd, SW_SHOW);
    ::SetForegroundWindow(data.hWnd);
}

void CTrayIconOwner::onTrayRButtonDown(POINT at) {
    showTrayMenu(at);
}

void CTrayIconOwner::showTrayMenu(POINT at) {
    HMENU popup = menu ? ::GetSubMenu(menu, 0) : nullptr;
    if (!popup || !data.hWnd)
        return;
    if (defaultItem)
        ::SetMenuDefaultItem(popup, defaultItem, FALSE);
    prepareTrayMenu(popup);
    // Without the foreground, the menu would not close when the user clicks elsewhere.
    ::SetForegroundWindow(data.hWnd);
    ::TrackPopupMenu(popup, TPM_RIGHTBUTTON | TPM_BOTTOMALIGN, at.x, at.y, 0, data.hWnd, nullptr);
    ::PostMessageW(data.hWnd, WM_NULL, 0, 0);
}

bool CTrayIconOwner::handleTrayMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                       LRESULT& result) {
    if (message == UM_TRAYNOTIFY) {
        result = 0;
        if (wParam != data.uID)
            return true;
        POINT at{};
        ::GetCursorPos(&at);
        switch (LOWORD(lParam)) {
        case WM_LBUTTONDOWN:
            onTrayLButtonDown(at);
            break;
        case WM_LBUTTONDBLCLK:
            onTrayLButtonDblClk(at);
            break;
        case WM_RBUTTONDOWN:
        case WM_CONTEXTMENU:
            onTrayRButtonDown(at);
            break;
        case WM_RBUTTONDBLCLK:
            onTrayRButtonDblClk(at);
            break;
        case WM_MOUSEMOVE:
            onTrayMouseMove(at);
            break;
        default:
            break;
        }
        return true;
    }
    if (message == taskbarCreated && taskbarCreated != 0) {
        // Explorer restarted, or started late at logon: its new tray knows nothing of the icon, whether
        // an earlier add succeeded or not.
        if (wanted) {
            inTray = false;
            addIcon(false);
        }
        result = 0;
        return true;
    }
    if (message == WM_TIMER && wParam == retryTimerId) {
        if (!wanted || inTray || addIcon(true))
            ::KillTimer(window, retryTimerId);
        result = 0;
        return true;
    }
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_MINIMIZE && minimizeToTray && !inTray) {
        if (showTrayIcon())
            ::ShowWindow(window, SW_HIDE);
        else
            hideTrayIcon(); // the window stays shown: no icon is needed to bring it back
        result = 0;
        return true;
    }
    if (message == WM_DESTROY)
        hideTrayIcon();
    return false;
}
