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

namespace {

bool monitorOfPointer(RECT& monitor, RECT& work) {
    POINT pointer{};
    if (!::GetCursorPos(&pointer))
        pointer = POINT{0, 0};
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!::GetMonitorInfoW(::MonitorFromPoint(pointer, MONITOR_DEFAULTTOPRIMARY), &info))
        return false;
    monitor = info.rcMonitor;
    work = info.rcWork;
    return true;
}

PointerMonitorQuery pointerMonitor = &monitorOfPointer;

} // namespace

PointerMonitorQuery setPointerMonitorQuery(PointerMonitorQuery query) {
    PointerMonitorQuery previous = pointerMonitor;
    pointerMonitor = query ? query : &monitorOfPointer;
    return previous;
}

POINT placeWindow(bool hasPosition, POINT saved, SIZE size) {
    RECT monitor{}, work{};
    if (!pointerMonitor(monitor, work)) {
        if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
            work = {0, 0, ::GetSystemMetrics(SM_CXMAXTRACK), ::GetSystemMetrics(SM_CYMAXTRACK)};
        monitor = work;
    }
    const POINT middle{saved.x + size.cx / 2, saved.y + size.cy / 2};
    if (hasPosition && ::PtInRect(&monitor, middle))
        return saved;
    // Larger than the work area, it keeps its left and top edges on it.
    return {std::max(work.left, (work.left + work.right) / 2 - size.cx / 2),
            std::max(work.top, work.top + (work.bottom - work.top - size.cy) / 3)};
}
