#pragma once
// Firefox's "bookmarks.html" as a source: every link ("A" tag with an "HREF") becomes a URL result
// described by the link's text, matched by its URL and by that text.
//
// The file is read whole. Firefox writes it in UTF-8; a file that is not valid UTF-8 is taken to be in
// the active code page. Its characters reach the results converted to the active code page.
#include "engine/VIndexer.h"
#include "util/MarkupScanner.h"

#include <windows.h>

#include <string>
#include <string_view>

class VFirefoxPlugin;
class VUrlResult;

// The scanner's input: the text of the whole file.
class HtmlStream : public markup::instream {
public:
    explicit HtmlStream(std::wstring text) : text(std::move(text)) {}
    wchar_t get_char() override { return position < text.size() ? text[position++] : 0; }

private:
    std::wstring text;
    std::size_t position = 0;
};

class VFirefoxBookmarksIndexer : public VIndexer {
public:
    explicit VFirefoxBookmarksIndexer(VFirefoxPlugin* plugin);
    ~VFirefoxBookmarksIndexer() override;

    // Finds the file in the profile; when it exists, takes the results' icon and builds the first cache.
    bool init() override;
    bool reservedFlag() override { return false; }
    // Reads the file into the cache (cached mode); in live mode only empties the cache.
    void updateCache() override;
    std::string getSourceDescription() const override { return file; }

    const std::string& getFile() const { return file; }
    std::size_t getCachedCount() const { return cache.size(); }

    // The character references Firefox writes in titles ("&#38;", "&#60;", "&#62;", "&#34;", "&#39;")
    // decoded in one pass: what a reference turns into is never read again, so "&#38;#60;" is "&#60;".
    static std::wstring decodeTitle(std::wstring_view title);
    // The file's text, decoded as the header says; false when it cannot be read.
    static bool readText(const std::string& path, std::wstring& text);

protected:
    void search() override;

private:
    // Calls found(url, description) for every link; with matching, only for those the search matches
    // (URL or decoded description), stopping as soon as the search is cancelled. Building the cache
    // never stops early: the cancel flag of a search says nothing about a cache rebuild.
    template <class Found> void readBookmarks(bool matching, Found found) const;
    VUrlResult* newResult() const;

    std::string file;
    HICON resultIcon = nullptr; // the plug-in's, shared by every result
};
