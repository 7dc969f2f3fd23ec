#include "CommandLine.h"

#include "ListAccessible.h"
#include "Messages.h"
#include "model/VPreferences.h"
#include "util/SystemText.h"
#include "util/VxText.h"

#include <commctrl.h>
#include <windowsx.h>

namespace {
const UINT_PTR kTypingTimer = 1;
const UINT_PTR kSubclassId = 1000;
} // namespace

VCommandLine::~VCommandLine() {
    if (edit && ::IsWindow(edit)) {
        stopTypingTimer();
        ::RemoveWindowSubclass(edit, &VCommandLine::proc, kSubclassId);
    }
}

bool VCommandLine::attach(HWND control, VCommandLineOwner* newOwner, VEditBoxResultsList* newList) {
    if (edit || !control)
        return false;
    if (!::SetWindowSubclass(control, &VCommandLine::proc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    edit = control;
    owner = newOwner;
    list = newList;
    return true;
}

std::string VCommandLine::getText() const {
    return edit ? vx::windowText(edit) : std::string();
}

void VCommandLine::setTextProgrammatically(const std::string& text) {
    programmatic = true;
    vx::setWindowText(edit, text);
    programmatic = false;
}

void VCommandLine::setCueBanner(const std::string& text) {
    if (!edit)
        return;
    cue = vx::widened(text);
    nativeCue = ::SendMessageW(edit, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(cue.c_str())) != 0;
    ::InvalidateRect(edit, nullptr, TRUE);
}

void VCommandLine::paintCueBanner() {
    if (nativeCue || cue.empty() || ::GetWindowTextLengthW(edit) > 0)
        return;
    RECT format{};
    ::SendMessageW(edit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    HDC dc = ::GetDC(edit);
    if (!dc)
        return;
    // The caret blinks by inverting pixels: drawn over, it would leave a mark behind.
    ::HideCaret(edit);
    HGDIOBJ previous = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(edit, WM_GETFONT, 0, 0)));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_GRAYTEXT));
    ::DrawTextW(dc, cue.c_str(), static_cast<int>(cue.size()), &format,
                DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS | DT_LEFT | DT_TOP);
    ::SelectObject(dc, previous);
    ::ReleaseDC(edit, dc);
    ::ShowCaret(edit);
}

void VCommandLine::onTextChanged() {
    // The control repaints only what its text covers: the hint, drawn by us, goes or comes whole.
    if (!nativeCue && !cue.empty())
        ::InvalidateRect(edit, nullptr, TRUE);
    if (programmatic)
        return;
    if (owner)
        owner->textEdited();
    if (owner && owner->isBrowseMode()) {
        notify(UM_TEXTCHANGED);
        return;
    }
    // Every keystroke postpones the message: it comes once the typing pauses.
    settling = ::SetTimer(edit, kTypingTimer, static_cast<UINT>(delay), nullptr) != 0;
}

void VCommandLine::stopTypingTimer() {
    settling = false;
    if (edit)
        ::KillTimer(edit, kTypingTimer);
}

void VCommandLine::notify(UINT message) {
    HWND parent = ::GetParent(edit);
    if (parent)
        ::SendMessageA(parent, message, 0, static_cast<LPARAM>(::GetDlgCtrlID(edit)));
}

void VCommandLine::loadPrefs(const VPreferencesNode* window) {
    const VPreferencesNode* node = window ? window->getChild("CommandLine") : nullptr;
    int value = 0;
    if (node && node->getParam("Delay", value))
        setDelay(value);
    if (list)
        list->loadListPrefs(node);
}

void VCommandLine::savePrefs(VPreferencesNode* window) const {
    if (!window)
        return;
    VPreferencesNode* node = VPreferencesNode::createInstance("CommandLine");
    node->setParam("Delay", delay);
    if (list)
        list->saveListPrefs(node);
    window->addChild(node);
}

