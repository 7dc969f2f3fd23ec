#include "FirefoxPrefsDlg.h"

#include "FirefoxPlugin.h"
#include "resource.h"

FirefoxPrefsDlg::FirefoxPrefsDlg(VFirefoxPlugin* plugin)
    : CCheckGridDialog("Firefox Preferences"), plugin(plugin) {}

std::vector<vx::CheckGridRow> FirefoxPrefsDlg::rows() const {
    return {{"",
             -1,
             {{IDC_SEARCH_BOOKMARKS, "Search Firefox bookmarks", plugin->getBookmarksIndexer() != nullptr}},
             true},
            {"",
             -1,
             {{IDC_SEARCH_HISTORY, "Search Firefox history", plugin->getHistoryIndexer() != nullptr}},
             true}};
}

void FirefoxPrefsDlg::apply() {
    // Switching an indexer off waits for its running search to end; switching one on reads its file.
    plugin->setSearchBookmarks(isChecked(IDC_SEARCH_BOOKMARKS));
    plugin->setSearchHistory(isChecked(IDC_SEARCH_HISTORY));
}
