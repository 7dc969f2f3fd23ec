// The About box: what it shows, where it opens and the link to the maker.
#include "AboutBox.h"

#include "SearchWindowInternal.h"
#include "res/resource.h"
#include "update/FileVersionInfo.h"
#include "util/Shell.h"
#include "util/SystemText.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

namespace {

// The link is a SysLink control.
const DWORD kControlClasses = ICC_STANDARD_CLASSES | ICC_LINK_CLASS;

// The middle of the work area of the monitor its owner is on. The template alone would put the box
// beside its owner, and SPI_GETWORKAREA knows the primary monitor only.
void centreOnOwnersMonitor(HWND dialog) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!::GetMonitorInfoW(::MonitorFromWindow(::GetWindow(dialog, GW_OWNER), MONITOR_DEFAULTTONEAREST),
                           &monitor))
        return;
    RECT box{};
    ::GetWindowRect(dialog, &box);
    const RECT& work = monitor.rcWork;
    const int width = box.right - box.left, height = box.bottom - box.top;
    // Larger than the work area (a large font), it keeps its caption and its left edge on the screen.
    const int x = (std::max)(work.left, work.left + (work.right - work.left - width) / 2);
    const int y = (std::max)(work.top, work.top + (work.bottom - work.top - height) / 2);
    ::SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

CAboutBox::CAboutBox() : CModuleDialog(IDD_ABOUTBOX, kControlClasses) {}

BOOL CAboutBox::onInit() {
    centreOnOwnersMonitor(hwnd);
    // The box and the version it tells of come from the same module: the program.
    CFileVersionInfo version;
    std::string product = "Verbinox", number;
    if (version.Create(vx::thisModule())) {
        if (!version.GetProductName().empty())
            product = version.GetProductName();
        number = version.GetProductVersion();
    }
    // The dialog is an ANSI one (the A functions make it): the texts go through the wide functions,
    // converted from the active code page.
    vx::setDlgItemText(hwnd, IDC_ABOUT_PRODUCT, product);
    vx::setDlgItemText(hwnd, IDC_ABOUT_VERSION, "Version " + number);
    vx::setDlgItemText(hwnd, IDC_ABOUT_BUILT, "Built " __DATE__);
    return TRUE;
}

INT_PTR CAboutBox::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_ABOUT_LINK && (header->code == NM_CLICK || header->code == NM_RETURN))
            vx::shellOpen(searchwindow::kMakerUrl);
        return TRUE;
    }
    // OK and Cancel (Escape, the close box) both close it.
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        end(LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}
