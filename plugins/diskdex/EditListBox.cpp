#include "EditListBox.h"

#include "util/ReportList.h"
#include "util/SystemText.h"
#include "util/ThisModule.h"
#include "util/VxText.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>

namespace {

const wchar_t kClassName[] = L"VxEditListBox";
const int kListId = 100;
const int kCaptionId = 101;
// Our buttons live inside a child window of the dialog. Enter on a focused push button makes the dialog
// manager send WM_COMMAND with the button's id to the dialog itself, not to our window, so the ids stay
// clear of anything a dialog template uses (IDOK is 1).
const int kFirstButtonId = 0x7E10;

struct ButtonInfo {
    VEditListBox::Button flag;
    const char* text;
};
const ButtonInfo kButtons[] = {
    {VEditListBox::NewButton, "New"},
    {VEditListBox::DeleteButton, "Delete"},
    {VEditListBox::UpButton, "Up"},
    {VEditListBox::DownButton, "Down"},
    {VEditListBox::BrowseButton, "Browse..."},
};
const int kButtonCount = sizeof(kButtons) / sizeof(kButtons[0]);

int buttonIndex(VEditListBox::Button which) {
    for (int i = 0; i < kButtonCount; ++i) {
        if (kButtons[i].flag == which)
            return i;
    }
    return -1;
}

bool registerClass(WNDPROC proc) {
    HINSTANCE module = vx::thisModule();
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (::GetClassInfoExW(module, kClassName, &existing)) {
        if (existing.lpfnWndProc == proc)
            return true;
        // Left behind by an earlier copy of this library, whose code is gone.
        ::UnregisterClassW(kClassName, module);
    }
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = module;
    wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    return ::RegisterClassExW(&wc) != 0;
}

DirectoryListBox::FolderPicker& pickerSlot() {
    static DirectoryListBox::FolderPicker picker;
    return picker;
}

int CALLBACK browseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
    const wchar_t* start = reinterpret_cast<const wchar_t*>(data);
    if (message == BFFM_INITIALIZED && start && *start)
        ::SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

// The wide form, so that the edit control and the end-of-edit notification carry UTF-16.
HWND editLabel(HWND list, int row) {
    return reinterpret_cast<HWND>(::SendMessageW(list, LVM_EDITLABELW, static_cast<WPARAM>(row), 0));
}

// The dialog manager turns only its own children into the default button when they get the focus, so
// Enter on one of ours would press the dialog's default button instead. A focused button of ours
// therefore calls itself the default one: the dialog then sends its click, which the dialog hands back.
LRESULT CALLBACK buttonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    LRESULT result = ::DefSubclassProc(button, message, wParam, lParam);
    if (message == WM_GETDLGCODE && (result & DLGC_UNDEFPUSHBUTTON) && ::GetFocus() == button)
        result = (result & ~DLGC_UNDEFPUSHBUTTON) | DLGC_DEFPUSHBUTTON;
    return result;
}

} // namespace

struct VEditListBox::Quiet {
    explicit Quiet(VEditListBox& box) : box(box) { ++box.quiet; }
    ~Quiet() { --box.quiet; }
    VEditListBox& box;
};

VEditListBox::VEditListBox() = default;

VEditListBox::~VEditListBox() {
    if (hwnd) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd);
    }
}

bool VEditListBox::createAt(HWND parent, int placeholderId, unsigned buttonSet) {
    HWND placeholder = ::GetDlgItem(parent, placeholderId);
    if (!placeholder || hwnd || !registerClass(&VEditListBox::windowProc))
        return false;
    RECT r;
    ::GetWindowRect(placeholder, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    const std::wstring text = vx::widened(vx::windowText(placeholder));
    id = placeholderId;
    HWND created = ::CreateWindowExW(
        WS_EX_CONTROLPARENT, kClassName, text.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, r.left, r.top,
        r.right - r.left, r.bottom - r.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(placeholderId)), vx::thisModule(), this);
    if (!created)
        return false;
    // Right after the placeholder in the z-order, which is the tab order, then the placeholder goes.
    ::SetWindowPos(created, placeholder, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::DestroyWindow(placeholder);
    createChildren(buttonSet, reinterpret_cast<HFONT>(::SendMessageA(parent, WM_GETFONT, 0, 0)));
    return list != nullptr;
}

void VEditListBox::createChildren(unsigned buttonSet, HFONT font) {
    HINSTANCE module = vx::thisModule();
    caption =
        ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE,
                          0, 0, 0, 0, hwnd, reinterpret_cast<HMENU>(kCaptionId), module, nullptr);
    vx::setWindowText(caption, vx::windowText(hwnd));
    for (int i = 0; i < kButtonCount; ++i) {
        if (!(buttonSet & kButtons[i].flag))
            continue;
        buttons[i] = ::CreateWindowExW(0, L"BUTTON", vx::widened(kButtons[i].text).c_str(),
                                       WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0, hwnd,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstButtonId + i)),
                                       module, nullptr);
        if (buttons[i])
            ::SetWindowSubclass(buttons[i], buttonProc, 1, 0);
    }
    list = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL |
                                 LVS_SHOWSELALWAYS | LVS_EDITLABELS | LVS_NOCOLUMNHEADER | LVS_NOSORTHEADER,
                             0, 0, 0, 0, hwnd, reinterpret_cast<HMENU>(kListId), module, nullptr);
    if (!list)
        return;
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = 100;
    ::SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    ::SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    updateButtons();
}

