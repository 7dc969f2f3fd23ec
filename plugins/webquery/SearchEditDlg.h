#pragma once
// "Edit Search": name, keyword, addresses, description and icon of one search.
#include <windows.h>

#include <string>

class VWebqueryPlugin;
class VSearchAction;

class SearchEditDlg {
public:
    SearchEditDlg(VWebqueryPlugin* plugin, VSearchAction* action);
    // Destroys a modeless dialog that is still open.
    ~SearchEditDlg();
    SearchEditDlg(const SearchEditDlg&) = delete;
    SearchEditDlg& operator=(const SearchEditDlg&) = delete;

    // Runs the editor modally: IDOK once the action took the edits' values, IDCANCEL otherwise.
    INT_PTR run(HWND parent);
    // Creates the editor without a loop of its own, shown unless asked otherwise; OK and Cancel destroy
    // it. Null on failure.
    HWND create(HWND parent, bool show = true);
    HWND getHwnd() const { return hwnd; }
    // Whether the editor was left with OK.
    bool isAccepted() const { return accepted; }

private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
    void onInit();
    void fillIcons();
    void updateButtons();
    void test();
    void apply();
    void close(int result);
    std::string text(int control) const;

    VWebqueryPlugin* plugin;
    VSearchAction* action;
    HWND hwnd = nullptr;
    bool modal = false;
    bool accepted = false;
};
