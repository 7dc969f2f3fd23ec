#pragma once
// The icons of file rows, fetched from the shell on a thread of the cache's own. The shell may read the
// file, load an icon handler or wait on a network drive: the window thread only ever asks the cache,
// which answers with the icon or with null ("not yet"), and the row shows the generic icon until the
// worker posts that icons arrived.
#include <windows.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

// One icon the worker is to fetch.
struct VIconRequest {
    // A full path; for type icons a made-up name with the type's extension.
    std::wstring name;
    // By name and attributes only: the file is not touched.
    bool byType = true;
    bool folder = false;
    // Width and height in pixels.
    int size = 16;
};

// Where the cache gets its icons from. Called on the cache's worker thread only, with COM initialised.
class VIconSource {
public:
    virtual ~VIconSource() = default;
    // A new icon that the caller destroys, or null when there is none.
    virtual HICON fetch(const VIconRequest& request) = 0;
};

// The shell's icons: SHGetFileInfoW, small or large by the size asked for.
class VShellIconSource : public VIconSource {
public:
    HICON fetch(const VIconRequest& request) override;
};

// Window thread only, except for its worker. Icons are kept by key: documents per extension, folders
// together, programs, shortcuts and icon files per full path, each at its size; the least recently
// used go past the bound. Every icon the cache holds is destroyed on the window thread, so one that a
// lookup answered stays valid until the next lookup.
class VIconCache {
public:
    explicit VIconCache(std::unique_ptr<VIconSource> source = std::make_unique<VShellIconSource>(),
                        std::size_t capacity = 512);
    // Stops the worker and destroys the icons.
    ~VIconCache();
    VIconCache(const VIconCache&) = delete;
    VIconCache& operator=(const VIconCache&) = delete;

    // Whenever icons arrive while no such message is pending, the worker posts message (no parameters)
    // to window; the handler calls takeArrivals.
    void notify(HWND window, UINT message);
    // Stops the worker, forgets every icon and fetches from source from then on.
    void useSource(std::unique_ptr<VIconSource> source);

    // The icon of a file or folder at size pixels, or null while it is fetched (the fetch is queued
    // once) and when the shell has none. The cache keeps it: the caller neither destroys nor keeps it.
    HICON lookup(const std::string& path, bool folder, int size);
    // A stock document or folder icon at that size, for rows whose own icon is not there yet: loaded
    // from the shell library's resources, which needs no shell call. May be null.
    HICON generic(bool folder, int size);
    // Moves what the worker fetched into the cache; true when anything arrived since the last time.
    bool takeArrivals();
    // The rows that asked for icons are gone: requests not started yet are dropped.
    void dropPending();
    // Waits for the fetch under way, drops the rest and destroys every icon. Lookups then answer null
    // until useSource starts afresh.
    void stop();

    // Keys held (with or without an icon) and requests queued, not counting the one under way.
    std::size_t size() const { return entries.size(); }
    std::size_t pending() const;
    // "<size>|<key>": ".<extension>" for documents, "<folder>" for folders, the lower-cased path for
    // files that carry an icon of their own (.exe, .lnk, .ico).
    static std::wstring keyOf(const std::string& path, bool folder, int size);

private:
    struct Job {
        std::wstring key;
        VIconRequest request;
    };
    struct Entry {
        HICON icon;
        std::list<std::wstring>::iterator used;
    };
    HICON ask(const std::string& path, bool folder, int size);
    void run();
    void store(const std::wstring& key, HICON icon);
    void releaseAll();

    std::unique_ptr<VIconSource> source;
    std::size_t capacity;
    HWND window = nullptr;
    UINT message = 0;
    bool stopped = false;

    // Window thread only.
    std::unordered_map<std::wstring, Entry> entries;
    // Keys, most recently used first.
    std::list<std::wstring> recency;
    // Keys queued or under way, so each is fetched once.
    std::unordered_set<std::wstring> requested;
    std::unordered_map<int, HICON> genericFiles, genericFolders;

    // Shared with the worker, under guard.
    mutable std::mutex guard;
    std::condition_variable wake;
    std::deque<Job> queue;
    std::vector<std::pair<std::wstring, HICON>> arrived;
    bool posted = false;
    bool stopping = false;
    std::thread worker;
};
