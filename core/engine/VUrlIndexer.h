#pragma once
// The base of every source that lists addresses: a browser's bookmarks or history, favourites, a mail
// program's contacts' pages. A subclass says where its entries come from (readSource) and which files
// tell that they changed; the base keeps them in a packed table (VUrlTable) as its cache, builds it on
// the indexer's builder thread, follows the files, keeps the table in the user's cache folder between
// runs, and searches it (or, in live mode, the source itself) with the core's rules: one result per
// address, the first one the source gives; only the best few results are made, ranked.
//
// The table is shared, never changed once built: a search takes the one there is at its start and keeps
// it to its end, while a rebuild makes a whole new one aside and swaps it in. A build cut short (the
// indexer stopped) or a source unreadable just now keeps the table there was.
#include "engine/VIndexer.h"
#include "engine/VUrlTable.h"
#include "model/VFileResult.h"
#include "util/FileSnapshot.h"
#include "util/Win32Handle.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Where a source puts its entries, best first.
class VX_CORE_API VUrlSink {
public:
    // Texts in the active code page; folder may be empty; rank: the source's own weight (higher is
    // better: frecency, visits), 0 when it has none. False: stop reading (table full, or stopped).
    virtual bool add(std::string_view url, std::string_view title, std::string_view folder = {},
                     uint32_t rank = 0) = 0;

protected:
    ~VUrlSink() = default;
};

// An address from such a source: its folder path, when it has one, is its second line.
class VX_CORE_API VUrlEntryResult : public VUrlResult {
public:
    static VUrlEntryResult* createInstance(VPlugin* plugin);
    void deleteThis() override;
    std::string getDisplayText2() const override;

    void setFolder(std::string_view path) { folder.assign(path.data(), path.size()); }
    const std::string& getFolder() const { return folder; }

protected:
    explicit VUrlEntryResult(VPlugin* plugin) : VUrlResult(plugin) {}

private:
    std::string folder;
};

class VX_CORE_API VUrlIndexer : public VIndexer {
public:
    // Stops the builder and the searches before the table goes.
    ~VUrlIndexer() override;

    bool reservedFlag() override { return false; }
    // Asks the builder for a new table and returns at once.
    void updateCache() override;
    // Empties the table (after the builder and the searches stopped); the next build reads the source.
    void clearCache() override;
    // True when a watched file's size or time, or the change token, differs from what the table was
    // built from (also before the first build).
    bool isCacheStale() const override;
    // The entries of the table there is now.
    std::size_t getCachedCount() const;
    // Bytes the table holds besides the texts, for the benchmark.
    std::size_t getCacheOverheadBytes() const;
    // Where the table is kept between runs; empty when it is not.
    std::string getCacheFile() const;
    // "built the cache of <source>: 12,345 addresses in 2.1 s" when the last build read the source;
    // empty when it only loaded the kept table.
    std::string getCacheNote() const override;

protected:
    // icon: the plug-in's, shared by every result, never destroyed here. cacheKind names the kept file
    // (with the source description and the watched files as its key); empty: not kept.
    VUrlIndexer(VPlugin* plugin, HICON resultIcon, std::string cacheKind);

    // Every entry of the source, best first. False when cut short by stop() or unreadable just now (the
    // old table stays). One result per address: the base keeps the first of an address. Runs on the
    // builder, or on a live search's worker (stop is then the search's cancel), so it reads only what
    // does not change after construction.
    virtual bool readSource(VUrlSink& sink, const std::function<bool()>& stop) const = 0;
    // Files whose size and time decide staleness (a missing one counts: it may appear).
    virtual std::vector<std::string> watchedFiles() const { return {}; }
    // For sources without files (COM): a cheap token that changes when the source does.
    virtual std::string changeToken() const { return std::string(); }
    // The result for a matching entry; the default: a VUrlEntryResult with the icon, the title as its
    // description and the folder (when not empty) as its second line.
    virtual VResult* makeResult(std::string_view url, std::string_view title, std::string_view folder) const;

    void search() override;
    // Loads the kept table at the first build (a start delivers from it at once, and reads the source only
    // when its files changed since), then reads the source into a new table and swaps it in.
    void rebuild(const std::function<bool()>& stop) override;
    DWORD followInterval() const override { return 1000; }
    // Rebuilds when the files changed.
    void follow(const std::function<bool()>& stop) override;

    HICON getResultIcon() const { return resultIcon; }
    // The core's rules for an address and its title: the address (or only its host) unless titles alone
    // are searched, and the title.
    bool matches(std::string_view url, std::string_view title) const;

private:
    // What decides staleness: a stamp per watched file, and the token.
    struct Stamps {
        std::vector<vx::CFileStamp> files;
        std::string token;
        bool operator==(const Stamps& o) const { return files == o.files && token == o.token; }
        bool operator!=(const Stamps& o) const { return !(*this == o); }
    };
    struct Built;

    Stamps takeStamps() const;
    std::string cacheKey() const;
    std::shared_ptr<const Built> current() const;
    void install(std::shared_ptr<const Built> built);
    bool loadKept(Stamps& stamps, VUrlTable& table) const;
    void keep(const Stamps& stamps, const VUrlTable& table) const;
    // How an entry meets the running search: the better of its title's match and its address's (or
    // host's) as the URL options say. The prepared texts may be empty to have them made here.
    VSearchQuery::Match rankEntry(std::string_view url, std::string_view preparedUrl, std::string_view title,
                                  std::string_view preparedTitle) const;

    HICON resultIcon;
    const std::string cacheKind;
    mutable vx::CCriticalSection guard; // over built only, for a few instructions
    std::shared_ptr<const Built> built; // null before the first build
    std::string note;                   // of the last build, under guard
    bool loadTried = false;             // builder only
};
