#pragma once
// "Chromium Preferences": switches each browser's bookmarks and history on and off, one row per browser.
// The rows of browsers that are not installed are greyed, showing their saved settings. OK applies
// every row, Cancel changes nothing. run gives IDOK or IDCANCEL.
#include "util/ModuleDialog.h"

#include <windows.h>

class VChromiumPlugin;

class ChromiumPrefsDlg : public vx::CModuleDialog {
public:
    explicit ChromiumPrefsDlg(VChromiumPlugin* plugin);

private:
    bool canOpen() const override { return plugin != nullptr; }
    BOOL onInit() override;
    void onOk() override;

    VChromiumPlugin* plugin;
};
