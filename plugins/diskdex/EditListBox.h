#pragma once
// Editable list boxes of the plug-in's dialog: a caption, a row of small buttons and a one-column list
// whose rows are edited in place. Every change is reported to the parent window, so the dialog keeps
// its model in step with what the user sees.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class VEditListBox {
public:
    enum Button : unsigned {
        NewButton = 1,
        DeleteButton = 2,
        UpButton = 4,
        DownButton = 8,
        BrowseButton = 16
    };

    // Sent to the parent with the row in wParam and the list box's control id in lParam.
    enum Notification : UINT {
        RowAdded = WM_APP + 1,
        RowRemoving = WM_APP + 2, // the row still exists; its removal goes ahead whatever the answer
        RowRemoved = WM_APP + 3,
        RowRenamed = WM_APP + 4, // getOldText gives the text the row had before
        RowMovedUp = WM_APP + 5, // wParam: the row's new position
        RowMovedDown = WM_APP + 6,
        SelectionChanged = WM_APP + 7, // wParam: the selected row, or -1
    };

    // Messages the list box window accepts: the same operations as the methods below, for whoever holds
    // only the window. Text arguments are const char* in lParam.
    enum Message : UINT {
        ELB_ADDROW = WM_USER + 0x300, // lParam text; returns the new row or -1
        ELB_RENAMEROW,                // wParam row, lParam text; returns TRUE when renamed
        ELB_DELETEROW,                // wParam row; returns TRUE when deleted
        ELB_MOVEUP,                   // wParam row
        ELB_MOVEDOWN,                 // wParam row
        ELB_SELECTROW,                // wParam row or -1
        ELB_GETSELECTION,
        ELB_GETCOUNT,
        ELB_BROWSE, // the browse button's action, where there is one
    };

    VEditListBox();
    virtual ~VEditListBox();
    VEditListBox(const VEditListBox&) = delete;
    VEditListBox& operator=(const VEditListBox&) = delete;

    // Replaces the parent's placeholder control: same id, place, tab position, and its text as the
    // caption. buttons is a set of Button flags.
    bool createAt(HWND parent, int placeholderId, unsigned buttons);
    HWND getHwnd() const { return hwnd; }
    HWND getListView() const { return list; }
    // The button's window, or null when this list box has none.
    HWND getButton(Button which) const;
    int getId() const { return id; }
    void setCaption(const std::string& text);
    std::string getCaption() const;

    // Filling by the owner: no notifications.
    void setItems(const std::vector<std::string>& items);
    void clear();

    int getCount() const;
    std::string getText(int row) const;
    std::vector<std::string> getItems() const;
    LPARAM getData(int row) const;
    void setData(int row, LPARAM data);
    int getSelection() const;
    // During a RowRenamed notification: the row's text before the change.
    const std::string& getOldText() const { return oldText; }
    // The row being typed in after "New", or -1.
    int getPendingRow() const { return pendingRow; }

    // What the buttons and in-place editing do, each with the same notifications. Blanks around a text
    // are dropped; an empty text is refused, as is any change while the list box is disabled.
    int addRow(const std::string& text);
    bool renameRow(int row, const std::string& text);
    bool deleteRow(int row);
    bool moveUp(int row);
    bool moveDown(int row);
    // Selects the row (-1: none) and reports it when the selection changed.
    void selectRow(int row);
    // The "New" button: an empty row at the end, edited in place; typing a text and Enter adds it, an
    // empty text or Escape drops it without a trace.
    void beginNewRow();
    // In-place editing of an existing row, as F2 or a second click starts it.
    HWND beginEdit(int row);
    // The browse button's action: nothing here.
    void browse();

protected:
    virtual void onBrowse() {}
    // True while the user has just asked for a new row: the one being typed, or one given up a moment
    // ago because the focus went to another of our buttons.
    bool wantsNewRow() const { return pendingRow >= 0 || newRowAbandoned; }
    void cancelEdit();
    HWND getTopWindow() const;

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onNotify(NMHDR* header);
    void onCommand(int command);
    void layout();
    void createChildren(unsigned buttons, HFONT font);
    int insertRow(int row, const std::string& text, LPARAM data);
    void setText(int row, const std::string& text);
    void commitNewRow(int row, const std::string& text);
    void dropPendingRow();
    bool renameNow(int row, const std::string& text);
    bool moveRow(int row, int by);
    void swapRows(int a, int b);
    void selectQuietly(int row);
    // Tells the parent about the selection when it differs from the last one told, or always.
    void reportSelection(bool always);
    void updateButtons();
    void notify(UINT message, int row);
    bool acceptsChanges() const;

    struct Quiet; // suppresses selection reports while the list box changes rows itself

    HWND hwnd = nullptr;
    HWND list = nullptr;
    HWND caption = nullptr;
    HWND buttons[5] = {};
    int id = 0;
    int quiet = 0;
    int pendingRow = -1;
    int selectionBeforeNew = -1;
    bool newRowAbandoned = false;
    int lastReportedSelection = -1;
    std::string oldText;
};

// The search-folder list: an editable list box with a browse button that picks a folder with the shell.
class DirectoryListBox : public VEditListBox {
public:
    struct PickRequest {
        HWND owner;
        std::string title;
        std::string start; // the row's text, as written
        UINT flags;
    };
    // Answers true and fills chosen when the user picked a folder.
    using FolderPicker = std::function<bool(const PickRequest& request, std::string& chosen)>;

    // Replaces the folder picker of every directory list box (an empty one restores the shell's);
    // returns the previous one.
    static FolderPicker setFolderPicker(FolderPicker picker);
    // The shell's folder picker.
    static bool shellFolderPicker(const PickRequest& request, std::string& chosen);

protected:
    // Picks a folder starting at the selected row: renames that row, or adds a row when there is no
    // selection or a new row was asked for.
    void onBrowse() override;
};
