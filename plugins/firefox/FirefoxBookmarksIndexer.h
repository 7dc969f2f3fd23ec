#pragma once
// Firefox's bookmarks as a source: from "places.sqlite" in profiles that have it, with the folder path
// as the result's second line; otherwise from "bookmarks.html", where every link ("A" tag with an
// "HREF") becomes a URL result described by the link's text. Matched by URL and by title.
//
// "bookmarks.html" is read whole. Firefox writes it in UTF-8; a file that is not valid UTF-8 is taken
// to be in the active code page. Its characters reach the results converted to the active code page.
#include "FirefoxIndexer.h"
#include "util/MarkupScanner.h"

#include <string>
#include <string_view>

// The scanner's input: the text of the whole file.
class HtmlStream : public markup::instream {
public:
    explicit HtmlStream(std::wstring text) : text(std::move(text)) {}
    wchar_t get_char() override { return position < text.size() ? text[position++] : 0; }

private:
    std::wstring text;
    std::size_t position = 0;
};

class VFirefoxBookmarksIndexer : public VFirefoxIndexer {
public:
    explicit VFirefoxBookmarksIndexer(VFirefoxPlugin* plugin) : VFirefoxIndexer(plugin, false) {}

    // The character references Firefox writes in titles ("&#38;", "&#60;", "&#62;", "&#34;", "&#39;")
    // decoded in one pass: what a reference turns into is never read again, so "&#38;#60;" is "&#60;".
    static std::wstring decodeTitle(std::wstring_view title);
    // The file's text, decoded as the header says; false when it cannot be read.
    static bool readText(const std::string& path, std::wstring& text);

protected:
    const char* olderFileName() const override { return "bookmarks.html"; }
    void readPlaces(const std::string& file, std::vector<firefox::PlaceEntry>& out,
                    const firefox::StopRequest& stop) const override;
    void readOlderFile(const std::string& file, std::vector<firefox::PlaceEntry>& out,
                       const firefox::StopRequest& stop) const override;
};
