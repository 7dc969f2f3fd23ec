#pragma once
// The cache of an address source (a browser's bookmarks or history, favourites, contacts' pages):
// addresses and titles packed into one buffer as stored and one prepared for matching (lower-cased and
// without accents) once, twenty bytes of
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
    // As stored, or with prepared true as searches compare it (VSearchQuery::prepareText).
    std::string_view url(std::size_t i, bool prepared = false) const {
        if (!prepared) {
            const Entry& e = entries[i];
            return std::string_view(text.data() + e.offset, e.urlLength);
        }
        const Span s = preparedSpan(i);
        return std::string_view(preparedText.data() + s.offset, s.urlLength);
    }
    std::string_view title(std::size_t i, bool prepared = false) const {
        if (!prepared) {
            const Entry& e = entries[i];
            return std::string_view(text.data() + e.offset + e.urlLength, e.titleLength);
        }
        const Span s = preparedSpan(i);
        return std::string_view(preparedText.data() + s.offset + s.urlLength, s.titleLength);
    }
    // The entry's folder path, empty when it has none.
    std::string_view folder(std::size_t i) const;
    std::uint32_t rank(std::size_t i) const { return entries[i].rank; }
    // Bytes of the texts as stored.
    std::size_t textBytes() const { return text.size(); }
    // Bytes held besides the texts as stored (their prepared copy counts), for the benchmark.
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
    // Where an entry's prepared texts lie. Folding can shorten a text ("é" is two bytes, "e" one): while
    // every prepared text has its original's length the entries' own offsets serve, and spans are kept
    // only from the first entry that differs on.
    struct Span {
        std::uint32_t offset;
        std::uint32_t urlLength;
        std::uint32_t titleLength;
    };
    struct Lookup;

    Span preparedSpan(std::size_t i) const {
        if (!spans.empty())
            return spans[i];
        const Entry& e = entries[i];
        return Span{e.offset, e.urlLength, e.titleLength};
    }
    // Appends the prepared texts of entry index (every entry before it has its own already); false when
    // they would pass 4 GB.
    bool addPrepared(std::size_t index, std::string_view url, std::string_view title);

    std::uint32_t folderNumber(std::string_view path);
    void clear();

    std::string text;
    std::string preparedText;
    std::vector<Entry> entries;
    std::vector<Span> spans; // empty while every prepared text has its original's length
    std::vector<std::string> folders;
    std::unique_ptr<Lookup> lookup; // while adding
};

// The host of an address as the core's URL rule takes it: between "://" and the next "/", empty when
// either is missing.
VX_CORE_API std::string_view urlHostOf(std::string_view url);
