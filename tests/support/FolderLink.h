#pragma once
// A symbolic link to a folder for as long as it lives, for tests of walks that must not follow one.
// Wine's CreateSymbolicLink answers TRUE yet makes nothing; a Unix symbolic link, though, shows to
// Windows programs as a folder with FILE_ATTRIBUTE_REPARSE_POINT. Under Wine the link is made (and
// removed) by ln (and rm), which Wine runs as the Unix programs they are; on Windows it is made with
// CreateSymbolicLink. The link goes before the test's folder does: a delete that followed it would loop.
#include <windows.h>

#include <string>

class FolderLink {
public:
    FolderLink(const std::string& link, const std::string& target) : link_(link) {
        if (unixName()) {
            runUnix("/bin/ln -s \"" + unixPath(target) + "\" \"" + unixPath(link) + "\"", true);
        } else {
            ::CreateSymbolicLinkA(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY);
        }
    }
    ~FolderLink() {
        if (!made())
            return;
        if (unixName())
            runUnix("/bin/rm \"" + unixPath(link_) + "\"", false);
        else
            ::RemoveDirectoryA(link_.c_str());
    }
    FolderLink(const FolderLink&) = delete;
    FolderLink& operator=(const FolderLink&) = delete;

    // True when the link is there, as a folder that is a reparse point.
    bool made() const {
        const DWORD attributes = ::GetFileAttributesA(link_.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
               (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    }

private:
    using UnixName = char*(CDECL*)(LPCWSTR);
    // Wine's own export; null on Windows.
    static UnixName unixName() {
        return reinterpret_cast<UnixName>(reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    }
    static std::string unixPath(const std::string& path) {
        const std::wstring wide(path.begin(), path.end());
        char* name = unixName()(wide.c_str());
        const std::string out = name ? name : "";
        if (name)
            ::HeapFree(::GetProcessHeap(), 0, name);
        return out;
    }
    // Runs the command and waits until the link is there (or gone). The handle Wine gives for a Unix
    // program may be signalled before the program has run: the link itself is watched.
    void runUnix(std::string command, bool linked) const {
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (!::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &process))
            return;
        ::WaitForSingleObject(process.hProcess, 10000);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
        for (int waited = 0; waited < 10000 && made() != linked; waited += 10)
            ::Sleep(10);
    }

    std::string link_;
};
