#pragma once
// What the bookmarks and the history indexer share: the sources they read in every profile and the
// files that tell they changed. The core's address base keeps the table, follows those files and keeps
// the table between runs; a result's second line is the bookmark's folder, when it has one.
//
// A profile with "places.sqlite" is read from it; one without it (an old profile, or one that only
// holds an exported file) from the older file of each kind. An address found in several profiles or
// sources is one result: the first one found, with the visits of all of them.
#include "PlacesReader.h"
#include "engine/VUrlIndexer.h"

#include <string>
#include <vector>

class VFirefoxPlugin;

class VFirefoxIndexer : public VUrlIndexer {
public:
    ~VFirefoxIndexer() override;

    // True when a profile holds a source of this kind. The table is built afterwards, on the indexer's
    // own thread (requestRebuild).
    bool init() override;
    // The files read, "; " between them.
    std::string getSourceDescription() const override;

    // The files a build reads now, in profile order; the first, or empty.
    std::vector<std::string> getFiles() const { return findSources().files; }
    std::string getFile() const;

    // Every entry of the sources, merged and in order (the rules of readSource). For tests.
    bool read(VUrlSink& sink, const std::function<bool()>& stop) const { return readSource(sink, stop); }

protected:
    VFirefoxIndexer(VFirefoxPlugin* plugin, bool history);

    // Every profile's source read, one entry per address, in the order shown.
    bool readSource(VUrlSink& sink, const std::function<bool()>& stop) const override;
    // The profile list, and in every profile the database, its log and the older file, whether they
    // exist or not: a profile added or a file that appears is a change.
    std::vector<std::string> watchedFiles() const override;

    // The file of this kind in a profile without "places.sqlite".
    virtual const char* olderFileName() const = 0;
    // Appends what one source holds. An unreadable database adds nothing.
    virtual void readPlaces(const std::string& file, std::vector<firefox::PlaceEntry>& out,
                            const firefox::StopRequest& stop) const = 0;
    virtual void readOlderFile(const std::string& file, std::vector<firefox::PlaceEntry>& out,
                               const firefox::StopRequest& stop) const = 0;
    // Puts the merged entries in the order they are shown; the default keeps the order read.
    virtual void order(std::vector<firefox::PlaceEntry>&) const {}
    // The weight handed on with an entry; the default has none.
    virtual uint32_t rankOf(const firefox::PlaceEntry&, int64_t now) const { return 0; }

private:
    struct Source {
        std::string file;
        bool places = false;
    };
    // What a look at the profiles found: what to read, and every file that would matter.
    struct Sources {
        std::vector<Source> read;
        std::vector<std::string> files;
        std::vector<std::string> watched;
    };
    Sources findSources() const;
    // Every source read, one entry per address, in order.
    std::vector<firefox::PlaceEntry> collect(const std::vector<Source>& from,
                                             const firefox::StopRequest& stop) const;
};
