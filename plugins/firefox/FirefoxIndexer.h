#pragma once
// What the bookmarks and the history indexer share: the sources they read in every profile, the cache
// that follows those files, and the search over title and address.
//
// A profile with "places.sqlite" is read from it; one without it (an old profile, or one that only
// holds an exported file) from the older file of each kind. An address found in several profiles or
// sources is one result: the first one found, with the visits of all of them.
#include "PlacesReader.h"
#include "engine/VIndexer.h"
#include "model/VFileResult.h"
#include "util/FileSnapshot.h"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

class VFirefoxPlugin;

// An address result whose second line is the bookmark's folder, when it has one.
class VFirefoxResult : public VUrlResult {
public:
    explicit VFirefoxResult(VPlugin* plugin) : VUrlResult(plugin) {}
    std::string getDisplayText2() const override {
        return folder.empty() ? VUrlResult::getDisplayText2() : folder;
    }
    void setFolder(std::string text) { folder = std::move(text); }
    const std::string& getFolder() const { return folder; }
    void copyFrom(const VFirefoxResult& other) {
        VUrlResult::copyFrom(other);
        folder = other.folder;
    }

private:
    std::string folder;
};

class VFirefoxIndexer : public VIndexer {
public:
    ~VFirefoxIndexer() override;

    // Finds the sources in the profiles; when there is one, takes the results' icon and builds the
    // first cache.
    bool init() override;
    bool reservedFlag() override { return false; }
    // Finds the sources again (profiles come and go) and, in cached mode, reads them into the cache.
    // A rebuild that its search's cancel cuts short keeps the cache and the stamps it had, so the
    // cache stays stale and the next search tries again.
    void updateCache() override;
    // True when a file read at the last build, or one that was missing then, has changed since.
    bool isCacheStale() const override;
    std::string getSourceDescription() const override;

    // The files read, in profile order; the first, or empty.
    const std::vector<std::string>& getFiles() const { return files; }
    std::string getFile() const { return files.empty() ? std::string() : files.front(); }
    std::size_t getCachedCount() const { return cache.size(); }

protected:
    VFirefoxIndexer(VFirefoxPlugin* plugin, bool history);
    void search() override;

    // The file of this kind in a profile without "places.sqlite".
    virtual const char* olderFileName() const = 0;
    // Appends what one source holds. An unreadable database adds nothing.
    virtual void readPlaces(const std::string& file, std::vector<firefox::PlaceEntry>& out,
                            const firefox::StopRequest& stop) const = 0;
    virtual void readOlderFile(const std::string& file, std::vector<firefox::PlaceEntry>& out,
                               const firefox::StopRequest& stop) const = 0;
    // Puts the merged entries in the order they are shown; the default keeps the order read.
    virtual void order(std::vector<firefox::PlaceEntry>&) const {}

private:
    struct Source {
        std::string file;
        bool places = false;
    };
    // What a look at the profiles found: what to read, and the stamps of every file that would matter.
    struct Sources {
        std::vector<Source> read;
        std::vector<std::string> files;
        std::vector<std::pair<std::string, vx::CFileStamp>> stamps;
    };
    Sources findSources() const;
    // Every source read, one entry per address, in order.
    std::vector<firefox::PlaceEntry> collect(const std::vector<Source>& from,
                                             const firefox::StopRequest& stop) const;
    VFirefoxResult* newResult() const;

    bool history;
    // Replaced together, by a rebuild that read them whole (or found nothing to read).
    std::vector<Source> sources;
    std::vector<std::string> files;
    std::vector<std::pair<std::string, vx::CFileStamp>> stamps;
    HICON resultIcon = nullptr; // the plug-in's, shared by every result
};
