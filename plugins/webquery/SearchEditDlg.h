#pragma once
// "Edit Search": name, keyword, addresses, description and icon of one search.
#include "util/ModuleDialog.h"

#include <windows.h>

#include <string>

class VWebqueryPlugin;
class VSearchAction;

class SearchEditDlg : public vx::CModuleDialog {
public:
    SearchEditDlg(VWebqueryPlugin* plugin, VSearchAction* action);

    // Whether the editor was left with OK.
    bool isAccepted() const { return accepted; }

private:
    bool canOpen() const override;
    BOOL onInit() override;
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam) override;
    void fillIcons();
    void updateButtons();
    void test();
    void apply();
    void close(int result);
    std::string text(int control) const;

    VWebqueryPlugin* plugin;
    VSearchAction* action;
    bool accepted = false;
};
