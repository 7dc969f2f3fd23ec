#pragma once
// The two pop-ups beside the results list: the actions that apply to a result, and the properties of
// that result an action can take when it can take more than one.
#include "ListAccessible.h"
#include "ListWindow.h"

#include <string>
#include <vector>

class VAction;
class VProperty;
class VResult;

// A small list of icon-and-text rows shown beside a rectangle, with a selection that wraps around.
class VPopupList : public VListWindow, private VAccessibleRows {
public:
    // name is what assistive technology calls the list.
    explicit VPopupList(const wchar_t* name) : accessibility(*this, name) {}
    int getSelectedIndex() const { return selected; }

protected:
    bool createPopup(HWND owner, HFONT editFont);
    // As wide as the widest text needs; right of `beside` (screen coordinates), or left of it when the
    // right side would run past the work area.
    void showBeside(const RECT& beside);
    // Up and Down wrap at either end, Home and End go to the ends, Page Up and Page Down change nothing.
    // True for these keys while the pop-up is visible.
    bool navigate(UINT key);
    // Tells assistive technology about a new selection; hiding makes the next one news again.
    void announce();
    // The same selection again, where the focus comes back from a pop-up beside this one.
    void announceAgain();
    void hidePopup();

    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void paint(HDC dc, const RECT& client) override;
    void dpiChanged(UINT previous) override;

    virtual int rowCount() const = 0;
    virtual HICON rowIcon(int index) const = 0;
    virtual std::string rowText(int index) const = 0;
    virtual bool rowHasArrow(int index) const { return false; }
    // The mouse moved the selection to another row.
    virtual void onHover() {}
    virtual void onClick() {}
    virtual void choose(int index) = 0;

    HWND owner = nullptr;
    int selected = -1;
    int rowHeight = 0;

private:
    int rowAt(int y) const;
    int accessibleRowCount() const override { return rowCount(); }
    std::wstring accessibleRowName(int index) const override;
    int accessibleSelectedRow() const override { return selected; }
    RECT accessibleRowRect(int index) const override;
    void accessibleSelect(int index) override;
    bool isAccessibleShown() const override { return isOnScreen(); }

    POINT lastMouse{-1, -1};
    VListAccessibility accessibility;
};

class VPropertyListCtrl : public VPopupList {
public:
    VPropertyListCtrl() : VPopupList(L"Properties") {}
    ~VPropertyListCtrl() override { destroyWindow(); }
    bool create(HWND owner, HFONT editFont);
    // Lists the result's valid properties of a type the action takes, row 0 selected; closes when
    // there are none.
    void open(VResult* result, VAction* action, const RECT& beside);
    void close();
    // Navigation as for every pop-up; Enter with a selection sends UM_PROPERTYCHOSEN and is taken, so
    // the action pop-up never executes a second time for the same key.
    bool key(UINT key);
    const std::vector<VProperty*>& getProperties() const { return properties; }

    // The result's valid properties whose type the action supports, in the result's order.
    static std::vector<VProperty*> propertiesFor(VResult* result, VAction* action);

protected:
    int rowCount() const override { return static_cast<int>(properties.size()); }
    HICON rowIcon(int index) const override;
    std::string rowText(int index) const override;
    void choose(int index) override;

private:
    VAction* action = nullptr;
    std::vector<VProperty*> properties;
};

class VActionListCtrl : public VPopupList {
public:
    struct VActionItem {
        VAction* action;
        VProperty* property;
        std::string text;
        // The action can take more than one of the result's properties: the property pop-up opens.
        bool offersProperties;
    };

    VActionListCtrl() : VPopupList(L"Actions") {}
    ~VActionListCtrl() override { destroyWindow(); }
    // Owner receives UM_ACTIONCHOSEN and UM_PROPERTYCHOSEN.
    bool create(HWND owner, HFONT editFont);
    // Lists every action that takes one of the result's properties, the default one selected, beside
    // the row (screen coordinates). Nothing opens for a result that no action takes.
    void open(VResult* result, const RECT& row);
    // Follows the row to a new place without listing again.
    void moveBeside(const RECT& row);
    void close();
    bool key(UINT key);

    // The result the pop-up was opened for; null while closed.
    VResult* getResult() const { return result; }
    const std::vector<VActionItem>& getItems() const { return items; }
    VPropertyListCtrl& getPropertyList() { return propertyList; }

protected:
    int rowCount() const override { return static_cast<int>(items.size()); }
    HICON rowIcon(int index) const override;
    std::string rowText(int index) const override { return items[static_cast<std::size_t>(index)].text; }
    bool rowHasArrow(int index) const override {
        return items[static_cast<std::size_t>(index)].offersProperties;
    }
    void onHover() override;
    void onClick() override;
    void choose(int index) override;
    void dpiChanged(UINT previous) override;

private:
    void openProperties();

    VPropertyListCtrl propertyList;
    VResult* result = nullptr;
    std::vector<VActionItem> items;
};
