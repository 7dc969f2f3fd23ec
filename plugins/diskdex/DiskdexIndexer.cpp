#include "DiskdexIndexer.h"

#include "engine/VBestOf.h"
#include "engine/VVerbinoxCore.h"
#include "model/VFileResult.h"
#include "model/VPreferences.h"
#include "util/CPath.h"
#include "util/VxText.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "FolderReader.h"
#include "ShortcutTargets.h"
#include "util/CacheFile.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <unordered_set>

namespace {

struct Placeholder {
    const char* text;
    int csidl; // -1: the Quick Launch folder under APPDATA
};
const Placeholder kPlaceholders[] = {
    {"%START_MENU%", CSIDL_STARTMENU},
    {"%START_MENU_ALL%", CSIDL_COMMON_STARTMENU},
    {"%MY_DOCUMENTS%", CSIDL_PERSONAL},
    {"%DESKTOP%", CSIDL_DESKTOPDIRECTORY},
    {"%DESKTOP_ALL%", CSIDL_COMMON_DESKTOPDIRECTORY},
    {"%RECENT%", CSIDL_RECENT},
    {"%QUICK_LAUNCH%", -1},
};
constexpr int kPlaceholderCount = sizeof(kPlaceholders) / sizeof(kPlaceholders[0]);

// One table for the whole library, filled at an indexer's construction while the Start Menu entry is
// still unknown (so a failed look-up is tried again by the next indexer).
struct FolderTable {
    std::mutex lock;
    std::string folders[kPlaceholderCount];

