#include "VActionListCtrl.h"

#include "Messages.h"
#include "engine/VVerbinoxCore.h"
#include "model/VAction.h"
#include "model/VResult.h"
#include "util/SystemText.h"
#include "util/VxText.h"

#include <windowsx.h>

#include <algorithm>

namespace {

// Tabs and line breaks would draw as boxes or break the single line.
std::string oneLine(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    return text;
}

} // namespace

bool VPopupList::createPopup(HWND ownerWindow, HFONT editFont) {
    owner = ownerWindow;
    if (!createWindow(ownerWindow, editFont, 10))
        return false;
    dpiChanged(getDpi());
    return true;
}

void VPopupList::dpiChanged(UINT) {
    rowHeight = metric(SM_CYSMICON) + px(2);
}

void VPopupList::showBeside(const RECT& beside) {
    HDC dc = ::GetDC(getHwnd());
    HGDIOBJ oldFont = ::SelectObject(dc, font ? font : ::GetStockObject(DEFAULT_GUI_FONT));
    int widest = 0;
    for (int i = 0; i < rowCount(); ++i) {
        const std::string text = rowText(i);
        RECT r{0, 0, 0, 0};
        vx::drawText(dc, text, r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        // A row with the arrow ends its text 20 pixels earlier: it needs that much more room.
        widest = std::max<int>(widest, r.right + (rowHasArrow(i) ? px(20) : 0));
    }
    ::SelectObject(dc, oldFont);
    ::ReleaseDC(getHwnd(), dc);

    const int width = widest + px(40);
    const int height = rowCount() * rowHeight + frameHeight();
    const int border = ::GetSystemMetrics(SM_CXBORDER);
    RECT r{beside.right + border, beside.top, beside.right + border + width, beside.top + height};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromRect(&beside, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    if (r.right > work.right)
        ::OffsetRect(&r, beside.left - border - r.right, 0);
    // Beside a list about as wide as the screen it fits on neither side: it then covers the list rather
    // than run off the screen's left edge, where the start of every row would be cut off.
    if (r.left < work.left)
        ::OffsetRect(&r, work.left - r.left, 0);
    // Beside the last rows of a long list it would reach below the screen.
    if (r.bottom > work.bottom)
        ::OffsetRect(&r, 0, -std::min<LONG>(r.bottom - work.bottom, std::max<LONG>(r.top - work.top, 0)));
    placeAndShow(r);
    repaint();
    accessibility.rowsChanged(getHwnd());
    announce();
}

void VPopupList::announce() {
    if (isOnScreen())
        accessibility.announce(getHwnd(), selected, selected >= 0 ? this : nullptr);
}

void VPopupList::announceAgain() {
    accessibility.forget();
    announce();
}

void VPopupList::hidePopup() {
    hide();
    accessibility.forget();
}

std::wstring VPopupList::accessibleRowName(int index) const {
    return vx::widened(rowText(index));
}

RECT VPopupList::accessibleRowRect(int index) const {
    RECT client;
    ::GetClientRect(getHwnd(), &client);
    return RECT{0, index * rowHeight, client.right, (index + 1) * rowHeight};
}

void VPopupList::accessibleSelect(int index) {
    if (index == selected)
        return;
    selected = index;
    repaint();
    onHover();
    announce();
}

bool VPopupList::navigate(UINT key) {
    if (!isOnScreen())
        return false;
    const int last = rowCount() - 1;
    int next = selected;
    if (key == VK_UP)
        next = selected <= 0 ? last : selected - 1;
    else if (key == VK_DOWN)
        next = selected >= last ? 0 : selected + 1;
    else if (key == VK_HOME || key == VK_END)
        next = key == VK_HOME ? 0 : last;
    else if (key != VK_PRIOR && key != VK_NEXT)
        return false;
    if (last >= 0 && next != selected) {
        selected = next;
        repaint();
        announce();
    }
    return true;
}

int VPopupList::rowAt(int y) const {
    return rowCount() == 0 ? -1 : std::clamp(y / std::max(rowHeight, 1), 0, rowCount() - 1);
}

LRESULT VPopupList::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOUSEMOVE: {
        // Wine and Windows also send a move when a window appears under a resting cursor: only a
        // real move of the mouse picks a row.
        POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ::ClientToScreen(getHwnd(), &at);
        if (at.x == lastMouse.x && at.y == lastMouse.y)
            return 0;
        lastMouse = at;
        const int row = rowAt(GET_Y_LPARAM(lParam));
        if (row >= 0 && row != selected) {
            selected = row;
            repaint();
            onHover();
            announce();
        }
        return 0;
    }
    case WM_LBUTTONUP:
        onClick();
        return 0;
    case WM_LBUTTONDBLCLK: {
        const int row = rowAt(GET_Y_LPARAM(lParam));
        if (row >= 0)
            choose(row);
        return 0;
    }
    case WM_GETOBJECT:
        if (const LRESULT answered = accessibility.answer(getHwnd(), wParam, lParam))
            return answered;
        return VListWindow::handleMessage(message, wParam, lParam);
    default:
        return VListWindow::handleMessage(message, wParam, lParam);
    }
}

