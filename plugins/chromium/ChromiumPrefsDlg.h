#pragma once
// "Chromium Preferences": switches each browser's bookmarks and history on and off, one row per browser.
// The rows of browsers that are not installed are greyed, showing their saved settings. OK applies
// every row, Cancel changes nothing. run gives IDOK or IDCANCEL.
#include "util/CheckGridDialog.h"

class VChromiumPlugin;

class ChromiumPrefsDlg : public vx::CCheckGridDialog {
public:
    explicit ChromiumPrefsDlg(VChromiumPlugin* plugin);

private:
    bool canOpen() const override { return plugin != nullptr; }
    std::vector<vx::CheckGridRow> rows() const override;
    void apply() override;

    VChromiumPlugin* plugin;
};