    void fillIfNeeded() {
        std::lock_guard<std::mutex> hold(lock);
        if (!folders[0].empty())
            return;
        for (int i = 0; i < kPlaceholderCount; ++i) {
            if (kPlaceholders[i].csidl >= 0) {
                char buffer[MAX_PATH] = {};
                if (::SHGetSpecialFolderPathA(nullptr, buffer, kPlaceholders[i].csidl, FALSE))
                    folders[i] = CPath::AddBackSlash(buffer);
            } else {
                // An unset APPDATA leaves the entry empty rather than turning it into a rooted path.
                DWORD n = ::GetEnvironmentVariableA("APPDATA", nullptr, 0);
                std::string appData;
                if (n > 1) {
                    appData.resize(n);
                    appData.resize(::GetEnvironmentVariableA("APPDATA", &appData[0], n));
                }
                folders[i] = appData.empty() ? std::string()
                                             : CPath::AddBackSlash(appData) +
                                                   "Microsoft\\Internet Explorer\\Quick Launch\\";
            }
        }
    }
    std::string get(int i) {
        std::lock_guard<std::mutex> hold(lock);
        return folders[i];
    }
};

FolderTable& folderTable() {
    static FolderTable table;
    return table;
}

void replaceAll(std::string& text, const std::string& what, const std::string& with) {
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

bool wildMatchesAny(const std::vector<std::string>& lowerPatterns, const std::string& lowerName) {
    for (const std::string& p : lowerPatterns) {
        if (VVerbinoxCore::wildcmp(p.c_str(), lowerName.c_str()))
            return true;
    }
    return false;
}

// "1,234,567": the cache note is read by people.
std::string grouped(std::size_t n) {
    std::string digits = std::to_string(n), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

// The folder a watch follows for these settings: the long form, ending in a backslash.
std::wstring watchedRoot(const FolderSettings& settings) {
    std::wstring root = longFolderForm(settings.root);
    if (!root.empty() && root.back() != L'\\')
        root += L'\\';
    return root;
}

// The last component of a path, a folder's without its trailing backslash.
std::string_view lastComponent(std::string_view path) {
    if (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The kind and format of the persisted file; a new layout takes a new number, and old files are rebuilt.
// 2: names are kept prepared for matching (lower-cased and folded) rather than only lower-cased.
// 3: shortcuts keep the paths they point at.
const char kCacheKind[] = "folders";
const uint32_t kCacheVersion = 3;
// Far beyond any real tree (names are limited to 2 GB anyway); keeps a damaged size from being believed.
const uint64_t kMaxCacheBytes = 1ull << 31;

} // namespace

VDiskdexIndexer::VDiskdexIndexer(VPlugin* plugin) : VIndexer(plugin) {
    folderTable().fillIfNeeded();
}

VDiskdexIndexer::~VDiskdexIndexer() {
    // The worker and the builder read our members: they must be gone before they are.
    stopWorker();
    watch.stop();
    // A change that had not settled yet, or a walk just made, is written now so the next start loads it.
    saveCache();
}

std::string VDiskdexIndexer::folderForPlaceholder(const std::string& placeholder) {
    folderTable().fillIfNeeded();
    for (int i = 0; i < kPlaceholderCount; ++i) {
        if (placeholder == kPlaceholders[i].text)
            return folderTable().get(i);
    }
    return std::string();
}

std::string VDiskdexIndexer::getPath() const {
    std::lock_guard<std::mutex> hold(settingsLock);
    return path;
}

void VDiskdexIndexer::setPath(const std::string& value) {
    std::lock_guard<std::mutex> hold(settingsLock);
    path = value;
}

std::string VDiskdexIndexer::resolvePath() const {
    std::string resolved = getPath();
    for (int i = 0; i < kPlaceholderCount; ++i) {
        if (resolved.find(kPlaceholders[i].text) != std::string::npos)
            replaceAll(resolved, kPlaceholders[i].text, folderTable().get(i));
    }
    resolved = vx::trimmed(resolved);
    if (resolved.empty())
        return resolved; // never the current directory
    // A relative folder is taken from the program's folder, in both modes, without changing the
    // process's current directory under the other threads.
    if (::PathIsRelativeA(resolved.c_str()))
        resolved = VVerbinoxCore::instance()->getAppLocation() + resolved;
    return resolved;
}

std::string VDiskdexIndexer::getSourceDescription() const {
    std::string resolved = resolvePath();
    return resolved.empty() ? getPath() + " (no such folder here)" : resolved;
}

std::vector<std::string> VDiskdexIndexer::lowerAll(const std::vector<std::string>& patterns) {
    std::vector<std::string> out;
    out.reserve(patterns.size());
    for (const std::string& p : patterns)
        out.push_back(vx::lowered(p));
    return out;
}

void VDiskdexIndexer::setIncludeFilters(const std::vector<std::string>& patterns) {
    std::lock_guard<std::mutex> hold(settingsLock);
    includeFilters = lowerAll(patterns);
}

void VDiskdexIndexer::setExcludeFilters(const std::vector<std::string>& patterns) {
    std::lock_guard<std::mutex> hold(settingsLock);
    excludeFilters = lowerAll(patterns);
}

std::vector<std::string> VDiskdexIndexer::getIncludeFilters() const {
    std::lock_guard<std::mutex> hold(settingsLock);
    return includeFilters;
}

std::vector<std::string> VDiskdexIndexer::getExcludeFilters() const {
    std::lock_guard<std::mutex> hold(settingsLock);
    return excludeFilters;
}

void VDiskdexIndexer::addIncludeFilter(const std::string& pattern) {
    std::lock_guard<std::mutex> hold(settingsLock);
    includeFilters.push_back(pattern);
}

void VDiskdexIndexer::addExcludeFilter(const std::string& pattern) {
    std::lock_guard<std::mutex> hold(settingsLock);
    excludeFilters.push_back(pattern);
}

namespace {
void removeFirst(std::vector<std::string>& list, const std::string& pattern) {
    auto it = std::find(list.begin(), list.end(), pattern);
    if (it != list.end())
        list.erase(it);
}
void replaceFirst(std::vector<std::string>& list, const std::string& from, const std::string& to) {
    auto it = std::find(list.begin(), list.end(), from);
    if (it != list.end())
        *it = to;
}
} // namespace

void VDiskdexIndexer::removeIncludeFilter(const std::string& pattern) {
    std::lock_guard<std::mutex> hold(settingsLock);
    removeFirst(includeFilters, pattern);
}

void VDiskdexIndexer::removeExcludeFilter(const std::string& pattern) {
    std::lock_guard<std::mutex> hold(settingsLock);
    removeFirst(excludeFilters, pattern);
}

void VDiskdexIndexer::replaceIncludeFilter(const std::string& oldPattern, const std::string& newPattern) {
    std::lock_guard<std::mutex> hold(settingsLock);
    replaceFirst(includeFilters, oldPattern, newPattern);
}

void VDiskdexIndexer::replaceExcludeFilter(const std::string& oldPattern, const std::string& newPattern) {
    std::lock_guard<std::mutex> hold(settingsLock);
    replaceFirst(excludeFilters, oldPattern, newPattern);
}

std::string VDiskdexIndexer::getFilterString(FilterList which) const {
    std::lock_guard<std::mutex> hold(settingsLock);
    const std::vector<std::string>& list = which == IncludeFilters ? includeFilters : excludeFilters;
    std::string text;
    for (const std::string& p : list) {
        if (!text.empty())
            text += ';';
        text += p;
    }
    return text;
}

void VDiskdexIndexer::setFilterString(const std::string& text, FilterList which) {
    std::vector<std::string> list;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string::npos)
            end = text.size();
        // Lists written by hand often read "*.doc; *.pdf": a blank kept in " *.pdf" would never match.
        std::string piece = vx::trimmed(std::string_view(text).substr(start, end - start));
        if (!piece.empty())
            list.push_back(std::move(piece));
        start = end + 1;
    }
    std::lock_guard<std::mutex> hold(settingsLock);
    (which == IncludeFilters ? includeFilters : excludeFilters) = std::move(list);
}

bool VDiskdexIndexer::passesIncludeFilters(const std::string& name) const {
    std::vector<std::string> include = lowerAll(getIncludeFilters());
    return include.empty() || wildMatchesAny(include, vx::lowered(name));
}

bool VDiskdexIndexer::matchesExcludeFilter(const std::string& name) const {
    return wildMatchesAny(lowerAll(getExcludeFilters()), vx::lowered(name));
}

FolderSettings VDiskdexIndexer::snapshot() const {
    FolderSettings s;
    s.root = resolvePath();
    s.include = lowerAll(getIncludeFilters());
    s.exclude = lowerAll(getExcludeFilters());
    s.recurse = getRecurse();
    s.matchDirectories = getMatchDirectories();
    return s;
}

template <class Visit>
bool VDiskdexIndexer::walk(const FolderSettings& settings, Visit visit, bool stopOnCancel) const {
    if (settings.root.empty())
        return true;
    // Each open folder owns its handle: a cancel, or an exception thrown by visit (a bad_alloc
    // while a large walk grows its results), closes every one of them on the way out.
    struct Frame {
        CFolderReader reader;
        std::wstring wideFolder; // "\\?\" form, ending in a backslash
        std::string folder;      // as results show it, ending in a backslash
        unsigned depth;          // folders below the root
    };
    std::vector<Frame> stack;
    auto open = [&](std::wstring wideFolder, std::string folder) {
        if (wideFolder.empty() || wideFolder.back() != L'\\')
            wideFolder += L'\\';
        Frame frame{CFolderReader(), std::move(wideFolder), std::move(folder),
                    stack.empty() ? 0u : stack.back().depth + 1};
        if (!frame.reader.open(frame.wideFolder))
            return; // a folder that cannot be read yields nothing
        stack.push_back(std::move(frame));
    };

    std::string name, lowerName;
    std::wstring_view w;
    DWORD attributes = 0;
    open(longFolderForm(settings.root), CPath::AddBackSlash(settings.root));
    while (!stack.empty()) {
        if (!stack.back().reader.next(w, attributes)) {
            stack.pop_back();
            continue;
        }
        if (stopOnCancel && isCancelled())
            return false;
        if (w == L"." || w == L"..")
            continue;
        vx::narrowInto(w, name);
        lowerName.resize(name.size());
        vx::lowerInto(name.data(), name.size(), &lowerName[0]);
        const Frame& frame = stack.back();
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            if (settings.passes(lowerName))
                visit(frame.folder, frame.depth, name, lowerName, false);
            continue;
        }
        if (settings.matchDirectories)
            visit(frame.folder, frame.depth, name, lowerName, true);
        // A junction or symbolic link may lead back up the tree: never descend into one.
        if (settings.recurse && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            std::wstring childWide = frame.wideFolder;
            childWide.append(w.data(), w.size());
            std::string child = frame.folder + name + '\\';
            open(std::move(childWide), std::move(child));
        }
    }
    return true;
}

void VDiskdexIndexer::clearCache() {
    VIndexer::clearCache(); // stops the worker and the builder
    std::lock_guard<std::mutex> hold(cacheLock);
    current.reset();
    cacheKey.clear();
    cacheNote.clear();
    unsaved = false;
}

void VDiskdexIndexer::updateCache() {
    requestRebuild();
}

std::shared_ptr<const FolderCache> VDiskdexIndexer::getCache() const {
    std::lock_guard<std::mutex> hold(cacheLock);
    return current;
}

std::size_t VDiskdexIndexer::getCachedCount() const {
    std::shared_ptr<const FolderCache> c = getCache();
    return c ? c->entryCount() : 0;
}

std::size_t VDiskdexIndexer::getCacheOverheadBytes() const {
    std::shared_ptr<const FolderCache> c = getCache();
    return c ? c->overheadBytes() : 0;
}

std::string VDiskdexIndexer::getCacheNote() const {
    std::lock_guard<std::mutex> hold(cacheLock);
    return cacheNote;
}

FolderCache::CheckStats VDiskdexIndexer::getLastCheckStats() const {
    std::lock_guard<std::mutex> hold(cacheLock);
    return lastStats;
}

std::string VDiskdexIndexer::getCacheFile() const {
    return cacheFileFor(snapshot().key());
}

std::string VDiskdexIndexer::cacheFileFor(const std::string& key) {
    // Without a folder for caches nothing is persisted: never a file in the current directory.
    const std::string folder = vx::cacheFolder();
    return folder.empty() ? std::string() : folder + vx::cacheFileName(kCacheKind, key);
}

void VDiskdexIndexer::install(std::shared_ptr<const FolderCache> next, const std::string& key, bool changed) {
    {
        std::lock_guard<std::mutex> hold(cacheLock);
        current = std::move(next);
        cacheKey = key;
    }
    unsaved = changed;
    lastChange = ::GetTickCount();
}

bool VDiskdexIndexer::saveCache() {
    std::shared_ptr<const FolderCache> c;
    std::string key;
    {
        std::lock_guard<std::mutex> hold(cacheLock);
        c = current;
        key = cacheKey;
    }
    if (!c || !unsaved)
        return c != nullptr;
    const std::string file = cacheFileFor(key);
    if (file.empty())
        return false;
    // Cleared first: a change swapped in while the file is written makes it unsaved again.
    unsaved = false;
    if (vx::writeCacheFile(file, kCacheKind, kCacheVersion, key, c->serialize()))
        return true;
    unsaved = true;
    return false;
}

void VDiskdexIndexer::rebuild(const std::function<bool()>& stop) {
    if (getLiveSearching()) {
        // Live searches walk the disk themselves; a cache would only go stale.
        saveCache();
        watch.stop();
        std::lock_guard<std::mutex> hold(cacheLock);
        current.reset();
        cacheKey.clear();
        cacheNote.clear();
        return;
    }
    const FolderSettings settings = snapshot();
    const std::string key = settings.key();
    // Watched before it is read: a change made while the walk runs, or before the next check, is told
    // by the watch, and one that leaves names and times alone (a shortcut saved again) is not lost.
    const std::wstring root = watchedRoot(settings);
    if (!settings.root.empty() && (!watch.isWatching() || watch.folder() != root)) {
        lastWatchTry = ::GetTickCount();
        watch.start(root);
    }
    bool same = false;
    {
        std::lock_guard<std::mutex> hold(cacheLock);
        same = current && cacheKey == key;
    }
    if (same) {
        check(settings, stop);
        return;
    }
    // Other settings, or none yet: the persisted cache for these, brought up to date, or a walk.
    saveCache();
    std::string payload;
    std::shared_ptr<const FolderCache> loaded;
    const std::string file = cacheFileFor(key);
    if (!file.empty() && vx::readCacheFile(file, kCacheKind, kCacheVersion, key, payload, kMaxCacheBytes))
        loaded = FolderCache::deserialize(payload, settings);
    std::string().swap(payload);
    if (loaded) {
        install(std::move(loaded), key, false);
        {
            std::lock_guard<std::mutex> hold(cacheLock);
            cacheNote.clear();
        }
        suspects.clear();
        check(settings, stop);
        return;
    }
    const double started = static_cast<double>(::GetTickCount64());
    std::shared_ptr<const FolderCache> walked = FolderCache::walk(settings, stop);
    if (!walked)
        return; // cut short: the old cache stays
    const double seconds = (static_cast<double>(::GetTickCount64()) - started) / 1000.0;
    char note[512];
    std::snprintf(note, sizeof(note), "built the cache of %s: %s files in %.1f s", settings.root.c_str(),
                  grouped(walked->entryCount()).c_str(), seconds);
    install(std::move(walked), key, true);
    suspects.clear();
    lastCheck = ::GetTickCount();
    std::lock_guard<std::mutex> hold(cacheLock);
    cacheNote = note;
}

void VDiskdexIndexer::check(const FolderSettings& settings, const std::function<bool()>& stop) {
    std::shared_ptr<const FolderCache> held = getCache();
    if (!held)
        return;
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    FolderCache::CheckStats stats;
    std::shared_ptr<const FolderCache> next = held->refreshed(settings, suspects, stop, &stats);
    ::QueryPerformanceCounter(&end);
    lastCheck = ::GetTickCount();
    if (stop())
        return; // the suspects stay for the next check
    lastCheckMs =
        static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
    suspects.clear();
    {
        std::lock_guard<std::mutex> hold(cacheLock);
        lastStats = stats;
    }
    if (next)
        install(std::move(next), settings.key(), true);
}

void VDiskdexIndexer::follow(const std::function<bool()>& stop) {
    if (getLiveSearching() || !getCache())
        return;
    const FolderSettings settings = snapshot();
    {
        // Settings being edited: the cache follows them once they are applied (updateCache).
        std::lock_guard<std::mutex> hold(cacheLock);
        if (cacheKey != settings.key())
            return;
    }
    const DWORD now = ::GetTickCount();
    const std::wstring root = watchedRoot(settings);
    if ((!watch.isWatching() || watch.folder() != root) && now - lastWatchTry >= kCheckIntervalMs) {
        lastWatchTry = now;
        watch.start(root);
    }
    std::vector<std::wstring> changed;
    bool overflow = false;
    const bool notified = watch.poll(changed, overflow);
    if (!changed.empty()) {
        const std::string base = CPath::AddBackSlash(settings.root);
        std::string parent;
        for (const std::wstring& name : changed) {
            const std::size_t slash = name.rfind(L'\\');
            parent = base;
            if (slash != std::wstring::npos)
                parent += vx::narrowed(std::wstring_view(name).substr(0, slash)) + '\\';
            suspects.insert(vx::lowered(parent));
        }
    }
    if (notified || now - lastCheck >= kCheckIntervalMs)
        check(settings, stop);
    if (unsaved && ::GetTickCount() - lastChange >= kSettleMs && !stop())
        saveCache();
}

namespace {

bool inRecentFolder(std::string_view folder) {
    while (!folder.empty() && folder.back() == '\\')
        folder.remove_suffix(1);
    const std::size_t slash = folder.rfind('\\');
    const std::string_view last = slash == std::string_view::npos ? folder : folder.substr(slash + 1);
    return last.size() == 6 &&
           ::CompareStringOrdinal(vx::widened(last).c_str(), 6, L"Recent", 6, TRUE) == CSTR_EQUAL;
}

} // namespace

void VDiskdexIndexer::search() {
    const VSearchQuery& query = getQuery();
    // The names of files and folders chosen before for this text: only a candidate of such a name
    // has its full path built and looked up.
    std::unordered_set<std::string_view> learnedNames;
    if (query.hasLearned()) {
        for (const VLearnedItem& item : query.learned()) {
            if (item.type == VProperty::FileType)
                learnedNames.insert(lastComponent(item.value));
        }
    }
    std::string full;
    auto fullPath = [&full](std::string_view folder, std::string_view name,
                            bool isDir) -> const std::string& {
        full.assign(folder.data(), folder.size()).append(name.data(), name.size());
        if (isDir)
            full += '\\';
        return full;
    };
    // What the best few keep until the walk ends; their results are made only then.
    struct Hit {
        std::size_t folderIndex; // cached searches: the cache's folder and entry
        std::size_t entry;
        std::string folder; // live searches: the walk's texts are gone by then
        std::string name;
        bool isDir;
    };
    VBestOf<Hit> best(resultsLimit());
    std::string preparedTarget;
    // Ranks a name that matches and offers it to the best few; the texts are copied only when it is kept.
    // target: what a shortcut points at, or empty.
    auto offer = [&](std::string_view folder, std::string_view name, std::string_view prepared, bool isDir,
                     unsigned depth, std::size_t folderIndex, std::size_t entry, bool keepTexts,
                     std::string_view target) {
        const VSearchQuery::Match how = rankMatch(name, prepared);
        // A shortcut is found by the name of what it starts as well: "cmd" finds "Command Prompt.lnk",
        // "wt" the shortcut of "wt.exe".
        VSearchQuery::Match byTarget;
        std::string_view targetName;
        if (!target.empty()) {
            targetName = lastComponent(target);
            VSearchQuery::prepareText(targetName, preparedTarget, true);
            byTarget = rankMatch(targetName, preparedTarget);
            // The name the row shows is the one the user reads: a file name behind it may start with the
            // text ("Blend.exe" behind "Blend for Visual Studio"), but never makes a whole-name match.
            if (byTarget.kind == VSearchQuery::WholeName)
                byTarget.kind = VSearchQuery::NamePrefix;
        }
        if (!how && !byTarget)
            return;
        VSearchQuery::Candidate candidate;
        if (isDir)
            candidate.program = 0;
        else if (!target.empty())
            // A shortcut is what it opens: a program's is a program shortcut, a document's or a folder's
            // is neither, whatever its own name says.
            candidate.program = VSearchQuery::programLevel(targetName) > 0 ? 2 : 0;
        else
            candidate.program = VSearchQuery::programLevel(name);
        // Windows' Recent Items folder holds shortcuts to the documents and folders opened lately, never
        // to programs, whatever their names look like.
        if (candidate.program == 2 && inRecentFolder(folder))
            candidate.program = 0;
        candidate.depth = depth;
        if (!learnedNames.empty() && learnedNames.count(name))
            candidate.learned = query.learnedWeight(VProperty::FileType, fullPath(folder, name, isDir));
        // Shorter is the name the row shows, however it was found: of the shortcuts that start cmd.exe,
        // "Command Prompt" before "Developer Command Prompt for VS 2022".
        candidate.nameChars = VSearchQuery::countCharacters(name);
        VRankKey key = 0;
        if (how) {
            candidate.match = how;
            key = rankKeyFor(candidate);
        }
        if (byTarget) {
            candidate.match = byTarget;
            key = std::max(key, rankKeyFor(candidate));
        }
        Hit hit{folderIndex, entry, std::string(), std::string(), isDir};
        if (keepTexts && best.wouldKeep(key)) {
            hit.folder.assign(folder.data(), folder.size());
            hit.name.assign(name.data(), name.size());
        }
        best.offer(key, std::move(hit));
    };

    std::shared_ptr<const FolderCache> held;
    if (getLiveSearching()) {
        FolderSettings settings = snapshot();
        std::string prepared, target;
        // Made at the first shortcut, on this worker, which holds COM while it reads them.
        std::unique_ptr<CShortcutTargets> links;
        walk(
            settings,
            [&](const std::string& folder, unsigned depth, const std::string& name, const std::string&,
                bool isDir) {
                // Filters work on the lowered name (the walk applied them); the search on the name as
                // stored and its prepared form, so a case-sensitive search sees the real letters.
                VSearchQuery::prepareText(name, prepared, true);
                target.clear();
                if (!isDir && CShortcutTargets::isShortcut(name)) {
                    if (!links)
                        links = std::make_unique<CShortcutTargets>();
                    target = links->read(folder + name);
                }
                offer(folder, name, prepared, isDir, depth, 0, 0, true, target);
            },
            true);
    } else if ((held = getCache())) {
        // The snapshot taken now is searched to the end, whatever the builder swaps in meanwhile.
        const FolderCache& c = *held;
        const bool withDirs = getMatchDirectories();
        const bool hasShortcuts = c.shortcutCount() != 0;
        // Folders come before their subfolders: each one's depth is its parent's and one.
        std::vector<unsigned> depths(c.folderCount(), 0);
        for (std::size_t f = 1; f < depths.size(); ++f)
            depths[f] = c.folder(f).parent < f ? depths[c.folder(f).parent] + 1 : 0;
        for (std::size_t f = 0, folders = c.folderCount(); f < folders && !cancelRequested(); ++f) {
            const std::string& folderPath = c.folder(f).path;
            for (std::size_t e = c.folder(f).firstEntry, end = c.entryEnd(f); e < end; ++e) {
                if (cancelRequested())
                    break;
                const bool isDir = c.isDir(e);
                if (isDir && !withDirs)
                    continue;
                const std::string_view name = c.name(e);
                offer(folderPath, name, c.preparedName(e), isDir, depths[f], f, e, false,
                      hasShortcuts && !isDir && CShortcutTargets::isShortcut(name) ? c.target(e)
                                                                                   : std::string_view());
            }
        }
    }
    if (isCancelled())
        return;

    VResultBatch found;
    const uint64_t more = best.dropped();
    for (auto& kept : best.take()) {
        Hit& hit = kept.second;
        VFileResult* result = VFileResult::createInstance(getPlugin());
        found.add(result);
        if (held)
            result->setFile(fullPath(held->folder(hit.folderIndex).path, held->name(hit.entry), hit.isDir));
        else
            result->setFile(fullPath(hit.folder, hit.name, hit.isDir));
        result->setRankKey(kept.first);
    }
    // A cancelled search's results die with the batch.
    if (!isCancelled())
        found.deliver(searchId, more);
}

void VDiskdexIndexer::loadPrefs(VPreferencesNode* node) {
    if (!node)
        return;
    std::string text;
    if (node->getParam("Path", text))
        setPath(text);
    if (node->getParam("IncludeFilters", text))
        setFilterString(text, IncludeFilters);
    if (node->getParam("ExcludeFilters", text))
        setFilterString(text, ExcludeFilters);
    // The older form: extensions without "*.", which replace the lists when present.
    for (int which = 0; which < 2; ++which) {
        if (!node->getParam(which == 0 ? "Extensions" : "ExcludedExtensions", text))
            continue;
        setFilterString(text, which == 0 ? IncludeFilters : ExcludeFilters);
        std::vector<std::string> list = which == 0 ? getIncludeFilters() : getExcludeFilters();
        for (std::string& p : list)
            p = "*." + p;
        std::lock_guard<std::mutex> hold(settingsLock);
        (which == 0 ? includeFilters : excludeFilters) = std::move(list);
    }
    bool flag = false;
    if (node->getParam("Recurse", flag))
        setRecurse(flag);
    if (node->getParam("MatchDirectories", flag))
        setMatchDirectories(flag);
}

void VDiskdexIndexer::savePrefs(VPreferencesNode* node) const {
    if (!node)
        return;
    node->setParam("Path", getPath());
    node->setParam("IncludeFilters", getFilterString(IncludeFilters));
    node->setParam("ExcludeFilters", getFilterString(ExcludeFilters));
    node->setParam("Recurse", getRecurse());
    node->setParam("MatchDirectories", getMatchDirectories());
}
