#include "util/ReportList.h"

#include "util/VxText.h"

#include <string>

namespace vx {

void addReportColumns(HWND list, const std::vector<ReportColumn>& columns) {
    ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    int i = 0;
    for (const ReportColumn& each : columns) {
        std::wstring title = widened(each.title);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = &title[0];
        column.cx = each.width;
        column.iSubItem = i;
        ::SendMessageW(list, LVM_INSERTCOLUMNW, i++, reinterpret_cast<LPARAM>(&column));
    }
}

int insertListItem(HWND list, int row, std::string_view text, int image, LPARAM data) {
    std::wstring wide = widened(text);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = row;
    item.pszText = &wide[0];
    item.iImage = image;
    item.lParam = data;
    return static_cast<int>(::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

bool setListItem(HWND list, int row, std::string_view text, int image) {
    std::wstring wide = widened(text);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = row;
    item.pszText = &wide[0];
    item.iImage = image;
    return ::SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)) != FALSE;
}

void setListItemText(HWND list, int row, int column, std::string_view text) {
    std::wstring wide = widened(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = &wide[0];
    ::SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

LPARAM listItemData(HWND list, int row) {
    if (row < 0)
        return 0;
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    return ::SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) ? item.lParam : 0;
}

int selectedListRow(HWND list) {
    return list ? static_cast<int>(
                      ::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED))
                : -1;
}

void selectListRow(HWND list, int row) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    ::SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

int addListIcon(HIMAGELIST images, HICON icon) {
    const int index = images && icon ? ::ImageList_AddIcon(images, icon) : -1;
    return index < 0 ? I_IMAGENONE : index;
}

} // namespace vx
