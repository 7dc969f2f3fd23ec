#pragma once
// "Diskdex Preferences": edits the plug-in's live search folders and their filters. Every change takes
// effect at once; closing the dialog rebuilds the caches.
#include "EditListBox.h"

#include <windows.h>

class VDiskdexPlugin;
class VDiskdexIndexer;

class DiskdexPrefsDlg {
public:
    explicit DiskdexPrefsDlg(VDiskdexPlugin* plugin);
    // Destroys a modeless dialog that is still open.
    ~DiskdexPrefsDlg();
    DiskdexPrefsDlg(const DiskdexPrefsDlg&) = delete;
    DiskdexPrefsDlg& operator=(const DiskdexPrefsDlg&) = delete;

    // Runs the dialog modally; every change takes effect at once.
    INT_PTR run(HWND parent);
    // Creates the dialog without a loop of its own, shown unless asked otherwise; "Close" destroys it.
    // Null on failure.
    HWND create(HWND parent, bool show = true);
    HWND getHwnd() const { return hwnd; }

    DirectoryListBox& getFolderList() { return folders; }
    VEditListBox& getIncludeList() { return includes; }
    VEditListBox& getExcludeList() { return excludes; }
    // The indexer behind the selected folder row, or null.
    VDiskdexIndexer* getSelectedIndexer() const;

private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
    void onInit();
    void onDestroy();
    void close();
    void refresh();
    void onFolderChange(UINT message, int row);
    void onFilterChange(VEditListBox& box, UINT message, int row);
    void onSwitch(int control);
    // The row's indexer while the plug-in still has it; never a pointer it has let go of.
    VDiskdexIndexer* indexerOfRow(int row) const;

    VDiskdexPlugin* plugin;
    HWND hwnd = nullptr;
    bool modal = false;
    bool refreshing = false;
    DirectoryListBox folders;
    VEditListBox includes;
    VEditListBox excludes;
};
