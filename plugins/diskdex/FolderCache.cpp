#include "FolderCache.h"

#include "FolderReader.h"
#include "ShortcutTargets.h"
#include "engine/VSearchQuery.h"
#include "engine/VVerbinoxCore.h"
#include "util/CPath.h"
#include "util/CacheFile.h"
#include "util/VxText.h"

#include <windows.h>

#include <algorithm>
#include <unordered_map>

namespace {

bool wildMatchesAny(const std::vector<std::string>& lowerPatterns, const std::string& lowerName) {
    for (const std::string& p : lowerPatterns) {
        if (VVerbinoxCore::wildcmp(p.c_str(), lowerName.c_str()))
            return true;
    }
    return false;
}

std::string displayRoot(const FolderSettings& settings) {
    return CPath::AddBackSlash(settings.root);
}

std::wstring longRoot(const FolderSettings& settings) {
    std::wstring wide = longFolderForm(settings.root);
    if (!wide.empty() && wide.back() != L'\\')
        wide += L'\\';
    return wide;
}

// A folder changed within the last second may change again within the same tick of the file system's
// clock (a few milliseconds on Linux under Wine, 16 ms on NTFS) after its entries were read, and keep
// the very time recorded: such a time is not trusted, and the next check reads the folder once more.
uint64_t trustedTime(uint64_t writeTime) {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const uint64_t n = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const uint64_t second = 10000000;
    const uint64_t distance = n > writeTime ? n - writeTime : writeTime - n;
    return distance < second ? 0 : writeTime;
}

// A backslash is not checked for: in a double-byte code page it may be the second byte of a character.
bool isPlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('\0') == std::string_view::npos;
}

} // namespace

bool FolderSettings::passes(const std::string& lowerName) const {
    if (!include.empty() && !wildMatchesAny(include, lowerName))
        return false;
    return !wildMatchesAny(exclude, lowerName);
}

std::string FolderSettings::key() const {
    std::string key = root;
    for (const std::vector<std::string>* list : {&include, &exclude}) {
        key += '\n';
        for (const std::string& p : *list)
            key.append(p).append(1, ';');
    }
    key += recurse ? "\nrecurse" : "\nflat";
    key += matchDirectories ? "\nfolders" : "\nfiles";
    // Names are kept in the active code page: a program started without the UTF-8 manifest (or on a
    // Windows that ignores it) must not read another page's bytes as its own.
    key += "\ncp" + std::to_string(::GetACP());
    return key;
}

// Fills a cache folder by folder: a folder's record, then all of its entries, so a folder's entries are
// one run; subfolders come after their parent.
class FolderCacheBuilder {
public:
    struct Subfolder {
        std::string name;
        std::wstring wide;
    };

    FolderCacheBuilder(const FolderSettings& settings, const std::function<bool()>& stop, FolderCache& out)
        : settings(settings), stop(stop), out(out) {}

    // Reads the folder's own entries into a new record under parent; subfolders, when given, receives its
    // subfolders (never a junction or link, which may lead back up the tree). A subfolder that cannot be
    // listed is kept by its time, so that a change of its access is noticed; one that is gone makes no
    // record and answers false. The root always makes one.
    bool readFolder(const std::string& path, const std::wstring& longPath, uint32_t parent,
                    std::vector<Subfolder>* subfolders) {
        uint64_t time = 0;
        CFolderReader reader;
        const bool opened = reader.open(longPath, &time);
        if (!opened && parent != FolderCache::kNone && !folderWriteTime(longPath, time))
            return false;
        out.folders.push_back({path, opened || parent != FolderCache::kNone ? time : 0, parent,
                               static_cast<uint32_t>(out.entries.size())});
        if (!opened)
            return true;
        std::wstring_view w;
        DWORD attributes = 0;
        while (reader.next(w, attributes)) {
            if (w == L"." || w == L"..")
                continue;
            vx::narrowInto(w, name);
            lowerName.resize(name.size());
            vx::lowerInto(name.data(), name.size(), &lowerName[0]);
            // Filters work on the lower-cased name, as they always have; searches on the prepared one.
            if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                if (settings.passes(lowerName) && add(false) && CShortcutTargets::isShortcut(name))
                    addTarget(shortcutTargets().read(path + name));
                continue;
            }
            if (settings.matchDirectories)
                add(true);
            if (subfolders && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
                subfolders->push_back({name, std::wstring(w)});
        }
        out.folders.back().writeTime = trustedTime(out.folders.back().writeTime);
        return true;
    }

