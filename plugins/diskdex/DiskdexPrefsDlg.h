#pragma once
// "Diskdex Preferences": edits the plug-in's live search folders and their filters. Every change takes
// effect at once; closing the dialog rebuilds the caches.
#include "EditListBox.h"

#include "util/ModuleDialog.h"

#include <windows.h>

class VDiskdexPlugin;
class VDiskdexIndexer;

class DiskdexPrefsDlg : public vx::CModuleDialog {
public:
    explicit DiskdexPrefsDlg(VDiskdexPlugin* plugin);

    DirectoryListBox& getFolderList() { return folders; }
    VEditListBox& getIncludeList() { return includes; }
    VEditListBox& getExcludeList() { return excludes; }
    // The indexer behind the selected folder row, or null.
    VDiskdexIndexer* getSelectedIndexer() const;

private:
    bool canOpen() const override;
    BOOL onInit() override;
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam) override;
    void onDestroy();
    void refresh();
    void onFolderChange(UINT message, int row);
    void onFilterChange(VEditListBox& box, UINT message, int row);
    void onSwitch(int control);
    // The row's indexer while the plug-in still has it; never a pointer it has let go of.
    VDiskdexIndexer* indexerOfRow(int row) const;

    VDiskdexPlugin* plugin;
    bool refreshing = false;
    DirectoryListBox folders;
    VEditListBox includes;
    VEditListBox excludes;
};
