// The "Update Check" dialog: shows what the check found, opens the home page on "Yes", and keeps the
// "check at start-up" switch.
#include "UpdateCheckDlg.h"

#include "res/resource.h"
#include "util/Shell.h"
#include "util/SystemText.h"

#include <commctrl.h>

namespace {

void showMessageBox(HWND owner, const char* text, UINT type) {
    vx::messageBox(owner, text, "Verbinox", type);
}
UpdateCheckDlg::MessageHook messageHook = &showMessageBox;

} // namespace

UpdateCheckDlg::UpdateCheckDlg(bool silent, bool checkAtStartup)
    : CModuleDialog(IDD_UPDATECHECK, ICC_STANDARD_CLASSES), silent(silent), checkAtStartup(checkAtStartup),
      own(update::ownVersion()) {}

UpdateCheckDlg::MessageHook UpdateCheckDlg::setMessageHook(MessageHook hook) {
    MessageHook previous = messageHook;
    messageHook = hook ? hook : &showMessageBox;
    return previous;
}

bool UpdateCheckDlg::create(HWND owner) {
    HWND window = CModuleDialog::create(owner, false);
    if (!window)
        return false;
    if (closed) {
        ::DestroyWindow(window);
        return false;
    }
    return true;
}

void UpdateCheckDlg::close(INT_PTR value) {
    result = value;
    closed = true;
    // A modeless dialog destroyed inside WM_INITDIALOG would leave CreateDialog a dead window: while it
    // is being created, create() destroys it.
    if (isModal() || !initialising)
        end(value);
}

INT_PTR UpdateCheckDlg::handle(UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_COMMAND)
        return FALSE;
    if (LOWORD(wParam) == IDOK) {
        checkAtStartup = ::IsDlgButtonChecked(hwnd, IDC_UPDATE_ATSTARTUP) == BST_CHECKED;
        if (openHomePage)
            vx::shellOpen(homePage);
        close(IDOK);
        return TRUE;
    }
    if (LOWORD(wParam) == IDCANCEL) {
        close(IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

BOOL UpdateCheckDlg::onInit() {
    initialising = true;
    ::CheckDlgButton(hwnd, IDC_UPDATE_ATSTARTUP, checkAtStartup ? BST_CHECKED : BST_UNCHECKED);
    if (!found || latest.empty()) {
        if (!silent)
            messageHook(::GetWindow(hwnd, GW_OWNER), "Could not get latest version info",
                        MB_OK | MB_ICONERROR);
        close(1);
    } else {
        vx::setDlgItemText(hwnd, IDC_UPDATE_OWNVERSION, own);
        vx::setDlgItemText(hwnd, IDC_UPDATE_LATESTVERSION, latest);
        const int order = update::compareVersions(own, latest);
        if (order < 0) {
            openHomePage = true;
        } else if (silent) {
            close(1);
        } else {
            vx::setDlgItemText(hwnd, IDC_UPDATE_MESSAGE,
                               order == 0 ? "You already have the latest version"
                                          : "Your version is newer than the latest version!");
            vx::setDlgItemText(hwnd, IDOK, "OK");
            ::EnableWindow(::GetDlgItem(hwnd, IDCANCEL), FALSE);
        }
    }
    initialising = false;
    return TRUE;
}
