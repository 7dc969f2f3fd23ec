#pragma once
// "Explorer Preferences": whether the favorites and the history are searched. OK switches the indexers
// as the boxes say; Cancel changes nothing.
#include <windows.h>

class VExplorerPlugin;

class ExplorerPrefsDlg {
public:
    explicit ExplorerPrefsDlg(VExplorerPlugin* plugin);
    // Destroys a modeless dialog that is still open.
    ~ExplorerPrefsDlg();
    ExplorerPrefsDlg(const ExplorerPrefsDlg&) = delete;
    ExplorerPrefsDlg& operator=(const ExplorerPrefsDlg&) = delete;

    // Runs the dialog modally: IDOK once the plug-in took the boxes' states, IDCANCEL otherwise.
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
    void close(int result);

    VExplorerPlugin* plugin;
    HWND hwnd = nullptr;
    bool modal = false;
};
