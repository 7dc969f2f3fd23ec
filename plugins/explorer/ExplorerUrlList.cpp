#include "ExplorerUrlList.h"

#include "util/ComRef.h"
#include "util/VxText.h"

#include <oleauto.h>
#include <shlobj.h>

#include <atomic>

// MinGW-w64's headers do not always declare the history object's class.
EXTERN_C const CLSID CLSID_CUrlHistory;

namespace {

HRESULT createShellHistory(IUrlHistoryStg2** history) {
    return ::CoCreateInstance(CLSID_CUrlHistory, nullptr, CLSCTX_INPROC_SERVER, IID_IUrlHistoryStg2,
                              reinterpret_cast<void**>(history));
}

std::atomic<CExplorerUrlList::HistoryFactory> factory{&createShellHistory};

std::string shellFolder(int csidl) {
    char folder[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return std::string();
    return folder;
}

std::vector<std::string> shellHistoryFiles() {
    std::vector<std::string> files;
    const std::string history = shellFolder(CSIDL_HISTORY);
    if (!history.empty())
        files.push_back(history + "\\History.IE5\\index.dat");
    const std::string local = shellFolder(CSIDL_LOCAL_APPDATA);
    if (!local.empty())
        files.push_back(local + "\\Microsoft\\Windows\\WebCache\\WebCacheV01.dat");
    return files;
}

std::atomic<CExplorerUrlList::HistoryFilesLookup> filesLookup{&shellHistoryFiles};

void convertTime(const FILETIME& time, double& date, bool& invalid) {
    SYSTEMTIME system{};
    invalid = !::FileTimeToSystemTime(&time, &system) || !::SystemTimeToVariantTime(&system, &date);
    if (invalid)
        date = 0;
}

std::string text(const wchar_t* wide) {
    return wide ? vx::narrowed(std::wstring_view(wide)) : std::string();
}

// The strings a fetched record hands over, freed with the task allocator whatever happens next.
class RecordStrings {
public:
    explicit RecordStrings(STATURL& record) : record(record) {}
    ~RecordStrings() {
        ::CoTaskMemFree(record.pwcsUrl);
        ::CoTaskMemFree(record.pwcsTitle);
        record.pwcsUrl = nullptr;
        record.pwcsTitle = nullptr;
    }
    RecordStrings(const RecordStrings&) = delete;
    RecordStrings& operator=(const RecordStrings&) = delete;

private:
    STATURL& record;
};

} // namespace

CExplorerUrl CExplorerUrl::fromRecord(const STATURL& record) {
    CExplorerUrl entry;
    entry.url = record.pwcsUrl ? vx::narrowedAddress(record.pwcsUrl) : std::string();
    entry.title = text(record.pwcsTitle);
    convertTime(record.ftLastUpdated, entry.lastUpdated, entry.lastUpdatedInvalid);
    convertTime(record.ftLastVisited, entry.lastVisited, entry.lastVisitedInvalid);
    convertTime(record.ftExpires, entry.expires, entry.expiresInvalid);
    return entry;
}

CExplorerUrlList::HistoryFactory CExplorerUrlList::setHistoryFactory(HistoryFactory replacement) {
    return factory.exchange(replacement ? replacement : &createShellHistory);
}

std::vector<std::string> CExplorerUrlList::historyFiles() {
    return filesLookup.load()();
}

CExplorerUrlList::HistoryFilesLookup CExplorerUrlList::setHistoryFilesLookup(HistoryFilesLookup replacement) {
    return filesLookup.exchange(replacement ? replacement : &shellHistoryFiles);
}

bool CExplorerUrlList::enumerate(const std::function<bool()>& stop) {
    urls.clear();
    // Declared first, so the interfaces are released while COM is still held.
    vx::CComInitScope com;
    vx::CComRef<IUrlHistoryStg2> history;
    if (FAILED(factory.load()(history.Put())) || !history)
        return false;
    vx::CComRef<IEnumSTATURL> records;
    if (FAILED(history->EnumUrls(records.Put())) || !records)
        return false;
    for (;;) {
        if (stop && stop())
            break;
        STATURL record{};
        // The record's size on this platform: 56 bytes on x64, where a count written for 32 bits fails.
        record.cbSize = sizeof(record);
        record.dwFlags = STATURLFLAG_ISCACHED;
        ULONG fetched = 0;
        const HRESULT hr = records->Next(1, &record, &fetched);
        if (FAILED(hr) || fetched == 0)
            break;
        RecordStrings owned(record);
        urls.push_back(CExplorerUrl::fromRecord(record));
        if (hr != S_OK)
            break;
    }
    return true;
}
