#include "FirefoxPrefsDlg.h"

#include "FirefoxPlugin.h"
#include "resource.h"

namespace {

const DWORD kControlClasses = ICC_STANDARD_CLASSES;

bool isChecked(HWND dialog, int control) {
    return ::IsDlgButtonChecked(dialog, control) == BST_CHECKED;
}

} // namespace

FirefoxPrefsDlg::FirefoxPrefsDlg(VFirefoxPlugin* plugin)
    : CModuleDialog(IDD_FIREFOX_PREFS, kControlClasses), plugin(plugin) {}

BOOL FirefoxPrefsDlg::onInit() {
    ::CheckDlgButton(hwnd, IDC_SEARCH_BOOKMARKS, plugin->getBookmarksIndexer() ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(hwnd, IDC_SEARCH_HISTORY, plugin->getHistoryIndexer() ? BST_CHECKED : BST_UNCHECKED);
    return TRUE;
}

void FirefoxPrefsDlg::onOk() {
    // Switching an indexer off waits for its running search to end; switching one on reads its file.
    plugin->setSearchBookmarks(isChecked(hwnd, IDC_SEARCH_BOOKMARKS));
    plugin->setSearchHistory(isChecked(hwnd, IDC_SEARCH_HISTORY));
}
