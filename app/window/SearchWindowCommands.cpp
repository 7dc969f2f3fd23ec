// The search window's commands: the menu button's and the tray's menus, what each of their items does
// and when it may, the maker's web pages, the About box and the check for a newer version.
#include "SearchWindow.h"

#include "AboutBox.h"
#include "Messages.h"
#include "SearchWindowInternal.h"
#include "engine/VVerbinoxCore.h"
#include "res/resource.h"
#include "util/Shell.h"

#include <memory>
#include <string>

using namespace searchwindow;

namespace {

bool isMenuCommandOfTheWeb(UINT id) {
    return id == ID_WEB_HOME || id == ID_WEB_HELP || id == ID_WEB_FORUMS;
}

} // namespace

bool CVerbinoxDlg::isCommandAvailable(UINT id) const {
    if (shutDown)
        return false;
    if (isMenuCommandOfTheWeb(id))
        return true;
    return !executing && !getOpenPreferences() && (!hwnd || ::IsWindowEnabled(hwnd));
}

void CVerbinoxDlg::onTrayLButtonDblClk(POINT) {
    reveal();
}

void CVerbinoxDlg::onTrayRButtonDown(POINT at) {
    if (!shutDown)
        CTrayIconOwner::onTrayRButtonDown(at);
}

void CVerbinoxDlg::prepareTrayMenu(HMENU popup) {
    for (int i = 0, n = ::GetMenuItemCount(popup); i < n; ++i) {
        const UINT id = ::GetMenuItemID(popup, i);
        if (id != static_cast<UINT>(-1) && id != 0)
            ::EnableMenuItem(popup, id, MF_BYCOMMAND | (isCommandAvailable(id) ? MF_ENABLED : MF_GRAYED));
    }
}

void CVerbinoxDlg::showMenu(UINT menuId, POINT at) {
    HMENU menu = ::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(menuId));
    if (!menu)
        return;
    HMENU popup = ::GetSubMenu(menu, 0);
    ::SetForegroundWindow(hwnd);
    ::TrackPopupMenu(popup, TPM_RIGHTBUTTON | TPM_RIGHTALIGN, at.x, at.y, 0, hwnd, nullptr);
    ::DestroyMenu(menu);
}

void CVerbinoxDlg::updateCache() {
    // The core counts a search as running until it is cancelled, also one that found everything long
    // ago: what runs is stopped, and each source rebuilds on its own thread. The window stays usable:
    // a search meanwhile is answered from the caches as they were.
    cancelSearch();
    list.clear();
    if (mode != ActionMode)
        mode = Idle;
    // The text goes with its results: an empty list under a text would say it found nothing.
    commandLine.setTextProgrammatically("");
    core->updateCache();
}

void CVerbinoxDlg::openWebPage(const char* path) {
    vx::shellOpen(std::string(kMakerUrl) + path);
}

void CVerbinoxDlg::showAbout() {
    // Nothing opens behind a dialog the user is reading.
    stopAwaiting();
    CAboutBox about;
    about.run(hwnd);
}

std::string CVerbinoxDlg::updateAddress() const {
    return updateServer.empty() ? std::string(kMakerUrl) : updateServer;
}

void CVerbinoxDlg::checkForUpdates(bool silent) {
    updates.start(hwnd, UM_UPDATEFETCHED, updateAddress(), update::ownVersion(), updateTimeout, silent);
}

void CVerbinoxDlg::onUpdateFetched(update::FetchResult* fetched) {
    std::unique_ptr<update::FetchResult> result(fetched);
    updates.finished();
    if (shutDown)
        return;
    // A silent check bothers the user only with a newer version.
    if (result->silent &&
        (!result->found || update::compareVersions(update::ownVersion(), result->line) >= 0))
        return;
    stopAwaiting();
    UpdateCheckDlg dialog(result->silent, settings.checkForUpdates);
    dialog.setLatest(result->found, result->line);
    dialog.setHomePage(updateAddress());
    if (dialog.run(hwnd) > 0)
        settings.checkForUpdates = dialog.getCheckAtStartup();
}

void CVerbinoxDlg::onCommand(UINT id) {
    // Greyed in the menus while a dialog is open; a second start still asks to be shown, and reveal
    // brings the dialog forward then.
    if (id != ID_TRAY_SHOW && !isCommandAvailable(id))
        return;
    // What opens now keeps the window: the end of the sign must not hide it under a dialog. (The edit
    // box's own notifications come here too, and must leave the sign alone.)
    if (id == ID_TRAY_UPDATECACHE || id == ID_TRAY_ABOUT || id == ID_TRAY_PREFERENCES)
        endSign(false);
    switch (id) {
    case ID_TRAY_SHOW:
        reveal();
        break;
    case ID_TRAY_HIDE:
        hideWindow();
        break;
    case ID_TRAY_UPDATECACHE:
        updateCache();
        break;
    case ID_TRAY_ABOUT:
        showAbout();
        break;
    case ID_TRAY_PREFERENCES:
        showPreferences();
        break;
    case ID_WEB_HOME:
        openWebPage("/");
        break;
    case ID_WEB_HELP:
        openWebPage("/docs/");
        break;
    case ID_WEB_FORUMS:
        openWebPage("/forum/");
        break;
    case ID_WEB_CHECKUPDATES:
        checkForUpdates(false);
        break;
    case ID_TRAY_EXIT:
        exit();
        break;
    case IDCANCEL:
        if (settings.autoHide)
            hideWindow();
        break;
    default:
        break;
    }
}
