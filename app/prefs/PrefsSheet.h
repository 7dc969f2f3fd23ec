#pragma once
// The "Preferences" sheet: a tree of pages on the left, the chosen page beside it, OK and Cancel.
// Pages are child dialogs made the first time they are chosen; a page never shown keeps its settings.
// Nothing is applied before OK, and OK applies only once every shown page's input is acceptable.
#include "util/ModuleDialog.h"
#include "util/ReportList.h"

#include <windows.h>
#include <commctrl.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

class CVerbinoxDlg;
class PrefsPageGeneral;
class PrefsPageSearching;
class PrefsPageShortcuts;
class PrefsPagePlugins;

// What every page shares: its place in the sheet, its tool-tips, and the sheet's message boxes.
class PrefsPage : public vx::CModuleDialog {
public:
    PrefsPage(CVerbinoxDlg* window, int templateId, const char* title);
    ~PrefsPage() override;
    const char* getTitle() const { return title; }

    // Checks what the user entered: the control at fault (0 when all is well) and why.
    virtual int findInvalid(std::string& why) { return 0; }
    // Writes the page's settings back (OK).
    virtual void apply() {}
    // The page has come to the front; first is true for its first time.
    virtual void onActivate(bool first) {}

    // A plain box owned by the sheet; tests answer instead (setMessageBoxHook). type is MB_OK or MB_YESNO.
    static int messageBox(HWND owner, const std::string& text, UINT type);
    using MessageBoxHook = int (*)(HWND owner, const char* text, UINT type);
    static MessageBoxHook setMessageBoxHook(MessageBoxHook hook);

protected:
    // Every page reads its controls after WM_INITDIALOG: onInit makes the tool-tip control first.
    BOOL onInit() override;
    virtual void onInitPage() = 0;
    // Shows text (lines split at "\n") when the mouse rests on the control.
    void addToolTip(int controlId, const char* text);
    // A full-row report list with these columns (titles and widths at 96 DPI), narrowed in proportion
    // where together they are wider than the list.
    void setUpReportList(HWND list, std::initializer_list<vx::ReportColumn> columns) const;
    bool isChecked(int controlId) const;
    void setChecked(int controlId, bool value);
    // A check box that means something only while another option leaves room for it. Unavailable, it
    // shows unchecked and greyed, and keeps its own value for when it is available again.
    struct DependentOption {
        int id;
        bool kept = false;
        bool available = true;
    };
    // Call once the box shows its own value, and again whenever the other option changes.
    void showDependentOption(DependentOption& option, bool available);
    // What OK sets: the box while it is available, else the value it keeps.
    bool valueOf(const DependentOption& option) const;
    int px(int n) const;

    CVerbinoxDlg* window;

private:
    static void fitColumns(HWND list, int count);

    const char* title;
    HWND toolTip = nullptr;
};

class PrefsSheet : public vx::CModuleDialog {
public:
    enum PageIndex { General = 0, Searching = 1, Shortcuts = 2, Plugins = 3, PageCount = 4 };

    explicit PrefsSheet(CVerbinoxDlg* window);
    ~PrefsSheet() override;

    // Shows a page as if chosen in the tree, making it on its first showing.
    void selectPage(int index);
    int getSelectedPage() const { return selected; }
    // The page's object, or null while it was never shown.
    PrefsPage* getPage(int index) const;
    PrefsPageGeneral* getGeneralPage() const;
    PrefsPageSearching* getSearchingPage() const;
    PrefsPageShortcuts* getShortcutsPage() const;
    PrefsPagePlugins* getPluginsPage() const;

    // OK: true when everything was applied and the sheet closed.
    bool ok();
    // Cancel: closes the sheet, applying nothing.
    void cancel() { end(IDCANCEL); }
    // A plug-in's own dialog returned: it may have destroyed and re-created its actions.
    void onPluginPrefsEdited();

private:
    BOOL onInit() override;
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam) override;
    void layout();
    RECT pageRect() const;
    int px(int n) const;

    CVerbinoxDlg* window;
    std::vector<std::unique_ptr<PrefsPage>> pages;
    std::vector<HTREEITEM> treeItems;
    int selected = -1;
};
