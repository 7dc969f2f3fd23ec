// Verbinox.exe: one copy per logon session; a second start brings the first copy's window forward.
// Sockets first: winsock2.h must come before windows.h.
#include <winsock2.h>

#include "window/SearchWindow.h"
#include "Startup.h"
#include "engine/VVerbinoxCore.h"
#include "res/resource.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

namespace {

void showString(UINT id) {
    wchar_t text[256] = {};
    ::LoadStringW(::GetModuleHandleW(nullptr), id, text, 256);
    ::MessageBoxW(nullptr, text, L"Verbinox", MB_OK | MB_ICONERROR);
}

// Asks the running copy to come forward. Only the window of the process that marked itself as the
// running copy counts: a search by class or title could find another program's window. Nothing here
// waits for that copy's answer, which a copy that is busy would never give.
void activateRunningCopy(const std::string& instanceName) {
    HWND window = startup::findRunningCopy(instanceName, CVerbinoxDlg::windowClass, 5000);
    if (!window)
        return;
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    // This process was started by the user and may hand the foreground on.
    ::AllowSetForegroundWindow(process);
    // It shows itself, or brings forward a dialog that is open over it.
    ::PostMessageW(window, WM_COMMAND, ID_TRAY_SHOW, 0);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const std::string name =
        startup::uniqueInstanceName("{FC48A9F6-3240-401f-B555-C7CB43CFF0B7}", startup::PerSession);
    // Never closed: it marks this session's copy for as long as the process lives.
    HANDLE mutex = ::CreateMutexA(nullptr, FALSE, name.c_str());
    if (mutex && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        activateRunningCopy(name);
        return 0;
    }
    startup::markRunningCopy(name);

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_LINK_CLASS | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    WSADATA sockets{};
    if (::WSAStartup(MAKEWORD(2, 2), &sockets) != 0) {
        showString(IDS_SOCKETS_INIT_FAILED);
        return 1;
    }
    if (FAILED(::OleInitialize(nullptr))) {
        showString(IDS_OLE_INIT_FAILED);
        ::WSACleanup();
        return 1;
    }

    // An invisible owner keeps the search window off the taskbar.
    HWND owner = ::CreateWindowExW(0, L"STATIC", L"Verbinox owner", WS_OVERLAPPED, CW_USEDEFAULT,
                                   CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance, nullptr);
    VVerbinoxCore::setUrlConfirmHook(&startup::confirmUrlOpening);
    {
        CVerbinoxDlg dialog;
        dialog.run(owner);
    }
    if (owner)
        ::DestroyWindow(owner);
    ::OleUninitialize();
    ::WSACleanup();
    return 0;
}
