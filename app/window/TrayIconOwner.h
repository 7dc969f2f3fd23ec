#pragma once
// The notification-area icon of a window: a base for the search window, which forwards its messages
// to handleTrayMessage. It keeps the icon's record, keeps trying to add it while the shell refuses (at
// logon the tray may not be there yet), adds it again when the shell restarts, can hide the window
// into the tray instead of minimising it, and shows the tray menu.
#include <windows.h>
#include <shellapi.h>

#include <string>

class CTrayIconOwner {
public:
    CTrayIconOwner();
    virtual ~CTrayIconOwner();
    CTrayIconOwner(const CTrayIconOwner&) = delete;
    CTrayIconOwner& operator=(const CTrayIconOwner&) = delete;

    // The window the icon belongs to; its destruction removes the icon (handleTrayMessage).
    void attachTray(HWND window);
    // Takes a copy of the icon (destroyed with this object); a null icon changes nothing.
    void setTrayIcon(HICON icon);
    // Tip and balloon texts are cut to what the record holds, never past its end.
    void setTrayTip(const std::string& tip);
    // Takes ownership of the menu; its first sub-menu is shown, defaultItem (a command) in bold.
    void setTrayMenu(HMENU menu, UINT defaultItem);
    // Adds the icon. When the shell refuses, false, and the add is tried again every retryIntervalMs
    // until it succeeds or the icon is hidden.
    bool showTrayIcon();
    bool hideTrayIcon();
    bool updateTrayIcon();
    // Shows the balloon, or, while the icon waits for its add, keeps it for that moment (true then too).
    bool showBalloon(const std::string& title, const std::string& text, DWORD infoFlags, UINT timeoutSeconds);
    void setMinimizeToTray(bool value) { minimizeToTray = value; }
    bool isInTray() const { return inTray; }
    const NOTIFYICONDATAW& trayRecord() const { return data; }

    // Handles the tray callback, the minimise command, the shell's restart and the window's
    // destruction; true (with result set) when the message was the tray's alone.
    bool handleTrayMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // What Shell_NotifyIconW is called through, so tests can count and fail it.
    using NotifyCall = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAW);
    static NotifyCall setNotifyCall(NotifyCall call);

    // The window timer that retries a refused add; the owner's own timers keep to other numbers.
    static constexpr UINT_PTR retryTimerId = 0x5452;
    static constexpr UINT retryIntervalMs = 1000;

protected:
    // Cursor positions in screen coordinates.
    virtual void onTrayLButtonDown(POINT) {}
    // Restores the window hidden into the tray.
    virtual void onTrayLButtonDblClk(POINT);
    // Shows the tray menu at the cursor.
    virtual void onTrayRButtonDown(POINT);
    virtual void onTrayRButtonDblClk(POINT) {}
    virtual void onTrayMouseMove(POINT) {}
    // Called before the tray menu shows: greys what cannot be done now.
    virtual void prepareTrayMenu(HMENU) {}
    void showTrayMenu(POINT at);

private:
    NOTIFYICONDATAW data;
    HMENU menu = nullptr;
    UINT defaultItem = 0;
    // retry: a later attempt after a refused add, which also asks whether the icon is there already.
    bool addIcon(bool retry);

    bool inTray = false;
    // The owner asked for the icon and has not hidden it since: a refused add and a shell restart are
    // made good.
    bool wanted = false;
    bool balloonPending = false;
    bool minimizeToTray = true;
    UINT taskbarCreated;
};
