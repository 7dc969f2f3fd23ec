#include "Startup.h"

#include "model/VPreferences.h"
#include "util/CPath.h"
#include "util/CShellLink.h"
#include "util/SystemText.h"
#include "util/VxText.h"
#include "util/Win32Handle.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string_view>

namespace startup {

namespace {

std::string desktopName() {
    HDESK desk = ::GetThreadDesktop(::GetCurrentThreadId());
    DWORD needed = 0;
    if (!desk)
        return std::string();
    ::GetUserObjectInformationA(desk, UOI_NAME, nullptr, 0, &needed);
    if (needed == 0)
        return std::string();
    std::string name(needed, '\0');
    if (!::GetUserObjectInformationA(desk, UOI_NAME, &name[0], needed, &needed))
        return std::string();
    name.resize(strnlen(name.c_str(), name.size()));
    return name;
}

std::string environment(const char* name) {
    DWORD n = ::GetEnvironmentVariableA(name, nullptr, 0);
    if (n <= 1)
        return std::string();
    std::string value(n, '\0');
    value.resize(::GetEnvironmentVariableA(name, &value[0], n));
    return value;
}

std::string copyMarkName(const std::string& instanceName) {
    return instanceName + "-process";
}

// The process id the running copy wrote into its mark; 0 when there is no mark yet.
DWORD markedProcess(const std::string& instanceName) {
    vx::CHandle mark;
    mark.Attach(::OpenFileMappingA(FILE_MAP_READ, FALSE, copyMarkName(instanceName).c_str()));
    if (!mark.IsValid())
        return 0;
    const void* view = ::MapViewOfFile(mark.Get(), FILE_MAP_READ, 0, 0, sizeof(DWORD));
    if (!view)
        return 0;
    const DWORD process = *static_cast<const volatile DWORD*>(view);
    ::UnmapViewOfFile(view);
    return process;
}

struct CopyWindowSearch {
    DWORD process;
    const wchar_t* windowClass;
    HWND found;
};

BOOL CALLBACK visitCopyWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<CopyWindowSearch*>(param);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process != search->process)
        return TRUE;
    wchar_t name[128] = {};
    ::GetClassNameW(window, name, 128);
    if (std::wcscmp(name, search->windowClass) != 0)
        return TRUE;
    search->found = window;
    return FALSE;
}

} // namespace

bool markRunningCopy(const std::string& instanceName) {
    // Never closed: the mark must last exactly as long as the mutex, which is the process's life.
    HANDLE mark = ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(DWORD),
                                       copyMarkName(instanceName).c_str());
    if (!mark)
        return false;
    void* view = ::MapViewOfFile(mark, FILE_MAP_WRITE, 0, 0, sizeof(DWORD));
    if (!view) {
        ::CloseHandle(mark);
        return false;
    }
    *static_cast<volatile DWORD*>(view) = ::GetCurrentProcessId();
    ::UnmapViewOfFile(view);
    return true;
}

HWND findRunningCopy(const std::string& instanceName, const wchar_t* windowClass, DWORD waitMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        CopyWindowSearch search{markedProcess(instanceName), windowClass, nullptr};
        if (search.process != 0)
            ::EnumWindows(&visitCopyWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found || ::GetTickCount() - start >= waitMs)
            return search.found;
        ::Sleep(50);
    }
}

std::string uniqueInstanceName(const std::string& base, int scope) {
    switch (scope) {
    case PerDesktop: {
        std::string desk = desktopName();
        return desk.empty() ? base + "-Win9x" : base + "-" + desk;
    }
    case PerSession: {
        HANDLE token = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
            return base;
        TOKEN_STATISTICS stats{};
        DWORD size = 0;
        bool ok = ::GetTokenInformation(token, TokenStatistics, &stats, sizeof(stats), &size) != FALSE;
        ::CloseHandle(token);
        if (!ok)
            return base;
        char suffix[24];
        std::snprintf(suffix, sizeof(suffix), "-%08lx%08lx",
                      static_cast<unsigned long>(stats.AuthenticationId.HighPart),
                      static_cast<unsigned long>(stats.AuthenticationId.LowPart));
        return base + suffix;
    }
    case PerUser: {
        char user[64] = {};
        DWORD length = sizeof(user);
        if (!::GetUserNameA(user, &length))
            return base;
        return base + "-" + environment("USERDOMAIN") + "-" + user;
    }
    default:
        return base;
    }
}

