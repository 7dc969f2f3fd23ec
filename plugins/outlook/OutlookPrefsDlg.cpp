#include "OutlookPrefsDlg.h"

#include "OutlookModule.h"
#include "util/ThisModule.h"
#include "OutlookPlugin.h"
#include "resource.h"

INT_PTR OutlookPrefsDlg::run(HWND parent) {
    return ::DialogBoxParamA(vx::thisModule(), MAKEINTRESOURCEA(IDD_OUTLOOK_PREFS), parent,
                             &OutlookPrefsDlg::dialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK OutlookPrefsDlg::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
        auto* self = reinterpret_cast<OutlookPrefsDlg*>(lParam);
        HWND list = ::GetDlgItem(window, IDC_CONTACT_ACTION);
        ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"New email to Contact"));
        ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Open Contact"));
        // A value written by hand outside the list shows as what it does: compose an e-mail.
        const int shown = self->contactAction == VOutlookPlugin::OpenContact ? 1 : 0;
        ::SendMessageA(list, CB_SETCURSEL, shown, 0);
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    auto* self = reinterpret_cast<OutlookPrefsDlg*>(::GetWindowLongPtrA(window, DWLP_USER));
    switch (LOWORD(wParam)) {
    case IDOK: {
        LRESULT chosen = ::SendDlgItemMessageA(window, IDC_CONTACT_ACTION, CB_GETCURSEL, 0, 0);
        if (self && chosen != CB_ERR)
            self->contactAction = static_cast<int>(chosen);
        ::EndDialog(window, IDOK);
        return TRUE;
    }
    case IDCANCEL:
        ::EndDialog(window, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}
