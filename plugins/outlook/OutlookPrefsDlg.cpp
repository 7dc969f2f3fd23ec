#include "OutlookPrefsDlg.h"

#include "OutlookPlugin.h"
#include "resource.h"

#include <commctrl.h>

OutlookPrefsDlg::OutlookPrefsDlg(int contactAction)
    : CModuleDialog(IDD_OUTLOOK_PREFS, ICC_STANDARD_CLASSES), contactAction(contactAction) {}

BOOL OutlookPrefsDlg::onInit() {
    HWND list = ::GetDlgItem(hwnd, IDC_CONTACT_ACTION);
    ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"New email to Contact"));
    ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Open Contact"));
    // A value written by hand outside the list shows as what it does: compose an e-mail.
    const int shown = contactAction == VOutlookPlugin::OpenContact ? 1 : 0;
    ::SendMessageW(list, CB_SETCURSEL, shown, 0);
    return TRUE;
}

void OutlookPrefsDlg::onOk() {
    const LRESULT chosen = ::SendDlgItemMessageW(hwnd, IDC_CONTACT_ACTION, CB_GETCURSEL, 0, 0);
    if (chosen != CB_ERR)
        contactAction = static_cast<int>(chosen);
}
