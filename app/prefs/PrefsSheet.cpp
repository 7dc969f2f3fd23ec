#include "PrefsSheet.h"

#include "window/ListWindow.h"
#include "PrefsPageGeneral.h"
#include "PrefsPagePlugins.h"
#include "PrefsPageSearching.h"
#include "PrefsPageShortcuts.h"
#include "window/SearchWindow.h"
#include "res/prefs_resource.h"
#include "util/SystemText.h"
#include "util/VxText.h"

namespace {

const DWORD kControlClasses = ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES;

int showMessageBox(HWND owner, const char* text, UINT type) {
    return vx::messageBox(owner, text, "Verbinox", type);
}
PrefsPage::MessageBoxHook messageBoxHook = &showMessageBox;

int scaled(HWND window, int n) {
    return vx::scaleForDpi(n, dpiOf(window));
}

} // namespace

PrefsPage::PrefsPage(CVerbinoxDlg* window, int templateId, const char* title)
    : CModuleDialog(templateId, kControlClasses), window(window), title(title) {}

PrefsPage::~PrefsPage() {
    if (toolTip)
        ::DestroyWindow(toolTip);
}

int PrefsPage::messageBox(HWND owner, const std::string& text, UINT type) {
    // Owned by the top-level sheet, never by a child page: a child cannot own a window.
    HWND top = owner ? ::GetAncestor(owner, GA_ROOT) : nullptr;
    return messageBoxHook(top, text.c_str(), type);
}

PrefsPage::MessageBoxHook PrefsPage::setMessageBoxHook(MessageBoxHook hook) {
    MessageBoxHook previous = messageBoxHook;
    messageBoxHook = hook ? hook : &showMessageBox;
    return previous;
}

BOOL PrefsPage::onInit() {
    toolTip =
        ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr, nullptr, nullptr);
    // Without a maximum width a tool-tip is one line and shows "\n" as a box.
    if (toolTip)
        ::SendMessageA(toolTip, TTM_SETMAXTIPWIDTH, 0, px(320));
    onInitPage();
    return FALSE;
}