bool VCommandLine::handleKey(UINT key) {
    switch (key) {
    case VK_BACK:
        if (owner && owner->isActionMode() && ::GetWindowTextLengthW(edit) == 0) {
            notify(UM_ESCAPE);
            return false;
        }
        if (owner && owner->isSearchingMode()) {
            if (::GetKeyState(VK_CONTROL) < 0) {
                // Empties the box and cancels the search in one step.
                owner->resetSearch(true);
                return true;
            }
            owner->resetSearch(false);
        }
        return false;
    case VK_TAB:
    case VK_RETURN:
    case VK_ESCAPE:
        // While the text settles the list shows what an older text found: Enter and Tab act on the
        // text itself, and no row of the list can be picked.
        if ((settling && key != VK_ESCAPE) || !list || !list->onListKey(key))
            notify(key == VK_TAB ? UM_TAB : key == VK_RETURN ? UM_ENTER : UM_ESCAPE);
        return true;
    case VK_PRIOR:
    case VK_NEXT:
    case VK_UP:
    case VK_DOWN:
        return !settling && list && list->onListKey(key);
    case VK_HOME:
    case VK_END:
        // Home and End move the caret (Shift: select to it), as in any edit box; with Control they go
        // to the first and last row. Control+Shift keeps the box's selection to its start or end.
        if (!isDown(VK_CONTROL) || isDown(VK_SHIFT))
            return false;
        return !settling && list && list->onListKey(key);
    case VK_LEFT:
    case VK_RIGHT:
        // With Control or Shift they move by words or extend the selection in the box.
        if (isDown(VK_CONTROL) || isDown(VK_SHIFT) || isDown(VK_MENU))
            return false;
        return !settling && list && list->onListKey(key);
    case 'A':
        // Not every version of the edit control selects all on Control+A: done here, it does everywhere.
        if (!isDown(VK_CONTROL) || isDown(VK_SHIFT) || isDown(VK_MENU))
            return false;
        ::SendMessageW(edit, EM_SETSEL, 0, -1);
        return true;
    case VK_F10:
        if (!isDown(VK_SHIFT))
            return false;
        return contextMenu();
    case VK_APPS:
        return contextMenu();
    default:
        return false;
    }
}

bool VCommandLine::isDown(int virtualKey) {
    return ::GetKeyState(virtualKey) < 0;
}

bool VCommandLine::contextMenu() {
    // The action pop-up of the selected row; with no row to act on, the box's own menu.
    return !settling && list && list->onListKey(VK_APPS);
}

LRESULT CALLBACK VCommandLine::proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR data) {
    auto* self = reinterpret_cast<VCommandLine*>(data);
    switch (message) {
    case WM_GETOBJECT:
        // The system would name the box by its text, which is what the user typed.
        if (const LRESULT answered = answerNamedControl(window, wParam, lParam, L"Search"))
            return answered;
        break;
    case WM_GETDLGCODE:
        // Every key comes here, Tab, Enter and Escape included, instead of to the dialog manager.
        return DLGC_WANTALLKEYS | ::DefSubclassProc(window, message, wParam, lParam);
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        self->swallowChar = false;
        if (self->handleKey(static_cast<UINT>(wParam))) {
            self->swallowChar = true;
            return 0;
        }
        break;
    case WM_CHAR:
    case WM_SYSCHAR:
        if (self->swallowChar) {
            // The character of a key already taken: Ctrl+Backspace would insert a control character.
            self->swallowChar = false;
            return 0;
        }
        break;
    case WM_CONTEXTMENU:
        // (-1, -1) comes from the keyboard: the context-menu key's release, or Shift+F10 where the key
        // down was not ours.
        if (GET_X_LPARAM(lParam) == -1 && GET_Y_LPARAM(lParam) == -1 && self->contextMenu())
            return 0;
        break;
    case WM_MOUSEWHEEL:
        // The wheel reaches the focus window, this box, wherever the cursor is over the search window:
        // the list is what scrolls.
        if (self->list && self->list->onListWheel(GET_WHEEL_DELTA_WPARAM(wParam)))
            return 0;
        break;
    case EM_GETCUEBANNER:
        if (self->nativeCue || !wParam || lParam <= 0)
            break;
        lstrcpynW(reinterpret_cast<wchar_t*>(wParam), self->cue.c_str(), static_cast<int>(lParam));
        return TRUE;
    case WM_PAINT: {
        const LRESULT painted = ::DefSubclassProc(window, message, wParam, lParam);
        self->paintCueBanner();
        return painted;
    }
    case WM_TIMER:
        if (wParam == kTypingTimer) {
            // Killed first: whatever the message leads to, the timer fires once per pause.
            ::KillTimer(window, kTypingTimer);
            self->settling = false;
            self->notify(UM_TEXTCHANGED);
            return 0;
        }
        break;
    case WM_NCDESTROY:
        ::KillTimer(window, kTypingTimer);
        self->settling = false;
        ::RemoveWindowSubclass(window, &VCommandLine::proc, kSubclassId);
        self->edit = nullptr;
        break;
    default:
        break;
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}