    // Reads the folder and, when recursing, everything below it, depth first. False when stopped.
    bool walkTree(const std::string& path, const std::wstring& longPath, uint32_t parent) {
        struct Pending {
            std::string path;
            std::wstring longPath;
            uint32_t parent;
        };
        std::vector<Pending> stack{{path, longPath, parent}};
        std::vector<Subfolder> subfolders;
        while (!stack.empty()) {
            if (stop && stop())
                return false;
            Pending p = std::move(stack.back());
            stack.pop_back();
            subfolders.clear();
            const auto index = static_cast<uint32_t>(out.folders.size());
            if (!readFolder(p.path, p.longPath, p.parent, settings.recurse ? &subfolders : nullptr))
                continue;
            for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it)
                stack.push_back({p.path + it->name + '\\', p.longPath + it->wide + L'\\', index});
        }
        return true;
    }

    // Copies an entry of another cache.
    void copy(const FolderCache& from, std::size_t entry) {
        const std::string_view preparedName = from.preparedName(entry);
        if (!fits(from.length(entry), preparedName.size()))
            return;
        out.entries.push_back(static_cast<uint32_t>(out.names.size()) |
                              (from.entries[entry] & FolderCache::kDirBit));
        out.names.append(from.name(entry));
        out.preparedStarts.push_back(static_cast<uint32_t>(out.prepared.size()));
        out.prepared.append(preparedName);
        if (!from.shortcuts.empty() && CShortcutTargets::isShortcut(from.name(entry)))
            addTarget(from.target(entry));
    }

private:
    // Offsets keep their top bit for the folder flag: 2 GB of names at most; the prepared copy's
    // offsets are whole 32-bit numbers.
    bool fits(std::size_t length, std::size_t preparedLength) const {
        return out.names.size() + length < FolderCache::kDirBit &&
               out.prepared.size() + preparedLength < FolderCache::kNone;
    }
    bool add(bool isDir) {
        VSearchQuery::prepareText(name, preparedName, true);
        if (!fits(name.size(), preparedName.size()))
            return false;
        out.entries.push_back(static_cast<uint32_t>(out.names.size()) | (isDir ? FolderCache::kDirBit : 0u));
        out.names += name;
        out.preparedStarts.push_back(static_cast<uint32_t>(out.prepared.size()));
        out.prepared += preparedName;
        return true;
    }
    // The target of the entry added last.
    void addTarget(std::string_view target) {
        if (target.empty() || out.entries.empty() || out.targets.size() + target.size() >= FolderCache::kNone)
            return;
        out.shortcuts.push_back({static_cast<uint32_t>(out.entries.size() - 1),
                                 static_cast<uint32_t>(out.targets.size()),
                                 static_cast<uint32_t>(target.size())});
        out.targets.append(target.data(), target.size());
    }
    // Made on the first shortcut met: most trees have none, and need no COM.
    CShortcutTargets& shortcutTargets() {
        if (!links)
            links = std::make_unique<CShortcutTargets>();
        return *links;
    }

    const FolderSettings& settings;
    const std::function<bool()>& stop;
    FolderCache& out;
    std::string name, lowerName, preparedName;
    std::unique_ptr<CShortcutTargets> links;
};

