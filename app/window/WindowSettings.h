#pragma once
// The search window's own settings, the "Window" node of "Verbinox.xml", and where the window goes.
#include <windows.h>

class VPreferencesNode;

struct VWindowSettings {
    bool autoHide = true;
    // With auto-hide: also hide when another program takes the activation ("HideOnDeactivate").
    bool hideOnDeactivate = true;
    bool alwaysOnTop = true; // kept and written back; the window is top-most regardless
    bool alwaysShowList = false;
    UINT hotKey = VK_SPACE;
    UINT hotKeyModifier = MOD_CONTROL;
    bool checkForUpdates = true;
    // The search box's text size in points ("BoxFontSize"), in the system's message face; a size the
    // box could not be used with is brought back within kMinBoxFontSize..kMaxBoxFontSize.
    static constexpr int kDefaultBoxFontSize = 14, kMinBoxFontSize = 6, kMaxBoxFontSize = 48;
    int boxFontSize = kDefaultBoxFontSize;
    // From "PosX" and "PosY", only when both are present.
    bool hasPosition = false;
    POINT position{};
    // "StartWithWindows" and "QuickLaunchIcon" as read, when present: the shortcuts follow them.
    bool hasStartWithWindows = false, startWithWindows = false;
    bool hasQuickLaunchIcon = false, quickLaunchIcon = false;

    // Reads the keys present in window (none: the defaults stay).
    void load(const VPreferencesNode* window);
    // Writes every key in the order the file has always had them; the shortcut keys say whether the
    // shortcuts exist now, the position is the window's.
    void save(VPreferencesNode* window, bool startupShortcut, bool quickLaunchShortcut,
              POINT windowPosition) const;
};

// Where a window of that size opens: on the monitor that has the mouse pointer, at the saved position
// when the window's middle lies on that monitor, otherwise centred across its work area, a third of
// the way down.
POINT placeWindow(bool hasPosition, POINT saved, SIZE size);

// The monitor that has the mouse pointer: its whole area and its work area. Tests replace it (the
// test screen has one monitor); null restores the system's.
using PointerMonitorQuery = bool (*)(RECT& monitor, RECT& work);
PointerMonitorQuery setPointerMonitorQuery(PointerMonitorQuery query);
