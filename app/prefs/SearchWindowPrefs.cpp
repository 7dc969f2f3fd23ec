// The search window's side of the preferences sheet: opening it safely and taking its settings.
#include "PrefsSheet.h"
#include "window/SearchWindow.h"
#include "Startup.h"
#include "engine/VIndexer.h"
#include "engine/VVerbinoxCore.h"

#include <algorithm>

// Here, where the sheet's type is complete: the constructor may have to destroy the member that owns it.
CVerbinoxDlg::CVerbinoxDlg() = default;

void CVerbinoxDlg::stopForPreferences() {
    commandLine.stopTypingTimer();
    cancelSearch();
    // Joined, not only told: a plug-in's dialog may unregister and destroy an indexer whose worker
    // would otherwise still be delivering.
    core->stopAllWorkers();
    queue->discard();
    // The list and action mode hold actions by pointer, and a plug-in may re-create its actions.
    if (mode == ActionMode) {
        leaveActionMode();
        commandLine.setTextProgrammatically("");
    }
    list.clear();
    mode = Idle;
}

PrefsSheet* CVerbinoxDlg::getOpenPreferences() const {
    return prefsSheet && prefsSheet->getHwnd() ? prefsSheet.get() : nullptr;
}

void CVerbinoxDlg::showPreferences() {
    if (PrefsSheet* open = getOpenPreferences()) {
        ::SetForegroundWindow(open->getHwnd());
        return;
    }
    stopForPreferences();
    prefsSheet.reset(new PrefsSheet(this));
    prefsSheet->run(hwnd);
    prefsSheet.reset();
}

PrefsSheet* CVerbinoxDlg::createPreferences() {
    if (PrefsSheet* open = getOpenPreferences())
        return open;
    stopForPreferences();
    prefsSheet.reset(new PrefsSheet(this));
    if (!prefsSheet->create(hwnd)) {
        prefsSheet.reset();
        return nullptr;
    }
    return prefsSheet.get();
}

void CVerbinoxDlg::closePreferences() {
    if (PrefsSheet* open = getOpenPreferences())
        open->cancel();
}

void CVerbinoxDlg::setAutoHide(bool value) {
    if (value == settings.autoHide)
        return;
    settings.autoHide = value;
    if (value) {
        hideWindow();
    } else {
        showWindow();
    }
}

void CVerbinoxDlg::setAlwaysShowList(bool value) {
    if (value == settings.alwaysShowList)
        return;
    settings.alwaysShowList = value;
    if (value && ::IsWindowVisible(hwnd))
        list.setShown(true);
    else if (!value && list.getCount() == 0)
        list.setShown(false);
}

void CVerbinoxDlg::setBoxFontSize(int points) {
    points = std::clamp(points, VWindowSettings::kMinBoxFontSize, VWindowSettings::kMaxBoxFontSize);
    if (points == settings.boxFontSize)
        return;
    settings.boxFontSize = points;
    applyBoxFont();
}

bool CVerbinoxDlg::changeHotKey(UINT key, UINT modifiers) {
    const UINT oldKey = settings.hotKey, oldModifiers = settings.hotKeyModifier;
    if (key == oldKey && modifiers == oldModifiers && hotKeyRegistered)
        return true;
    UINT wanted = modifiers;
    if (startup::registerHotKey(hwnd, wanted, key, false)) {
        settings.hotKey = key;
        settings.hotKeyModifier = modifiers;
        hotKeyRegistered = true;
        return true;
    }
    // Taken by another program: the old combination was ours a moment ago, so it is had back.
    UINT previous = oldModifiers;
    hotKeyRegistered = startup::registerHotKey(hwnd, previous, oldKey, false);
    return false;
}
