#pragma once
// "Outlook Preferences": what choosing a contact does, composing an e-mail or opening the contact.
#include <windows.h>

class OutlookPrefsDlg {
public:
    explicit OutlookPrefsDlg(int contactAction) : contactAction(contactAction) {}

    // Runs the dialog modally: IDOK when it ended with OK (the choice is then taken), IDCANCEL otherwise.
    INT_PTR run(HWND parent);
    int getContactAction() const { return contactAction; }

private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    int contactAction;
};
