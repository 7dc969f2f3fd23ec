// The switches dialog laid out in memory, created on the (Xvfb) display and driven by messages.
#include "util/CheckGridDialog.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

// Three labelled rows of two boxes, the middle one greyed; OK copies what isChecked says.
class Grid : public vx::CCheckGridDialog {
public:
    Grid() : CCheckGridDialog("Grid Preferences") {}

    std::vector<vx::CheckGridRow> grid = {
        {"A browser with a rather long name", 100, {{101, "Bookmarks", true}, {102, "History", false}}, true},
        {"Greyed (not installed)", 110, {{111, "Bookmarks", true}, {112, "History", true}}, false},
        {"Third", 120, {{121, "Bookmarks", false}, {122, "History", true}}, true}};
    std::vector<std::pair<int, bool>> applied;

private:
    std::vector<vx::CheckGridRow> rows() const override { return grid; }
    void apply() override {
        for (int id : {101, 102, 111, 112, 121, 122})
            applied.emplace_back(id, isChecked(id));
    }
};

RECT rectOf(HWND dialog, int id) {
    RECT rect{};
    ::GetWindowRect(::GetDlgItem(dialog, id), &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::string textOf(HWND dialog, int id) {
    wchar_t text[128] = {};
    ::GetDlgItemTextW(dialog, id, text, 128);
    return std::string(text, text + ::wcslen(text));
}

} // namespace

TEST(CheckGridDialog, EveryControlLiesInsideTheDialogAndNoneOverlapsAnother) {
    Grid dialog;
    HWND window = dialog.create(nullptr, false);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(textOf(window, IDOK), "OK");
    EXPECT_EQ(textOf(window, IDCANCEL), "Cancel");
    EXPECT_EQ(textOf(window, 100), "A browser with a rather long name");
    EXPECT_EQ(textOf(window, 122), "History");
    RECT client{};
    ::GetClientRect(window, &client);
    const std::vector<int> ids = {100, 101, 102, 110, 111, 112, 120, 121, 122, IDOK, IDCANCEL};
    for (std::size_t i = 0; i < ids.size(); ++i) {
        ASSERT_NE(::GetDlgItem(window, ids[i]), nullptr) << ids[i];
        const RECT a = rectOf(window, ids[i]);
        EXPECT_GE(a.left, client.left) << ids[i];
        EXPECT_GE(a.top, client.top) << ids[i];
        EXPECT_LE(a.right, client.right) << ids[i];
        EXPECT_LE(a.bottom, client.bottom) << ids[i];
        for (std::size_t j = i + 1; j < ids.size(); ++j) {
            const RECT b = rectOf(window, ids[j]);
            RECT both{};
            EXPECT_FALSE(::IntersectRect(&both, &a, &b)) << ids[i] << " and " << ids[j];
        }
    }
    // The label is wide enough for its text in the dialog's font.
    HDC dc = ::GetDC(window);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0)));
    SIZE size{};
    ::GetTextExtentPoint32W(dc, L"A browser with a rather long name", 33, &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(window, dc);
    const RECT label = rectOf(window, 100);
    EXPECT_GE(label.right - label.left, size.cx);
}

TEST(CheckGridDialog, OkAppliesWhatTheEnabledRowsShowAndCancelAppliesNothing) {
    Grid dialog;
    HWND window = dialog.create(nullptr, false);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(::IsDlgButtonChecked(window, 101), BST_CHECKED);
    EXPECT_EQ(::IsDlgButtonChecked(window, 102), BST_UNCHECKED);
    EXPECT_EQ(::IsDlgButtonChecked(window, 112), BST_CHECKED) << "a greyed row shows its saved switches";
    for (int id : {110, 111, 112})
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(window, id))) << id;
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(window, 121)));

    ::SendDlgItemMessageW(window, 102, BM_CLICK, 0, 0);
    ::SendDlgItemMessageW(window, IDCANCEL, BM_CLICK, 0, 0);
    EXPECT_EQ(dialog.getHwnd(), nullptr);
    EXPECT_TRUE(dialog.applied.empty());

    window = dialog.create(nullptr, false);
    ::SendDlgItemMessageW(window, 102, BM_CLICK, 0, 0);
    ::SendDlgItemMessageW(window, 121, BM_CLICK, 0, 0);
    ::SendDlgItemMessageW(window, IDOK, BM_CLICK, 0, 0);
    EXPECT_EQ(dialog.getHwnd(), nullptr);
    const std::vector<std::pair<int, bool>> expected = {{101, true}, {102, true}, {111, true},
                                                        {112, true}, {121, true}, {122, true}};
    EXPECT_EQ(dialog.applied, expected) << "a greyed row keeps what it showed";
}
