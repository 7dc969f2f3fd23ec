#pragma once
// "Search Preferences": the plug-in's searches in a list, each added, deleted or edited at once.
#include <windows.h>

class VWebqueryPlugin;
class VSearchAction;

class WebqueryPrefs {
public:
    explicit WebqueryPrefs(VWebqueryPlugin* plugin);
    // Destroys a modeless dialog that is still open.
    ~WebqueryPrefs();
    WebqueryPrefs(const WebqueryPrefs&) = delete;
    WebqueryPrefs& operator=(const WebqueryPrefs&) = delete;

    // Runs the dialog modally.
    INT_PTR run(HWND parent);
    // Creates the dialog without a loop of its own, shown unless asked otherwise; "Close" destroys it.
    // Null on failure.
    HWND create(HWND parent, bool show = true);
    HWND getHwnd() const { return hwnd; }
    HWND getList() const;

    // The buttons' work, also reached through their commands.
    void addSearch();
    void deleteSearch();
    void editSearch();
    // The search of the selected row, or null.
    VSearchAction* getSelectedAction() const;

private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
    void onInit();
    void close();
    void insertRow(int row, VSearchAction* action);
    void refreshRow(int row);
    void updateButtons();
    int selectedRow() const;
    VSearchAction* actionOfRow(int row) const;

    VWebqueryPlugin* plugin;
    HWND hwnd = nullptr;
    bool modal = false;
};