void FolderCache::finish() {
    bool sameLengths = prepared.size() == names.size();
    for (std::size_t e = 0; sameLengths && e < preparedStarts.size(); ++e)
        sameLengths = preparedStarts[e] == offset(e);
    if (sameLengths)
        std::vector<uint32_t>().swap(preparedStarts);
    folders.shrink_to_fit();
    entries.shrink_to_fit();
    names.shrink_to_fit();
    prepared.shrink_to_fit();
    preparedStarts.shrink_to_fit();
    shortcuts.shrink_to_fit();
    targets.shrink_to_fit();
}

std::string_view FolderCache::target(std::size_t entry) const {
    const auto found = std::lower_bound(shortcuts.begin(), shortcuts.end(), entry,
                                        [](const Shortcut& s, std::size_t e) { return s.entry < e; });
    if (found == shortcuts.end() || found->entry != entry)
        return std::string_view();
    return std::string_view(targets).substr(found->start, found->length);
}

std::shared_ptr<const FolderCache> FolderCache::walk(const FolderSettings& settings,
                                                     const std::function<bool()>& stop) {
    auto cache = std::make_shared<FolderCache>();
    if (settings.root.empty())
        return cache;
    FolderCacheBuilder builder(settings, stop, *cache);
    if (!builder.walkTree(displayRoot(settings), longRoot(settings), kNone))
        return nullptr;
    cache->finish();
    return cache;
}

std::shared_ptr<const FolderCache> FolderCache::refreshed(const FolderSettings& settings,
                                                          const Suspects& suspects,
                                                          const std::function<bool()>& stop,
                                                          CheckStats* stats) const {
    const std::size_t n = folders.size();
    if (n == 0)
        return nullptr;
    const std::wstring wideRoot = longRoot(settings);
    const std::size_t rootLength = folders[0].path.size();
    auto longOf = [&](const std::string& path) {
        return wideRoot + vx::widened(std::string_view(path).substr(rootLength));
    };

    enum : uint8_t { Same, Changed, Gone };
    std::vector<uint8_t> state(n, Same);
    bool any = false;
    for (std::size_t i = 0; i < n; ++i) {
        if ((i & 63) == 0 && stop && stop())
            return nullptr;
        uint64_t time = 0;
        if (!folderWriteTime(longOf(folders[i].path), time)) {
            // A missing root already cached as empty stays as it is.
            if (i == 0 && n == 1 && entries.empty() && folders[0].writeTime == 0)
                continue;
            state[i] = Gone;
        } else if (time != folders[i].writeTime ||
                   (!suspects.empty() && suspects.count(vx::lowered(folders[i].path)))) {
            state[i] = Changed;
        } else {
            continue;
        }
        any = true;
    }
    if (stats) {
        stats->foldersChecked = n;
        stats->foldersRead = 0;
    }
    if (!any)
        return nullptr;

    auto next = std::make_shared<FolderCache>();
    next->folders.reserve(n);
    next->entries.reserve(entries.size());
    next->names.reserve(names.size());
    next->prepared.reserve(prepared.size());
    next->preparedStarts.reserve(entries.size());
    FolderCacheBuilder builder(settings, stop, *next);

    // The old children of each folder read again, to tell which of its subfolders are new.
    std::unordered_map<uint32_t, std::vector<uint32_t>> childrenOf;
    for (std::size_t j = 1; j < n; ++j) {
        if (state[folders[j].parent] != Same)
            childrenOf[folders[j].parent].push_back(static_cast<uint32_t>(j));
    }
    std::vector<uint32_t> newIndex(n, kNone);
    std::vector<uint8_t> dropped(n, 0);
    struct Pending {
        std::string path;
        uint32_t parent;
    };
    std::vector<Pending> added;
    std::vector<FolderCacheBuilder::Subfolder> subfolders;
    for (std::size_t i = 0; i < n; ++i) {
        if ((i & 63) == 0 && stop && stop())
            return nullptr;
        const Folder& f = folders[i];
        if (i > 0 && (dropped[i] || newIndex[f.parent] == kNone))
            continue;
        const uint32_t parent = i > 0 ? newIndex[f.parent] : kNone;
        if (state[i] == Same) {
            newIndex[i] = static_cast<uint32_t>(next->folders.size());
            next->folders.push_back(
                {f.path, f.writeTime, parent, static_cast<uint32_t>(next->entries.size())});
            for (std::size_t e = f.firstEntry, end = entryEnd(i); e < end; ++e)
                builder.copy(*this, e);
            continue;
        }
        if (state[i] == Gone && i > 0)
            continue;
        subfolders.clear();
        const auto index = static_cast<uint32_t>(next->folders.size());
        if (!builder.readFolder(f.path, longOf(f.path), parent, settings.recurse ? &subfolders : nullptr))
            continue;
        newIndex[i] = index;
        if (stats)
            ++stats->foldersRead;
        // Old subfolders still listed stay (read again in their turn if their own time changed); the
        // others went, with everything below them; the listed ones not known yet are walked whole.
        std::unordered_set<std::string> known;
        auto kids = childrenOf.find(static_cast<uint32_t>(i));
        if (kids != childrenOf.end()) {
            std::unordered_set<std::string> listed;
            for (const auto& s : subfolders)
                listed.insert(s.name);
            for (uint32_t j : kids->second) {
                const std::string& p = folders[j].path;
                std::string name = p.substr(f.path.size(), p.size() - f.path.size() - 1);
                if (listed.count(name))
                    known.insert(std::move(name));
                else
                    dropped[j] = 1;
            }
        }
        for (const auto& s : subfolders) {
            if (!known.count(s.name))
                added.push_back({f.path + s.name + '\\', index});
        }
    }
    for (const Pending& p : added) {
        if (!builder.walkTree(p.path, longOf(p.path), p.parent))
            return nullptr;
    }
    next->finish();
    return next;
}

