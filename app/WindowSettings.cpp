#include "WindowSettings.h"

#include "model/VPreferences.h"

#include <algorithm>

void VWindowSettings::load(const VPreferencesNode* window) {
    if (!window)
        return;
    hasStartWithWindows = window->getParam("StartWithWindows", startWithWindows);
    hasQuickLaunchIcon = window->getParam("QuickLaunchIcon", quickLaunchIcon);
    window->getParam("AutoHide", autoHide);
    window->getParam("HideOnDeactivate", hideOnDeactivate);
    window->getParam("AlwaysOnTop", alwaysOnTop);
    window->getParam("AlwaysShowList", alwaysShowList);
    int value = 0;
    if (window->getParam("HotKey", value))
        hotKey = static_cast<UINT>(value);
    if (window->getParam("HotKeyModifier", value))
        hotKeyModifier = static_cast<UINT>(value);
    int x = 0, y = 0;
    if (window->getParam("PosX", x) && window->getParam("PosY", y)) {
        hasPosition = true;
        position = {x, y};
    }
    window->getParam("CheckForUpdates", checkForUpdates);
    if (window->getParam("BoxFontSize", value))
        boxFontSize = std::clamp(value, kMinBoxFontSize, kMaxBoxFontSize);
}

void VWindowSettings::save(VPreferencesNode* window, bool startupShortcut, bool quickLaunchShortcut,
                           POINT windowPosition) const {
    if (!window)
        return;
    window->setParam("StartWithWindows", startupShortcut);
    window->setParam("QuickLaunchIcon", quickLaunchShortcut);
    window->setParam("AutoHide", autoHide);
    window->setParam("AlwaysOnTop", alwaysOnTop);
    window->setParam("AlwaysShowList", alwaysShowList);
    window->setParam("HotKey", static_cast<int>(hotKey));
    window->setParam("HotKeyModifier", static_cast<int>(hotKeyModifier));
    window->setParam("CheckForUpdates", checkForUpdates);
    window->setParam("PosX", static_cast<int>(windowPosition.x));
    window->setParam("PosY", static_cast<int>(windowPosition.y));
    window->setParam("HideOnDeactivate", hideOnDeactivate);
    window->setParam("BoxFontSize", boxFontSize);
}

POINT placeWindow(bool hasPosition, POINT saved, SIZE size) {
    if (hasPosition) {
        RECT wanted{saved.x, saved.y, saved.x + size.cx, saved.y + size.cy};
        if (::MonitorFromRect(&wanted, MONITOR_DEFAULTTONULL))
            return saved;
        MONITORINFO info{};
        info.cbSize = sizeof(info);
        if (::GetMonitorInfoW(::MonitorFromRect(&wanted, MONITOR_DEFAULTTONEAREST), &info)) {
            const RECT& work = info.rcWork;
            POINT moved;
            moved.x = std::max(work.left, std::min(saved.x, work.right - size.cx));
            moved.y = std::max(work.top, std::min(saved.y, work.bottom - size.cy));
            return moved;
        }
    }
    RECT work{};
    if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
        work = {0, 0, ::GetSystemMetrics(SM_CXMAXTRACK), ::GetSystemMetrics(SM_CYMAXTRACK)};
    return {(work.left + work.right) / 2 - size.cx / 2, work.top};
}
