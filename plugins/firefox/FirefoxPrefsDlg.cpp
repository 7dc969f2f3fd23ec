#include "FirefoxPrefsDlg.h"

#include "FirefoxModule.h"
#include "FirefoxPlugin.h"
#include "resource.h"
#include "util/VisualStyleScope.h"

namespace {

const DWORD kControlClasses = ICC_STANDARD_CLASSES;

bool isChecked(HWND dialog, int control) {
    return ::IsDlgButtonChecked(dialog, control) == BST_CHECKED;
}

} // namespace

FirefoxPrefsDlg::FirefoxPrefsDlg(VFirefoxPlugin* plugin) : plugin(plugin) {}

FirefoxPrefsDlg::~FirefoxPrefsDlg() {
    if (hwnd && !modal)
        ::DestroyWindow(hwnd);
}

INT_PTR FirefoxPrefsDlg::run(HWND parent) {
    if (hwnd || !plugin)
        return -1;
    vx::CVisualStyleScope styles(firefox::module(), kControlClasses);
    modal = true;
    INT_PTR result = ::DialogBoxParamA(firefox::module(), MAKEINTRESOURCEA(IDD_FIREFOX_PREFS), parent,
                                       &FirefoxPrefsDlg::dialogProc, reinterpret_cast<LPARAM>(this));
    modal = false;
    hwnd = nullptr;
    return result;
}

HWND FirefoxPrefsDlg::create(HWND parent, bool show) {
    if (hwnd)
        return hwnd;
    if (!plugin)
        return nullptr;
    vx::CVisualStyleScope styles(firefox::module(), kControlClasses);
    modal = false;
    HWND window = ::CreateDialogParamA(firefox::module(), MAKEINTRESOURCEA(IDD_FIREFOX_PREFS), parent,
                                       &FirefoxPrefsDlg::dialogProc, reinterpret_cast<LPARAM>(this));
    if (window && show)
        ::ShowWindow(window, SW_SHOW);
    return window;
}

INT_PTR CALLBACK FirefoxPrefsDlg::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<FirefoxPrefsDlg*>(lParam);
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
        self->hwnd = window;
        self->onInit();
        return TRUE;
    }
    auto* self = reinterpret_cast<FirefoxPrefsDlg*>(::GetWindowLongPtrA(window, DWLP_USER));
    if (!self)
        return FALSE;
    return self->handle(message, wParam, lParam);
}

INT_PTR FirefoxPrefsDlg::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            apply();
            close(IDOK);
            return TRUE;
        case IDCANCEL:
            close(IDCANCEL);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        close(IDCANCEL);
        return TRUE;
    case WM_NCDESTROY:
        ::SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        hwnd = nullptr;
        return FALSE;
    }
    return FALSE;
}

void FirefoxPrefsDlg::onInit() {
    ::CheckDlgButton(hwnd, IDC_SEARCH_BOOKMARKS, plugin->getBookmarksIndexer() ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(hwnd, IDC_SEARCH_HISTORY, plugin->getHistoryIndexer() ? BST_CHECKED : BST_UNCHECKED);
}

void FirefoxPrefsDlg::apply() {
    // Switching an indexer off waits for its running search to end; switching one on reads its file.
    plugin->setSearchBookmarks(isChecked(hwnd, IDC_SEARCH_BOOKMARKS));
    plugin->setSearchHistory(isChecked(hwnd, IDC_SEARCH_HISTORY));
}

void FirefoxPrefsDlg::close(INT_PTR result) {
    if (!hwnd)
        return;
    if (modal)
        ::EndDialog(hwnd, result);
    else
        ::DestroyWindow(hwnd);
}
