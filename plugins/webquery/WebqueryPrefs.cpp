#include "WebqueryPrefs.h"

#include "SearchAction.h"
#include "WebqueryModule.h"
#include "util/ThisModule.h"
#include "WebqueryPlugin.h"
#include "resource.h"
#include "util/VisualStyleScope.h"
#include "util/ReportList.h"
#include "util/SystemText.h"
#include "util/VxText.h"

#include <commctrl.h>

namespace {

const DWORD kControlClasses = ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_USEREX_CLASSES;

// A search without a known icon shows none; -1 would make the list ask the dialog for one.
int imageOf(const VWebqueryPlugin* plugin, const VSearchAction* action) {
    const int index = plugin->findIcon(action->getIconPath());
    return index >= 0 ? index : I_IMAGENONE;
}

} // namespace

WebqueryPrefs::WebqueryPrefs(VWebqueryPlugin* plugin)
    : CModuleDialog(IDD_WEBQUERY_PREFS, kControlClasses), plugin(plugin) {}

HWND WebqueryPrefs::getList() const {
    return ::GetDlgItem(hwnd, IDC_SEARCH_LIST);
}

bool WebqueryPrefs::canOpen() const {
    return plugin != nullptr;
}

INT_PTR WebqueryPrefs::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
            end(IDOK);
            return TRUE;
        case IDC_ADD:
            addSearch();
            return TRUE;
        case IDC_DELETE:
            deleteSearch();
            return TRUE;
        case IDC_EDIT:
            editSearch();
            return TRUE;
        }
        return FALSE;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom != IDC_SEARCH_LIST)
            return FALSE;
        if (header->code == NM_DBLCLK)
            editSearch();
        else if (header->code == NM_CLICK || header->code == LVN_ITEMCHANGED)
            updateButtons(); // keyboard moves in the list change the selection too
        return TRUE;
    }
    case WM_CLOSE:
        end(IDOK);
        return TRUE;
    }
    return FALSE;
}

BOOL WebqueryPrefs::onInit() {
    HWND list = getList();
    ListView_SetImageList(list, plugin->getImageList(), LVSIL_SMALL);
    vx::addReportColumns(list, {{"Name", 90}, {"Keyword", 100}, {"Description", 155}});
    const std::vector<VSearchAction*>& actions = plugin->getActions();
    for (std::size_t i = 0; i < actions.size(); ++i)
        insertRow(static_cast<int>(i), actions[i]);
    updateButtons();
    return TRUE;
}

void WebqueryPrefs::insertRow(int row, VSearchAction* action) {
    const int at = vx::insertListItem(getList(), row, action->getName(), imageOf(plugin, action),
                                      reinterpret_cast<LPARAM>(action));
    vx::setListItemText(getList(), at, 1, action->getKeyword());
    vx::setListItemText(getList(), at, 2, action->getDescription());
}

void WebqueryPrefs::refreshRow(int row) {
    VSearchAction* action = actionOfRow(row);
    if (!action)
        return;
    vx::setListItem(getList(), row, action->getName(), imageOf(plugin, action));
    vx::setListItemText(getList(), row, 1, action->getKeyword());
    vx::setListItemText(getList(), row, 2, action->getDescription());
}

int WebqueryPrefs::selectedRow() const {
    return hwnd ? vx::selectedListRow(getList()) : -1;
}

VSearchAction* WebqueryPrefs::actionOfRow(int row) const {
    return reinterpret_cast<VSearchAction*>(vx::listItemData(getList(), row));
}

VSearchAction* WebqueryPrefs::getSelectedAction() const {
    return actionOfRow(selectedRow());
}

void WebqueryPrefs::updateButtons() {
    const bool selected = selectedRow() >= 0;
    ::EnableWindow(::GetDlgItem(hwnd, IDC_DELETE), selected);
    ::EnableWindow(::GetDlgItem(hwnd, IDC_EDIT), selected);
}

void WebqueryPrefs::addSearch() {
    auto* action = new VSearchAction(plugin);
    if (!action->edit(hwnd)) {
        action->deleteThis();
        return;
    }
    plugin->addAction(action);
    const int row = ListView_GetItemCount(getList());
    insertRow(row, action);
    vx::selectListRow(getList(), row);
    updateButtons();
}

void WebqueryPrefs::deleteSearch() {
    const int row = selectedRow();
    VSearchAction* action = actionOfRow(row);
    if (!action)
        return;
    // The row goes first: the list must never hold a search that no longer exists.
    ListView_DeleteItem(getList(), row);
    plugin->removeAction(action);
    const int count = ListView_GetItemCount(getList());
    if (count > 0) {
        vx::selectListRow(getList(), row < count ? row : count - 1);
    }
    updateButtons();
}

void WebqueryPrefs::editSearch() {
    const int row = selectedRow();
    VSearchAction* action = actionOfRow(row);
    if (!action || !action->edit(hwnd))
        return;
    plugin->actionEdited(action);
    refreshRow(row);
}
