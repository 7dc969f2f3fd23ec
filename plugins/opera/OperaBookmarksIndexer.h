#pragma once
// Opera's bookmark file ("Opera6.adr") as a source: every URL entry becomes a URL result named after the
// bookmark, matched by its URL and its name.
//
// The file is lines of text. A line starting with "#URL" opens an entry; inside it, "NAME=" and "URL="
// lines (white space around them ignored) give the name and the URL, and an empty line closes it. Folders
// and every other field are skipped; an entry still open at the end of the file is dropped.
#include "engine/VIndexer.h"

#include <windows.h>

#include <string>

class VOperaPlugin;
class VUrlResult;

class VOperaBookmarksIndexer : public VIndexer {
public:
    VOperaBookmarksIndexer(const std::string& bookmarkFile, VOperaPlugin* owner);
    ~VOperaBookmarksIndexer() override;

    // Takes the plug-in's result icon and builds the first cache.
    bool init() override;
    bool reservedFlag() override { return false; }
    // Reads the file into the cache (cached mode); in live mode only empties the cache.
    void updateCache() override;
    std::string getSourceDescription() const override { return bookmarkFile; }

    const std::string& getBookmarkFile() const { return bookmarkFile; }
    std::size_t getCachedCount() const { return cache.size(); }

protected:
    void search() override;

private:
    // Calls found(url, name) for each complete entry; with matching, only for those the search matches,
    // stopping as soon as the search is cancelled. A file that cannot be read has no entries.
    template <class Found> void readBookmarks(bool matching, Found found) const;
    VUrlResult* newResult() const;

    const std::string bookmarkFile;
    HICON resultIcon = nullptr; // the plug-in's, shared by every result
};
