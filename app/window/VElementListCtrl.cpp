#include "VElementListCtrl.h"

#include "Messages.h"
#include "Theme.h"
#include "engine/VVerbinoxCore.h"
#include "model/VFileResult.h"
#include "model/VPreferences.h"
#include "util/SystemText.h"
#include "util/VxText.h"

#include <windowsx.h>

#include <algorithm>

namespace {

const int kGrowRows = 20;
// How long a list the next search emptied stays on the screen, blank, waiting for its first results.
const UINT_PTR kHideTimer = 1;
const UINT kHideDelayMs = 100;

using ReadLock = VReadLocked<VReaderWriterLock>;
using WriteLock = VWriteLocked<VReaderWriterLock>;

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

bool isResult(const VElement* element) {
    return element->getElementType() == VElement::ResultElement;
}

// Results are the list's; actions stay the core's.
void releaseResults(const std::vector<VElement*>& elements) {
    for (VElement* element : elements) {
        if (isResult(element))
            element->deleteThis();
    }
}

void releaseTwins(const std::map<const VElement*, std::vector<VResult*>>& twins) {
    for (const auto& row : twins) {
        for (VResult* twin : row.second)
            twin->deleteThis();
    }
}

// Where a result leads: its default property's type and value. Empty for a result without one, which
// then never shares a row.
std::string addressOf(const VResult* result) {
    if (result->getPropertyCount() == 0)
        return std::string();
    try {
        const VProperty* property = result->getDefaultProperty();
        if (!property)
            return std::string();
        return std::to_string(static_cast<int>(property->getPropertyType())) + '\n' + property->getValue();
    } catch (...) {
        // A plug-in's own default property may fail: the result keeps a row of its own.
        return std::string();
    }
}

uint64_t keyOf(const VElement* element) {
    return static_cast<const VResult*>(element)->getRankKey();
}

// The digit grouping of a locale's LOCALE_SGROUPING ("3;0", "3;2;0", "3") as NUMBERFMTW wants it
// (3, 32, 30): a trailing ";0" repeats the last group, no such end groups only once.
UINT groupingOf(const wchar_t* pattern) {
    std::wstring digits;
    for (const wchar_t* c = pattern; *c; ++c) {
        if (*c >= L'0' && *c <= L'9')
            digits += *c;
    }
    const std::size_t length = ::wcslen(pattern);
    if (length >= 2 && pattern[length - 2] == L';' && pattern[length - 1] == L'0')
        digits.pop_back();
    else
        digits += L'0';
    if (digits.empty() || digits.size() > 9)
        return 3;
    return static_cast<UINT>(std::stoul(digits));
}

} // namespace

