#include "engine/VUrlTable.h"

#include "engine/VSearchQuery.h"
#include "util/CacheFile.h"
#include "util/VxText.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace {

constexpr std::uint32_t kNoEntry = std::numeric_limits<std::uint32_t>::max();

std::size_t hashOf(std::string_view text) {
    // FNV-1a: addresses share long prefixes, so every byte counts.
    std::uint64_t h = 14695981039346656037ull;
    for (char c : text) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    return static_cast<std::size_t>(h ^ (h >> 32));
}

} // namespace

// What add needs to keep the first entry of each address and each folder path once: an open-addressing
// set of entry numbers keyed by their address (no allocation per entry, unlike a node-based set), and
// the folders by path.
struct VUrlTable::Lookup {
    std::vector<std::uint32_t> slots; // entry numbers, kNoEntry when free; a power of two long
    std::unordered_map<std::string, std::uint32_t> folders;
};

VUrlTable::VUrlTable() = default;
VUrlTable::~VUrlTable() = default;
VUrlTable::VUrlTable(VUrlTable&&) noexcept = default;
VUrlTable& VUrlTable::operator=(VUrlTable&&) noexcept = default;

void VUrlTable::clear() {
    std::string().swap(text);
    std::string().swap(preparedText);
    std::vector<Entry>().swap(entries);
    std::vector<Span>().swap(spans);
    std::vector<std::string>().swap(folders);
    lookup.reset();
}

void VUrlTable::reserve(std::size_t count, std::size_t textBytes) {
    entries.reserve(count);
    text.reserve(textBytes);
    preparedText.reserve(textBytes);
}

std::uint32_t VUrlTable::folderNumber(std::string_view path) {
    if (path.empty())
        return 0;
    auto known = lookup->folders.find(std::string(path));
    if (known != lookup->folders.end())
        return known->second;
    folders.emplace_back(path);
    const auto number = static_cast<std::uint32_t>(folders.size());
    lookup->folders.emplace(folders.back(), number);
    return number;
}

VUrlTable::Added VUrlTable::add(std::string_view url, std::string_view title, std::string_view folder,
                                std::uint32_t rank) {
    if (!lookup) {
        lookup = std::make_unique<Lookup>();
        for (std::size_t i = 0; i < folders.size(); ++i)
            lookup->folders.emplace(folders[i], static_cast<std::uint32_t>(i + 1));
    }
    std::vector<std::uint32_t>& slots = lookup->slots;
    // Kept at most half full, so a probe ends soon; rebuilt from the entries when it grows.
    if ((entries.size() + 1) * 2 > slots.size()) {
        std::size_t length = 1024;
        while (length < (entries.size() + 1) * 2)
            length *= 2;
        slots.assign(length, kNoEntry);
        for (std::uint32_t i = 0; i < entries.size(); ++i) {
            std::size_t at = hashOf(this->url(i)) & (length - 1);
            while (slots[at] != kNoEntry)
                at = (at + 1) & (length - 1);
            slots[at] = i;
        }
    }
    const std::size_t mask = slots.size() - 1;
    std::size_t at = hashOf(url) & mask;
    for (; slots[at] != kNoEntry; at = (at + 1) & mask) {
        if (this->url(slots[at]) == url)
            return Added::Duplicate;
    }
    const std::size_t offset = text.size();
    if (offset + url.size() + title.size() > std::numeric_limits<std::uint32_t>::max() ||
        entries.size() >= kNoEntry)
        return Added::Full;
    const std::uint32_t folderIndex = folderNumber(folder);
    entries.push_back(Entry{static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(url.size()),
                            static_cast<std::uint32_t>(title.size()), folderIndex, rank});
    text.append(url).append(title);
    if (!addPrepared(entries.size() - 1, url, title)) {
        text.resize(offset);
        entries.pop_back();
        return Added::Full;
    }
    slots[at] = static_cast<std::uint32_t>(entries.size() - 1);
    return Added::Yes;
}

bool VUrlTable::addPrepared(std::size_t index, std::string_view url, std::string_view title) {
    // Thread-local buffers: a build prepares one entry after another without allocating for each.
    thread_local std::string preparedUrl, preparedTitle;
    VSearchQuery::prepareText(url, preparedUrl, true);
    VSearchQuery::prepareText(title, preparedTitle, true);
    const std::size_t offset = preparedText.size();
    if (offset + preparedUrl.size() + preparedTitle.size() > std::numeric_limits<std::uint32_t>::max())
        return false;
    const Entry& e = entries[index];
    const bool sameSpan =
        offset == e.offset && preparedUrl.size() == e.urlLength && preparedTitle.size() == e.titleLength;
    if (spans.empty() && !sameSpan) {
        // The first entry whose prepared texts differ in length: every entry has a span from now on.
        spans.reserve(entries.capacity());
        for (std::size_t i = 0; i < index; ++i)
            spans.push_back(Span{entries[i].offset, entries[i].urlLength, entries[i].titleLength});
    }
    if (!spans.empty())
        spans.push_back(Span{static_cast<std::uint32_t>(offset),
                             static_cast<std::uint32_t>(preparedUrl.size()),
                             static_cast<std::uint32_t>(preparedTitle.size())});
    preparedText.append(preparedUrl).append(preparedTitle);
    return true;
}

