#pragma once
// Firefox's "history.dat" as a source: the web addresses in it become URL results without description,
// matched by their URL.
//
// The file is a Mork text database, of which only the values are used: each "http://" or "https://"
// begins an address that runs to the next ")", possibly over several lines, each but the last ending in
// the continuation backslash. Mork escapes inside a value are not decoded. An address the file lists
// several times (visits, referrers, several cells) is one result.
#include "engine/VIndexer.h"

#include <windows.h>

#include <string>

class VFirefoxPlugin;
class VUrlResult;

class VFirefoxHistoryIndexer : public VIndexer {
public:
    explicit VFirefoxHistoryIndexer(VFirefoxPlugin* plugin);
    ~VFirefoxHistoryIndexer() override;

    // Finds the file in the profile; when it exists, takes the results' icon and builds the first cache.
    bool init() override;
    bool reservedFlag() override { return false; }
    // Reads the file into the cache (cached mode); in live mode only empties the cache.
    void updateCache() override;
    std::string getSourceDescription() const override { return file; }

    const std::string& getFile() const { return file; }
    std::size_t getCachedCount() const { return cache.size(); }

protected:
    void search() override;

private:
    // Calls found(url) once for every address; with matching, only for those the search matches,
    // stopping as soon as the search is cancelled. Building the cache never stops early.
    template <class Found> void readHistory(bool matching, Found found) const;
    VUrlResult* newResult() const;

    std::string file;
    HICON resultIcon = nullptr; // the plug-in's, shared by every result
};
