#pragma once
// "Explorer Preferences": whether the favorites and the history are searched. OK switches the indexers
// as the boxes say; Cancel changes nothing.
#include "util/ModuleDialog.h"

#include <windows.h>

class VExplorerPlugin;

class ExplorerPrefsDlg : public vx::CModuleDialog {
public:
    explicit ExplorerPrefsDlg(VExplorerPlugin* plugin);

private:
    bool canOpen() const override { return plugin != nullptr; }
    BOOL onInit() override;
    void onOk() override;

    VExplorerPlugin* plugin;
};
