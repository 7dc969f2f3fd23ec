#pragma once
// The two sources of one browser profile: its "Bookmarks" file and its "History" database. Each keeps
// its cache in a packed table (see ChromiumUrlTable.h) and rebuilds it before a cached search once its
// files have changed since the last build, so a new bookmark turns up without a manual update.
#include "ChromiumUrlTable.h"
#include "engine/VIndexer.h"
#include "util/FileSnapshot.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace chromium {
struct Browser;
struct Profile;
} // namespace chromium

class VChromiumPlugin;
class VChromiumUrlResult;

class VChromiumIndexer : public VIndexer {
public:
    ~VChromiumIndexer() override;

    // Builds the first cache. A profile without the file yet is kept: it starts empty and fills once
    // the browser writes the file.
    bool init() override;
    bool reservedFlag() override { return false; }
    // Reads the source into the cache (cached mode); in live mode only empties the cache. A read that
    // fails (a copy that could not be taken, a file the browser holds) or that its search's cancel
    // cuts short keeps the cache and the stamps it had: the cache stays stale, and the next search
    // tries again.
    void updateCache() override;
    void clearCache() override;
    // True when a file the cache was built from changed (or appeared, or went) since.
    bool isCacheStale() const override;
    std::string getSourceDescription() const override;

    const std::string& getFile() const { return file; }
    const chromium::Browser* getBrowser() const { return browser; }
    std::size_t getCachedCount() const { return table.size(); }
    // Bytes the cache holds besides the texts, for the benchmark.
    std::size_t getCacheOverheadBytes() const { return table.overheadBytes(); }

protected:
    VChromiumIndexer(VChromiumPlugin* plugin, const chromium::Browser* browser,
                     const chromium::Profile* profile, const char* fileName);
    void search() override;

    // The files whose stamps decide staleness: the source, and for a database its write-ahead log.
    virtual std::vector<std::string> watchedFiles() const = 0;
    // Reads the source into table (empty on entry); false when it could not be read (a copy not taken,
    // a file the browser holds) or stop answered true. A source file that does not exist (yet), or a
    // damaged one, reads as empty.
    virtual bool build(chromium::UrlTable& table, const std::function<bool()>& stop) const = 0;
    // Reads the source and adds a result to found for every match, best first, until cancelled.
    virtual void searchLive(VResultBatch& found) const = 0;

    VChromiumUrlResult* newResult(const std::string& url, const std::string& title) const;
    // The core's rules for an address and its title: the address (or only its host) unless titles
    // alone are searched, and the title.
    bool matches(const std::string& url, const std::string& title) const;

    const chromium::Browser* browser;
    const chromium::Profile* profile;
    const std::string file;

private:
    std::vector<vx::CFileStamp> takeStamps() const;

    chromium::UrlTable table;
    std::vector<vx::CFileStamp> stamps; // of watchedFiles, taken before the last whole build read them
    HICON resultIcon = nullptr;         // the plug-in's, shared by every result
};

class VChromiumBookmarksIndexer : public VChromiumIndexer {
public:
    VChromiumBookmarksIndexer(VChromiumPlugin* plugin, const chromium::Browser* browser,
                              const chromium::Profile* profile);

protected:
    std::vector<std::string> watchedFiles() const override { return {file}; }
    bool build(chromium::UrlTable& table, const std::function<bool()>& stop) const override;
    void searchLive(VResultBatch& found) const override;
};

class VChromiumHistoryIndexer : public VChromiumIndexer {
public:
    VChromiumHistoryIndexer(VChromiumPlugin* plugin, const chromium::Browser* browser,
                            const chromium::Profile* profile);

protected:
    std::vector<std::string> watchedFiles() const override { return {file, file + "-wal"}; }
    bool build(chromium::UrlTable& table, const std::function<bool()>& stop) const override;
    void searchLive(VResultBatch& found) const override;
};
