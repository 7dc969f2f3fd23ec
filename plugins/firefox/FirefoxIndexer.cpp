#include "FirefoxIndexer.h"

#include "FirefoxModule.h"
#include "FirefoxPlugin.h"

#include <algorithm>
#include <unordered_map>

VFirefoxIndexer::VFirefoxIndexer(VFirefoxPlugin* plugin, bool history) : VIndexer(plugin), history(history) {}

VFirefoxIndexer::~VFirefoxIndexer() {
    // The worker reads our members: it must be gone before they are.
    stopWorker();
    clearCache();
}

VFirefoxIndexer::Sources VFirefoxIndexer::findSources() const {
    auto* plugin = static_cast<VFirefoxPlugin*>(getPlugin());
    Sources found;
    // A profile added or removed changes the list itself.
    const std::string list = plugin->profilesListFile();
    if (!list.empty())
        found.stamps.emplace_back(list, vx::fileStamp(list));
    for (const std::string& folder : plugin->profileFolders()) {
        const std::string places = folder + "\\places.sqlite";
        const std::string older = folder + "\\" + olderFileName();
        // The browser's newest writes sit in the log until it folds them into the database: a change of
        // either is a change. A file missing now counts as well, should it appear.
        for (const std::string& file : {places, places + "-wal", older})
            found.stamps.emplace_back(file, vx::fileStamp(file));
        if (firefox::isFile(places))
            found.read.push_back({places, true});
        else if (firefox::isFile(older))
            found.read.push_back({older, false});
        else
            continue;
        found.files.push_back(found.read.back().file);
    }
    return found;
}

bool VFirefoxIndexer::init() {
    if (findSources().read.empty())
        return false;
    resultIcon = static_cast<VFirefoxPlugin*>(getPlugin())->resultIcon(history);
    updateCache();
    return true;
}

bool VFirefoxIndexer::isCacheStale() const {
    for (const auto& [file, stamp] : stamps) {
        if (!(vx::fileStamp(file) == stamp))
            return true;
    }
    return false;
}

std::string VFirefoxIndexer::getSourceDescription() const {
    std::string text;
    for (const std::string& file : files)
        text += (text.empty() ? "" : "; ") + file;
    return text;
}

std::vector<firefox::PlaceEntry> VFirefoxIndexer::collect(const std::vector<Source>& from,
                                                          const firefox::StopRequest& stop) const {
    std::vector<firefox::PlaceEntry> read;
    for (const Source& source : from) {
        if (stop && stop())
            return {};
        if (source.places)
            readPlaces(source.file, read, stop);
        else
            readOlderFile(source.file, read, stop);
    }
    std::vector<firefox::PlaceEntry> merged;
    merged.reserve(read.size());
    std::unordered_map<std::string, std::size_t> where;
    for (firefox::PlaceEntry& entry : read) {
        auto found = where.emplace(entry.url, merged.size());
        if (found.second) {
            merged.push_back(std::move(entry));
            continue;
        }
        firefox::PlaceEntry& kept = merged[found.first->second];
        kept.visitCount += entry.visitCount;
        kept.lastVisit = std::max(kept.lastVisit, entry.lastVisit);
        kept.frecency = std::max(kept.frecency, entry.frecency);
        if (kept.title.empty())
            kept.title = std::move(entry.title);
    }
    order(merged);
    return merged;
}

VFirefoxResult* VFirefoxIndexer::newResult() const {
    auto* result = new VFirefoxResult(getPlugin());
    result->setIcon(resultIcon);
    return result;
}

void VFirefoxIndexer::updateCache() {
    Sources found = findSources();
    if (getLiveSearching()) {
        clearCache();
        sources.swap(found.read);
        files.swap(found.files);
        stamps.swap(found.stamps);
        return;
    }
    // On a search's worker the next keystroke cancels the rebuild; the window thread's own rebuild
    // (start-up, a change of mode) reads on whatever the flag still says of the search before it.
    const std::vector<firefox::PlaceEntry> entries =
        collect(found.read, [this] { return rebuildCancelled(); });
    if (rebuildCancelled())
        return;
    std::vector<VResult*> fresh;
    try {
        fresh.reserve(entries.size());
        for (const firefox::PlaceEntry& entry : entries) {
            VFirefoxResult* result = newResult();
            fresh.push_back(result); // reserved: cannot throw
            result->setUrl(entry.url);
            result->setDescription(entry.title);
            result->setFolder(entry.folder);
        }
    } catch (...) {
        for (VResult* result : fresh)
            result->deleteThis();
        throw;
    }
    clearCache();
    cache.swap(fresh);
    sources.swap(found.read);
    files.swap(found.files);
    stamps.swap(found.stamps);
}

void VFirefoxIndexer::search() {
    VResultBatch found;
    if (getLiveSearching()) {
        const std::vector<firefox::PlaceEntry> entries = collect(sources, [this] { return isCancelled(); });
        for (const firefox::PlaceEntry& entry : entries) {
            if (cancelRequested())
                break;
            if (match(entry.url, true) || match(entry.title, false)) {
                VFirefoxResult* result = newResult();
                found.add(result);
                result->setUrl(entry.url);
                result->setDescription(entry.title);
                result->setFolder(entry.folder);
            }
        }
    } else {
        for (VResult* entry : cache) {
            if (cancelRequested())
                break;
            const auto* cached = static_cast<const VFirefoxResult*>(entry);
            if (match(cached->getUrl(), true) || match(cached->getDescription(), false)) {
                VFirefoxResult* result = newResult();
                found.add(result);
                result->copyFrom(*cached);
            }
        }
    }
    // A cancelled search's results die with the batch.
    if (!isCancelled())
        found.deliver(searchId);
}