void VPopupList::paint(HDC dc, const RECT& client) {
    const int iconWidth = metric(SM_CXSMICON);
    const int iconHeight = metric(SM_CYSMICON);
    ::SelectObject(dc, font ? font : ::GetStockObject(DEFAULT_GUI_FONT));
    const VListColors colors = listColors();
    for (int i = 0; i < rowCount(); ++i) {
        const RECT row{0, i * rowHeight, client.right, (i + 1) * rowHeight};
        const COLORREF textColor = fillRow(dc, row, i, i == selected, colors);
        if (HICON icon = rowIcon(i))
            ::DrawIconEx(dc, px(2), row.top + 1, icon, iconWidth, iconHeight, 0, nullptr, DI_NORMAL);
        const bool arrow = rowHasArrow(i);
        RECT text{px(20), row.top, row.right - px(arrow ? 22 : 2), row.bottom};
        const std::string line = rowText(i);
        ::SetTextColor(dc, textColor);
        vx::drawText(dc, line, text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
        if (arrow)
            drawArrow(dc, RECT{row.right - px(18), row.top + 1, row.right - px(2), row.top + 1 + iconHeight},
                      textColor);
    }
}

bool VPropertyListCtrl::create(HWND ownerWindow, HFONT editFont) {
    return createPopup(ownerWindow, editFont);
}

std::vector<VProperty*> VPropertyListCtrl::propertiesFor(VResult* result, VAction* action) {
    std::vector<VProperty*> found;
    for (int i = 0; result && action && i < result->getPropertyCount(); ++i) {
        VProperty* property = result->getProperty(i);
        if (property->isValid() && action->isTypeSupported(property->getPropertyType()))
            found.push_back(property);
    }
    return found;
}

void VPropertyListCtrl::open(VResult* result, VAction* chosenAction, const RECT& beside) {
    close();
    properties = propertiesFor(result, chosenAction);
    if (properties.empty())
        return;
    action = chosenAction;
    selected = 0;
    showBeside(beside);
}

void VPropertyListCtrl::close() {
    properties.clear();
    action = nullptr;
    selected = -1;
    hidePopup();
}

bool VPropertyListCtrl::key(UINT key) {
    if (key == VK_RETURN) {
        if (!isOnScreen() || selected < 0)
            return false;
        choose(selected);
        return true;
    }
    return navigate(key);
}

HICON VPropertyListCtrl::rowIcon(int index) const {
    return VProperty::iconForPropertyType(properties[static_cast<std::size_t>(index)]->getPropertyType());
}

std::string VPropertyListCtrl::rowText(int index) const {
    return oneLine(properties[static_cast<std::size_t>(index)]->getValue());
}

void VPropertyListCtrl::choose(int index) {
    // The search window may clear the list while it handles the message, which closes this pop-up:
    // nothing of ours is read after the send.
    ::SendMessageA(owner, UM_PROPERTYCHOSEN,
                   reinterpret_cast<WPARAM>(properties[static_cast<std::size_t>(index)]),
                   reinterpret_cast<LPARAM>(action));
}

void VActionListCtrl::dpiChanged(UINT previous) {
    VPopupList::dpiChanged(previous);
    propertyList.setDpi(getDpi(), font);
}

bool VActionListCtrl::create(HWND ownerWindow, HFONT editFont) {
    return createPopup(ownerWindow, editFont) && propertyList.create(ownerWindow, editFont);
}

void VActionListCtrl::open(VResult* forResult, const RECT& row) {
    close();
    if (!forResult || forResult->getPropertyCount() == 0)
        return;
    VVerbinoxCore* core = VVerbinoxCore::instance();
    // Actions are registered on this thread only, so the registry cannot change while it is read.
    for (int a = 0; a < core->getNumActions(); ++a) {
        VAction* action = core->getAction(a);
        for (int p = 0; p < forResult->getPropertyCount(); ++p) {
            VProperty* property = forResult->getProperty(p);
            if (property->isValid() && action->isResultSupported(forResult) &&
                action->isTypeSupported(property->getPropertyType())) {
                const bool offers = VPropertyListCtrl::propertiesFor(forResult, action).size() > 1;
                items.push_back({action, property, oneLine(action->getActionText(property)), offers});
                break;
            }
        }
    }
    if (items.empty())
        return;
    result = forResult;
    VAction* preferred = core->getDefaultAction(result->getDefaultProperty()->getPropertyType());
    selected = preferred ? -1 : 0;
    for (std::size_t i = 0; preferred && i < items.size(); ++i) {
        if (items[i].action == preferred)
            selected = static_cast<int>(i);
    }
    showBeside(row);
}

void VActionListCtrl::moveBeside(const RECT& row) {
    if (!isOnScreen())
        return;
    showBeside(row);
    if (propertyList.isOnScreen())
        openProperties();
}

void VActionListCtrl::close() {
    propertyList.close();
    items.clear();
    result = nullptr;
    selected = -1;
    hidePopup();
}

bool VActionListCtrl::key(UINT key) {
    if (!isOnScreen())
        return false;
    switch (key) {
    case VK_RETURN:
        if (propertyList.key(key))
            return true;
        if (selected < 0)
            return false;
        choose(selected);
        return true;
    case VK_TAB:
        if (selected < 0)
            return false;
        if (!propertyList.isOnScreen() && items[static_cast<std::size_t>(selected)].offersProperties)
            openProperties();
        return true;
    case VK_ESCAPE:
        if (!propertyList.isOnScreen())
            return false;
        propertyList.close();
        announceAgain();
        return true;
    default:
        return propertyList.isOnScreen() ? propertyList.key(key) : navigate(key);
    }
}

HICON VActionListCtrl::rowIcon(int index) const {
    return items[static_cast<std::size_t>(index)].action->getIcon();
}

void VActionListCtrl::openProperties() {
    if (selected < 0 || !items[static_cast<std::size_t>(selected)].offersProperties) {
        propertyList.close();
        return;
    }
    propertyList.open(result, items[static_cast<std::size_t>(selected)].action,
                      rowOnScreen(selected * rowHeight, rowHeight));
}

void VActionListCtrl::onHover() {
    openProperties();
}

void VActionListCtrl::onClick() {
    if (!propertyList.isOnScreen() && selected >= 0 &&
        items[static_cast<std::size_t>(selected)].offersProperties)
        openProperties();
    else
        propertyList.close();
}

void VActionListCtrl::choose(int index) {
    const VActionItem item = items[static_cast<std::size_t>(index)];
    // As for the property pop-up: the handler may clear the list and close this pop-up.
    ::SendMessageA(owner, UM_ACTIONCHOSEN, reinterpret_cast<WPARAM>(item.action),
                   reinterpret_cast<LPARAM>(item.property));
}
