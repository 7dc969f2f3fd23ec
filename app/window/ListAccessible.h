#pragma once
// Active Accessibility for the owner-drawn lists: what assistive technology reads of their rows, and the
// events that tell it that the selection or the rows changed.
#include <windows.h>

#include <oleacc.h>

#include <string>

// IID_IAccessible as it really is: MinGW's import libraries carry a wrong one, for which every
// QueryInterface fails.
extern const IID kIidAccessible;

// What an owner-drawn list tells about its rows. Every call comes on the window's own thread.
class VAccessibleRows {
public:
    virtual int accessibleRowCount() const = 0;
    // What the row shows, every line of it.
    virtual std::wstring accessibleRowName(int index) const = 0;
    // -1 when none.
    virtual int accessibleSelectedRow() const = 0;
    // False for a row that shows something but cannot be picked.
    virtual bool isAccessibleRowSelectable(int) const { return true; }
    // In client coordinates; outside the client area for a row scrolled out of view.
    virtual RECT accessibleRowRect(int index) const = 0;
    // Selects a row as the user's keys would.
    virtual void accessibleSelect(int index) = 0;
    // On the screen for the user: a window kept mapped but hidden by its region is not.
    virtual bool isAccessibleShown() const = 0;

protected:
    ~VAccessibleRows() = default;
};

// Serves WM_GETOBJECT for one list window and raises its events. The object it hands out may outlive
// the list, since clients keep it as long as they like: from then on it answers that it is gone.
class VListAccessibility {
public:
    VListAccessibility(VAccessibleRows& rows, const wchar_t* name) : rows(rows), name(name) {}
    ~VListAccessibility();
    VListAccessibility(const VListAccessibility&) = delete;
    VListAccessibility& operator=(const VListAccessibility&) = delete;

    // For WM_GETOBJECT: the list's own object for OBJID_CLIENT; 0 for the others, which the system
    // answers (DefWindowProc).
    LRESULT answer(HWND hwnd, WPARAM wParam, LPARAM lParam);
    // Tells clients which row is selected now, once per change of the row or of what it shows (item,
    // any value that tells them apart): focus and selection move to it. With none, the focus goes back
    // to fallback (the edit box that has the keyboard), when given.
    void announce(HWND hwnd, int row, const void* item, HWND fallback = nullptr);
    // Rows came, went or moved: clients read them again.
    void rowsChanged(HWND hwnd) const;
    // The window went out of sight: the next selection is news, whatever it is.
    void forget() {
        announcedRow = -1;
        announcedItem = nullptr;
    }

private:
    class Object;

    VAccessibleRows& rows;
    const wchar_t* name;
    Object* object = nullptr;
    int announcedRow = -1;
    const void* announcedItem = nullptr;
};

// Answers WM_GETOBJECT for a control whose own name would be its contents, or nothing: the system's
// object under that name. 0 for other objects, which the system answers.
LRESULT answerNamedControl(HWND hwnd, WPARAM wParam, LPARAM lParam, const wchar_t* name);
