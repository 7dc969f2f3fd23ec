#include "ChromiumFiles.h"

#include "util/VxText.h"
#include "util/Win32Handle.h"

#include <nlohmann/json.hpp>

#include <windows.h>

#include <cstdint>

namespace chromium {

namespace {

using json = nlohmann::json;

// JSON nesting beyond this is skipped. A bookmark folder costs two levels (the folder and its
// "children"); the browsers' own limit on nesting lies well below this.
constexpr int kMaxDepth = 512;

// The events a reader ignores: every scalar but strings comes to scalar().
template <class Reader> struct SaxBase {
    bool null() { return self().scalar(); }
    bool boolean(bool) { return self().scalar(); }
    bool number_integer(json::number_integer_t) { return self().scalar(); }
    bool number_unsigned(json::number_unsigned_t) { return self().scalar(); }
    bool number_float(json::number_float_t, const json::string_t&) { return self().scalar(); }
    bool binary(json::binary_t&) { return self().scalar(); }
    // The parser stops at the first error; what was read before it stays read.
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

private:
    Reader& self() { return static_cast<Reader&>(*this); }
};

// "profile" -> "info_cache" -> folder -> "name".
class ProfileNameReader : public SaxBase<ProfileNameReader> {
public:
    std::map<std::string, std::string> names;

    bool scalar() { return true; }
    bool start_object(std::size_t) { return open(); }
    bool start_array(std::size_t) { return open(); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }
    bool key(json::string_t& text) {
        if (skipped == 0 && !keys.empty())
            keys.back() = text;
        return true;
    }
    bool string(json::string_t& text) {
        if (skipped == 0 && keys.size() == 4 && keys[0] == "profile" && keys[1] == "info_cache" &&
            keys[3] == "name")
            names[keys[2]] = text;
        return true;
    }

private:
    bool open() {
        // Only the top four levels matter; arrays take a level too, so that a key never leaks into one.
        if (skipped > 0 || keys.size() >= 4)
            ++skipped;
        else
            keys.emplace_back();
        return true;
    }
    bool close() {
        if (skipped > 0)
            --skipped;
        else if (!keys.empty())
            keys.pop_back();
        return true;
    }

    std::vector<std::string> keys; // the key last seen at each open level
    int skipped = 0;
};

const char* defaultRootName(const std::string& key) {
    if (key == "bookmark_bar")
        return "Bookmarks bar";
    if (key == "other")
        return "Other bookmarks";
    if (key == "synced")
        return "Mobile bookmarks";
    return nullptr;
}

// The tree under "roots". The browser writes a node's keys in alphabetical order, so a folder's "name"
// comes after its "children": folders are numbered as they open and named as they close, and the
// paths are put together once the whole file is read.
class BookmarkReader : public SaxBase<BookmarkReader> {
public:
    std::vector<Bookmark> finish() {
        std::vector<std::string> paths(folders.size());
        for (std::size_t i = 0; i < folders.size(); ++i) {
            const Folder& folder = folders[i];
            const std::string parent = folder.parent < 0 ? std::string() : paths[folder.parent];
            // A folder the file broke off in has no name yet: the path leaves it out.
            paths[i] = parent.empty()        ? folder.name
                       : folder.name.empty() ? parent
                                             : parent + " > " + folder.name;
        }
        std::vector<Bookmark> out;
        out.reserve(found.size());
        for (Found& entry : found)
            out.push_back({std::move(entry.title), std::move(entry.url),
                           entry.folder < 0 ? std::string() : paths[entry.folder]});
        return out;
    }

