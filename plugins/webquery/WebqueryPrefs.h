#pragma once
// "Search Preferences": the plug-in's searches in a list, each added, deleted or edited at once.
#include "util/ModuleDialog.h"

#include <windows.h>

class VWebqueryPlugin;
class VSearchAction;

class WebqueryPrefs : public vx::CModuleDialog {
public:
    explicit WebqueryPrefs(VWebqueryPlugin* plugin);

    HWND getList() const;

    // The buttons' work, also reached through their commands.
    void addSearch();
    void deleteSearch();
    void editSearch();
    // The search of the selected row, or null.
    VSearchAction* getSelectedAction() const;

private:
    bool canOpen() const override;
    BOOL onInit() override;
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam) override;
    void insertRow(int row, VSearchAction* action);
    void refreshRow(int row);
    void updateButtons();
    int selectedRow() const;
    VSearchAction* actionOfRow(int row) const;

    VWebqueryPlugin* plugin;
};
