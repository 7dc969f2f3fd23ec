#pragma once
// The cache of one indexer: addresses and titles packed into two buffers (as stored, and lower-cased
// for searches that ignore case), twelve bytes of bookkeeping per entry, and for bookmarks the number
// of the entry's folder path. Results are made only for what a search finds.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace chromium {

class UrlTable {
public:
    // Texts in the active code page. folder is an index into the table's folder paths (see addFolder);
    // a table whose entries have no folder never stores one. False when the table is full (4 GB of text).
    bool add(std::string_view url, std::string_view title);
    bool add(std::string_view url, std::string_view title, std::uint32_t folder);
    // Room for that many entries and bytes of text, so a large build does not regrow its buffers.
    void reserve(std::size_t count, std::size_t textBytes);
    // A folder path; its index for add.
    std::uint32_t addFolder(std::string path);

    std::size_t size() const { return entries.size(); }
    bool empty() const { return entries.empty(); }
    std::string_view url(std::size_t i, bool lower = false) const {
        const Entry& e = entries[i];
        return std::string_view((lower ? lowered : text).data() + e.offset, e.urlLength);
    }
    std::string_view title(std::size_t i, bool lower = false) const {
        const Entry& e = entries[i];
        return std::string_view((lower ? lowered : text).data() + e.offset + e.urlLength, e.titleLength);
    }
    // The entry's folder path, empty when it has none.
    const std::string& folder(std::size_t i) const;

    void clear();
    // Gives back the spare room of the buffers once the table is complete.
    void shrink();
    // Bytes held besides the texts as stored (their lower-cased copy counts), for the benchmark.
    std::size_t overheadBytes() const;

private:
    struct Entry {
        std::uint32_t offset; // of the address; the title follows it
        std::uint32_t urlLength;
        std::uint32_t titleLength;
    };
    bool append(std::string_view url, std::string_view title);

    std::string text;
    std::string lowered;
    std::vector<Entry> entries;
    std::vector<std::uint32_t> folderOf; // parallel to entries, only in tables with folders
    std::vector<std::string> folders;
};

// The host of an address as the core's URL rule takes it: between "://" and the next "/", empty when
// either is missing.
std::string_view hostOf(std::string_view url);

} // namespace chromium
