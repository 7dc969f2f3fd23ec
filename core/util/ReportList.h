#pragma once
// The few list-view (report view) calls the preferences pages and plug-in dialogs make, with texts in the
// active code page sent through the W messages.
#include "VxApi.h"

#include <windows.h>
#include <commctrl.h>

#include <string_view>
#include <vector>

namespace vx {

struct ReportColumn {
    const char* title;
    int width; // pixels
};

// Full-row selection, then the columns in order.
VX_CORE_API void addReportColumns(HWND list, const std::vector<ReportColumn>& columns);
// A new row at row with its text, image (I_IMAGENONE for none) and data: the index it got, -1 on failure.
VX_CORE_API int insertListItem(HWND list, int row, std::string_view text, int image = I_IMAGENONE,
                               LPARAM data = 0);
// Replaces a row's own text and image.
VX_CORE_API bool setListItem(HWND list, int row, std::string_view text, int image);
// LVM_SETITEMTEXTW of one cell (column 0 is the row's own text).
VX_CORE_API void setListItemText(HWND list, int row, int column, std::string_view text);
// The row's data; 0 for a row that does not exist.
VX_CORE_API LPARAM listItemData(HWND list, int row);
// The selected row, -1 for none.
VX_CORE_API int selectedListRow(HWND list);
// Selects and focuses row and scrolls it into view.
VX_CORE_API void selectListRow(HWND list, int row);
// The icon's index once added to the image list; I_IMAGENONE without an icon, a list, or room in it.
VX_CORE_API int addListIcon(HIMAGELIST images, HICON icon);

} // namespace vx
