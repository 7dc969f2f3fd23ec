#pragma once
// The cache of an address source (a browser's bookmarks or history, favourites, contacts' pages):
// addresses and titles packed into one buffer as stored and one lower-cased once, twenty bytes of
// bookkeeping per entry (where its texts lie, its folder's number and its rank), and each folder path
// once. Results are made only for what a search finds. One entry per address: the first one added.
#include "VxApi.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vx {
class CacheReader;
class CacheWriter;
} // namespace vx

class VX_CORE_API VUrlTable {
public:
    VUrlTable();
    ~VUrlTable();
    VUrlTable(VUrlTable&&) noexcept;
    VUrlTable& operator=(VUrlTable&&) noexcept;
    VUrlTable(const VUrlTable&) = delete;
    VUrlTable& operator=(const VUrlTable&) = delete;

    enum class Added { Yes, Duplicate, Full };
    // Texts in the active code page; folder may be empty. An address already in the table is skipped
    // (the first one stays); Full once the texts would pass 4 GB.
    Added add(std::string_view url, std::string_view title, std::string_view folder = {},
              std::uint32_t rank = 0);
    // Room for that many entries and bytes of text, so a large build does not regrow its buffers.
    void reserve(std::size_t count, std::size_t textBytes);
    // Ends the build: drops what only adding needs (the address and folder look-ups) and gives back
    // the spare room of the buffers. add still works afterwards, rebuilding the look-ups first.
    void finish();

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
    std::string_view folder(std::size_t i) const;
    std::uint32_t rank(std::size_t i) const { return entries[i].rank; }
    // Bytes of the texts as stored.
    std::size_t textBytes() const { return text.size(); }
    // Bytes held besides the texts as stored (their lower-cased copy counts), for the benchmark.
    std::size_t overheadBytes() const;

    // The table into a cache file's payload, and back. read is bounds-checked all through: false (and
    // the table empty) for anything that is not a whole table as write makes it.
    void write(vx::CacheWriter& writer) const;
    bool read(vx::CacheReader& reader);

private:
    struct Entry {
        std::uint32_t offset; // of the address; the title follows it
        std::uint32_t urlLength;
        std::uint32_t titleLength;
        std::uint32_t folder; // 0: none; otherwise folders[folder - 1]
        std::uint32_t rank;
    };
    struct Lookup;

    std::uint32_t folderNumber(std::string_view path);
    void clear();

    std::string text;
    std::string lowered;
    std::vector<Entry> entries;
    std::vector<std::string> folders;
    std::unique_ptr<Lookup> lookup; // while adding
};

// The host of an address as the core's URL rule takes it: between "://" and the next "/", empty when
// either is missing.
VX_CORE_API std::string_view urlHostOf(std::string_view url);
