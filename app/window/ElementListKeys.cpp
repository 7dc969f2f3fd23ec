// The results list's keys: moving the selection, the wheel, Enter, browsing folders with Left and
// Right, and the action pop-up that follows the selection.
#include "VElementListCtrl.h"

#include "Messages.h"
#include "model/VFileResult.h"
#include "util/SystemText.h"

#include <algorithm>

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
    if (!isOnScreen() || rows.rowCount() == 0)
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
    auto* file = VElementRows::isResult(element) ? dynamic_cast<VFileResult*>(element) : nullptr;
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
    auto* file = element && VElementRows::isResult(element) ? dynamic_cast<VFileResult*>(element) : nullptr;
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
