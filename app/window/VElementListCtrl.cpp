// The results list's window: creating it, its DPI, its place under the search window, shown or
// hidden by its region, its messages, and drawing its rows and icons.
#include "VElementListCtrl.h"

#include "Messages.h"
#include "Theme.h"
#include "engine/VVerbinoxCore.h"
#include "model/VFileResult.h"
#include "model/VPreferences.h"
#include "util/VxText.h"

#include <windowsx.h>

#include <algorithm>

namespace {

const int kGrowRows = 20;
// How long a list the next search emptied stays on the screen, blank, waiting for its first results.
const UINT_PTR kHideTimer = 1;
const UINT kHideDelayMs = 100;

// The cell height, internal leading included: what one line of the font really takes.
int lineHeight(HFONT font) {
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICA metrics{};
    ::GetTextMetricsA(dc, &metrics);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    return metrics.tmHeight;
}

} // namespace

VElementListCtrl::~VElementListCtrl() {
    // Joined before the window goes, so the worker posts to no window that is being destroyed.
    icons.stop();
    destroyWindow();
    rows.clear();
}

bool VElementListCtrl::create(HWND ownerWindow, HWND anchorWindow, VFolderBrowseHost* folderBrowser) {
    HFONT editFont = reinterpret_cast<HFONT>(::SendMessageA(anchorWindow, WM_GETFONT, 0, 0));
    if (getHwnd() || !anchorWindow || !createWindow(ownerWindow, editFont, 100))
        return false;
    owner = ownerWindow;
    anchor = anchorWindow;
    browser = folderBrowser;
    icons.notify(getHwnd(), UM_ICONSFETCHED);
    userSize = SIZE{0, px(100)};
    // Loading the preferences computes it again; until then it fits the default two lines.
    rowHeight = computeRowHeight(twoLines);
    return actionList.create(ownerWindow, editFont);
}

int VElementListCtrl::computeRowHeight(bool two) const {
    VVerbinoxCore* core = VVerbinoxCore::instance();
    const int icon = metric(SM_CYSMICON);
    if (two)
        return std::max(lineHeight(core->getFont1()) + lineHeight(core->getFont2()) + px(4),
                        2 * icon + px(4));
    return std::max(lineHeight(core->getFont()), icon + px(2));
}

void VElementListCtrl::dpiChanged(UINT previous) {
    // The core's fonts were made for the new DPI before: the rows take their height from them.
    rowHeight = computeRowHeight(twoLines);
    if (userSize.cx > 0)
        userSize.cx = ::MulDiv(userSize.cx, static_cast<int>(getDpi()), static_cast<int>(previous));
    userSize.cy = ::MulDiv(userSize.cy, static_cast<int>(getDpi()), static_cast<int>(previous));
    actionList.setDpi(getDpi(), font);
    if (isOnScreen())
        layout();
    repaint();
}

void VElementListCtrl::setShowIcons(bool value) {
    showIcons = value;
    repaint();
}

void VElementListCtrl::setTwoLines(bool value) {
    if (filesMode) {
        savedTwoLines = value;
        return;
    }
    twoLines = value;
    rowHeight = computeRowHeight(twoLines);
    if (isOnScreen())
        layout();
    repaint();
}

void VElementListCtrl::loadPrefs(const VPreferencesNode* parent) {
    bool two = getTwoLines();
    if (const VPreferencesNode* node = parent ? parent->getChild("List") : nullptr) {
        node->getParam("ShowIcons", showIcons);
        node->getParam("TwoLines", two);
    }
    setTwoLines(two);
}

void VElementListCtrl::savePrefs(VPreferencesNode* parent) const {
    if (!parent)
        return;
    VPreferencesNode* node = VPreferencesNode::createInstance("List");
    parent->addChild(node);
    node->setParam("ShowIcons", showIcons);
    node->setParam("TwoLines", getTwoLines());
}