VElementListCtrl::~VElementListCtrl() {
    // Joined before the window goes, so the worker posts to no window that is being destroyed.
    icons.stop();
    destroyWindow();
    releaseResults(elements);
    releaseTwins(twins);
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

bool VElementListCtrl::isRemembered(const VElement* element) const {
    if (rememberedPath.empty() || !isResult(element))
        return false;
    const auto* result = static_cast<const VResult*>(element);
    if (result->getPropertyCount() == 0)
        return false;
    const VProperty* first = result->getProperty(0);
    // The folder browser upper-cases the drive letter; Windows paths ignore case anyway.
    return first->isValid() && first->getPropertyType() == VProperty::FileType &&
           ::lstrcmpiA(first->getValue().c_str(), rememberedPath.c_str()) == 0;
}

int VElementListCtrl::append(VElement* const* added, int count, bool lookForRemembered) {
    WriteLock hold(lock);
    int remembered = NoRow;
    for (int i = 0; i < count; ++i) {
        if (!added[i])
            continue;
        elements.push_back(added[i]);
        if (lookForRemembered && isRemembered(added[i]))
            remembered = static_cast<int>(elements.size()) - 1;
    }
    return remembered;
}

void VElementListCtrl::place(VElement* const* added, int count) {
    const bool ranked = VVerbinoxCore::instance()->getRankResults();
    WriteLock hold(lock);
    VElement* kept = selected != NoRow ? elements[static_cast<std::size_t>(selected)] : nullptr;
    std::vector<VElement*> actions, arrived;
    // Rows whose result a better twin took over: the row moves to the twin's place.
    std::vector<const VElement*> replaced;
    for (int i = 0; i < count; ++i) {
        VElement* element = added[i];
        if (!element)
            continue;
        if (!isResult(element)) {
            actions.push_back(element);
            continue;
        }
        auto* result = static_cast<VResult*>(element);
        const std::string address = addressOf(result);
        const auto found = address.empty() ? addresses.end() : addresses.find(address);
        if (found == addresses.end()) {
            if (!address.empty())
                addresses.emplace(address, result);
            arrived.push_back(result);
            continue;
        }
        VResult* row = found->second;
        if (!ranked || result->getRankKey() <= row->getRankKey()) {
            twins[row].push_back(result);
            continue;
        }
        std::vector<VResult*> carried;
        const auto rowTwins = twins.find(row);
        if (rowTwins != twins.end()) {
            carried.swap(rowTwins->second);
            twins.erase(rowTwins);
        }
        carried.push_back(row);
        twins[result] = std::move(carried);
        found->second = result;
        replaced.push_back(row);
        arrived.push_back(result);
        if (kept == row)
            kept = result;
    }
    const auto gone = [&](const VElement* e) {
        return std::find(replaced.begin(), replaced.end(), e) != replaced.end();
    };
    std::vector<VElement*> rows;
    rows.reserve(elements.size() + actions.size() + arrived.size());
    for (VElement* element : elements) {
        if (!isResult(element))
            rows.push_back(element);
    }
    rows.insert(rows.end(), actions.begin(), actions.end());
    const std::size_t firstResult = rows.size();
    for (VElement* element : elements) {
        if (isResult(element) && !gone(element))
            rows.push_back(element);
    }
    for (VElement* element : arrived) {
        if (!gone(element))
            rows.push_back(element);
    }
    // Stable: equal keys keep the order they came in, the rows already shown first.
    if (ranked)
        std::stable_sort(rows.begin() + static_cast<std::ptrdiff_t>(firstResult), rows.end(),
                         [](const VElement* a, const VElement* b) { return keyOf(a) > keyOf(b); });
    elements.swap(rows);
    if (!kept)
        return;
    // Before the user chose, the selection follows the best row; after, it stays on its element, and
    // the view moves with it so the row keeps its place on the screen.
    if (!chosen && selected == 0)
        return;
    const int now = static_cast<int>(std::find(elements.begin(), elements.end(), kept) - elements.begin());
    topIndex = std::max(topIndex + now - selected, 0);
    selected = now;
}

void VElementListCtrl::addElement(VElement* element) {
    if (!element)
        return;
    place(&element, 1);
    // The first action of a keyword search is what Enter runs; a result that comes alone takes no
    // selection.
    afterAdding(!isResult(element) && getSelectedIndex() == NoRow ? 0 : NoRow, false);
}

void VElementListCtrl::addElements(VElement* const* added, int count) {
    place(added, std::max(count, 0));
    afterAdding(NoRow, true);
}

void VElementListCtrl::addMore(uint64_t count) {
    if (count == 0)
        return;
    {
        WriteLock hold(lock);
        more = count > UINT64_MAX - more ? UINT64_MAX : more + count;
    }
    afterAdding(NoRow, false);
}

uint64_t VElementListCtrl::getMoreCount() const {
    ReadLock hold(lock);
    return more;
}

std::wstring VElementListCtrl::moreText(uint64_t count) {
    const std::wstring digits = std::to_wstring(count);
    wchar_t separator[8] = L",";
    if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8) == 0)
        ::lstrcpyW(separator, L",");
    wchar_t pattern[16] = L"3;0";
    if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SGROUPING, pattern, 16) == 0)
        ::lstrcpyW(pattern, L"3;0");
    wchar_t decimal[] = L".";
    NUMBERFMTW format{0, 0, groupingOf(pattern), decimal, separator, 1};
    wchar_t grouped[64];
    if (::GetNumberFormatW(LOCALE_USER_DEFAULT, 0, digits.c_str(), &format, grouped, 64) > 0)
        return L"and " + std::wstring(grouped) + L" more";
    std::wstring plain;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            plain += L',';
        plain += digits[i];
    }
    return L"and " + plain + L" more";
}

