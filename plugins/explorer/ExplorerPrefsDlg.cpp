#include "ExplorerPrefsDlg.h"

#include "ExplorerModule.h"
#include "ExplorerPlugin.h"
#include "resource.h"
#include "util/VisualStyleScope.h"

#include <commctrl.h>

namespace {

const DWORD kControlClasses = ICC_STANDARD_CLASSES;

} // namespace

ExplorerPrefsDlg::ExplorerPrefsDlg(VExplorerPlugin* plugin) : plugin(plugin) {}

ExplorerPrefsDlg::~ExplorerPrefsDlg() {
    if (hwnd && !modal)
        ::DestroyWindow(hwnd);
}

INT_PTR ExplorerPrefsDlg::run(HWND parent) {
    if (hwnd || !plugin)
        return -1;
    vx::CVisualStyleScope styles(explorer::module(), kControlClasses);
    modal = true;
    INT_PTR result = ::DialogBoxParamA(explorer::module(), MAKEINTRESOURCEA(IDD_EXPLORER_PREFS), parent,
                                       &ExplorerPrefsDlg::dialogProc, reinterpret_cast<LPARAM>(this));
    modal = false;
    hwnd = nullptr;
    return result;
}

HWND ExplorerPrefsDlg::create(HWND parent, bool show) {
    if (hwnd)
        return hwnd;
    if (!plugin)
        return nullptr;
    vx::CVisualStyleScope styles(explorer::module(), kControlClasses);
    modal = false;
    HWND window = ::CreateDialogParamA(explorer::module(), MAKEINTRESOURCEA(IDD_EXPLORER_PREFS), parent,
                                       &ExplorerPrefsDlg::dialogProc, reinterpret_cast<LPARAM>(this));
    if (window && show)
        ::ShowWindow(window, SW_SHOW);
    return window;
}

INT_PTR CALLBACK ExplorerPrefsDlg::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<ExplorerPrefsDlg*>(lParam);
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
        self->hwnd = window;
        self->onInit();
        return TRUE;
    }
    auto* self = reinterpret_cast<ExplorerPrefsDlg*>(::GetWindowLongPtrA(window, DWLP_USER));
    if (!self)
        return FALSE;
    return self->handle(message, wParam, lParam);
}

INT_PTR ExplorerPrefsDlg::handle(UINT message, WPARAM wParam, LPARAM) {
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

void ExplorerPrefsDlg::onInit() {
    ::CheckDlgButton(hwnd, IDC_SEARCH_FAVORITES, plugin->getFavoritesIndexer() ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(hwnd, IDC_SEARCH_HISTORY, plugin->getHistoryIndexer() ? BST_CHECKED : BST_UNCHECKED);
}

void ExplorerPrefsDlg::apply() {
    // Switching an indexer off waits for its running search to end; switching one on reads its source
    // at once. Both happen here, on the window thread, as the core's registry expects.
    plugin->setSearchFavorites(::IsDlgButtonChecked(hwnd, IDC_SEARCH_FAVORITES) == BST_CHECKED);
    plugin->setSearchHistory(::IsDlgButtonChecked(hwnd, IDC_SEARCH_HISTORY) == BST_CHECKED);
}

void ExplorerPrefsDlg::close(int result) {
    if (!hwnd)
        return;
    if (modal)
        ::EndDialog(hwnd, result);
    else
        ::DestroyWindow(hwnd);
}