void PrefsPage::addToolTip(int controlId, const char* text) {
    HWND control = ::GetDlgItem(hwnd, controlId);
    if (!toolTip || !control)
        return;
    std::wstring wide = vx::widened(text);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    // The tool-tip subclasses the control and sees its mouse messages itself: no relaying needed.
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = &wide[0];
    ::SendMessageW(toolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void PrefsPage::setUpReportList(HWND list, std::initializer_list<vx::ReportColumn> columns) const {
    std::vector<vx::ReportColumn> scaled(columns);
    for (vx::ReportColumn& each : scaled)
        each.width = px(each.width);
    vx::addReportColumns(list, scaled);
    fitColumns(list, static_cast<int>(scaled.size()));
}

void PrefsPage::fitColumns(HWND list, int count) {
    // Columns wider than the list make a horizontal scroll bar. Rows added later may bring a vertical
    // one, which takes its width from the client area: that room is left from the start.
    RECT client{};
    ::GetClientRect(list, &client);
    int room = client.right;
    if (!(::GetWindowLongW(list, GWL_STYLE) & WS_VSCROLL))
        room -= ::GetSystemMetrics(SM_CXVSCROLL);
    std::vector<int> widths;
    int total = 0;
    for (int i = 0; i < count; ++i) {
        widths.push_back(static_cast<int>(::SendMessageW(list, LVM_GETCOLUMNWIDTH, i, 0)));
        total += widths.back();
    }
    if (total <= room || room <= 0)
        return;
    // Each keeps its share; the last takes what rounding left over.
    int given = 0;
    for (int i = 0; i < count; ++i) {
        const int width = i + 1 < count ? ::MulDiv(widths[i], room, total) : room - given;
        given += width;
        ::SendMessageW(list, LVM_SETCOLUMNWIDTH, i, MAKELPARAM(width, 0));
    }
}

bool PrefsPage::isChecked(int controlId) const {
    return ::IsDlgButtonChecked(hwnd, controlId) == BST_CHECKED;
}

void PrefsPage::setChecked(int controlId, bool value) {
    ::CheckDlgButton(hwnd, controlId, value ? BST_CHECKED : BST_UNCHECKED);
}

void PrefsPage::showDependentOption(DependentOption& option, bool available) {
    if (option.available)
        option.kept = isChecked(option.id);
    option.available = available;
    setChecked(option.id, available && option.kept);
    ::EnableWindow(::GetDlgItem(hwnd, option.id), available);
}

bool PrefsPage::valueOf(const DependentOption& option) const {
    return option.available ? isChecked(option.id) : option.kept;
}

int PrefsPage::px(int n) const {
    return scaled(hwnd, n);
}

PrefsSheet::PrefsSheet(CVerbinoxDlg* window)
    : CModuleDialog(IDD_PREFS_SHEET, kControlClasses), window(window) {
    pages.emplace_back(new PrefsPageGeneral(window));
    pages.emplace_back(new PrefsPageSearching(window));
    pages.emplace_back(new PrefsPageShortcuts(window));
    pages.emplace_back(new PrefsPagePlugins(window, this));
}

PrefsSheet::~PrefsSheet() {
    // The windows go before the objects: a page's controls may still use what the page owns (its
    // image lists) while they are destroyed.
    if (hwnd)
        ::DestroyWindow(hwnd);
    pages.clear();
}

PrefsPage* PrefsSheet::getPage(int index) const {
    if (index < 0 || index >= static_cast<int>(pages.size()) || !pages[index]->getHwnd())
        return nullptr;
    return pages[index].get();
}

PrefsPageGeneral* PrefsSheet::getGeneralPage() const {
    return static_cast<PrefsPageGeneral*>(getPage(General));
}

PrefsPageSearching* PrefsSheet::getSearchingPage() const {
    return static_cast<PrefsPageSearching*>(getPage(Searching));
}

PrefsPageShortcuts* PrefsSheet::getShortcutsPage() const {
    return static_cast<PrefsPageShortcuts*>(getPage(Shortcuts));
}

PrefsPagePlugins* PrefsSheet::getPluginsPage() const {
    return static_cast<PrefsPagePlugins*>(getPage(Plugins));
}

int PrefsSheet::px(int n) const {
    return scaled(hwnd, n);
}

BOOL PrefsSheet::onInit() {
    ::EnableWindow(::GetDlgItem(hwnd, IDHELP), FALSE);
    HWND tree = ::GetDlgItem(hwnd, IDC_PREFS_TREE);
    for (const auto& page : pages) {
        std::wstring title = vx::widened(page->getTitle());
        TVINSERTSTRUCTW item{};
        item.hParent = TVI_ROOT;
        item.hInsertAfter = TVI_LAST;
        item.item.mask = TVIF_TEXT;
        item.item.pszText = &title[0];
        treeItems.push_back(reinterpret_cast<HTREEITEM>(
            ::SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item))));
    }
    layout();
    selectPage(General);
    // The focus in the tree, where the chosen page shows highlighted and the arrow keys choose another.
    // Left to the dialog manager it goes to the page's first control, and the tree then marks its choice
    // in a grey that hardly differs from its background.
    ::SetFocus(tree);
    return FALSE;
}

RECT PrefsSheet::pageRect() const {
    RECT margin{7, 7, 0, 0};
    ::MapDialogRect(hwnd, &margin);
    RECT client{}, button{};
    ::GetClientRect(hwnd, &client);
    ::GetWindowRect(::GetDlgItem(hwnd, IDOK), &button);
    ::MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&button), 2);
    return RECT{margin.left + px(100) + margin.left, margin.top, client.right - margin.left,
                button.top - margin.top};
}