void VElementListCtrl::place(VElement* const* added, int count) {
    const int now =
        rows.place(added, count, VVerbinoxCore::instance()->getRankResults(), getSelectedElement());
    // Before the user chose, the selection follows the best row; after, it stays on its element, and
    // the view moves with it so the row keeps its place on the screen.
    if (now == NoRow || (!chosen && selected == 0))
        return;
    topIndex = std::max(topIndex + now - selected, 0);
    selected = now;
}

void VElementListCtrl::addElement(VElement* element) {
    if (!element)
        return;
    place(&element, 1);
    // The first action of a keyword search is what Enter runs; a result that comes alone takes no
    // selection.
    afterAdding(!VElementRows::isResult(element) && getSelectedIndex() == NoRow ? 0 : NoRow, false);
}

void VElementListCtrl::addElements(VElement* const* added, int count) {
    place(added, std::max(count, 0));
    afterAdding(NoRow, true);
}

void VElementListCtrl::addMore(uint64_t count) {
    if (count == 0)
        return;
    rows.addMore(count);
    afterAdding(NoRow, false);
}

void VElementListCtrl::showNothingFound(const std::string& text, const std::vector<std::string>& sources) {
    if (!rows.showNothingFound(text, sources))
        return;
    selected = NoRow;
    afterAdding(NoRow, false);
    repaint();
}

void VElementListCtrl::withdrawNothingFound() {
    if (!rows.withdrawNothingFound())
        return;
    if (rows.rowCount() == 0 && !keptShown)
        putOutOfSight();
    else
        layout();
}

void VElementListCtrl::paintNothingFound(HDC dc, const RECT& row, const VListColors& colors) const {
    VVerbinoxCore* core = VVerbinoxCore::instance();
    const std::wstring& nothingFound = rows.getNothingFound();
    const std::wstring& nothingSearched = rows.getNothingSearched();
    const int left = px(4) + (showIcons ? metric(SM_CXSMICON) : 0);
    const UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
    if (twoLines && !nothingSearched.empty()) {
        const int half = (row.bottom - row.top - 2) / 2;
        RECT first{left, row.top + 1, row.right - px(2), row.top + 1 + half};
        RECT second{left, first.bottom, row.right - px(2), first.bottom + half};
        HGDIOBJ oldFont = core->getFont1() ? ::SelectObject(dc, core->getFont1()) : nullptr;
        ::SetTextColor(dc, colors.text);
        ::DrawTextW(dc, nothingFound.c_str(), static_cast<int>(nothingFound.size()), &first, format);
        if (core->getFont2())
            ::SelectObject(dc, core->getFont2());
        ::SetTextColor(dc, colors.grayText);
        ::DrawTextW(dc, nothingSearched.c_str(), static_cast<int>(nothingSearched.size()), &second, format);
        if (oldFont)
            ::SelectObject(dc, oldFont);
        return;
    }
    // One line: both parts, the sources after a dash.
    const std::wstring line =
        nothingSearched.empty() ? nothingFound : nothingFound + L" \x2014 " + nothingSearched;
    RECT text{left, row.top, row.right - px(2), row.bottom};
    HGDIOBJ oldFont = core->getFont() ? ::SelectObject(dc, core->getFont()) : nullptr;
    ::SetTextColor(dc, colors.grayText);
    ::DrawTextW(dc, line.c_str(), static_cast<int>(line.size()), &text, format);
    if (oldFont)
        ::SelectObject(dc, oldFont);
}

void VElementListCtrl::addFiles(VFileResult* const* files, int count) {
    std::vector<VElement*> added(files, files + std::max(count, 0));
    const int remembered = rows.append(added.data(), static_cast<int>(added.size()), rememberedPath);
    // Made for this listing only: a later search that finds the same file must not move onto it.
    rememberedPath.clear();
    if (!filesMode) {
        filesMode = true;
        savedTwoLines = twoLines;
        if (twoLines) {
            twoLines = false;
            rowHeight = computeRowHeight(false);
        }
    }
    afterAdding(remembered, true);
}