void VElementListCtrl::showNothingFound(const std::string& text, const std::vector<std::string>& sources) {
    {
        WriteLock hold(lock);
        if (!elements.empty() || more > 0)
            return;
        nothingFound = L"No results for " + vx::widened(text);
        nothingSearched.clear();
        for (const std::string& source : sources)
            nothingSearched += (nothingSearched.empty() ? L"Searched: " : L", ") + vx::widened(source);
        selected = NoRow;
    }
    afterAdding(NoRow, false);
    repaint();
}

void VElementListCtrl::withdrawNothingFound() {
    bool empty = false;
    {
        WriteLock hold(lock);
        if (nothingFound.empty())
            return;
        nothingFound.clear();
        nothingSearched.clear();
        empty = rowCount() == 0;
    }
    if (empty && !keptShown)
        putOutOfSight();
    else
        layout();
}

std::wstring VElementListCtrl::getNothingFoundText() const {
    ReadLock hold(lock);
    if (nothingFound.empty())
        return std::wstring();
    return nothingSearched.empty() ? nothingFound : nothingFound + L"\n" + nothingSearched;
}

void VElementListCtrl::paintNothingFound(HDC dc, const RECT& row, const VListColors& colors) const {
    VVerbinoxCore* core = VVerbinoxCore::instance();
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
    const int remembered = append(added.data(), count, true);
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
    int rows = 0;
    {
        ReadLock hold(lock);
        rows = rowCount();
    }
    if (!getHwnd() || rows == 0)
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
    std::vector<VElement*> old;
    std::map<const VElement*, std::vector<VResult*>> oldTwins;
    {
        WriteLock hold(lock);
        old.swap(elements);
        oldTwins.swap(twins);
        addresses.clear();
        more = 0;
        nothingFound.clear();
        nothingSearched.clear();
        wheelRest = 0;
        selected = NoRow;
        chosen = false;
        topIndex = 0;
        if (filesMode) {
            filesMode = false;
            twoLines = savedTwoLines;
            rowHeight = computeRowHeight(twoLines);
        }
    }
    if (!keptShown)
        putOutOfSight();
    if (getHwnd())
        accessibility.rowsChanged(getHwnd());
    accessibility.forget();
    releaseResults(old);
    releaseTwins(oldTwins);
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

VElement* VElementListCtrl::getElement(int index) const {
    ReadLock hold(lock);
    return index >= 0 && index < static_cast<int>(elements.size()) ? elements[static_cast<std::size_t>(index)]
                                                                   : nullptr;
}

std::vector<VResult*> VElementListCtrl::getTwins(int index) const {
    ReadLock hold(lock);
    if (index < 0 || index >= static_cast<int>(elements.size()))
        return {};
    const auto found = twins.find(elements[static_cast<std::size_t>(index)]);
    return found != twins.end() ? found->second : std::vector<VResult*>();
}

VElement* VElementListCtrl::getSelectedElement() const {
    ReadLock hold(lock);
    return selected == NoRow ? nullptr : elements[static_cast<std::size_t>(selected)];
}

int VElementListCtrl::getSelectedIndex() const {
    ReadLock hold(lock);
    return selected;
}

int VElementListCtrl::getCount() const {
    ReadLock hold(lock);
    return static_cast<int>(elements.size());
}

int VElementListCtrl::getTopIndex() const {
    ReadLock hold(lock);
    return topIndex;
}

bool VElementListCtrl::isScrollBarVisible() const {
    return barShown;
}

RECT VElementListCtrl::barRect() const {
    RECT client;
    ::GetClientRect(getHwnd(), &client);
    // The bottom square below the bar is the size grip.
    return RECT{client.right - metric(SM_CXVSCROLL), 0, client.right,
                std::max<LONG>(client.bottom - metric(SM_CYHSCROLL), 0)};
}

RECT VElementListCtrl::thumbRect(const RECT& bar, int count, int top) const {
    const int track = bar.bottom - bar.top;
    const int rows = std::max(visibleRows, 1);
    const int height = std::min(track, std::max(track * rows / std::max(count, 1), px(16)));
    const int range = std::max(count - rows, 1);
    const int offset = (track - height) * std::clamp(top, 0, range) / range;
    return RECT{bar.left, bar.top + offset, bar.right, bar.top + offset + height};
}

bool VElementListCtrl::barMouseDown(POINT at) {
    if (!barShown)
        return false;
    const RECT bar = barRect();
    if (!::PtInRect(&bar, at))
        return false;
    int count = 0;
    {
        ReadLock hold(lock);
        count = rowCount();
    }
    const int top = getTopIndex();
    const RECT thumb = thumbRect(bar, count, top);
    if (at.y >= thumb.top && at.y < thumb.bottom) {
        dragFromY = at.y;
        dragFromTop = top;
        draggingThumb = true;
        ::SetCapture(getHwnd());
        repaint();
    } else {
        // A click on the track pages towards it, as a scroll bar's does.
        const int page = std::max(visibleRows, 1);
        scrollTo(at.y < thumb.top ? top - page : top + page);
    }
    return true;
}

void VElementListCtrl::dragThumb(int y) {
    const RECT bar = barRect();
    int count = 0;
    {
        ReadLock hold(lock);
        count = rowCount();
    }
    const RECT thumb = thumbRect(bar, count, dragFromTop);
    const int travel = std::max<int>((bar.bottom - bar.top) - (thumb.bottom - thumb.top), 1);
    const int range = std::max(count - std::max(visibleRows, 1), 0);
    scrollTo(dragFromTop + ::MulDiv(y - dragFromY, range, travel));
}

VResult* VElementListCtrl::selectedResult() const {
    VElement* element = getSelectedElement();
    return element && isResult(element) ? static_cast<VResult*>(element) : nullptr;
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
    WriteLock hold(lock);
    const int count = static_cast<int>(elements.size());
    selected = index >= 0 && index < count ? index : NoRow;
    if (scrollIntoView && selected != NoRow && visibleRows > 0) {
        if (selected < topIndex)
            topIndex = selected;
        else if (selected >= topIndex + visibleRows)
            topIndex = selected - visibleRows + 1;
    }
}

void VElementListCtrl::scrollTo(int top) {
    {
        WriteLock hold(lock);
        top = std::clamp(top, 0, std::max(0, rowCount() - visibleRows));
        if (top == topIndex)
            return;
        topIndex = top;
    }
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
    int row = NoRow;
    const VElement* element = nullptr;
    {
        ReadLock hold(lock);
        row = selected;
        element = row != NoRow ? elements[static_cast<std::size_t>(row)] : nullptr;
    }
    accessibility.announce(getHwnd(), row, element, anchor);
}

int VElementListCtrl::accessibleRowCount() const {
    ReadLock hold(lock);
    return rowCount();
}

std::wstring VElementListCtrl::accessibleRowName(int index) const {
    ReadLock hold(lock);
    if (index == static_cast<int>(elements.size()))
        return more > 0 ? moreText(more) : std::wstring();
    if (index < 0 || index > static_cast<int>(elements.size()))
        return std::wstring();
    const VElement* element = elements[static_cast<std::size_t>(index)];
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
    int count = 0;
    {
        ReadLock hold(lock);
        count = rowCount();
    }
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
    const int shown = shownClientHeight();
    int count = 0;
    {
        WriteLock hold(lock);
        count = rowCount();
        visibleRows = shown / std::max(rowHeight, 1);
        topIndex = std::clamp(topIndex, 0, std::max(0, count - visibleRows));
    }
    // The scroll bar is drawn with the rows: Wine's scroll-bar control takes 5 to 10 ms for each of its
    // paints, several times what the whole buffered list costs.
    barShown = count > visibleRows;
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
    ReadLock hold(lock);
    const int count = static_cast<int>(elements.size());
    // The bottom border is not client area, but our hit-testing gives it to the client.
    if (y >= client.bottom)
        return std::min(count, topIndex + visibleRows) - 1;
    const int index = topIndex + std::max(y, 0) / std::max(rowHeight, 1);
    return index < count ? index : NoRow;
}

void VElementListCtrl::syncActionList() {
    if (!actionList.isOnScreen())
        return;
    VResult* result = selectedResult();
    const int shown = getSelectedIndex() - getTopIndex();
    if (!result || shown < 0 || shown >= visibleRows)
        actionList.close();
    else if (actionList.getResult() == result)
        actionList.moveBeside(rowOnScreen(shown * rowHeight, rowHeight));
    else
        actionList.open(result, rowOnScreen(shown * rowHeight, rowHeight));
}

void VElementListCtrl::openActionList() {
    if (VResult* result = selectedResult()) {
        setSelection(getSelectedIndex(), true);
        const int shown = getSelectedIndex() - getTopIndex();
        actionList.open(result, rowOnScreen(shown * rowHeight, rowHeight));
    }
}

bool VElementListCtrl::key(UINT key) {
    switch (key) {
    case VK_PRIOR:
    case VK_NEXT:
    case VK_HOME:
    case VK_END:
    case VK_UP:
    case VK_DOWN: {
        // Nothing to move through: Home and End move the caret in the edit box instead.
        if (!isOnScreen() || getCount() == 0)
            return false;
        if (actionList.isOnScreen())
            return actionList.key(key);
        const int count = getCount();
        const int page = std::max(visibleRows, 1);
        const int current = getSelectedIndex();
        int next = current;
        if (key == VK_PRIOR)
            next = std::max(current - page, 0);
        else if (key == VK_NEXT)
            next = std::min(current + page, count - 1);
        else if (key == VK_HOME)
            next = 0;
        else if (key == VK_END)
            next = count - 1;
        else if (key == VK_UP)
            next = current == 0 ? NoRow : current == NoRow ? count - 1 : current - 1;
        else
            next = current == count - 1 ? NoRow : current + 1;
        suppressMouseMove = true;
        choose(next, true);
        return true;
    }
    case VK_RETURN:
        return actionList.key(key) || enter();
    case VK_LEFT:
    case VK_RIGHT:
        return browse(key);
    case VK_TAB:
        if (actionList.key(key))
            return true;
        if (actionList.isOnScreen() || !selectedResult())
            return false;
        openActionList();
        return true;
    case VK_ESCAPE:
        if (actionList.key(key))
            return true;
        if (!actionList.isOnScreen())
            return false;
        actionList.close();
        // Back from the pop-up to the row it was opened for.
        accessibility.forget();
        announceSelection();
        return true;
    case VK_APPS: {
        VResult* result = isOnScreen() ? selectedResult() : nullptr;
        if (!result)
            return false;
        // The key's release brings a WM_CONTEXTMENU too: the pop-up already open stays as it is.
        if (!actionList.isOnScreen() || actionList.getResult() != result)
            openActionList();
        return true;
    }
    default:
        return false;
    }
}

bool VElementListCtrl::wheel(int delta) {
    int count = 0;
    {
        ReadLock hold(lock);
        count = rowCount();
    }
    if (!isOnScreen() || count == 0)
        return false;
    UINT lines = 3;
    if (!::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0))
        lines = 3;
    const int page = std::max(visibleRows, 1);
    const int perNotch = lines == WHEEL_PAGESCROLL ? page : std::min(static_cast<int>(lines), page);
    if (perNotch <= 0)
        return true;
    // A turn the other way starts afresh.
    if ((wheelRest < 0 && delta > 0) || (wheelRest > 0 && delta < 0))
        wheelRest = 0;
    wheelRest += delta;
    const int rows = wheelRest * perNotch / WHEEL_DELTA;
    if (rows == 0)
        return true;
    wheelRest -= rows * WHEEL_DELTA / perNotch;
    scrollTo(getTopIndex() - rows);
    return true;
}

