#pragma once
// One search folder's cache: every folder walked (with its last-write time, read before its entries
// were) and the entries that passed the filters. Immutable once made: a search holds the snapshot it
// started with while the builder makes the next one aside from the disk, a persisted file, or a check
// of the folders whose times changed.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

// What one walk keeps and drops; a cache is only valid for the settings it was made with.
struct FolderSettings {
    std::string root;                          // resolved; empty: nothing to walk
    std::vector<std::string> include, exclude; // lower-cased patterns
    bool recurse = true;
    bool matchDirectories = false;

    bool passes(const std::string& lowerName) const;
    // Every setting in one text: the persisted file is looked up by it and must have been made for it.
    std::string key() const;
};

class FolderCache {
public:
    static const uint32_t kNone = UINT32_MAX;
    struct Folder {
        std::string path;    // as results show it, ending in a backslash
        uint64_t writeTime;  // 0: unknown, so the next check reads the folder again
        uint32_t parent;     // kNone for the root; always before its children
        uint32_t firstEntry; // its entries run to the next folder's first
    };
    // What a check of the folder times did, for the benchmark and the tests.
    struct CheckStats {
        std::size_t foldersChecked = 0;
        std::size_t foldersRead = 0;
    };
    // Folders to read again whatever their time says (lower-cased paths, as results show them).
    using Suspects = std::unordered_set<std::string>;

    // Walks settings.root whole; null when stop() answered true half-way.
    static std::shared_ptr<const FolderCache> walk(const FolderSettings& settings,
                                                   const std::function<bool()>& stop);
    // A new cache in which every folder whose last-write time changed, or that is a suspect, is read
    // again (its own entries), its new subfolders walked whole and its vanished ones dropped with their
    // subtrees. Null when nothing changed, or when stop() answered true.
    std::shared_ptr<const FolderCache> refreshed(const FolderSettings& settings, const Suspects& suspects,
                                                 const std::function<bool()>& stop, CheckStats* stats) const;

    // The persisted form: names once, folder times, entry bits. deserialize answers null for anything it
    // cannot trust: cut short, inconsistent, made for another root.
    std::string serialize() const;
    static std::shared_ptr<const FolderCache> deserialize(std::string_view payload,
                                                          const FolderSettings& settings);

    std::size_t folderCount() const { return folders.size(); }
    std::size_t entryCount() const { return entries.size(); }
    const Folder& folder(std::size_t i) const { return folders[i]; }
    std::size_t entryEnd(std::size_t folderIndex) const {
        return folderIndex + 1 < folders.size() ? folders[folderIndex + 1].firstEntry : entries.size();
    }
    bool isDir(std::size_t entry) const { return (entries[entry] & kDirBit) != 0; }
    std::string_view name(std::size_t entry) const {
        return std::string_view(names).substr(offset(entry), length(entry));
    }
    // The name as searches compare it: lower-cased and without accents (VSearchQuery::prepareText).
    std::string_view preparedName(std::size_t entry) const {
        if (preparedStarts.empty())
            return std::string_view(prepared).substr(offset(entry), length(entry));
        const uint32_t start = preparedStarts[entry];
        const uint32_t end = entry + 1 < preparedStarts.size() ? preparedStarts[entry + 1]
                                                               : static_cast<uint32_t>(prepared.size());
        return std::string_view(prepared).substr(start, end - start);
    }
    // What the shortcut file at entry points at (a path), or empty: not a shortcut, or one the shell
    // could not read or whose target has no path. Read when the folder was read.
    std::string_view target(std::size_t entry) const;
    std::size_t shortcutCount() const { return shortcuts.size(); }
    std::size_t nameBytes() const { return names.size(); }
    // Bytes held besides the names themselves (the prepared copy counts).
    std::size_t overheadBytes() const;

private:
    friend class FolderCacheBuilder;
    static const uint32_t kDirBit = 0x80000000u;
    uint32_t offset(std::size_t entry) const { return entries[entry] & ~kDirBit; }
    uint32_t length(std::size_t entry) const {
        const uint32_t end =
            entry + 1 < entries.size() ? offset(entry + 1) : static_cast<uint32_t>(names.size());
        return end - offset(entry);
    }
    // Drops the prepared names' own offsets when every one has its name's length (ASCII names, and
    // most others), so they share the names' offsets; gives back spare room.
    void finish();

    std::vector<Folder> folders;
    std::vector<uint32_t> entries; // offset of the name in names; the top bit: a folder
    std::string names;             // every entry's name in entry order, as found
    // The same, prepared for matching. Folding can shorten a name ("é" is two bytes, "e" one), so the
    // prepared names have offsets of their own, unless none changed length (then preparedStarts is
    // empty and the names' offsets serve both).
    std::string prepared;
    std::vector<uint32_t> preparedStarts;
    // Shortcuts' targets, by entry in entry order: few in any tree, so looked up by bisection.
    struct Shortcut {
        uint32_t entry;
        uint32_t start; // in targets
        uint32_t length;
    };
    std::vector<Shortcut> shortcuts;
    std::string targets;
};
