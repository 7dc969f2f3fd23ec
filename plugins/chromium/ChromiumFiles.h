#pragma once
// Reading the browsers' own files: whole files shared with a running browser, UTF-8 text, the profile
// names of "Local State" and the bookmarks of "Bookmarks". The browser writes both JSON files; they are
// parsed as a stream of events, so no tree is built and no recursion follows their nesting: a file cut
// short, nested ten thousand levels deep or holding stray bytes costs no more memory than its size and
// gives what it holds before the damage.
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace chromium {

// Every byte of the file, read with full sharing (the browser may hold it open for writing, or replace
// it meanwhile), at most maxBytes of it; false when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::string& bytes, std::size_t maxBytes);

// Replaces every byte that is not part of a well-formed UTF-8 sequence (stray continuation bytes,
// truncated or overlong sequences, surrogates, code points past U+10FFFF) with '?', in place: the text
// keeps its length and a JSON parser then reads every string instead of stopping at the first bad one.
void repairUtf8(std::string& text);

// The folder name of each profile that "Local State" knows, mapped to the name the user gave it
// ("profile" -> "info_cache" -> folder -> "name"), as UTF-8. Empty when the file is missing or unreadable.
std::map<std::string, std::string> readProfileNames(const std::string& localStatePath);

struct Bookmark {
    std::string title;  // UTF-8
    std::string url;    // UTF-8
    std::string folder; // the folders from the root down, " > " between them; UTF-8
};

// The links under the roots "bookmark_bar", "other" and "synced", in the file's order. Folders nested
// more deeply than any browser lets a user make them are skipped whole; an entry the file breaks off in
// is lost, every complete one before it is kept.
std::vector<Bookmark> readBookmarks(const std::string& path);
// The same from the file's text, which is repaired (see repairUtf8) on the way.
std::vector<Bookmark> parseBookmarks(std::string text);

// Largest file read; a longer one counts as cut short there. Bookmark files of real users stay far below.
constexpr std::size_t kMaxJsonBytes = 256u << 20;

} // namespace chromium
