#pragma once
// "Firefox Preferences": switches the bookmarks and the history indexer on and off. The boxes show
// which indexers exist; OK applies both, Cancel changes nothing.
#include <windows.h>

class VFirefoxPlugin;

class FirefoxPrefsDlg {
public:
    explicit FirefoxPrefsDlg(VFirefoxPlugin* plugin);
    // Destroys a modeless dialog that is still open.
    ~FirefoxPrefsDlg();
    FirefoxPrefsDlg(const FirefoxPrefsDlg&) = delete;
    FirefoxPrefsDlg& operator=(const FirefoxPrefsDlg&) = delete;

    // Runs the dialog modally: IDOK or IDCANCEL, -1 when it could not be shown.
    INT_PTR run(HWND parent);
    // Creates the dialog without a loop of its own, shown unless asked otherwise; OK and Cancel destroy
    // it. Null on failure.
    HWND create(HWND parent, bool show = true);
    HWND getHwnd() const { return hwnd; }

private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
    void onInit();
    void apply();
    void close(INT_PTR result);

    VFirefoxPlugin* plugin;
    HWND hwnd = nullptr;
    bool modal = false;
};
