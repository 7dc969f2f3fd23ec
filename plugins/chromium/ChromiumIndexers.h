#pragma once
// The two sources of one browser profile: its "Bookmarks" file and its "History" database. The core's
// address base keeps each as a packed table, follows the files and keeps the table between runs; these
// only read the files, best first.
#include "engine/VUrlIndexer.h"

#include <functional>
#include <string>
#include <vector>

namespace chromium {
struct Browser;
struct Profile;
} // namespace chromium

class VChromiumPlugin;

class VChromiumIndexer : public VUrlIndexer {
public:
    ~VChromiumIndexer() override;

    std::string getSourceDescription() const override;

    const std::string& getFile() const { return file; }
    const chromium::Browser* getBrowser() const { return browser; }

    // Every entry of the source, best first (the rules of readSource). For tests and the benchmark.
    bool read(VUrlSink& sink, const std::function<bool()>& stop) const { return readSource(sink, stop); }

protected:
    VChromiumIndexer(VChromiumPlugin* plugin, const chromium::Browser* browser,
                     const chromium::Profile* profile, const char* fileName, const char* cacheKind);
    // The result names its browser, which opens it when the core's option says so.
    VResult* makeResult(std::string_view url, std::string_view title, std::string_view folder) const override;

    const chromium::Browser* browser;
    const chromium::Profile* profile;
    const std::string file;
};

class VChromiumBookmarksIndexer : public VChromiumIndexer {
public:
    VChromiumBookmarksIndexer(VChromiumPlugin* plugin, const chromium::Browser* browser,
                              const chromium::Profile* profile);

protected:
    // The links in the file's order, each with its folder path. A profile without the file yet has none.
    bool readSource(VUrlSink& sink, const std::function<bool()>& stop) const override;
    std::vector<std::string> watchedFiles() const override { return {file}; }
};

class VChromiumHistoryIndexer : public VChromiumIndexer {
public:
    VChromiumHistoryIndexer(VChromiumPlugin* plugin, const chromium::Browser* browser,
                            const chromium::Profile* profile);

protected:
    // The addresses best first (see rankHistory). A copy that could not be taken (a file the browser
    // holds) is unreadable just now; a damaged database, or a profile without one yet, has none.
    bool readSource(VUrlSink& sink, const std::function<bool()>& stop) const override;
    // The database and its write-ahead log.
    std::vector<std::string> watchedFiles() const override { return {file, file + "-wal"}; }
};
