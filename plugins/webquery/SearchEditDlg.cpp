#include "SearchEditDlg.h"

#include "SearchAction.h"
#include "WebqueryModule.h"
#include "util/ThisModule.h"
#include "WebqueryPlugin.h"
#include "engine/VVerbinoxCore.h"
#include "resource.h"
#include "util/SystemText.h"
#include "util/VisualStyleScope.h"
#include "util/VxText.h"

#include <commctrl.h>

namespace {

const DWORD kControlClasses = ICC_STANDARD_CLASSES | ICC_USEREX_CLASSES;

// "google.ico" is offered as "Google".
std::string iconTitle(const std::string& path) {
    std::string name = path.substr(path.find_last_of("\\/") + 1);
    name = name.substr(0, name.find_last_of('.'));
    if (!name.empty() && name[0] >= 'a' && name[0] <= 'z')
        name[0] = static_cast<char>(name[0] - 'a' + 'A');
    return name;
}

} // namespace

SearchEditDlg::SearchEditDlg(VWebqueryPlugin* plugin, VSearchAction* action)
    : CModuleDialog(IDD_SEARCH_EDIT, kControlClasses), plugin(plugin), action(action) {}

bool SearchEditDlg::canOpen() const {
    return plugin && action;
}

INT_PTR SearchEditDlg::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            // Enter may arrive as IDOK while the button is disabled.
            if (::IsWindowEnabled(::GetDlgItem(hwnd, IDOK))) {
                apply();
                close(IDOK);
            }
            return TRUE;
        case IDCANCEL:
            close(IDCANCEL);
            return TRUE;
        case IDC_TEST:
            test();
            return TRUE;
        case IDC_KEYWORD:
        case IDC_BASE_URL:
            if (HIWORD(wParam) == EN_CHANGE)
                updateButtons();
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        close(IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

BOOL SearchEditDlg::onInit() {
    accepted = false;
    vx::setDlgItemText(hwnd, IDC_SEARCH_NAME, action->getName());
    vx::setDlgItemText(hwnd, IDC_KEYWORD, action->getKeyword());
    vx::setDlgItemText(hwnd, IDC_BASE_URL, action->getUrl());
    vx::setDlgItemText(hwnd, IDC_URL_SUFFIX, action->getSuffix());
    vx::setDlgItemText(hwnd, IDC_DESCRIPTION, action->getDescription());
    fillIcons();
    ::EnableWindow(::GetDlgItem(hwnd, IDC_PRESETS), FALSE);
    updateButtons();
    return TRUE;
}

void SearchEditDlg::fillIcons() {
    HWND combo = ::GetDlgItem(hwnd, IDC_ICON_COMBO);
    ::SendMessageA(combo, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(plugin->getImageList()));
    std::wstring none = L"<None>";
    COMBOBOXEXITEMW item{};
    item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE;
    item.iItem = 0;
    item.pszText = &none[0];
    // Not -1, which asks the owner for the image.
    item.iImage = item.iSelectedImage = I_IMAGENONE;
    ::SendMessageW(combo, CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    const std::vector<std::string>& files = plugin->getIconFiles();
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::wstring title = vx::widened(iconTitle(files[i]));
        item.iItem = static_cast<INT_PTR>(i + 1);
        item.pszText = &title[0];
        item.iImage = item.iSelectedImage = static_cast<int>(i);
        ::SendMessageW(combo, CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    const int current = action->getIconPath().empty() ? -1 : plugin->findIcon(action->getIconPath());
    ::SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(current + 1), 0);
}

std::string SearchEditDlg::text(int control) const {
    return vx::dlgItemText(hwnd, control);
}

void SearchEditDlg::updateButtons() {
    // A keyword or address of blanks could never be typed or opened.
    const bool complete = !vx::trimmed(text(IDC_KEYWORD)).empty() && !vx::trimmed(text(IDC_BASE_URL)).empty();
    ::EnableWindow(::GetDlgItem(hwnd, IDOK), complete);
    ::EnableWindow(::GetDlgItem(hwnd, IDC_TEST), complete);
}

void SearchEditDlg::test() {
    // Opened as a search opens its address: in the browser the options name, and asking first when the
    // address may start a program.
    VVerbinoxCore::instance()->openUrl(vx::trimmed(text(IDC_BASE_URL)) + "Verbinox" + text(IDC_URL_SUFFIX),
                                       std::string(), VVerbinoxCore::UrlOrigin::UserText);
}

void SearchEditDlg::apply() {
    action->setName(text(IDC_SEARCH_NAME));
    // The keyword is typed before a blank, so blanks around it could never match.
    action->setKeyword(vx::trimmed(text(IDC_KEYWORD)));
    action->setUrl(vx::trimmed(text(IDC_BASE_URL)));
    action->setSuffix(text(IDC_URL_SUFFIX));
    action->setDescription(text(IDC_DESCRIPTION));
    const auto chosen = static_cast<int>(::SendDlgItemMessageA(hwnd, IDC_ICON_COMBO, CB_GETCURSEL, 0, 0));
    const std::vector<std::string>& files = plugin->getIconFiles();
    action->setIconPath(chosen >= 1 && chosen <= static_cast<int>(files.size())
                            ? files[static_cast<std::size_t>(chosen - 1)]
                            : std::string());
}

void SearchEditDlg::close(int result) {
    accepted = result == IDOK;
    end(result);
}
