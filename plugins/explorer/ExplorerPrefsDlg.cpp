#include "ExplorerPrefsDlg.h"

#include "ExplorerPlugin.h"
#include "resource.h"

#include <commctrl.h>

ExplorerPrefsDlg::ExplorerPrefsDlg(VExplorerPlugin* plugin)
    : CModuleDialog(IDD_EXPLORER_PREFS, ICC_STANDARD_CLASSES), plugin(plugin) {}

BOOL ExplorerPrefsDlg::onInit() {
    ::CheckDlgButton(hwnd, IDC_SEARCH_FAVORITES, plugin->getFavoritesIndexer() ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(hwnd, IDC_SEARCH_HISTORY, plugin->getHistoryIndexer() ? BST_CHECKED : BST_UNCHECKED);
    return TRUE;
}

void ExplorerPrefsDlg::onOk() {
    // Switching an indexer off waits for its running search to end; switching one on has its source
    // read on a thread of the indexer's. Both happen here, on the window thread, as the core's registry
    // expects.
    plugin->setSearchFavorites(::IsDlgButtonChecked(hwnd, IDC_SEARCH_FAVORITES) == BST_CHECKED);
    plugin->setSearchHistory(::IsDlgButtonChecked(hwnd, IDC_SEARCH_HISTORY) == BST_CHECKED);
}