void VElementListCtrl::afterAdding(int preferredRow, bool selectFirst) {
    if (!getHwnd() || rows.rowCount() == 0)
        return;
    suppressMouseMove = true;
    // The selection is settled before the window is placed and shown, so the whole list is drawn once,
    // in the paint that showing it brings: under Wine every extra window call is a round trip to X.
    // A row the user picked, or their choice of none, stays as rows arrive.
    if (!chosen && preferredRow != NoRow)
        selectRow(preferredRow, true);
    else if (!chosen && selectFirst && getSelectedIndex() == NoRow)
        selectRow(0, true);
    layout();
    accessibility.rowsChanged(getHwnd());
    announceSelection();
}

void VElementListCtrl::clear() {
    actionList.close();
    icons.dropPending();
    rows.clear();
    wheelRest = 0;
    selected = NoRow;
    chosen = false;
    topIndex = 0;
    if (filesMode) {
        filesMode = false;
        twoLines = savedTwoLines;
        rowHeight = computeRowHeight(twoLines);
    }
    if (!keptShown)
        putOutOfSight();
    if (getHwnd())
        accessibility.rowsChanged(getHwnd());
    accessibility.forget();
}

void VElementListCtrl::hideIfStillEmpty() {
    keptShown = false;
    if (getCount() != 0)
        return;
    // The search that emptied the list usually has results within a few milliseconds: it stays shown,
    // blank, and they are drawn in place. Hiding it by its region and showing it again would keep the window
    // thread from them for 5 to 8 ms under Wine. Only a list that stays empty goes.
    if (isOnScreen() && ::SetTimer(getHwnd(), kHideTimer, kHideDelayMs, nullptr)) {
        repaint();
        return;
    }
    putOutOfSight();
}

void VElementListCtrl::putOutOfSight() {
    ::KillTimer(getHwnd(), kHideTimer);
    accessibility.forget();
    // Once mapped, the list stays mapped, hidden by its region, also while the search window is hidden: under
    // Wine the first drawing of a newly mapped window waits for the X server's expose, 10 ms and more that
    // would come on top of the next search's first results.
    if (::IsWindowVisible(getHwnd()))
        hideByRegion();
}

void VElementListCtrl::suspend() {
    setShown(false);
    suspended = true;
}

void VElementListCtrl::premapHidden() {
    suspended = false;
    if (!getHwnd() || ::IsWindowVisible(getHwnd()))
        return;
    const RECT wanted = placement(kGrowRows * rowHeight + frameHeight());
    ::SetWindowPos(getHwnd(), nullptr, wanted.left, wanted.top, wanted.right - wanted.left,
                   wanted.bottom - wanted.top, SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOREDRAW);
    hideByRegion();
}

bool VElementListCtrl::stripAndWorkArea(RECT& strip, RECT& work) const {
    HWND root = ::GetAncestor(anchor, GA_ROOT);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!::GetWindowRect(root, &strip) ||
        !::GetMonitorInfoW(::MonitorFromWindow(root, MONITOR_DEFAULTTONEAREST), &monitor))
        return false;
    work = monitor.rcWork;
    return true;
}

RECT VElementListCtrl::placement(int height) const {
    RECT window;
    ::GetWindowRect(::GetAncestor(anchor, GA_ROOT), &window);
    const int width = userSize.cx > 0 ? userSize.cx : window.right - window.left;
    return RECT{window.left, window.bottom, window.left + width, window.bottom + height};
}

RECT VElementListCtrl::clientArea() const {
    RECT client;
    ::GetClientRect(getHwnd(), &client);
    client.bottom = shownClientHeight();
    return client;
}

VListScrollBar::Sizes VElementListCtrl::barSizes() const {
    return VListScrollBar::Sizes{metric(SM_CXVSCROLL), metric(SM_CYHSCROLL), px(16), SIZE{px(3), px(1)},
                                 above};
}