void VEditListBox::layout() {
    if (!list)
        return;
    RECT client;
    ::GetClientRect(hwnd, &client);
    HFONT font = reinterpret_cast<HFONT>(::SendMessageA(list, WM_GETFONT, 0, 0));
    HDC dc = ::GetDC(hwnd);
    HGDIOBJ old = ::SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICA metrics{};
    ::GetTextMetricsA(dc, &metrics);
    const int height = metrics.tmHeight + 8;
    int right = client.right;
    for (int i = kButtonCount - 1; i >= 0; --i) {
        if (!buttons[i])
            continue;
        const SIZE extent = vx::textExtent(dc, kButtons[i].text);
        const int width = std::max<int>(extent.cx + 14, height * 2);
        right -= width;
        ::MoveWindow(buttons[i], right, 0, width, height, TRUE);
        right -= 2;
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(hwnd, dc);
    ::MoveWindow(caption, 0, 0, std::max<int>(right - 4, 0), height, TRUE);
    const int top = height + 2;
    ::MoveWindow(list, 0, top, client.right, std::max<int>(client.bottom - top, 0), TRUE);
    RECT inside;
    ::GetClientRect(list, &inside);
    // Leave room for a vertical scroll bar that may come later, so no horizontal one ever appears.
    const int width = inside.right -
                      (::GetWindowLongA(list, GWL_STYLE) & WS_VSCROLL ? 0 : ::GetSystemMetrics(SM_CXVSCROLL));
    ListView_SetColumnWidth(list, 0, std::max(width, 20));
}

HWND VEditListBox::getButton(Button which) const {
    int i = buttonIndex(which);
    return i < 0 ? nullptr : buttons[i];
}

void VEditListBox::setCaption(const std::string& text) {
    if (!hwnd)
        return;
    vx::setWindowText(hwnd, text);
    vx::setWindowText(caption, text);
}

std::string VEditListBox::getCaption() const {
    return caption ? vx::windowText(caption) : std::string();
}

HWND VEditListBox::getTopWindow() const {
    return hwnd ? ::GetAncestor(hwnd, GA_ROOT) : nullptr;
}

void VEditListBox::setItems(const std::vector<std::string>& items) {
    if (!list)
        return;
    cancelEdit();
    {
        Quiet q(*this);
        ListView_DeleteAllItems(list);
        for (const std::string& item : items)
            insertRow(getCount(), item, 0);
    }
    lastReportedSelection = -1;
    updateButtons();
}

void VEditListBox::clear() {
    setItems({});
}

int VEditListBox::getCount() const {
    return list ? ListView_GetItemCount(list) : 0;
}

std::string VEditListBox::getText(int row) const {
    if (row < 0 || row >= getCount())
        return std::string();
    // The list view has no "length of the text" question: grow the buffer until the text fits.
    std::vector<wchar_t> buffer(260);
    for (;;) {
        LVITEMW item{};
        item.iSubItem = 0;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        LRESULT n = ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
        if (n < static_cast<LRESULT>(buffer.size()) - 1 || buffer.size() >= 65536)
            return vx::narrowed(std::wstring_view(buffer.data(), static_cast<std::size_t>(n)));
        buffer.resize(buffer.size() * 4);
    }
}

std::vector<std::string> VEditListBox::getItems() const {
    std::vector<std::string> out;
    for (int i = 0; i < getCount(); ++i)
        out.push_back(getText(i));
    return out;
}

LPARAM VEditListBox::getData(int row) const {
    if (row < 0 || row >= getCount())
        return 0;
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    ::SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return item.lParam;
}

void VEditListBox::setData(int row, LPARAM data) {
    if (row < 0 || row >= getCount())
        return;
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    item.lParam = data;
    ::SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

int VEditListBox::getSelection() const {
    return vx::selectedListRow(list);
}

bool VEditListBox::acceptsChanges() const {
    return list && ::IsWindowEnabled(hwnd);
}

int VEditListBox::insertRow(int row, const std::string& text, LPARAM data) {
    Quiet q(*this);
    return vx::insertListItem(list, row, text, I_IMAGENONE, data);
}

void VEditListBox::setText(int row, const std::string& text) {
    vx::setListItemText(list, row, 0, text);
}

void VEditListBox::selectQuietly(int row) {
    Quiet q(*this);
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (row >= 0 && row < getCount())
        vx::selectListRow(list, row);
    updateButtons();
}

void VEditListBox::reportSelection(bool always) {
    int selection = getSelection();
    if (!always && selection == lastReportedSelection)
        return;
    lastReportedSelection = selection;
    notify(SelectionChanged, selection);
}

void VEditListBox::updateButtons() {
    const bool enabled = hwnd && ::IsWindowEnabled(hwnd);
    const int selection = getSelection();
    const int count = getCount();
    const bool states[kButtonCount] = {enabled, enabled && selection >= 0, enabled && selection > 0,
                                       enabled && selection >= 0 && selection < count - 1, enabled};
    for (int i = 0; i < kButtonCount; ++i) {
        if (buttons[i])
            ::EnableWindow(buttons[i], states[i]);
    }
}

void VEditListBox::notify(UINT message, int row) {
    if (hwnd)
        ::SendMessageA(::GetParent(hwnd), message, static_cast<WPARAM>(row), static_cast<LPARAM>(id));
}

void VEditListBox::cancelEdit() {
    if (list && ListView_GetEditControl(list))
        ListView_CancelEditLabel(list); // reported as LVN_ENDLABELEDIT without text: a new row goes
}

int VEditListBox::addRow(const std::string& text) {
    if (!acceptsChanges())
        return -1;
    cancelEdit();
    std::string value = vx::trimmed(text);
    if (value.empty())
        return -1;
    int row = insertRow(getCount(), std::string(), 0);
    if (row < 0)
        return -1;
    commitNewRow(row, value);
    return row;
}

void VEditListBox::commitNewRow(int row, const std::string& text) {
    setText(row, text);
    selectQuietly(row);
    notify(RowAdded, row);
    reportSelection(false);
}

bool VEditListBox::renameRow(int row, const std::string& text) {
    if (!acceptsChanges())
        return false;
    cancelEdit();
    return renameNow(row, text);
}

bool VEditListBox::renameNow(int row, const std::string& text) {
    std::string value = vx::trimmed(text);
    if (row < 0 || row >= getCount() || value.empty())
        return false;
    std::string before = getText(row);
    if (before == value)
        return true;
    setText(row, value);
    oldText = before;
    notify(RowRenamed, row);
    return true;
}

bool VEditListBox::deleteRow(int row) {
    if (!acceptsChanges())
        return false;
    cancelEdit();
    if (row < 0 || row >= getCount())
        return false;
    const int selection = getSelection();
    notify(RowRemoving, row);
    {
        Quiet q(*this);
        ListView_DeleteItem(list, row);
    }
    notify(RowRemoved, row);
    const int count = getCount();
    if (selection == row) {
        // Another row takes the place of the selected one: always a new selection, even at the same index.
        selectQuietly(std::min(row, count - 1));
        reportSelection(true);
    } else {
        selectQuietly(selection > row ? selection - 1 : selection);
        lastReportedSelection = getSelection();
    }
    return true;
}

void VEditListBox::swapRows(int a, int b) {
    std::string textA = getText(a), textB = getText(b);
    LPARAM dataA = getData(a), dataB = getData(b);
    setText(a, textB);
    setData(a, dataB);
    setText(b, textA);
    setData(b, dataA);
}

bool VEditListBox::moveRow(int row, int by) {
    if (!acceptsChanges())
        return false;
    cancelEdit();
    const int target = row + by;
    if (row < 0 || row >= getCount() || target < 0 || target >= getCount())
        return false;
    const bool wasSelected = getSelection() == row;
    swapRows(row, target);
    selectQuietly(target);
    notify(by < 0 ? RowMovedUp : RowMovedDown, target);
    if (wasSelected)
        lastReportedSelection = target; // the same entry is selected, only its index changed
    else
        reportSelection(true);
    return true;
}

bool VEditListBox::moveUp(int row) {
    return moveRow(row, -1);
}

bool VEditListBox::moveDown(int row) {
    return moveRow(row, 1);
}

void VEditListBox::selectRow(int row) {
    if (!list)
        return;
    cancelEdit();
    if (row >= getCount())
        return;
    selectQuietly(row);
    reportSelection(false);
}

void VEditListBox::beginNewRow() {
    if (!acceptsChanges())
        return;
    cancelEdit();
    newRowAbandoned = false;
    selectionBeforeNew = getSelection();
    int row = insertRow(getCount(), std::string(), 0);
    if (row < 0)
        return;
    selectQuietly(row);
    pendingRow = row;
    ::SetFocus(list);
    if (!editLabel(list, row))
        dropPendingRow();
}

void VEditListBox::dropPendingRow() {
    const int row = pendingRow;
    pendingRow = -1;
    if (row < 0)
        return;
    {
        Quiet q(*this);
        ListView_DeleteItem(list, row);
    }
    selectQuietly(selectionBeforeNew);
}

HWND VEditListBox::beginEdit(int row) {
    if (!acceptsChanges() || row < 0 || row >= getCount())
        return nullptr;
    cancelEdit();
    ::SetFocus(list);
    return editLabel(list, row);
}

void VEditListBox::browse() {
    if (acceptsChanges())
        onBrowse();
    newRowAbandoned = false;
}

void VEditListBox::onCommand(int command) {
    const int index = command - kFirstButtonId;
    if (index < 0 || index >= kButtonCount || !buttons[index])
        return;
    const Button which = kButtons[index].flag;
    if (which == BrowseButton) {
        browse();
        return;
    }
    newRowAbandoned = false;
    const int selection = getSelection();
    switch (which) {
    case NewButton:
        beginNewRow();
        break;
    case DeleteButton:
        deleteRow(selection);
        break;
    case UpButton:
        moveUp(selection);
        break;
    case DownButton:
        moveDown(selection);
        break;
    default:
        break;
    }
}

LRESULT VEditListBox::onNotify(NMHDR* header) {
    if (header->hwndFrom != list)
        return 0;
    switch (header->code) {
    case LVN_BEGINLABELEDITW:
        return acceptsChanges() ? FALSE : TRUE;
    case LVN_ENDLABELEDITW: {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
        const int row = info->item.iItem;
        const wchar_t* typed = info->item.pszText; // null when the edit was cancelled
        const std::string text = typed ? vx::narrowed(typed) : std::string();
        if (row == pendingRow) {
            std::string value = vx::trimmed(text);
            if (value.empty()) {
                dropPendingRow();
                // The focus may have left for our browse button: its click comes next and means "new".
                newRowAbandoned = true;
            } else {
                pendingRow = -1;
                commitNewRow(row, value);
            }
        } else if (typed) {
            renameNow(row, text);
        }
        return FALSE; // the text, if any, is already set
    }
    case LVN_ITEMCHANGED: {
        auto* change = reinterpret_cast<NMLISTVIEW*>(header);
        if (quiet || pendingRow >= 0 || !(change->uChanged & LVIF_STATE))
            return 0;
        updateButtons();
        if ((change->uOldState ^ change->uNewState) & LVIS_SELECTED) {
            newRowAbandoned = false;
            reportSelection(false);
        }
        return 0;
    }
    case LVN_KEYDOWN: {
        newRowAbandoned = false;
        switch (reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey) {
        case VK_DELETE:
            if (getButton(DeleteButton))
                deleteRow(getSelection());
            break;
        case VK_INSERT:
            if (getButton(NewButton))
                beginNewRow();
            break;
        case VK_F2:
            beginEdit(getSelection());
            break;
        }
        return 0;
    }
    case NM_DBLCLK:
        newRowAbandoned = false;
        // A double click below the last row starts a new one.
        if (reinterpret_cast<NMITEMACTIVATE*>(header)->iItem < 0 && getButton(NewButton))
            beginNewRow();
        return 0;
    }
    return 0;
}

LRESULT CALLBACK VEditListBox::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<VEditListBox*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<VEditListBox*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->hwnd = self->list = self->caption = nullptr;
        std::fill(std::begin(self->buttons), std::end(self->buttons), nullptr);
        self->pendingRow = -1;
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return self->handle(message, wParam, lParam);
}

LRESULT VEditListBox::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NOTIFYFORMAT:
        return NFR_UNICODE;
    case WM_NOTIFY:
        return onNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED)
            onCommand(LOWORD(wParam));
        return 0;
    case WM_SIZE:
        layout();
        return 0;
    case WM_SETFONT: {
        HWND children[] = {caption, list, buttons[0], buttons[1], buttons[2], buttons[3], buttons[4]};
        for (HWND child : children) {
            if (child)
                ::SendMessageA(child, WM_SETFONT, wParam, FALSE);
        }
        layout();
        if (LOWORD(lParam))
            ::InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    case WM_GETFONT:
        return list ? ::SendMessageA(list, WM_GETFONT, 0, 0) : 0;
    case WM_ENABLE:
        // A disabled parent already keeps input from its children, but they would still look usable.
        if (list)
            ::EnableWindow(list, static_cast<BOOL>(wParam));
        if (!wParam)
            cancelEdit();
        updateButtons();
        return 0;
    case WM_SETFOCUS:
        if (list)
            ::SetFocus(list);
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        // The dialog decides how its controls blend with its background.
        return ::SendMessageA(::GetParent(hwnd), message, wParam, lParam);
    case ELB_ADDROW:
        return addRow(lParam ? reinterpret_cast<const char*>(lParam) : "");
    case ELB_RENAMEROW:
        return renameRow(static_cast<int>(wParam), lParam ? reinterpret_cast<const char*>(lParam) : "");
    case ELB_DELETEROW:
        return deleteRow(static_cast<int>(wParam));
    case ELB_MOVEUP:
        return moveUp(static_cast<int>(wParam));
    case ELB_MOVEDOWN:
        return moveDown(static_cast<int>(wParam));
    case ELB_SELECTROW:
        selectRow(static_cast<int>(wParam));
        return 0;
    case ELB_GETSELECTION:
        return getSelection();
    case ELB_GETCOUNT:
        return getCount();
    case ELB_BROWSE:
        browse();
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

DirectoryListBox::FolderPicker DirectoryListBox::setFolderPicker(FolderPicker picker) {
    FolderPicker previous = pickerSlot();
    pickerSlot() = std::move(picker);
    return previous;
}

bool DirectoryListBox::shellFolderPicker(const PickRequest& request, std::string& chosen) {
    // The newer dialog style needs COM on this thread in a single-threaded apartment.
    HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    wchar_t display[MAX_PATH] = {};
    const std::wstring title = vx::widened(request.title), start = vx::widened(request.start);
    BROWSEINFOW info{};
    info.hwndOwner = request.owner;
    info.pszDisplayName = display;
    info.lpszTitle = title.c_str();
    info.ulFlags = request.flags;
    info.lpfn = browseCallback;
    info.lParam = reinterpret_cast<LPARAM>(start.c_str());
    bool picked = false;
    if (LPITEMIDLIST chosenItem = ::SHBrowseForFolderW(&info)) {
        wchar_t path[MAX_PATH] = {};
        if (::SHGetPathFromIDListW(chosenItem, path)) {
            chosen = vx::narrowed(path);
            picked = true;
        }
        ::CoTaskMemFree(chosenItem);
    }
    if (SUCCEEDED(com))
        ::CoUninitialize();
    return picked;
}

void DirectoryListBox::onBrowse() {
    const bool asNew = wantsNewRow() || getSelection() < 0;
    const int row = asNew ? -1 : getSelection();
    cancelEdit();
    PickRequest request{getTopWindow(), "Browse for folder", row >= 0 ? getText(row) : std::string(),
                        BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE};
    std::string chosen;
    const FolderPicker& picker = pickerSlot();
    const bool picked = picker ? picker(request, chosen) : shellFolderPicker(request, chosen);
    if (!picked || vx::trimmed(chosen).empty())
        return;
    if (asNew)
        addRow(chosen);
    else
        renameRow(row, chosen);
}
