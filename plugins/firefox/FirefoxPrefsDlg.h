#pragma once
// "Firefox Preferences": switches the bookmarks and the history indexer on and off. The boxes show
// which indexers exist; OK applies both, Cancel changes nothing. run gives IDOK or IDCANCEL.
#include "util/CheckGridDialog.h"

class VFirefoxPlugin;

class FirefoxPrefsDlg : public vx::CCheckGridDialog {
public:
    explicit FirefoxPrefsDlg(VFirefoxPlugin* plugin);

private:
    bool canOpen() const override { return plugin != nullptr; }
    std::vector<vx::CheckGridRow> rows() const override;
    void apply() override;

    VFirefoxPlugin* plugin;
};
