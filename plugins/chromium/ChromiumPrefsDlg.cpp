#include "ChromiumPrefsDlg.h"

#include "ChromiumPlugin.h"
#include "resource.h"

#include <string>

ChromiumPrefsDlg::ChromiumPrefsDlg(VChromiumPlugin* plugin)
    : CCheckGridDialog("Chromium Preferences"), plugin(plugin) {}

std::vector<vx::CheckGridRow> ChromiumPrefsDlg::rows() const {
    std::vector<vx::CheckGridRow> grid;
    const std::vector<chromium::BrowserKind>& kinds = chromium::browserKinds();
    for (std::size_t kind = 0; kind < kinds.size(); ++kind) {
        const int row = static_cast<int>(kind);
        const bool installed = plugin->findBrowser(kind) != nullptr;
        grid.push_back({std::string(kinds[kind].key) + (installed ? "" : " (not installed)"),
                        IDC_BROWSER_NAME_FIRST + row,
                        {{IDC_SEARCH_BOOKMARKS_FIRST + row, "Bookmarks", plugin->getSearchBookmarks(kind)},
                         {IDC_SEARCH_HISTORY_FIRST + row, "History", plugin->getSearchHistory(kind)}},
                        installed});
    }
    return grid;
}

void ChromiumPrefsDlg::apply() {
    // Switching indexers off waits for their running searches to end; switching them on reads their
    // files at once. Both happen here, on the window thread, as the core's registry expects.
    for (std::size_t kind = 0; kind < chromium::browserKinds().size(); ++kind) {
        if (!plugin->findBrowser(kind))
            continue; // greyed: nothing the user could change
        const int row = static_cast<int>(kind);
        plugin->setSearchBookmarks(kind, isChecked(IDC_SEARCH_BOOKMARKS_FIRST + row));
        plugin->setSearchHistory(kind, isChecked(IDC_SEARCH_HISTORY_FIRST + row));
    }
}
