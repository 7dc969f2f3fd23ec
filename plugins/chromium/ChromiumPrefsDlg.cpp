#include "ChromiumPrefsDlg.h"

#include "ChromiumPlugin.h"
#include "resource.h"
#include "util/SystemText.h"

#include <commctrl.h>

#include <string>

ChromiumPrefsDlg::ChromiumPrefsDlg(VChromiumPlugin* plugin)
    : CModuleDialog(IDD_CHROMIUM_PREFS, ICC_STANDARD_CLASSES), plugin(plugin) {}

BOOL ChromiumPrefsDlg::onInit() {
    const std::vector<chromium::BrowserKind>& kinds = chromium::browserKinds();
    for (std::size_t kind = 0; kind < kinds.size(); ++kind) {
        const int row = static_cast<int>(kind);
        const bool installed = plugin->findBrowser(kind) != nullptr;
        const std::string label = std::string(kinds[kind].key) + (installed ? "" : " (not installed)");
        vx::setDlgItemText(hwnd, IDC_BROWSER_NAME_FIRST + row, label);
        ::CheckDlgButton(hwnd, IDC_SEARCH_BOOKMARKS_FIRST + row,
                         plugin->getSearchBookmarks(kind) ? BST_CHECKED : BST_UNCHECKED);
        ::CheckDlgButton(hwnd, IDC_SEARCH_HISTORY_FIRST + row,
                         plugin->getSearchHistory(kind) ? BST_CHECKED : BST_UNCHECKED);
        for (int control : {IDC_BROWSER_NAME_FIRST, IDC_SEARCH_BOOKMARKS_FIRST, IDC_SEARCH_HISTORY_FIRST})
            ::EnableWindow(::GetDlgItem(hwnd, control + row), installed);
    }
    return TRUE;
}

void ChromiumPrefsDlg::onOk() {
    // Switching indexers off waits for their running searches to end; switching them on reads their
    // files at once. Both happen here, on the window thread, as the core's registry expects.
    for (std::size_t kind = 0; kind < chromium::browserKinds().size(); ++kind) {
        if (!plugin->findBrowser(kind))
            continue; // greyed: nothing the user could change
        const int row = static_cast<int>(kind);
        plugin->setSearchBookmarks(kind, ::IsDlgButtonChecked(hwnd, IDC_SEARCH_BOOKMARKS_FIRST + row) ==
                                             BST_CHECKED);
        plugin->setSearchHistory(kind,
                                 ::IsDlgButtonChecked(hwnd, IDC_SEARCH_HISTORY_FIRST + row) == BST_CHECKED);
    }
}
