#pragma once
// "Shortcuts": every action of the core with its keyword shortcut, which the user assigns here. The
// assignments are kept on the page until OK hands them to the core.
#include "PrefsSheet.h"
#include "util/Win32Handle.h"

#include <string>
#include <unordered_map>
#include <vector>

class VAction;

class PrefsPageShortcuts : public PrefsPage {
public:
    explicit PrefsPageShortcuts(CVerbinoxDlg* window);

    // Lists the core's actions and their shortcuts afresh, dropping assignments not yet applied. Also
    // after a plug-in's own dialog, which may have destroyed actions listed here.
    void fill();
    void apply() override;

    int getRowCount() const { return static_cast<int>(rows.size()); }
    // The row of the action with that name, or -1.
    int findRow(const std::string& name) const;
    VAction* getRowAction(int row) const;
    // The shortcut the page holds for the row's action (empty if none).
    std::string getRowShortcut(int row) const;
    void selectRow(int row);
    // The Assign button: the shortcut box's text becomes the selected action's shortcut.
    void assign();

private:
    void onInitPage() override;
    void onActivate(bool first) override;
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam) override;
    int selectedRow() const;
    void onSelectionChanged();
    std::string shortcutOf(const VAction* action) const;
    void forget(const VAction* action);
    void showShortcut(const VAction* action);
    static LRESULT CALLBACK shortcutBoxProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam,
                                            UINT_PTR id, DWORD_PTR self);

    std::vector<VAction*> rows;
    // Shortcut text to action, as the user has it so far.
    std::unordered_map<std::string, VAction*> table;
    vx::CImageListHandle images;
};