void PrefsSheet::layout() {
    const RECT page = pageRect();
    RECT margin{7, 7, 0, 0};
    ::MapDialogRect(hwnd, &margin);
    ::MoveWindow(::GetDlgItem(hwnd, IDC_PREFS_TREE), margin.left, margin.top, px(100), page.bottom - page.top,
                 TRUE);
}

void PrefsSheet::selectPage(int index) {
    if (index < 0 || index >= static_cast<int>(pages.size()) || !hwnd)
        return;
    // Choosing the tree item notifies the sheet, which shows the page; already chosen, it does not.
    ::SendDlgItemMessageA(hwnd, IDC_PREFS_TREE, TVM_SELECTITEM, TVGN_CARET,
                          reinterpret_cast<LPARAM>(treeItems[index]));
    if (selected == index)
        return;
    PrefsPage* page = pages[index].get();
    const bool first = page->getHwnd() == nullptr;
    if (first && !page->create(hwnd, false))
        return;
    const RECT r = pageRect();
    ::SetWindowPos(page->getHwnd(), HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_SHOWWINDOW);
    if (selected >= 0 && pages[selected]->getHwnd())
        ::ShowWindow(pages[selected]->getHwnd(), SW_HIDE);
    selected = index;
    page->onActivate(first);
}

bool PrefsSheet::ok() {
    // Everything is checked before anything is applied, so a refusal leaves every setting as it was.
    for (int i = 0; i < static_cast<int>(pages.size()); ++i) {
        PrefsPage* page = getPage(i);
        std::string why;
        const int culprit = page ? page->findInvalid(why) : 0;
        if (culprit) {
            selectPage(i);
            PrefsPage::messageBox(hwnd, why, MB_OK | MB_ICONEXCLAMATION);
            ::SetFocus(::GetDlgItem(page->getHwnd(), culprit));
            return false;
        }
    }
    // The one setting that can fail to take: a combination another program holds.
    if (PrefsPageGeneral* general = getGeneralPage()) {
        std::string why;
        if (!general->applyHotKey(why)) {
            selectPage(General);
            PrefsPage::messageBox(hwnd, why, MB_OK | MB_ICONEXCLAMATION);
            ::SetFocus(::GetDlgItem(general->getHwnd(), IDC_PREFS_HOTKEY));
            return false;
        }
    }
    for (int i = 0; i < static_cast<int>(pages.size()); ++i) {
        if (PrefsPage* page = getPage(i))
            page->apply();
    }
    // Written now, not only at exit: a crash or a forced end must not take the user's choices along.
    window->saveSettings();
    end(IDOK);
    return true;
}

void PrefsSheet::onPluginPrefsEdited() {
    // The plug-in may have destroyed the actions the Shortcuts page lists: it lists the core's again.
    if (PrefsPageShortcuts* shortcuts = getShortcutsPage())
        shortcuts->fill();
    // A plug-in's dialog applies its settings at once, and Cancel on this sheet does not take them back.
    window->saveSettings();
}

INT_PTR PrefsSheet::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            ok();
            return TRUE;
        case IDCANCEL:
            end(IDCANCEL);
            return TRUE;
        }
        return FALSE;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        // Which of the two the tree sends depends on what the dialog answered to WM_NOTIFYFORMAT.
        if (header->idFrom == IDC_PREFS_TREE &&
            (header->code == TVN_SELCHANGEDA || header->code == TVN_SELCHANGEDW)) {
            const HTREEITEM chosen = header->code == TVN_SELCHANGEDA
                                         ? reinterpret_cast<const NMTREEVIEWA*>(lParam)->itemNew.hItem
                                         : reinterpret_cast<const NMTREEVIEWW*>(lParam)->itemNew.hItem;
            for (int i = 0; i < static_cast<int>(treeItems.size()); ++i) {
                if (treeItems[i] == chosen && i != selected)
                    selectPage(i);
            }
            return TRUE;
        }
        return FALSE;
    }
    case WM_CLOSE:
        end(IDCANCEL);
        return TRUE;
    }
    return FALSE;
}
