#pragma once
// "Firefox Preferences": switches the bookmarks and the history indexer on and off. The boxes show
// which indexers exist; OK applies both, Cancel changes nothing. run gives IDOK or IDCANCEL.
#include "util/ModuleDialog.h"

#include <windows.h>

class VFirefoxPlugin;

class FirefoxPrefsDlg : public vx::CModuleDialog {
public:
    explicit FirefoxPrefsDlg(VFirefoxPlugin* plugin);

private:
    bool canOpen() const override { return plugin != nullptr; }
    BOOL onInit() override;
    void onOk() override;

    VFirefoxPlugin* plugin;
};
