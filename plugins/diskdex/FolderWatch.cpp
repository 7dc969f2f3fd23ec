#include "FolderWatch.h"

namespace {
const DWORD kBufferBytes = 64 * 1024; // the most a network folder accepts
// Writes too: a shortcut saved again in place changes no name and, on NTFS, not its folder's time either.
const DWORD kFilter =
    FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE;

// Only a shortcut's contents are kept: a write to any other file changes nothing the cache holds.
bool keptContents(const wchar_t* name, DWORD length) {
    return length >= 4 && name[length - 4] == L'.' && (name[length - 3] | 0x20) == L'l' &&
           (name[length - 2] | 0x20) == L'n' && (name[length - 1] | 0x20) == L'k';
}
} // namespace

bool CFolderWatch::start(const std::wstring& longFolder) {
    stop();
    watched = longFolder;
    dir.Attach(::CreateFileW(longFolder.c_str(), FILE_LIST_DIRECTORY,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
    event.Attach(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!dir.IsValid() || !event.IsValid()) {
        stop();
        return false;
    }
    buffer.resize(kBufferBytes / sizeof(DWORD));
    return arm();
}

bool CFolderWatch::arm() {
    overlapped = OVERLAPPED{};
    overlapped.hEvent = event.Get();
    pending = ::ReadDirectoryChangesW(dir.Get(), buffer.data(), kBufferBytes, TRUE, kFilter, nullptr,
                                      &overlapped, nullptr) != FALSE;
    return pending;
}

void CFolderWatch::stop() {
    if (pending) {
        // The buffer and the OVERLAPPED belong to the system until the read has ended.
        ::CancelIoEx(dir.Get(), &overlapped);
        DWORD bytes = 0;
        ::GetOverlappedResult(dir.Get(), &overlapped, &bytes, TRUE);
        pending = false;
    }
    dir.Close();
    event.Close();
}

bool CFolderWatch::poll(std::vector<std::wstring>& changed, bool& overflow) {
    if (!pending)
        return false;
    DWORD bytes = 0;
    if (!::GetOverlappedResult(dir.Get(), &overlapped, &bytes, FALSE)) {
        if (::GetLastError() == ERROR_IO_INCOMPLETE)
            return false;
        pending = false;
        overflow = true;
        arm();
        return true;
    }
    pending = false;
    bool any = false;
    if (bytes == 0) {
        overflow = true;
        any = true;
    } else {
        const char* base = reinterpret_cast<const char*>(buffer.data());
        for (DWORD at = 0; at + sizeof(FILE_NOTIFY_INFORMATION) <= bytes;) {
            const auto* info = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(base + at);
            const DWORD length = info->FileNameLength / sizeof(WCHAR);
            if (at + offsetof(FILE_NOTIFY_INFORMATION, FileName) + length * sizeof(WCHAR) > bytes)
                break;
            if (info->Action != FILE_ACTION_MODIFIED || keptContents(info->FileName, length)) {
                changed.emplace_back(info->FileName, length);
                any = true;
            }
            if (info->NextEntryOffset == 0)
                break;
            at += info->NextEntryOffset;
        }
    }
    arm();
    return any;
}
