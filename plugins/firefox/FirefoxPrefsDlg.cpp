#include "FirefoxPrefsDlg.h"

#include "FirefoxModule.h"
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

INT_PTR FirefoxPrefsDlg::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            apply();
            end(IDOK);
            return TRUE;
        case IDCANCEL:
            end(IDCANCEL);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        end(IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

BOOL FirefoxPrefsDlg::onInit() {
    ::CheckDlgButton(hwnd, IDC_SEARCH_BOOKMARKS, plugin->getBookmarksIndexer() ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(hwnd, IDC_SEARCH_HISTORY, plugin->getHistoryIndexer() ? BST_CHECKED : BST_UNCHECKED);
    return TRUE;
}

void FirefoxPrefsDlg::apply() {
    // Switching an indexer off waits for its running search to end; switching one on reads its file.
    plugin->setSearchBookmarks(isChecked(hwnd, IDC_SEARCH_BOOKMARKS));
    plugin->setSearchHistory(isChecked(hwnd, IDC_SEARCH_HISTORY));
}
