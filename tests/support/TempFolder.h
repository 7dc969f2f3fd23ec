#pragma once
// A private folder under %TEMP% for one test, removed with everything in it afterwards.
#include <windows.h>
#include <shellapi.h>

#include <string>

class TempFolder {
public:
    TempFolder() {
        char base[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, base);
        static int serial = 0;
        // Process ids repeat under Wine: the clock keeps a folder left by a killed run from being reused.
        path_ = std::string(base) + "vx-test-" + std::to_string(::GetCurrentProcessId()) + "-" +
                std::to_string(::GetTickCount64()) + "-" + std::to_string(++serial) + "\\";
        ::CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~TempFolder() {
        std::string from = path_.substr(0, path_.size() - 1);
        from.push_back('\0'); // SHFileOperation wants a double-NUL-terminated list
        SHFILEOPSTRUCTA op{};
        op.wFunc = FO_DELETE;
        op.pFrom = from.c_str();
        op.fFlags = FOF_NO_UI;
        ::SHFileOperationA(&op);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder, ending in a backslash.
    const std::string& path() const { return path_; }
    std::string sub(const std::string& relative) const { return path_ + relative; }
    bool makeDir(const std::string& relative) const {
        return ::CreateDirectoryA(sub(relative).c_str(), nullptr) != FALSE;
    }
    bool writeFile(const std::string& relative, const std::string& content) const {
        HANDLE h = ::CreateFileA(sub(relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        DWORD written = 0;
        bool ok = ::WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
                  written == content.size();
        ::CloseHandle(h);
        return ok;
    }
    std::string readFile(const std::string& relative) const { return readWholeFile(sub(relative)); }
    // Every byte of a file anywhere; empty when it cannot be read.
    static std::string readWholeFile(const std::string& path) {
        std::string out;
        HANDLE h =
            ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return out;
        char buf[4096];
        DWORD n = 0;
        while (::ReadFile(h, buf, sizeof(buf), &n, nullptr) && n > 0)
            out.append(buf, n);
        ::CloseHandle(h);
        return out;
    }

private:
    std::string path_;
};

// The folder of the running test program, ending in a backslash.
inline std::string programFolder() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p = path;
    return p.substr(0, p.find_last_of('\\') + 1);
}