VPreferencesNode* loadPreferences(const std::string& path, PreferencesLoad& outcome) {
    outcome = PreferencesLoad();
    unsigned long error = 0;
    VPreferencesNode* root = VPreferences::load(path, error);
    // A virus scanner or a backup tool holding the file for a moment is not worth the user's settings.
    for (int wait = 0;
         !root && wait < 4 && (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION); ++wait) {
        ::Sleep(100);
        root = VPreferences::load(path, error);
    }
    if (root) {
        outcome.firstRun = false;
        return root;
    }
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return nullptr;
    outcome.unreadable = true;
    outcome.readError = error;
    // Kept beside the fresh file the exit will write, rather than overwritten. A file that cannot even
    // be renamed (held open by another program) stays where it is, and the exit must not write there.
    const std::string backup = path + ".bak";
    if (::MoveFileExA(path.c_str(), backup.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        outcome.oldFile = backup;
    } else {
        outcome.oldFile = path;
        outcome.mayWrite = false;
    }
    return nullptr;
}

std::string systemMessage(DWORD error) {
    WCHAR* text = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::string message;
    if (length && text)
        message = vx::narrowed(std::wstring_view(text, length));
    if (text)
        ::LocalFree(text);
    for (char& c : message) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    message = vx::trimmed(message);
    while (!message.empty() && (message.back() == '.' || vx::isBlank(message.back())))
        message.pop_back();
    if (message.empty())
        message = "error " + std::to_string(error);
    return message;
}

std::string unreadableNotice(const PreferencesLoad& outcome) {
    if (!outcome.unreadable)
        return std::string();
    if (outcome.mayWrite)
        return "Verbinox could not read its settings file. It was kept as " + outcome.oldFile +
               "; the settings start afresh.";
    std::string notice = "Verbinox could not read its settings file " + outcome.oldFile;
    if (outcome.readError)
        notice += ": " + systemMessage(outcome.readError);
    return notice + ". It is left as it is and not saved over; the settings start afresh.";
}

std::string saveFailureNotice(const std::string& path, DWORD error, bool willRetry) {
    return "Verbinox could not save its settings to " + path + ": " + systemMessage(error) +
           (willRetry ? ". It will try again." : ". The file keeps the settings it had.");
}

std::string startupShortcutPath() {
    char folder[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathA(nullptr, folder, CSIDL_STARTUP, FALSE) || !folder[0])
        return std::string();
    return CPath::AddBackSlash(folder) + "Verbinox.lnk";
}

std::string quickLaunchShortcutPath() {
    std::string appData = environment("APPDATA");
    if (appData.empty())
        return std::string();
    return CPath::AddBackSlash(appData) + "Microsoft\\Internet Explorer\\Quick Launch\\Verbinox.lnk";
}

bool shortcutExists(const std::string& path) {
    return !path.empty() && ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool syncShortcut(const std::string& path, bool present, const std::string& target,
                  const std::string& folder) {
    if (path.empty())
        return false;
    if (!present) {
        ::DeleteFileA(path.c_str());
        return true;
    }
    if (shortcutExists(path))
        return true;
    CShellLinkInfo info;
    info.path = target;
    info.description = "Verbinox";
    info.workingDirectory = folder;
    CShellLink link;
    return link.Create(info) && link.Save(path);
}

bool registerHotKey(HWND window, UINT& modifiers, UINT key, bool firstRun) {
    ::UnregisterHotKey(window, 1);
    if (::RegisterHotKey(window, 1, modifiers, key))
        return true;
    if (!firstRun)
        return false;
    modifiers = MOD_ALT;
    return ::RegisterHotKey(window, 1, modifiers, key) != FALSE;
}

namespace {
HWND confirmationOwner = nullptr;
} // namespace

void setConfirmationOwner(HWND owner) {
    confirmationOwner = owner;
}

bool confirmUrlOpening(const std::string& url) {
    // A crafted address can be long enough to push the question off the screen.
    const std::size_t kShown = 1024;
    const std::string shown = url.size() > kShown ? url.substr(0, kShown) + "..." : url;
    const std::string text =
        "This address is not a web page, an e-mail address or a document on this computer. "
        "Opening it may start a program or reach another computer:\n\n" +
        shown + "\n\nOpen it anyway?";
    return vx::messageBox(confirmationOwner, text, "Verbinox",
                          MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2 | MB_SETFOREGROUND | MB_TOPMOST) == IDYES;
}

} // namespace startup
