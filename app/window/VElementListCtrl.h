#pragma once
// The owner-drawn results list that drops down under the search window: actions first, then results
// best first (by their rank key; equal keys, or ranking off, in arrival order), each drawing itself on
// one or two lines, with the action pop-up beside the selection.
#include "ElementRows.h"
#include "IconCache.h"
#include "ListAccessible.h"
#include "ListScrollBar.h"
#include "ListWindow.h"
#include "VActionListCtrl.h"

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

class VElement;
class VFileResult;
class VPreferencesNode;
class VResult;

// What the list needs from the search window for browsing folders.
class VFolderBrowseHost {
public:
    // True while the edit box holds a folder path whose entries the list shows.
    virtual bool isBrowseMode() const = 0;
    // Replaces the edit box's text as if the user had typed it, caret at the end: the search window
    // then lists that folder.
    virtual void setEditText(const std::string& text) = 0;

protected:
    ~VFolderBrowseHost() = default;
};

// Every call comes from the window's own thread: results found on worker threads reach the list
// through a message posted to the search window. Its rows are that thread's alone and take no lock:
// assistive technology reaches them on that thread too, since the object the list hands out lives in
// the thread's single-threaded apartment, where COM brings calls from other threads and processes.
class VElementListCtrl : public VListWindow, private VAccessibleRows {
public:
    VElementListCtrl() : accessibility(*this, L"Results") {}
    // Releases the results it holds.
    ~VElementListCtrl() override;

    // owner receives UM_ELEMENTCHOSEN (and, from the pop-ups, UM_ACTIONCHOSEN and UM_PROPERTYCHOSEN);
    // anchor is the search edit box, whose font the lists take and whose window they hang below;
    // browser answers for browse mode (may be null). False when already created.
    bool create(HWND owner, HWND anchor, VFolderBrowseHost* browser);

    // The list owns the results it is given and releases them when it is cleared; actions stay the core's.
    // Each one takes its place by rank; a result with the same address (default property type and
    // value) as a row joins that row, which shows the better of the two. The selected row stays
    // selected and where it is on the screen, rows arriving above it scroll the view.
    void addElement(VElement* element);
    void addElements(VElement* const* added, int count);
    // The sources found count more results than they handed on: the last row says how many, summed
    // until the list is cleared. It is never selected, and no key or click reaches it.
    void addMore(uint64_t count);
    uint64_t getMoreCount() const { return rows.getMore(); }
    // What that row reads, the count grouped as the user's locale groups digits: "and 4,812 more".
    static std::wstring moreText(uint64_t count) { return VElementRows::moreText(count); }
    // The search for text ended in every source with nothing: one row says so and names the sources
    // searched. Like the row of more results it is never selected and no key or click runs it. It goes
    // with the next clear, or when withdrawn (the text changed).
    void showNothingFound(const std::string& text, const std::vector<std::string>& sources);
    void withdrawNothingFound();
    // The row's two lines, "No results for ..." and "Searched: ...", joined by a line feed; empty when
    // the row is not there.
    std::wstring getNothingFoundText() const { return rows.getNothingFoundText(); }
    // A folder's entries: also switches to one line per row until the next clear.
    void addFiles(VFileResult* const* files, int count);
    // Releases the results, hides the list and both pop-ups, and leaves files mode.
    void clear();
    // While kept, clearing leaves the window shown; hideIfStillEmpty ends that and hides it if nothing came.
    // The search window keeps it while it starts the next search: a folder listing that follows at once is
    // redrawn in place instead of being hidden and shown again (two round trips to the X server under Wine).
    void keepShownThroughClear() { keptShown = true; }
    void hideIfStillEmpty();
    // Maps the window, hidden by its empty region, under the search window, which has just been shown, so the
    // first results do not wait for the window to be mapped. Does nothing to a list already mapped.
    void premapHidden();

    // A key the edit box hands on; true when the list (or a pop-up) took it. An empty list takes none.
    // VK_APPS (the context-menu key) opens the action pop-up of the selected result at its row.
    bool key(UINT key);
    // Scrolls the rows for a turn of the mouse wheel (WHEEL_DELTA a notch, positive scrolls up) by the
    // user's lines per notch, leaving the selection where it is; false when the list is not on show.
    bool wheel(int delta);
    // Selects a row for the program; the user's own choice is made with keys and the mouse.
    void select(int index);
    // True when the user picked the selected row, or picked none, since the list was last cleared:
    // arriving rows then leave the selection alone.
    bool isSelectionChosen() const { return chosen; }
    VElement* getSelectedElement() const { return rows.getElement(selected); }
    // The element of a row, or null outside 0..count-1.
    VElement* getElement(int index) const { return rows.getElement(index); }
    // The other results with the same address as the row's, which the row stands for (the row's own
    // element has the best key of them all); the list owns them.
    std::vector<VResult*> getTwins(int index) const { return rows.getTwins(index); }
    int getSelectedIndex() const { return selected; }
    // The rows of elements, without the row of the count of more results.
    int getCount() const { return rows.getCount(); }
    int getTopIndex() const { return topIndex; }
    int getVisibleRows() const { return visibleRows; }
    int getRowHeight() const { return rowHeight; }
    bool isScrollBarVisible() const { return bar.isShown(); }
    // The rows open above the search window: there was no room for them below.
    bool isAbove() const { return above; }
    int computeRowHeight(bool twoLines) const;
    // Places the list under the search window and sizes it for its rows.
    void layout();
    // Shows the list where it belongs, or hides it with its pop-ups, keeping what it holds.
    void setShown(bool shown);
    // Hides it with the search window: whatever arrives stays out of sight until the list is shown or
    // stood by again.
    void suspend();