std::string FolderCache::serialize() const {
    vx::CacheWriter w;
    w.varint(folders.size());
    w.varint(entries.size());
    for (std::size_t i = 0; i < folders.size(); ++i) {
        const Folder& f = folders[i];
        if (i == 0) {
            w.varint(0);
            w.text(f.path);
        } else {
            // The parent's index as a distance back, and only the folder's own name.
            const std::string& parentPath = folders[f.parent].path;
            w.varint(i - f.parent);
            w.text(std::string_view(f.path).substr(parentPath.size(), f.path.size() - parentPath.size() - 1));
        }
        w.u64(f.writeTime);
        w.varint(entryEnd(i) - f.firstEntry);
    }
    for (std::size_t e = 0; e < entries.size(); ++e)
        w.varint((static_cast<uint64_t>(length(e)) << 1) | (isDir(e) ? 1 : 0));
    w.text(names);
    // Shortcuts' targets: the distance from the previous shortcut's entry, and the path.
    w.varint(shortcuts.size());
    uint32_t previous = 0;
    for (const Shortcut& s : shortcuts) {
        w.varint(s.entry - previous);
        w.text(std::string_view(targets).substr(s.start, s.length));
        previous = s.entry;
    }
    return std::move(w.bytes());
}

std::shared_ptr<const FolderCache> FolderCache::deserialize(std::string_view payload,
                                                            const FolderSettings& settings) {
    vx::CacheReader r(payload);
    uint64_t folderCount = 0, entryCount = 0;
    // Every folder and entry takes at least a byte: larger counts are lies, and must not size a vector.
    if (!r.varint(folderCount) || !r.varint(entryCount) || folderCount > payload.size() ||
        entryCount > payload.size())
        return nullptr;
    if ((folderCount == 0) != settings.root.empty() || (folderCount > 1 && !settings.recurse))
        return nullptr;
    auto cache = std::make_shared<FolderCache>();
    cache->folders.reserve(static_cast<std::size_t>(folderCount));
    cache->entries.reserve(static_cast<std::size_t>(entryCount));
    uint64_t total = 0;
    for (uint64_t i = 0; i < folderCount; ++i) {
        uint64_t distance = 0, time = 0, count = 0;
        std::string_view name;
        if (!r.varint(distance) || !r.text(name) || !r.u64(time) || !r.varint(count))
            return nullptr;
        Folder f;
        if (i == 0) {
            if (distance != 0 || name != displayRoot(settings))
                return nullptr;
            f.path = std::string(name);
            f.parent = kNone;
        } else {
            if (distance == 0 || distance > i || !isPlainName(name))
                return nullptr;
            f.parent = static_cast<uint32_t>(i - distance);
            f.path.reserve(cache->folders[f.parent].path.size() + name.size() + 1);
            f.path.append(cache->folders[f.parent].path).append(name).append(1, '\\');
        }
        if (count > entryCount - total)
            return nullptr;
        f.writeTime = time;
        f.firstEntry = static_cast<uint32_t>(total);
        total += count;
        cache->folders.push_back(std::move(f));
    }
    if (total != entryCount)
        return nullptr;
    uint64_t offset = 0;
    for (uint64_t e = 0; e < entryCount; ++e) {
        uint64_t bits = 0;
        if (!r.varint(bits) || (bits >> 1) == 0 || (bits >> 1) >= kDirBit - offset)
            return nullptr;
        cache->entries.push_back(static_cast<uint32_t>(offset) | ((bits & 1) ? kDirBit : 0u));
        offset += bits >> 1;
    }
    std::string_view all;
    if (!r.text(all) || all.size() != offset || all.find('\0') != std::string_view::npos)
        return nullptr;
    cache->names.assign(all.data(), all.size());
    uint64_t shortcutCount = 0;
    if (!r.varint(shortcutCount) || shortcutCount > entryCount)
        return nullptr;
    cache->shortcuts.reserve(static_cast<std::size_t>(shortcutCount));
    uint64_t entry = 0;
    for (uint64_t i = 0; i < shortcutCount; ++i) {
        uint64_t distance = 0;
        std::string_view target;
        // Entries strictly in order (only the first may be entry 0), each a file's.
        if (!r.varint(distance) || (i > 0 && distance == 0) || distance >= entryCount - entry ||
            !r.text(target) || target.empty() || target.find('\0') != std::string_view::npos ||
            cache->targets.size() + target.size() >= kNone)
            return nullptr;
        entry += distance;
        if (cache->isDir(static_cast<std::size_t>(entry)))
            return nullptr;
        cache->shortcuts.push_back({static_cast<uint32_t>(entry),
                                    static_cast<uint32_t>(cache->targets.size()),
                                    static_cast<uint32_t>(target.size())});
        cache->targets.append(target.data(), target.size());
    }
    if (!r.atEnd())
        return nullptr;
    // Names all in ASCII keep their length when prepared: one pass over the whole buffer. Others are
    // prepared one by one, since folding may shorten them.
    const bool ascii = std::all_of(all.begin(), all.end(), [](char c) { return (c & 0x80) == 0; });
    if (ascii) {
        VSearchQuery::prepareText(all, cache->prepared, true);
        if (cache->prepared.size() != all.size())
            return nullptr;
    } else {
        cache->preparedStarts.reserve(cache->entries.size());
        std::string one;
        for (std::size_t e = 0; e < cache->entries.size(); ++e) {
            VSearchQuery::prepareText(cache->name(e), one, true);
            if (cache->prepared.size() + one.size() >= kNone)
                return nullptr;
            cache->preparedStarts.push_back(static_cast<uint32_t>(cache->prepared.size()));
            cache->prepared += one;
        }
    }
    cache->finish();
    return cache;
}

std::size_t FolderCache::overheadBytes() const {
    std::size_t bytes = entries.capacity() * sizeof(uint32_t) + prepared.capacity() +
                        preparedStarts.capacity() * sizeof(uint32_t) + (names.capacity() - names.size()) +
                        folders.capacity() * sizeof(Folder) + shortcuts.capacity() * sizeof(Shortcut) +
                        targets.capacity();
    for (const Folder& f : folders)
        bytes += f.path.capacity() + 1;
    return bytes;
}
