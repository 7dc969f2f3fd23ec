#include "ExplorerPrefsDlg.h"

#include "ExplorerPlugin.h"
#include "resource.h"

ExplorerPrefsDlg::ExplorerPrefsDlg(VExplorerPlugin* plugin)
    : CCheckGridDialog("Explorer Preferences"), plugin(plugin) {}

std::vector<vx::CheckGridRow> ExplorerPrefsDlg::rows() const {
    return {{"",
             -1,
             {{IDC_SEARCH_FAVORITES, "Search Explorer Favorites", plugin->getFavoritesIndexer() != nullptr}},
             true},
            {"",
             -1,
             {{IDC_SEARCH_HISTORY, "Search Explorer history", plugin->getHistoryIndexer() != nullptr}},
             true}};
}

void ExplorerPrefsDlg::apply() {
    // Switching an indexer off waits for its running search to end; switching one on has its source
    // read on a thread of the indexer's. Both happen here, on the window thread, as the core's registry
    // expects.
    plugin->setSearchFavorites(isChecked(IDC_SEARCH_FAVORITES));
    plugin->setSearchHistory(isChecked(IDC_SEARCH_HISTORY));
}
