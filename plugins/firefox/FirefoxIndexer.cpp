#include "FirefoxIndexer.h"

#include "FirefoxPlugin.h"
#include "util/Environment.h"

#include <algorithm>
#include <unordered_map>

VFirefoxIndexer::VFirefoxIndexer(VFirefoxPlugin* plugin, bool history)
    : VUrlIndexer(plugin, plugin->resultIcon(history), history ? "firefox-history" : "firefox-bookmarks") {}

VFirefoxIndexer::~VFirefoxIndexer() {
    // The builder and the workers read our members: they must be gone before they are.
    stopWorker();
}

VFirefoxIndexer::Sources VFirefoxIndexer::findSources() const {
    auto* plugin = static_cast<VFirefoxPlugin*>(getPlugin());
    Sources found;
    // A profile added or removed changes the list itself.
    const std::string list = plugin->profilesListFile();
    if (!list.empty())
        found.watched.push_back(list);
    for (const std::string& folder : plugin->profileFolders()) {
        const std::string places = folder + "\\places.sqlite";
        const std::string older = folder + "\\" + olderFileName();
        // The browser's newest writes sit in the log until it folds them into the database: a change of
        // either is a change. A file missing now counts as well, should it appear.
        for (const std::string& file : {places, places + "-wal", older})
            found.watched.push_back(file);
        if (vx::isFile(places))
            found.read.push_back({places, true});
        else if (vx::isFile(older))
            found.read.push_back({older, false});
        else
            continue;
        found.files.push_back(found.read.back().file);
    }
    return found;
}

bool VFirefoxIndexer::init() {
    return !findSources().read.empty();
}

std::vector<std::string> VFirefoxIndexer::watchedFiles() const {
    return findSources().watched;
}

std::string VFirefoxIndexer::getFile() const {
    const std::vector<std::string> files = getFiles();
    return files.empty() ? std::string() : files.front();
}

std::string VFirefoxIndexer::getSourceDescription() const {
    std::string text;
    for (const std::string& file : getFiles())
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

bool VFirefoxIndexer::readSource(VUrlSink& sink, const std::function<bool()>& stop) const {
    const std::vector<firefox::PlaceEntry> entries = collect(findSources().read, stop);
    if (stop())
        return false;
    const int64_t now = firefox::nowMicroseconds();
    for (const firefox::PlaceEntry& entry : entries) {
        if (!sink.add(entry.url, entry.title, entry.folder, rankOf(entry, now)))
            return !stop();
    }
    return true;
}