VListScrollBar::View VElementListCtrl::barView() const {
    return VListScrollBar::View{rows.rowCount(), visibleRows, topIndex};
}

bool VElementListCtrl::barMouseDown(POINT at) {
    int top = topIndex;
    switch (bar.press(at, clientArea(), barSizes(), barView(), top)) {
    case VListScrollBar::Dragging:
        ::SetCapture(getHwnd());
        repaint();
        return true;
    case VListScrollBar::Paging:
        scrollTo(top);
        return true;
    default:
        return false;
    }
}

void VElementListCtrl::dragThumb(int y) {
    scrollTo(bar.dragTo(y, clientArea(), barSizes(), barView()));
}

VResult* VElementListCtrl::selectedResult() const {
    VElement* element = getSelectedElement();
    return element && VElementRows::isResult(element) ? static_cast<VResult*>(element) : nullptr;
}

void VElementListCtrl::select(int index) {
    suppressMouseMove = true;
    setSelection(index, true);
}

void VElementListCtrl::choose(int index, bool scrollIntoView) {
    chosen = true;
    setSelection(index, scrollIntoView);
}

void VElementListCtrl::setSelection(int index, bool scrollIntoView) {
    selectRow(index, scrollIntoView);
    refresh();
}

void VElementListCtrl::selectRow(int index, bool scrollIntoView) {
    const int count = rows.getCount();
    selected = index >= 0 && index < count ? index : NoRow;
    if (scrollIntoView && selected != NoRow && visibleRows > 0) {
        if (selected < topIndex)
            topIndex = selected;
        else if (selected >= topIndex + visibleRows)
            topIndex = selected - visibleRows + 1;
    }
}

void VElementListCtrl::scrollTo(int top) {
    top = std::clamp(top, 0, std::max(0, rows.rowCount() - visibleRows));
    if (top == topIndex)
        return;
    topIndex = top;
    refresh();
}

void VElementListCtrl::refresh() {
    syncActionList();
    repaint();
    announceSelection();
}

void VElementListCtrl::announceSelection() {
    if (!isOnScreen())
        return;
    accessibility.announce(getHwnd(), selected, getSelectedElement(), anchor);
}

std::wstring VElementListCtrl::accessibleRowName(int index) const {
    if (index == rows.getCount())
        return rows.getMore() > 0 ? moreText(rows.getMore()) : std::wstring();
    const VElement* element = rows.getElement(index);
    if (!element)
        return std::wstring();
    try {
        if (!twoLines)
            return vx::widened(element->getDisplayText());
        std::string name = element->getDisplayText1();
        const std::string second = element->getDisplayText2();
        if (!second.empty() && second != name)
            name += (name.empty() ? "" : ", ") + second;
        return vx::widened(name);
    } catch (...) {
        // A plug-in's element that cannot say what it shows leaves its row unnamed.
        return std::wstring();
    }
}

RECT VElementListCtrl::accessibleRowRect(int index) const {
    RECT client;
    ::GetClientRect(getHwnd(), &client);
    if (isScrollBarVisible())
        client.right -= ::GetSystemMetrics(SM_CXVSCROLL);
    const int top = (index - getTopIndex()) * rowHeight;
    return RECT{0, top, client.right, top + rowHeight};
}

void VElementListCtrl::accessibleSelect(int index) {
    suppressMouseMove = true;
    choose(index, true);
}

