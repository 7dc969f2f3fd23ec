#include "ChromiumUrlTable.h"

#include "util/VxText.h"

#include <limits>

namespace chromium {

namespace {
const std::string kNoFolder;
}

bool UrlTable::append(std::string_view url, std::string_view title) {
    const std::size_t at = text.size();
    if (at + url.size() + title.size() > std::numeric_limits<std::uint32_t>::max())
        return false;
    entries.push_back(Entry{static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(url.size()),
                            static_cast<std::uint32_t>(title.size())});
    text.append(url).append(title);
    lowered.resize(text.size());
    vx::lowerInto(text.data() + at, text.size() - at, &lowered[at]);
    return true;
}

bool UrlTable::add(std::string_view url, std::string_view title) {
    return append(url, title);
}

bool UrlTable::add(std::string_view url, std::string_view title, std::uint32_t folder) {
    if (!append(url, title))
        return false;
    folderOf.resize(entries.size() - 1, 0);
    folderOf.push_back(folder);
    return true;
}

void UrlTable::reserve(std::size_t count, std::size_t textBytes) {
    entries.reserve(count);
    text.reserve(textBytes);
    lowered.reserve(textBytes);
}

std::uint32_t UrlTable::addFolder(std::string path) {
    folders.push_back(std::move(path));
    return static_cast<std::uint32_t>(folders.size() - 1);
}

const std::string& UrlTable::folder(std::size_t i) const {
    if (i >= folderOf.size() || folderOf[i] >= folders.size())
        return kNoFolder;
    return folders[folderOf[i]];
}

void UrlTable::clear() {
    // Swapped out rather than cleared: a table of a big history gives its memory back.
    std::string().swap(text);
    std::string().swap(lowered);
    std::vector<Entry>().swap(entries);
    std::vector<std::uint32_t>().swap(folderOf);
    std::vector<std::string>().swap(folders);
}

void UrlTable::shrink() {
    text.shrink_to_fit();
    lowered.shrink_to_fit();
    entries.shrink_to_fit();
    folderOf.shrink_to_fit();
    folders.shrink_to_fit();
}

std::size_t UrlTable::overheadBytes() const {
    std::size_t bytes = entries.capacity() * sizeof(Entry) + lowered.capacity() +
                        (text.capacity() - text.size()) + folderOf.capacity() * sizeof(std::uint32_t) +
                        folders.capacity() * sizeof(std::string);
    for (const std::string& f : folders)
        bytes += f.capacity();
    return bytes;
}

std::string_view hostOf(std::string_view url) {
    const std::size_t scheme = url.find("://");
    if (scheme == std::string_view::npos)
        return std::string_view();
    const std::size_t start = scheme + 3;
    const std::size_t slash = url.find('/', start);
    if (slash == std::string_view::npos)
        return std::string_view();
    return url.substr(start, slash - start);
}

} // namespace chromium
