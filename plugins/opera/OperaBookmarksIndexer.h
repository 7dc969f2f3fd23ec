#pragma once
// Opera's bookmark file ("Opera6.adr") as a source: every URL entry becomes a URL result named after the
// bookmark, matched by its URL and its name. The cache follows the file: a change to it is read again
// on the indexer's builder thread.
//
// The file is lines of text. A line starting with "#URL" opens an entry; inside it, "NAME=" and "URL="
// lines (white space around them ignored) give the name and the URL, and an empty line closes it. Folders
// and every other field are skipped; an entry still open at the end of the file is dropped.
#include "engine/VUrlIndexer.h"

#include <functional>
#include <string>

class VOperaPlugin;

class VOperaBookmarksIndexer : public VUrlIndexer {
public:
    VOperaBookmarksIndexer(const std::string& bookmarkFile, VOperaPlugin* owner);
    ~VOperaBookmarksIndexer() override;

    std::string getSourceDescription() const override { return bookmarkFile; }
    const std::string& getBookmarkFile() const { return bookmarkFile; }

    // Hands every complete entry of file to sink, in the file's order, name as title. A missing file has
    // no entries; false when stop answered true or the sink stopped taking them, or when the file is
    // there but cannot be opened just now (Opera holds it while it writes it).
    static bool readBookmarkFile(const std::string& file, VUrlSink& sink, const std::function<bool()>& stop);

protected:
    bool readSource(VUrlSink& sink, const std::function<bool()>& stop) const override;
    std::vector<std::string> watchedFiles() const override { return {bookmarkFile}; }

private:
    const std::string bookmarkFile;
};