void VElementListCtrl::layout() {
    if (!getHwnd())
        return;
    const int count = rows.rowCount();
    const int frame = frameHeight();
    const int needed = count * rowHeight + frame;
    const int twenty = kGrowRows * rowHeight + frame;
    // Grows with its rows up to twenty; from then on the user's height, within twenty rows and all.
    int height = count < kGrowRows ? needed : std::clamp<int>(userSize.cy, twenty, needed);
    // Fewer rows keep the window at twenty and show only its top: the next search's list then draws
    // in a window that did not change size.
    const int windowHeight = std::max(height, twenty);
    // With the strip near the bottom of the screen the rows open above it, when there is more room
    // there, and scroll when even that is too little. The window's hidden part then lies over the strip.
    above = false;
    RECT strip, work;
    if (stripAndWorkArea(strip, work) && height > work.bottom - strip.bottom &&
        strip.top - work.top > work.bottom - strip.bottom) {
        above = true;
        height = std::max(std::min<int>(height, strip.top - work.top), std::min(needed, rowHeight + frame));
    }
    RECT wanted = placement(windowHeight);
    if (above)
        ::OffsetRect(&wanted, 0, (strip.top - height) - wanted.top);
    RECT now;
    ::GetWindowRect(getHwnd(), &now);
    ::KillTimer(getHwnd(), kHideTimer);
    const bool shown = isOnScreen();
    const bool moved = !::EqualRect(&now, &wanted);
    // A hidden list, unmapped or by its region, needs no drawing yet; a shown one that shrinks must let what
    // it uncovers repaint.
    if (moved)
        ::SetWindowPos(getHwnd(), nullptr, wanted.left, wanted.top, wanted.right - wanted.left, windowHeight,
                       SWP_NOACTIVATE | SWP_NOZORDER | (shown ? 0 : SWP_NOREDRAW));
    setClip(height < windowHeight ? height : 0);
    // The rows are arranged for the new size before the window shows, so it shows them at once.
    arrangeRows();
    if (shown || suspended)
        return;
    if (isHiddenByRegion())
        showByRegion();
    else
        ::SetWindowPos(getHwnd(), HWND_TOPMOST, 0, 0, 0, 0,
                       SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
}

void VElementListCtrl::setShown(bool shown) {
    if (!getHwnd())
        return;
    if (shown)
        suspended = false;
    if (!shown) {
        ::KillTimer(getHwnd(), kHideTimer);
        actionList.close();
        putOutOfSight();
        return;
    }
    layout();
}

void VElementListCtrl::arrangeRows() {
    const int count = rows.rowCount();
    visibleRows = shownClientHeight() / std::max(rowHeight, 1);
    topIndex = std::clamp(topIndex, 0, std::max(0, count - visibleRows));
    bar.setShown(count > visibleRows);
    syncActionList();
    repaint();
}

int VElementListCtrl::shownClientHeight() const {
    RECT client;
    ::GetClientRect(getHwnd(), &client);
    // A clipped window shows its top border, the rows, and the bottom line the rows' painting draws.
    const int clip = getClip();
    return clip > 0 ? std::clamp<int>(clip - frameHeight(), 0, client.bottom) : client.bottom;
}

int VElementListCtrl::rowAt(int y) const {
    RECT client;
    ::GetClientRect(getHwnd(), &client);
    const int count = rows.getCount();
    // The bottom border is not client area, but our hit-testing gives it to the client.
    if (y >= client.bottom)
        return std::min(count, topIndex + visibleRows) - 1;
    const int index = topIndex + std::max(y, 0) / std::max(rowHeight, 1);
    return index < count ? index : NoRow;
}

LRESULT VElementListCtrl::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case UM_ICONSFETCHED:
        if (icons.takeArrivals())
            repaint();
        return 0;
    case WM_TIMER:
        if (wParam != kHideTimer)
            break;
        ::KillTimer(getHwnd(), kHideTimer);
        if (getCount() == 0)
            putOutOfSight();
        return 0;
    case WM_NCHITTEST: {
        // The grip is the corner away from the search window: the bottom right below it, the top
        // right above it. Hit anywhere in its square, the frame's few pixels included.
        POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ::ScreenToClient(getHwnd(), &at);
        const int border = frameHeight() / 2;
        RECT grip = VListScrollBar::grip(clientArea(), barSizes());
        if (above)
            grip.top -= border;
        else
            grip.bottom += border;
        grip.right += border;
        if (!::PtInRect(&grip, at))
            return HTCLIENT;
        return above ? HTTOPRIGHT : HTBOTTOMRIGHT;
    }
    case WM_ENTERSIZEMOVE:
        userSizing = true;
        return 0;
    case WM_EXITSIZEMOVE:
        userSizing = false;
        // Sizing moved the dragged corner; the list goes back against the search window at its new size.
        layout();
        return 0;
    case WM_GETMINMAXINFO: {
        if (!userSizing)
            break;
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        const int frame = frameHeight();
        const int all = rows.rowCount() * rowHeight + frame;
        const int least = 2 * metric(SM_CYVSCROLL) + frame + metric(SM_CYVTHUMB);
        RECT edit;
        ::GetWindowRect(anchor, &edit);
        limits->ptMinTrackSize = POINT{edit.right - edit.left, std::min(least, all)};
        limits->ptMaxTrackSize.y = std::max(all, static_cast<int>(limits->ptMinTrackSize.y));
        return 0;
    }
    case WM_SIZE:
        // Only a drag of the grip is the user's size; the first showing also reports a size.
        if (userSizing) {
            RECT r;
            ::GetWindowRect(getHwnd(), &r);
            userSize = SIZE{r.right - r.left, r.bottom - r.top};
            arrangeRows();
        }
        return 0;
    case WM_GETOBJECT:
        if (const LRESULT answered = accessibility.answer(getHwnd(), wParam, lParam))
            return answered;
        break;
    case WM_MOUSEWHEEL:
        // Sent here instead of to the focus window where Windows scrolls the window under the cursor.
        wheel(GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
    case WM_LBUTTONDOWN:
        barClick = barMouseDown(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_CAPTURECHANGED:
        if (bar.endDrag())
            repaint();
        return 0;
    case WM_MOUSEMOVE: {
        if (bar.isDragging()) {
            dragThumb(GET_Y_LPARAM(lParam));
            return 0;
        }
        POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ::ClientToScreen(getHwnd(), &at);
        const bool moved = at.x != lastMouse.x || at.y != lastMouse.y;
        lastMouse = at;
        const bool suppressed = suppressMouseMove;
        suppressMouseMove = false;
        if (!moved || suppressed ||
            (bar.isShown() && GET_X_LPARAM(lParam) >= VListScrollBar::track(clientArea(), barSizes()).left))
            return 0;
        const int row = rowAt(GET_Y_LPARAM(lParam));
        if (row != getSelectedIndex())
            choose(row, false);
        return 0;
    }
    case WM_LBUTTONUP:
        if (bar.isDragging()) {
            ::ReleaseCapture();
            return 0;
        }
        if (barClick) {
            barClick = false;
            return 0;
        }
        if (actionList.isOnScreen())
            actionList.close();
        else
            openActionList();
        return 0;
    case WM_LBUTTONDBLCLK: {
        if (barMouseDown(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)})) {
            barClick = true;
            return 0;
        }
        const int row = rowAt(GET_Y_LPARAM(lParam));
        if (row != NoRow) {
            choose(row, false);
            ::SendMessageA(owner, UM_ELEMENTCHOSEN, reinterpret_cast<WPARAM>(getSelectedElement()), 0);
        }
        return 0;
    }
    default:
        break;
    }
    return VListWindow::handleMessage(message, wParam, lParam);
}

