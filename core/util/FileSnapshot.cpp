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
bool copyShared(const std::wstring& from, const std::wstring& to, const std::function<bool()>& stop) {
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
        if (stop && stop())
            return false;
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

const wchar_t kFolderPrefix[] = L"Verbinox-";

// The user's temporary folder, ending in a backslash; empty when there is none.
std::wstring tempFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
    return n == 0 || n > MAX_PATH ? std::wstring() : std::wstring(temp, n);
}

// Whatever is in a snapshot folder is ours: the copies and SQLite's "-shm" or journal beside them.
// Folders inside are none of ours, and keep it.
bool removeFolder(const std::wstring& dir) {
    WIN32_FIND_DATAW data;
    CFindHandle find(::FindFirstFileW((dir + L"\\*").c_str(), &data));
    if (find.IsValid()) {
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                ::DeleteFileW((dir + L"\\" + data.cFileName).c_str());
        } while (::FindNextFileW(find.Get(), &data));
    }
    find.Close();
    return ::RemoveDirectoryW(dir.c_str()) != FALSE;
}

// The process id in a name made by take ("Verbinox-<process>-<serial>-<ticks>"), or false for a name
// of any other form.
bool processOfFolder(const std::wstring& name, DWORD& process) {
    const std::size_t prefix = sizeof(kFolderPrefix) / sizeof(wchar_t) - 1;
    if (name.compare(0, prefix, kFolderPrefix) != 0)
        return false;
    unsigned long long numbers[3] = {};
    std::size_t at = prefix;
    for (int i = 0; i < 3; ++i) {
        if (i > 0 && (at >= name.size() || name[at++] != L'-'))
            return false;
        const std::size_t start = at;
        while (at < name.size() && name[at] >= L'0' && name[at] <= L'9' && at - start < 20)
            numbers[i] = numbers[i] * 10 + static_cast<unsigned>(name[at++] - L'0');
        if (at == start)
            return false;
    }
    if (at != name.size() || numbers[0] > MAXDWORD)
        return false;
    process = static_cast<DWORD>(numbers[0]);
    return true;
}

// Whether the process that made a folder at that time may still run. Process ids are reused (Wine
// hands them out again at once): a process of that id that started after the folder was made is
// another one. A file system may keep coarse times, so "after" means by more than two seconds. One
// that cannot be asked is taken to run.
bool ownerRuns(DWORD process, const FILETIME& folderMade) {
    CHandle owner;
    owner.Attach(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process));
    if (!owner.IsValid())
        return ::GetLastError() != ERROR_INVALID_PARAMETER; // no such process
    DWORD code = 0;
    if (::GetExitCodeProcess(owner.Get(), &code) && code != STILL_ACTIVE)
        return false;
    FILETIME started, ended, kernel, user;
    if (!::GetProcessTimes(owner.Get(), &started, &ended, &kernel, &user))
        return true;
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    const uint64_t slack = 2ULL * 10000000ULL; // in the 100 ns units of a FILETIME
    return ticks(started) <= ticks(folderMade) + slack;
}

} // namespace

bool CFileSnapshot::take(const std::string& path, const std::function<bool()>& stop) {
    release();
    const std::wstring temp = tempFolder();
    if (temp.empty())
        return false;
    const std::wstring source = widened(path);
    if (source.empty() || !exists(source))
        return false;
    std::wstring dir;
    // A name of our own per process and snapshot: two searches (or two copies of the program, in two
    // sessions sharing a temporary folder) never meet in one folder.
    for (int attempt = 0; attempt < 16; ++attempt) {
        dir = temp + kFolderPrefix + std::to_wstring(::GetCurrentProcessId()) + L"-" +
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
    if (!copyShared(source, target, stop)) {
        release();
        return false;
    }
    // The log and the journal are copied when they exist; one that vanishes between the check and the
    // copy was checkpointed or committed into the database, which is then at least as new.
    for (const wchar_t* suffix : {L"-wal", L"-journal"}) {
        if (exists(source + suffix) && !copyShared(source + suffix, target + suffix, stop) &&
            ((stop && stop()) || exists(source + suffix))) {
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
    removeFolder(dir);
}

int sweepAbandonedSnapshots() {
    const std::wstring temp = tempFolder();
    if (temp.empty())
        return 0;
    std::vector<std::wstring> abandoned;
    WIN32_FIND_DATAW data;
    CFindHandle find(::FindFirstFileW((temp + kFolderPrefix + L"*").c_str(), &data));
    if (!find.IsValid())
        return 0;
    do {
        DWORD process = 0;
        // A link or junction of that name leads somewhere that is not ours.
        const bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                            !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
        if (folder && processOfFolder(data.cFileName, process) && !ownerRuns(process, data.ftCreationTime))
            abandoned.push_back(temp + data.cFileName);
    } while (::FindNextFileW(find.Get(), &data));
    find.Close();
    int removed = 0;
    for (const std::wstring& dir : abandoned)
        removed += removeFolder(dir) ? 1 : 0;
    return removed;
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
