#pragma once
// One search folder of the file-system plug-in: a folder (which may name a well-known user folder
// through a placeholder), include and exclude wildcard filters, and two switches.
#include "engine/VIndexer.h"

#include <atomic>
#include <cstdint>
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
    // Walks the folder once into the cache (cached mode); in live mode only empties the cache.
    void updateCache() override;
    void clearCache() override;

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

    // Files and folders held by the cache.
    std::size_t getCachedCount() const { return entries.size(); }
    // Bytes the cache holds besides the names themselves, for the benchmark.
    std::size_t getCacheOverheadBytes() const;

    // The shared table of well-known folders, each ending in a backslash (empty when unknown).
    static std::string folderForPlaceholder(const std::string& placeholder);

protected:
    void search() override;

private:
    struct Filters {
        std::vector<std::string> include, exclude; // lower-cased
        bool passes(const std::string& lowerName) const;
    };
    struct CacheEntry {
        uint32_t folder;
        uint32_t nameOffset;
        uint32_t nameLength : 31;
        uint32_t isDir : 1;
    };
    // What one walk needs, copied under the lock so the dialog may change the indexer meanwhile.
    struct WalkSettings {
        std::string root;
        Filters filters;
        bool recurse;
        bool matchDirectories;
    };
    WalkSettings snapshot() const;
    // Calls visit(folder, name, isDir) for every entry that passes the filters; false when cancelled.
    template <class Visit> bool walk(const WalkSettings& settings, Visit visit, bool stopOnCancel) const;
    static std::vector<std::string> lowerAll(const std::vector<std::string>& patterns);

    mutable std::mutex settingsLock;
    std::string path;
    std::vector<std::string> includeFilters; // as written
    std::vector<std::string> excludeFilters;
    std::atomic<bool> recurse{true};
    std::atomic<bool> matchDirectories{false};

    // The cache: every folder once, names once as found and once lower-cased, 12 bytes per entry.
    std::vector<std::string> folders;
    std::string names;
    std::string lowerNames;
    std::vector<CacheEntry> entries;
};
