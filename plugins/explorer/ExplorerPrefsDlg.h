#pragma once
// "Explorer Preferences": whether the favorites and the history are searched. OK switches the indexers
// as the boxes say; Cancel changes nothing.
#include "util/CheckGridDialog.h"

class VExplorerPlugin;

class ExplorerPrefsDlg : public vx::CCheckGridDialog {
public:
    explicit ExplorerPrefsDlg(VExplorerPlugin* plugin);

private:
    bool canOpen() const override { return plugin != nullptr; }
    std::vector<vx::CheckGridRow> rows() const override;
    void apply() override;

    VExplorerPlugin* plugin;
};