bool VElementListCtrl::drawFileIcon(HDC dc, const VElement* element, const RECT& box) {
    const auto* file = VElementRows::isResult(element) ? dynamic_cast<const VFileResult*>(element) : nullptr;
    if (!file)
        return false;
    const int size = box.right - box.left;
    // A shell item's result brings the shell's own icon for it.
    HICON icon = file->getIcon();
    if (!icon) {
        const bool folder = file->isDir();
        icon = icons.lookup(file->getFile(), folder, size);
        if (!icon)
            icon = icons.generic(folder, size);
    }
    if (icon)
        ::DrawIconEx(dc, box.left, box.top, icon, size, box.bottom - box.top, 0, nullptr, DI_NORMAL);
    return true;
}

void VElementListCtrl::paint(HDC dc, const RECT& client) {
    const int iconWidth = metric(SM_CXSMICON);
    const int iconHeight = metric(SM_CYSMICON);
    const bool barVisible = isScrollBarVisible();
    const int right = client.right - (barVisible ? metric(SM_CXVSCROLL) : 0);
    const int count = rows.getCount();
    const uint64_t more = rows.getMore();
    const VListColors colors = listColors();
    for (int i = topIndex; i < count && (i - topIndex) * rowHeight < client.bottom; ++i) {
        const int top = (i - topIndex) * rowHeight;
        const RECT row{0, top, right, top + rowHeight};
        const bool isSelected = i == selected;
        const VElement* element = rows.getElement(i);
        ::SetTextColor(dc, fillRow(dc, row, i, isSelected, colors));
        const bool arrow = isSelected && VElementRows::isResult(element);
        const int textRight = right - px(2) - (arrow ? px(20) : 0);
        RECT icon{0, 0, 0, 0};
        int textLeft = px(2);
        if (showIcons) {
            const int iconTop = twoLines ? top + 1 : top + (rowHeight - iconHeight) / 2;
            icon = RECT{px(2), iconTop, px(2) + iconWidth, iconTop + iconHeight};
            textLeft = px(4) + iconWidth;
        }
        // File rows' icons come from the cache: the element's own drawing would ask the shell here.
        const bool elementIcon = showIcons && !drawFileIcon(dc, element, icon);
        if (twoLines) {
            // Each line takes half the row, so tall fonts are not cut off at the icon's height.
            const int half = (rowHeight - 2) / 2;
            const RECT line1{textLeft, top + 1, textRight, top + 1 + half};
            const RECT line2{textLeft, top + 1 + half, textRight, top + 1 + 2 * half};
            element->draw(dc, row, icon, line1, line2, isSelected, elementIcon);
        } else {
            const RECT line{textLeft, top + 1, textRight, row.bottom - 1};
            element->draw(dc, row, icon, line, isSelected, elementIcon);
        }
        if (arrow)
            drawArrow(dc, RECT{right - px(18), top + 1, right - px(2), top + 1 + iconHeight},
                      colors.highlightText);
    }
    const int moreTop = (count - topIndex) * rowHeight;
    if (more > 0 && count >= topIndex && moreTop < client.bottom) {
        const RECT row{0, moreTop, right, moreTop + rowHeight};
        fillRow(dc, row, count, false, colors);
        ::SetTextColor(dc, colors.grayText);
        VVerbinoxCore* core = VVerbinoxCore::instance();
        HFONT rowFont = twoLines ? core->getFont1() : core->getFont();
        HGDIOBJ oldFont = rowFont ? ::SelectObject(dc, rowFont) : nullptr;
        RECT text{px(4) + (showIcons ? iconWidth : 0), moreTop, right - px(2), moreTop + rowHeight};
        const std::wstring line = moreText(more);
        ::DrawTextW(dc, line.c_str(), static_cast<int>(line.size()), &text,
                    DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
        if (oldFont)
            ::SelectObject(dc, oldFont);
    }
    if (!rows.getNothingFound().empty() && count == 0 && more == 0 && topIndex == 0) {
        const RECT row{0, 0, right, rowHeight};
        fillRow(dc, row, 0, false, colors);
        paintNothingFound(dc, row, colors);
    }
    if (getClip() > 0) {
        // The region cuts off the window's own bottom border: the rows end on a line of the same colour.
        const int bottom = shownClientHeight();
        const RECT line{0, bottom, client.right, bottom + 1};
        ::FillRect(dc, &line, vx::themeBrush(dc, COLOR_WINDOWFRAME));
    }
    if (barVisible)
        bar.paint(dc, clientArea(), barSizes(), barView(), colors);
}