void VUrlTable::finish() {
    lookup.reset();
    text.shrink_to_fit();
    preparedText.shrink_to_fit();
    entries.shrink_to_fit();
    spans.shrink_to_fit();
    folders.shrink_to_fit();
}

std::string_view VUrlTable::folder(std::size_t i) const {
    const std::uint32_t number = entries[i].folder;
    if (number == 0 || number > folders.size())
        return std::string_view();
    return folders[number - 1];
}

std::size_t VUrlTable::overheadBytes() const {
    std::size_t bytes = entries.capacity() * sizeof(Entry) + preparedText.capacity() +
                        spans.capacity() * sizeof(Span) + (text.capacity() - text.size()) +
                        folders.capacity() * sizeof(std::string);
    for (const std::string& f : folders)
        bytes += f.capacity();
    if (lookup)
        bytes += lookup->slots.capacity() * sizeof(std::uint32_t);
    return bytes;
}

void VUrlTable::write(vx::CacheWriter& writer) const {
    writer.varint(entries.size());
    writer.varint(folders.size());
    for (const std::string& f : folders)
        writer.text(f);
    // Lengths, folders and ranks first, then every text in one piece: loading is one copy and, for
    // texts all in ASCII, one preparing pass, with no allocation per entry.
    for (const Entry& e : entries) {
        writer.varint(e.urlLength);
        writer.varint(e.titleLength);
        writer.varint(e.folder);
        writer.varint(e.rank);
    }
    writer.text(text);
}

bool VUrlTable::read(vx::CacheReader& reader) {
    clear();
    std::uint64_t count = 0, folderCount = 0;
    if (!reader.varint(count) || !reader.varint(folderCount))
        return false;
    // A count from a damaged file must not reserve memory for it: past this the arrays grow as read,
    // and the reader runs out of bytes first.
    constexpr std::uint64_t kReserveAtMost = 1u << 20;
    for (std::uint64_t i = 0; i < folderCount; ++i) {
        std::string_view path;
        if (!reader.text(path) || path.empty()) {
            clear();
            return false;
        }
        folders.emplace_back(path);
    }
    entries.reserve(static_cast<std::size_t>(count < kReserveAtMost ? count : kReserveAtMost));
    std::uint64_t offset = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        std::uint64_t urlLength = 0, titleLength = 0, folder = 0, rank = 0;
        if (!reader.varint(urlLength) || !reader.varint(titleLength) || !reader.varint(folder) ||
            !reader.varint(rank) || urlLength == 0 || urlLength > kNoEntry || titleLength > kNoEntry ||
            folder > folderCount || rank > kNoEntry || offset + urlLength + titleLength > kNoEntry) {
            clear();
            return false;
        }
        entries.push_back(Entry{static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(urlLength),
                                static_cast<std::uint32_t>(titleLength), static_cast<std::uint32_t>(folder),
                                static_cast<std::uint32_t>(rank)});
        offset += urlLength + titleLength;
    }
    std::string_view all;
    if (!reader.text(all) || all.size() != offset) {
        clear();
        return false;
    }
    text.assign(all);
    // ASCII texts keep their lengths when prepared; others are prepared entry by entry, since folding
    // may shorten them.
    if (std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; })) {
        VSearchQuery::prepareText(text, preparedText, true);
        if (preparedText.size() == text.size())
            return true;
        preparedText.clear();
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        if (!addPrepared(i, std::string_view(text).substr(e.offset, e.urlLength),
                         std::string_view(text).substr(e.offset + e.urlLength, e.titleLength))) {
            clear();
            return false;
        }
    }
    return true;
}

std::string_view urlHostOf(std::string_view url) {
    const std::size_t scheme = url.find("://");
    if (scheme == std::string_view::npos)
        return std::string_view();
    const std::size_t start = scheme + 3;
    const std::size_t slash = url.find('/', start);
    if (slash == std::string_view::npos)
        return std::string_view();
    return url.substr(start, slash - start);
}
