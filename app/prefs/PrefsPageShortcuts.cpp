#include "PrefsPageShortcuts.h"

#include "engine/VVerbinoxCore.h"
#include "model/VAction.h"
#include "res/prefs_resource.h"
#include "util/ReportList.h"
#include "util/SystemText.h"
#include "util/VxText.h"

#include <algorithm>

namespace {

const std::size_t kTableBuckets = 101;
enum Column { NameColumn = 0, ShortcutColumn = 1, DescriptionColumn = 2 };

} // namespace

PrefsPageShortcuts::PrefsPageShortcuts(CVerbinoxDlg* window)
    : PrefsPage(window, IDD_PREFS_SHORTCUTS, "Shortcuts"), table(kTableBuckets) {}

void PrefsPageShortcuts::onInitPage() {
    HWND list = ::GetDlgItem(hwnd, IDC_PREFS_SHORTCUTLIST);
    setUpReportList(list, {{"Action Name", 110}, {"Shortcut", 75}, {"Description", 200}});
    ::SetWindowSubclass(::GetDlgItem(hwnd, IDC_PREFS_SHORTCUT), &PrefsPageShortcuts::shortcutBoxProc, 1,
                        reinterpret_cast<DWORD_PTR>(this));
    fill();
}

LRESULT CALLBACK PrefsPageShortcuts::shortcutBoxProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam,
                                                     UINT_PTR id, DWORD_PTR self) {
    // Enter in the box is Assign, as the user who typed a shortcut means it; left to the dialog manager
    // it would press the sheet's default button and close the sheet.
    switch (message) {
    case WM_GETDLGCODE:
        if (wParam == VK_RETURN)
            return ::DefSubclassProc(edit, message, wParam, lParam) | DLGC_WANTALLKEYS;
        break;
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            reinterpret_cast<PrefsPageShortcuts*>(self)->assign();
            return 0;
        }
        break;
    case WM_CHAR:
        // The character Enter makes: a single-line box would only beep at it.
        if (wParam == '\r')
            return 0;
        break;
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(edit, &PrefsPageShortcuts::shortcutBoxProc, id);
        break;
    }
    return ::DefSubclassProc(edit, message, wParam, lParam);
}

void PrefsPageShortcuts::onActivate(bool first) {
    if (!first)
        fill();
}

void PrefsPageShortcuts::fill() {
    VVerbinoxCore* core = VVerbinoxCore::instance();
    HWND list = ::GetDlgItem(hwnd, IDC_PREFS_SHORTCUTLIST);
    ::SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    rows.clear();
    table.clear();
    // The list shares the image list (it does not destroy it), which is replaced only once detached.
    ::SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, 0);
    images.Reset(::ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 0, 8));
    ::SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images.Get()));
    for (int i = 0; i < core->getNumActions(); ++i) {
        VAction* action = core->getAction(i);
        const std::string shortcut = core->getShortcut(action);
        if (!shortcut.empty())
            table[shortcut] = action;
        const int row = static_cast<int>(rows.size());
        rows.push_back(action);
        vx::insertListItem(list, row, action->getName(), vx::addListIcon(images.Get(), action->getIcon()));
        vx::setListItemText(list, row, ShortcutColumn, shortcut);
        vx::setListItemText(list, row, DescriptionColumn, action->getDescription());
    }
    ::SetDlgItemTextW(hwnd, IDC_PREFS_SHORTCUT, L"");
    ::EnableWindow(::GetDlgItem(hwnd, IDC_PREFS_SHORTCUT), FALSE);
}

int PrefsPageShortcuts::findRow(const std::string& name) const {
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        if (rows[i]->getName() == name)
            return i;
    }
    return -1;
}

VAction* PrefsPageShortcuts::getRowAction(int row) const {
    return row >= 0 && row < static_cast<int>(rows.size()) ? rows[row] : nullptr;
}

std::string PrefsPageShortcuts::getRowShortcut(int row) const {
    const VAction* action = getRowAction(row);
    return action ? shortcutOf(action) : std::string();
}

std::string PrefsPageShortcuts::shortcutOf(const VAction* action) const {
    for (const auto& entry : table) {
        if (entry.second == action)
            return entry.first;
    }
    return std::string();
}

void PrefsPageShortcuts::forget(const VAction* action) {
    for (auto it = table.begin(); it != table.end();) {
        if (it->second == action)
            it = table.erase(it);
        else
            ++it;
    }
}

void PrefsPageShortcuts::showShortcut(const VAction* action) {
    const auto row = std::find(rows.begin(), rows.end(), action);
    if (row != rows.end())
        vx::setListItemText(::GetDlgItem(hwnd, IDC_PREFS_SHORTCUTLIST), static_cast<int>(row - rows.begin()),
                            ShortcutColumn, shortcutOf(action));
}

int PrefsPageShortcuts::selectedRow() const {
    return vx::selectedListRow(::GetDlgItem(hwnd, IDC_PREFS_SHORTCUTLIST));
}

void PrefsPageShortcuts::selectRow(int row) {
    vx::selectListRow(::GetDlgItem(hwnd, IDC_PREFS_SHORTCUTLIST), row);
}

void PrefsPageShortcuts::onSelectionChanged() {
    HWND edit = ::GetDlgItem(hwnd, IDC_PREFS_SHORTCUT);
    const VAction* action = getRowAction(selectedRow());
    vx::setWindowText(edit, action ? shortcutOf(action) : std::string());
    ::EnableWindow(edit, action != nullptr);
}

void PrefsPageShortcuts::assign() {
    VAction* action = getRowAction(selectedRow());
    if (!action)
        return;
    // Blanks around it could never be typed back: the search window trims what it looks up.
    const std::string text = vx::trimmed(vx::dlgItemText(hwnd, IDC_PREFS_SHORTCUT));
    if (!text.empty()) {
        const auto held = table.find(text);
        if (held != table.end() && held->second != action) {
            VAction* other = held->second;
            const std::string question =
                text + " is already assigned to \"" + other->getName() + "\".\nDo you want to replace it?";
            if (messageBox(hwnd, question, MB_YESNO | MB_ICONQUESTION) != IDYES)
                return;
            table.erase(held);
            showShortcut(other);
        }
    }
    forget(action);
    if (!text.empty())
        table[text] = action;
    showShortcut(action);
}

void PrefsPageShortcuts::apply() {
    VVerbinoxCore* core = VVerbinoxCore::instance();
    for (VAction* action : rows)
        core->setShortcut(shortcutOf(action), action);
}

INT_PTR PrefsPageShortcuts::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_PREFS_ASSIGN && HIWORD(wParam) == BN_CLICKED) {
            assign();
            return TRUE;
        }
        return FALSE;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_PREFS_SHORTCUTLIST && header->code == LVN_ITEMCHANGED) {
            const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
            if ((change->uChanged & LVIF_STATE) && ((change->uNewState ^ change->uOldState) & LVIS_SELECTED))
                onSelectionChanged();
            return TRUE;
        }
        return FALSE;
    }
    }
    return FALSE;
}
