#pragma once
// One search folder of the file-system plug-in: a folder (which may name a well-known user folder
// through a placeholder), include and exclude wildcard filters, and two switches.
#include "FolderCache.h"
#include "FolderWatch.h"
#include "engine/VIndexer.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class VPreferencesNode;
class VFileResult;

class VDiskdexIndexer : public VIndexer {
public:
    enum FilterList { IncludeFilters = 0, ExcludeFilters = 1 };

    explicit VDiskdexIndexer(VPlugin* plugin);
    ~VDiskdexIndexer() override;

    bool reservedFlag() override { return false; }
    // Asks the builder to bring the cache up to date and returns at once: settings that changed make it
    // load the persisted cache made for them, or walk the folder; otherwise it reads again the folders
    // that changed. In live mode the cache is dropped.
    void updateCache() override;
    void clearCache() override;
    // What the last build had to do, when it walked the folder.
    std::string getCacheNote() const override;

    std::string getPath() const;
    void setPath(const std::string& path);
    // The stored path with its placeholders replaced and, when relative, taken from the program's folder.
    // Empty when nothing is left to walk.
    std::string resolvePath() const;
    // The resolved folder, or the stored path with a note when it resolves to nothing.
    std::string getSourceDescription() const override;

    void setIncludeFilters(const std::vector<std::string>& patterns);
    void setExcludeFilters(const std::vector<std::string>& patterns);
    std::vector<std::string> getIncludeFilters() const;
    std::vector<std::string> getExcludeFilters() const;
    void addIncludeFilter(const std::string& pattern);
    void addExcludeFilter(const std::string& pattern);
    void removeIncludeFilter(const std::string& pattern);
    void removeExcludeFilter(const std::string& pattern);
    void replaceIncludeFilter(const std::string& oldPattern, const std::string& newPattern);
    void replaceExcludeFilter(const std::string& oldPattern, const std::string& newPattern);
    std::string getFilterString(FilterList which) const;
    void setFilterString(const std::string& text, FilterList which);
    // Both compare in lower case, whatever case the pattern was written in.
    bool passesIncludeFilters(const std::string& name) const;
    bool matchesExcludeFilter(const std::string& name) const;

    bool getRecurse() const { return recurse.load(); }
    void setRecurse(bool value) { recurse.store(value); }
    bool getMatchDirectories() const { return matchDirectories.load(); }
    void setMatchDirectories(bool value) { matchDirectories.store(value); }

    // The keys of one "Indexer" node.
    void loadPrefs(VPreferencesNode* node);
    void savePrefs(VPreferencesNode* node) const;

    // The snapshot searches use now (null before the first build); it never changes once made.
    std::shared_ptr<const FolderCache> getCache() const;
    // Files and folders held by the cache.
    std::size_t getCachedCount() const;
    // Bytes the cache holds besides the names themselves, for the benchmark.
    std::size_t getCacheOverheadBytes() const;
    // Where the cache for the current settings is persisted.
    std::string getCacheFile() const;
    // Writes the cache now if it changed since it was last written; true when the file holds it.
    bool saveCache();
    // How long the last check of the folder times took, and what it did, for the benchmark.
    double getLastCheckMs() const { return lastCheckMs.load(); }
    FolderCache::CheckStats getLastCheckStats() const;
    // Between two checks of the folder times while nothing is reported, and how long a change must have
    // settled before the cache is written.
    static const DWORD kCheckIntervalMs = 500;
    static const DWORD kSettleMs = 1500;

    // The shared table of well-known folders, each ending in a backslash (empty when unknown).
    static std::string folderForPlaceholder(const std::string& placeholder);

protected:
    void search() override;
    void rebuild(const std::function<bool()>& stop) override;
    DWORD followInterval() const override { return kPollMs; }
    void follow(const std::function<bool()>& stop) override;

private:
    // Notifications are polled this often; folder times are checked every kCheckIntervalMs.
    static const DWORD kPollMs = 100;
    // What one walk needs, copied under the lock so the dialog may change the indexer meanwhile.
    FolderSettings snapshot() const;
    // Calls visit(folder, name, isDir) for every entry that passes the filters; false when cancelled.
    template <class Visit> bool walk(const FolderSettings& settings, Visit visit, bool stopOnCancel) const;
    static std::vector<std::string> lowerAll(const std::vector<std::string>& patterns);
    // Where the cache for the settings of key is persisted; empty when there is no folder for caches.
    static std::string cacheFileFor(const std::string& key);
    // Swaps a new snapshot in for the settings of key.
    void install(std::shared_ptr<const FolderCache> cache, const std::string& key, bool changed);
    // Reads again the folders whose times changed (and the suspects); on the builder.
    void check(const FolderSettings& settings, const std::function<bool()>& stop);

    mutable std::mutex settingsLock;
    std::string path;
    std::vector<std::string> includeFilters; // as written
    std::vector<std::string> excludeFilters;
    std::atomic<bool> recurse{true};
    std::atomic<bool> matchDirectories{false};

    // The snapshot and the settings key it was made for; the lock is held only to copy or swap them.
    mutable std::mutex cacheLock;
    std::shared_ptr<const FolderCache> current;
    std::string cacheKey;
    std::string cacheNote;
    std::atomic<bool> unsaved{false};

    // The builder's own: the root's notifications, folders they named, and when things happened.
    CFolderWatch watch;
    FolderCache::Suspects suspects;
    DWORD lastCheck = 0;
    DWORD lastChange = 0;
    DWORD lastWatchTry = 0;
    std::atomic<double> lastCheckMs{0};
    FolderCache::CheckStats lastStats;
};
