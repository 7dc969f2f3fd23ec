#include "FolderReader.h"

#include "util/VxText.h"

namespace {

// FILE_DIRECTORY_INFORMATION, which the user-mode headers do not declare.
struct Entry {
    ULONG NextEntryOffset;
    ULONG FileIndex;
    LARGE_INTEGER CreationTime, LastAccessTime, LastWriteTime, ChangeTime, EndOfFile, AllocationSize;
    ULONG FileAttributes;
    ULONG FileNameLength;
    WCHAR FileName[1];
};
struct IoStatus {
    union {
        LONG Status;
        PVOID Pointer;
    };
    ULONG_PTR Information;
};
using QueryFn = LONG(WINAPI*)(HANDLE, HANDLE, PVOID, PVOID, IoStatus*, PVOID, ULONG, int, BOOLEAN, PVOID,
                              BOOLEAN);
const ULONG kBufferBytes = 16 * 1024;
const int kFileDirectoryInformation = 1;

QueryFn query() {
    static const auto fn = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQueryDirectoryFile")));
    return fn;
}

uint64_t fromFileTime(const FILETIME& t) {
    return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

} // namespace

bool CFolderReader::open(const std::wstring& folder, uint64_t* writeTime) {
    at = nullptr;
    handle.Attach(::CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.IsValid() || !query())
        return false;
    if (writeTime) {
        BY_HANDLE_FILE_INFORMATION info;
        if (!::GetFileInformationByHandle(handle.Get(), &info))
            return false;
        *writeTime = fromFileTime(info.ftLastWriteTime);
    }
    buffer.resize(kBufferBytes);
    return fill();
}

bool CFolderReader::next(std::wstring_view& name, DWORD& attributes) {
    if (at == nullptr && !fill())
        return false;
    const auto* entry = reinterpret_cast<const Entry*>(at);
    name = std::wstring_view(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
    attributes = entry->FileAttributes;
    at = entry->NextEntryOffset ? at + entry->NextEntryOffset : nullptr;
    return true;
}

bool CFolderReader::fill() {
    IoStatus io{};
    // Negative statuses are errors; STATUS_NO_MORE_FILES is a warning, positive ones never come from a
    // synchronous handle. Either way an empty batch ends the folder.
    const LONG status = query()(handle.Get(), nullptr, nullptr, nullptr, &io, buffer.data(), kBufferBytes,
                                kFileDirectoryInformation, FALSE, nullptr, FALSE);
    if (status != 0 || io.Information == 0) {
        at = nullptr;
        return false;
    }
    at = buffer.data();
    return true;
}

std::wstring longFolderForm(const std::string& folder) {
    std::wstring wide = vx::widened(folder);
    DWORD n = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return std::wstring();
    std::wstring full(n, L'\0');
    n = ::GetFullPathNameW(wide.c_str(), n, &full[0], nullptr);
    full.resize(n);
    if (full.compare(0, 4, L"\\\\?\\") == 0)
        return full;
    if (full.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

bool folderWriteTime(const std::wstring& longFolder, uint64_t& writeTime) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(longFolder.c_str(), GetFileExInfoStandard, &data) ||
        !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    writeTime = fromFileTime(data.ftLastWriteTime);
    return true;
}
