#include "util/FileSnapshot.h"

#include "util/VxText.h"
#include "util/Win32Handle.h"

#include <windows.h>

#include <atomic>
#include <vector>

namespace vx {
namespace {

std::atomic<unsigned> snapshotCounter{0};

// Reads the whole source with every sharing flag (a browser holds its files open for writing, and
// may delete or rename its log at any moment) and writes a new file of ours. Fails rather than leave
// a short copy: a database cut in the middle would read as corrupt, or worse, as a smaller history.
bool copyShared(const std::wstring& from, const std::wstring& to) {
    CHandle source;
    source.Attach(::CreateFileW(from.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!source.IsValid())
        return false;
    CHandle target;
    target.Attach(
        ::CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY, nullptr));
    if (!target.IsValid())
        return false;
    std::vector<char> buffer(1 << 20);
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(source.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
            return false;
        if (got == 0)
            return true;
        DWORD put = 0;
        if (!::WriteFile(target.Get(), buffer.data(), got, &put, nullptr) || put != got)
            return false;
    }
}

bool exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

bool CFileSnapshot::take(const std::string& path) {
    release();
    wchar_t temp[MAX_PATH + 1] = {};
    DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH)
        return false;
    const std::wstring source = widened(path);
    if (source.empty() || !exists(source))
        return false;
    std::wstring dir;
    // A name of our own per process and snapshot: two searches (or two copies of the program, in two
    // sessions sharing a temporary folder) never meet in one folder.
    for (int attempt = 0; attempt < 16; ++attempt) {
        dir = std::wstring(temp) + L"Verbinox-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
              std::to_wstring(snapshotCounter.fetch_add(1)) + L"-" + std::to_wstring(::GetTickCount());
        if (::CreateDirectoryW(dir.c_str(), nullptr))
            break;
        dir.clear();
    }
    if (dir.empty())
        return false;
    folder = narrowed(dir);
    std::size_t slash = source.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? source : source.substr(slash + 1);
    const std::wstring target = dir + L"\\" + name;
    if (!copyShared(source, target)) {
        release();
        return false;
    }
    // The log and the journal are copied when they exist; one that vanishes between the check and the
    // copy was checkpointed or committed into the database, which is then at least as new.
    for (const wchar_t* suffix : {L"-wal", L"-journal"}) {
        if (exists(source + suffix) && !copyShared(source + suffix, target + suffix) &&
            exists(source + suffix)) {
            release();
            return false;
        }
    }
    copy = narrowed(target);
    return true;
}

void CFileSnapshot::release() {
    copy.clear();
    if (folder.empty())
        return;
    const std::wstring dir = widened(folder);
    folder.clear();
    // Whatever is in the folder is ours: the copies and SQLite's "-shm" or journal beside them.
    WIN32_FIND_DATAW data;
    CFindHandle find(::FindFirstFileW((dir + L"\\*").c_str(), &data));
    if (find.IsValid()) {
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                ::DeleteFileW((dir + L"\\" + data.cFileName).c_str());
        } while (::FindNextFileW(find.Get(), &data));
    }
    find.Close();
    ::RemoveDirectoryW(dir.c_str());
}

CFileStamp fileStamp(const std::string& path) {
    CFileStamp stamp;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.empty() || !::GetFileAttributesExW(widened(path).c_str(), GetFileExInfoStandard, &data))
        return stamp;
    stamp.exists = true;
    stamp.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    stamp.writeTime = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                      data.ftLastWriteTime.dwLowDateTime;
    return stamp;
}

} // namespace vx