bool VElementListCtrl::enter() {
    VElement* element = getSelectedElement();
    if (!element)
        return false;
    auto* file = isResult(element) ? dynamic_cast<VFileResult*>(element) : nullptr;
    if (file && browser && ::GetKeyState(VK_CONTROL) < 0) {
        // Control+Enter lists the file's folder with the file selected in it.
        rememberedPath = file->getFile();
        browser->setEditText(file->getPath().GetLocation());
        return true;
    }
    // The search window may clear the list while it handles this: the element is not read after.
    ::SendMessageA(owner, UM_ELEMENTCHOSEN, reinterpret_cast<WPARAM>(element), 0);
    return true;
}

bool VElementListCtrl::browse(UINT key) {
    VElement* element = getSelectedElement();
    auto* file = element && isResult(element) ? dynamic_cast<VFileResult*>(element) : nullptr;
    if (!file || !browser || !browser->isBrowseMode())
        return false;
    if (key == VK_RIGHT) {
        if (!file->isDir())
            return false;
        rememberedPath = file->getFile();
        browser->setEditText(rememberedPath);
        return true;
    }
    const CPath typed(vx::windowText(anchor));
    const int depth = typed.GetDirCount();
    if (depth == 0)
        return false;
    std::string up = typed.GetDrive() + "\\";
    for (int i = 0; i + 1 < depth; ++i)
        up += typed.GetDir(i) + "\\";
    // The folder being left is selected again once its parent is listed.
    rememberedPath = typed.GetLocation();
    browser->setEditText(up);
    return true;
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
        RECT r;
        ::GetWindowRect(getHwnd(), &r);
        const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        const bool grip = at.x >= r.right - metric(SM_CXVSCROLL) && at.y >= r.bottom - metric(SM_CYHSCROLL);
        return grip ? HTBOTTOMRIGHT : HTCLIENT;
    }
    case WM_ENTERSIZEMOVE:
    case WM_EXITSIZEMOVE:
        userSizing = message == WM_ENTERSIZEMOVE;
        return 0;
    case WM_GETMINMAXINFO: {
        if (!userSizing)
            break;
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        const int frame = frameHeight();
        int rows = 0;
        {
            ReadLock hold(lock);
            rows = rowCount();
        }
        const int all = rows * rowHeight + frame;
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
        if (draggingThumb) {
            draggingThumb = false;
            repaint();
        }
        return 0;
    case WM_MOUSEMOVE: {
        if (draggingThumb) {
            dragThumb(GET_Y_LPARAM(lParam));
            return 0;
        }
        POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ::ClientToScreen(getHwnd(), &at);
        const bool moved = at.x != lastMouse.x || at.y != lastMouse.y;
        lastMouse = at;
        const bool suppressed = suppressMouseMove;
        suppressMouseMove = false;
        const RECT bar = barRect();
        if (!moved || suppressed || (barShown && GET_X_LPARAM(lParam) >= bar.left))
            return 0;
        const int row = rowAt(GET_Y_LPARAM(lParam));
        if (row != getSelectedIndex())
            choose(row, false);
        return 0;
    }
    case WM_LBUTTONUP:
        if (draggingThumb) {
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

void VElementListCtrl::paintGrip(HDC dc, const RECT& grip) const {
    static const int colors[3] = {COLOR_WINDOW, COLOR_BTNFACE, COLOR_BTNSHADOW};
    const int size = grip.right - grip.left;
    HGDIOBJ oldPen = ::SelectObject(dc, ::GetStockObject(DC_PEN));
    for (int i = 0; i < 20; ++i) {
        const int offset = i * size / 20;
        ::SetDCPenColor(dc, vx::themeColor(colors[i % 3]));
        ::MoveToEx(dc, grip.left + offset, grip.bottom, nullptr);
        ::LineTo(dc, grip.right, grip.top + offset);
    }
    ::SelectObject(dc, oldPen);
}

bool VElementListCtrl::drawFileIcon(HDC dc, const VElement* element, const RECT& box) {
    const auto* file = isResult(element) ? dynamic_cast<const VFileResult*>(element) : nullptr;
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
    ReadLock hold(lock);
    const int iconWidth = metric(SM_CXSMICON);
    const int iconHeight = metric(SM_CYSMICON);
    const bool bar = isScrollBarVisible();
    const int right = client.right - (bar ? metric(SM_CXVSCROLL) : 0);
    const int count = static_cast<int>(elements.size());
    const VListColors colors = listColors();
    for (int i = topIndex; i < count && (i - topIndex) * rowHeight < client.bottom; ++i) {
        const int top = (i - topIndex) * rowHeight;
        const RECT row{0, top, right, top + rowHeight};
        const bool isSelected = i == selected;
        const VElement* element = elements[static_cast<std::size_t>(i)];
        ::SetTextColor(dc, fillRow(dc, row, i, isSelected, colors));
        const bool arrow = isSelected && isResult(element);
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
    if (!nothingFound.empty() && count == 0 && more == 0 && topIndex == 0) {
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
    if (bar) {
        const RECT track = barRect();
        ::SetDCBrushColor(dc, colors.track);
        ::FillRect(dc, &track, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
        RECT thumb = thumbRect(track, rowCount(), topIndex);
        ::InflateRect(&thumb, -px(3), -px(1));
        ::SetDCBrushColor(dc, draggingThumb ? colors.thumbDragged : colors.thumb);
        ::FillRect(dc, &thumb, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
        const int size = metric(SM_CXVSCROLL);
        paintGrip(
            dc, RECT{client.right - size, client.bottom - metric(SM_CYHSCROLL), client.right, client.bottom});
    }
}
