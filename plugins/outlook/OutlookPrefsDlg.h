#pragma once
// "Outlook Preferences": what choosing a contact does, composing an e-mail or opening the contact.
#include "util/ModuleDialog.h"

#include <windows.h>

class OutlookPrefsDlg : public vx::CModuleDialog {
public:
    explicit OutlookPrefsDlg(int contactAction);

    // run gives IDOK when the dialog ended with OK (the choice is then taken), IDCANCEL otherwise.
    int getContactAction() const { return contactAction; }

private:
    BOOL onInit() override;
    void onOk() override;

    int contactAction;
};
