// The real program, started from the portable folder that "make dist" lays out.
#include "window/Messages.h"
#include "model/VPreferences.h"
#include "res/resource.h"
#include "support/ProcessStart.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

namespace {

const wchar_t kWindowClass[] = L"VerbinoxSearchWindow";

std::string distFolder() {
    return programFolder() + "..\\..\\dist\\Verbinox-" + (sizeof(void*) == 8 ? "x86_64" : "i686") + "\\";
}

struct Started {
    PROCESS_INFORMATION info{};
    bool ok = false;
};

Started start(const std::string& folder) {
    Started run;
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    const std::string exe = folder + "Verbinox.exe";
    run.ok = createProcessOnceMore(exe, "\"" + exe + "\"", FALSE, 0, folder, si, run.info);
    return run;
}

// The search window of that process: tests of the window itself may run beside this one. Null when
// the process ended first, or after ms.
HWND waitForWindow(const PROCESS_INFORMATION& process, DWORD ms) {
    for (DWORD waited = 0; waited < ms; waited += 50) {
        for (HWND window = ::FindWindowExW(nullptr, nullptr, kWindowClass, nullptr); window;
             window = ::FindWindowExW(nullptr, window, kWindowClass, nullptr)) {
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner == process.dwProcessId)
                return window;
        }
        if (::WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0)
            return nullptr;
    }
    return nullptr;
}

// Starts the program and waits for its window. A copy that ended with a failure code before it made its
// window is a start Wine lost: it is started once more, and that is reported.
HWND startWithWindow(const std::string& folder, Started& run) {
    run = start(folder);
    if (!run.ok)
        return nullptr;
    HWND window = waitForWindow(run.info, 30000);
    DWORD code = 0;
    if (window || !::GetExitCodeProcess(run.info.hProcess, &code) || code == STILL_ACTIVE || code == 0)
        return window;
    std::fprintf(stderr,
                 "process start: Verbinox.exe ended with %lu before its window appeared; started again\n",
                 static_cast<unsigned long>(code));
    ::CloseHandle(run.info.hProcess);
    ::CloseHandle(run.info.hThread);
    run = start(folder);
    return run.ok ? waitForWindow(run.info, 30000) : nullptr;
}

} // namespace

TEST(Program, StartsFromItsPortableFolderOnceAndSavesItsSettingsAtExit) {
    const std::string folder = distFolder();
    ASSERT_NE(::GetFileAttributesA((folder + "Verbinox.exe").c_str()), INVALID_FILE_ATTRIBUTES)
        << "no portable folder: scripts/dist.sh lays it out";
    ASSERT_NE(::GetFileAttributesA((folder + "Plugins\\Diskdex.vll").c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_NE(::GetFileAttributesA((folder + "Plugins\\Webquery.vll").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(::GetFileAttributesA((folder + "Plugins\\images\\google.ico").c_str()), INVALID_FILE_ATTRIBUTES)
        << "the engines' icons lie beside the plug-in";
    ASSERT_NE(::GetFileAttributesA((folder + "Plugins\\Opera.vll").c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_NE(::GetFileAttributesA((folder + "Plugins\\Explorer.vll").c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_NE(::GetFileAttributesA((folder + "Plugins\\Firefox.vll").c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_NE(::GetFileAttributesA((folder + "Plugins\\Chromium.vll").c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_NE(::GetFileAttributesA((folder + "Plugins\\Outlook.vll").c_str()), INVALID_FILE_ATTRIBUTES);
    // The browser plug-ins load it at their first database call, no longer with themselves: without it
    // they would load, and that call would end the program instead.
    ASSERT_NE(::GetFileAttributesA((folder + "sqlite3.dll").c_str()), INVALID_FILE_ATTRIBUTES);
    const std::string settings = folder + "Verbinox.xml";
    {
        // A combination nobody else uses, so no "Couldn't register" box waits for a click. The other
        // test programs take the activation at any moment: the window must not hide for them.
        HANDLE file = ::CreateFileA(settings.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        const char text[] =
            "<Verbinox><Verbinox><Window HotKey=\"123\" HotKeyModifier=\"7\" HideOnDeactivate=\"false\" />"
            "</Verbinox></Verbinox>";
        DWORD written = 0;
        ::WriteFile(file, text, sizeof(text) - 1, &written, nullptr);
        ::CloseHandle(file);
    }
    Started first;
    HWND window = startWithWindow(folder, first);
    ASSERT_TRUE(first.ok) << ::GetLastError();
    ASSERT_NE(window, nullptr) << "the search window never appeared";

    // A window of the same class and title in another process (here this test's, which pumps no
    // messages while it waits): the second copy must neither bring it forward nor wait on it.
    WNDCLASSW decoyClass{};
    decoyClass.lpfnWndProc = &::DefWindowProcW;
    decoyClass.hInstance = ::GetModuleHandleW(nullptr);
    decoyClass.lpszClassName = kWindowClass;
    ::RegisterClassW(&decoyClass);
    HWND decoy = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kWindowClass, L"Verbinox", WS_POPUP, 0,
                                   0, 10, 10, nullptr, nullptr, decoyClass.hInstance, nullptr);
    ASSERT_NE(decoy, nullptr);
    ::SetWindowPos(decoy, HWND_TOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);

    Started second = start(folder);
    ASSERT_TRUE(second.ok);
    EXPECT_EQ(::WaitForSingleObject(second.info.hProcess, 30000), WAIT_OBJECT_0) << "the second copy stays";
    DWORD code = 99;
    ::GetExitCodeProcess(second.info.hProcess, &code);
    EXPECT_EQ(code, 0u);
    MSG sent{};
    EXPECT_FALSE(::PeekMessageW(&sent, decoy, WM_COMMAND, WM_COMMAND, PM_REMOVE))
        << "the other window was called forward";
    ::DestroyWindow(decoy);
    bool shown = false;
    for (int i = 0; i < 100 && !shown; ++i, ::Sleep(50))
        shown = ::IsWindowVisible(window) != FALSE;
    EXPECT_TRUE(shown) << "the running copy's window was not brought forward";
    EXPECT_EQ(::WaitForSingleObject(first.info.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the first copy must go on";

    ::PostMessageW(window, WM_COMMAND, ID_TRAY_EXIT, 0);
    EXPECT_EQ(::WaitForSingleObject(first.info.hProcess, 30000), WAIT_OBJECT_0) << "Exit did not end it";
    ::GetExitCodeProcess(first.info.hProcess, &code);
    EXPECT_EQ(code, 0u);
    for (HANDLE h : {first.info.hProcess, first.info.hThread, second.info.hProcess, second.info.hThread})
        ::CloseHandle(h);

    VPreferencesNode* saved = VPreferences::load(settings);
    ASSERT_NE(saved, nullptr);
    VPreferencesNode* windowNode = saved->getChild("Verbinox")->getChild("Window");
    ASSERT_NE(windowNode, nullptr);
    int key = 0;
    EXPECT_TRUE(windowNode->getParam("HotKey", key));
    EXPECT_EQ(key, 123);
    VPreferencesNode* plugins = saved->getChild("Verbinox")->getChild("Core")->getChild("PluginMgr");
    EXPECT_NE(plugins->getChild("Diskdex"), nullptr) << "the plug-ins' settings were saved too";
    VPreferencesNode* explorer = plugins->getChild("Explorer");
    bool favorites = false;
    EXPECT_TRUE(explorer && explorer->getParam("SearchFavorites", favorites) && favorites)
        << "Internet Explorer's favorites are searched by default";
    saved->deleteThis();
    ::DeleteFileA(settings.c_str());
}