    bool scalar() { return true; }
    bool key(json::string_t& text) {
        if (skipped == 0 && !levels.empty())
            levels.back().key = text;
        return true;
    }
    bool string(json::string_t& text) {
        if (skipped > 0 || levels.empty() || levels.back().kind != Kind::Node)
            return true;
        Level& node = levels.back();
        if (node.key == "name")
            node.name = text;
        else if (node.key == "url")
            node.url = text;
        else if (node.key == "type")
            node.isUrl = text == "url";
        return true;
    }
    bool start_object(std::size_t) {
        if (!enter())
            return true;
        Kind kind = Kind::Other;
        std::string rootKey;
        if (levels.empty()) {
            kind = Kind::Top;
        } else {
            const Level& parent = levels.back();
            if (parent.kind == Kind::Top && parent.key == "roots")
                kind = Kind::Roots;
            else if (parent.kind == Kind::Roots && defaultRootName(parent.key)) {
                kind = Kind::Node;
                rootKey = parent.key;
            } else if (parent.kind == Kind::Children)
                kind = Kind::Node;
        }
        levels.emplace_back(kind);
        if (!rootKey.empty())
            levels.back().name = defaultRootName(rootKey);
        return true;
    }
    bool start_array(std::size_t) {
        if (!enter())
            return true;
        Kind kind = Kind::Other;
        if (!levels.empty() && levels.back().kind == Kind::Node && levels.back().key == "children") {
            kind = Kind::Children;
            Level& node = levels.back();
            if (node.folder < 0) {
                node.folder = static_cast<int>(folders.size());
                folders.push_back(Folder{enclosingFolder(levels.size() - 1), std::string()});
            }
        }
        levels.emplace_back(kind);
        return true;
    }
    bool end_array() { return leave(); }
    bool end_object() {
        if (skipped == 0 && !levels.empty() && levels.back().kind == Kind::Node) {
            Level& node = levels.back();
            if (node.isUrl) {
                if (!node.url.empty())
                    found.push_back(
                        Found{std::move(node.name), std::move(node.url), enclosingFolder(levels.size() - 1)});
            } else if (node.folder >= 0) {
                folders[node.folder].name = std::move(node.name);
            }
        }
        return leave();
    }

private:
    enum class Kind : std::uint8_t { Top, Roots, Node, Children, Other };
    struct Level {
        explicit Level(Kind kind) : kind(kind) {}
        Kind kind;
        std::string key;  // the key last seen, in an object
        std::string name; // a node's
        std::string url;
        bool isUrl = false;
        int folder = -1; // a folder node's number, once its children begin
    };
    struct Folder {
        int parent;
        std::string name;
    };
    struct Found {
        std::string title, url;
        int folder;
    };

    bool enter() {
        if (skipped > 0 || levels.size() >= static_cast<std::size_t>(kMaxDepth)) {
            ++skipped;
            return false;
        }
        return true;
    }
    bool leave() {
        if (skipped > 0)
            --skipped;
        else if (!levels.empty())
            levels.pop_back();
        return true;
    }
    // The number of the nearest folder node above levels[below], or -1.
    int enclosingFolder(std::size_t below) const {
        for (std::size_t i = below; i-- > 0;) {
            if (levels[i].kind == Kind::Node && levels[i].folder >= 0)
                return levels[i].folder;
        }
        return -1;
    }

    std::vector<Level> levels;
    std::vector<Folder> folders;
    std::vector<Found> found;
    int skipped = 0;
};

// Length of the well-formed UTF-8 sequence at text[at], or 0.
std::size_t sequenceLength(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return 1;
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF; // range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // overlong
        else if (lead == 0xED)
            high = 0x9F; // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90; // overlong
        else if (lead == 0xF4)
            high = 0x8F; // past U+10FFFF
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    if (byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    }
    return length;
}

template <class Reader> void parse(const std::string& text, Reader& reader) {
    try {
        json::sax_parse(text.begin(), text.end(), &reader);
    } catch (...) {
        // A reader that ran out of memory keeps what it had; nothing else throws.
    }
}

} // namespace

bool readWholeFile(const std::string& path, std::string& bytes, std::size_t maxBytes) {
    bytes.clear();
    vx::CHandle file;
    file.Attach(::CreateFileA(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.IsValid())
        return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0)
        return false;
    const std::size_t want = static_cast<std::uint64_t>(size.QuadPart) < maxBytes
                                 ? static_cast<std::size_t>(size.QuadPart)
                                 : maxBytes;
    bytes.resize(want);
    std::size_t done = 0;
    while (done < want) {
        const DWORD chunk = static_cast<DWORD>(want - done < (1u << 24) ? want - done : (1u << 24));
        DWORD got = 0;
        if (!::ReadFile(file.Get(), &bytes[done], chunk, &got, nullptr)) {
            bytes.clear();
            return false;
        }
        if (got == 0)
            break; // the file shrank meanwhile
        done += got;
    }
    bytes.resize(done);
    return true;
}

void repairUtf8(std::string& text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = sequenceLength(text, at);
        if (length == 0) {
            text[at++] = '?';
        } else {
            at += length;
        }
    }
}

std::map<std::string, std::string> readProfileNames(const std::string& localStatePath) {
    std::string text;
    if (!readWholeFile(localStatePath, text, kMaxJsonBytes))
        return {};
    repairUtf8(text);
    ProfileNameReader reader;
    parse(text, reader);
    return std::move(reader.names);
}

std::vector<Bookmark> parseBookmarks(std::string text) {
    repairUtf8(text);
    BookmarkReader reader;
    parse(text, reader);
    return reader.finish();
}

std::vector<Bookmark> readBookmarks(const std::string& path) {
    std::string text;
    if (!readWholeFile(path, text, kMaxJsonBytes))
        return {};
    return parseBookmarks(std::move(text));
}

} // namespace chromium