    bool getShowIcons() const { return showIcons; }
    void setShowIcons(bool value);
    // The user's setting; files mode shows one line whatever it says.
    bool getTwoLines() const { return filesMode ? savedTwoLines : twoLines; }
    void setTwoLines(bool value);
    // "List" under the given node ("CommandLine").
    void loadPrefs(const VPreferencesNode* parent);
    void savePrefs(VPreferencesNode* parent) const;

    VActionListCtrl& getActionList() { return actionList; }
    // Where file rows get their icons.
    VIconCache& getIconCache() { return icons; }
    const std::string& getRememberedPath() const { return rememberedPath; }

protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void paint(HDC dc, const RECT& client) override;
    void dpiChanged(UINT previous) override;

private:
    enum { NoRow = VElementRows::NoRow };
    // Puts each element in its place by rank, merging results with a row of the same address, and
    // keeps the selection on its element and at its place on the screen.
    void place(VElement* const* added, int count);
    void paintNothingFound(HDC dc, const RECT& row, const VListColors& colors) const;
    void afterAdding(int preferredRow, bool selectFirst);
    // Out of sight: hidden by its region, or nothing to do when the window was never mapped.
    void putOutOfSight();
    void setSelection(int index, bool scrollIntoView);
    // A row the user picked (or none) with a key or the mouse.
    void choose(int index, bool scrollIntoView);
    // The selection's state alone, drawn by the next paint.
    void selectRow(int index, bool scrollIntoView);
    void scrollTo(int top);
    // The action pop-up and the rows after a change of selection or top row.
    void refresh();
    // The screen rectangle of a list of that height under the search window, at the user's width or
    // the search window's.
    RECT placement(int height) const;
    // The search window's rectangle and the work area of its monitor.
    bool stripAndWorkArea(RECT& strip, RECT& work) const;
    // Lays out rows and the scroll bar for the current client size.
    void arrangeRows();
    // The client height on the screen: less than the client area while the window is clipped.
    int shownClientHeight() const;
    int rowAt(int y) const;
    VResult* selectedResult() const;
    // Keeps the action pop-up on the selected result: re-opened for another one, closed when none.
    void syncActionList();
    void openActionList();
    bool enter();
    bool browse(UINT key);
    // Tells assistive technology which row is selected now, while the list is on show.
    void announceSelection();
    int accessibleRowCount() const override { return rows.rowCount(); }
    // Both lines of a row shown on two.
    std::wstring accessibleRowName(int index) const override;
    int accessibleSelectedRow() const override { return getSelectedIndex(); }
    bool isAccessibleRowSelectable(int index) const override { return index < getCount(); }
    RECT accessibleRowRect(int index) const override;
    void accessibleSelect(int index) override;
    bool isAccessibleShown() const override { return isOnScreen(); }
    // Draws a file row's icon into box: its own when it has one, else the cached one for its path, the
    // generic one while that is fetched. False for other rows, which draw their source's icon.
    bool drawFileIcon(HDC dc, const VElement* element, const RECT& box);
    // The part of the client area the user sees: a window clipped by its region shows only its top.
    // The scroll bar and its grip live there, or a list clipped above the search window would hide
    // the thumb's lower travel and the grip under it.
    RECT clientArea() const;
    // The scroll bar's sizes at the window's DPI and the rows it shows, a press of the button (true
    // when it was on the bar) and a drag of its thumb.
    VListScrollBar::Sizes barSizes() const;
    VListScrollBar::View barView() const;
    bool barMouseDown(POINT at);
    void dragThumb(int y);

    HWND owner = nullptr;
    HWND anchor = nullptr;
    VFolderBrowseHost* browser = nullptr;
    VElementRows rows;
    VActionListCtrl actionList;
    VIconCache icons;
    int selected = NoRow;
    int visibleRows = 0;
    int topIndex = 0;
    // The size the user dragged the list to; zero width until they do.
    SIZE userSize{0, 0};
    bool keptShown = false;
    bool above = false;
    bool suspended = false;
    bool chosen = false;
    // Where the last mouse move was, in screen coordinates: Wine and Windows also send a move when the
    // window changes under a resting cursor, which must not pick a row.
    POINT lastMouse{INT_MIN, INT_MIN};
    VListScrollBar bar;
    // The press was on the scroll bar: its release leaves the action pop-up as it is.
    bool barClick = false;
    // What a fine-grained wheel turned that did not make a whole row yet.
    int wheelRest = 0;
    int rowHeight = 0;
    bool userSizing = false;
    bool suppressMouseMove = false;
    bool showIcons = true;
    bool twoLines = true;
    bool filesMode = false;
    bool savedTwoLines = true;
    // The entry Control+Enter or Left came from, selected in the next folder listing only.
    std::string rememberedPath;
    VListAccessibility accessibility;
};
