#pragma once
// "Plugins": the loaded plug-ins with their icons, descriptions and authors; "Configure..." opens a
// plug-in's own preferences dialog, which applies its changes at once.
#include "PrefsSheet.h"
#include "util/Win32Handle.h"

class VPlugin;

class PrefsPagePlugins : public PrefsPage {
public:
    PrefsPagePlugins(CVerbinoxDlg* window, PrefsSheet* sheet);

    int getRowCount() const;
    // The row of the plug-in with that name, or -1.
    int findRow(const std::string& name) const;
    void selectRow(int row);
    // "Configure...": the selected plug-in's own dialog, when it has one.
    void configure();

private:
    void onInitPage() override;
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam) override;
    VPlugin* selectedPlugin() const;

    PrefsSheet* sheet;
    vx::CImageListHandle images;
};
