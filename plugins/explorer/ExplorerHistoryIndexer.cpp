#include "ExplorerHistoryIndexer.h"

#include "ExplorerModule.h"
#include "ExplorerUrlList.h"
#include "model/VFileResult.h"

#include <unordered_map>

namespace {

// Results that die with the scope unless handed on: the live search's temporary list.
struct OwnedResults {
    std::vector<VResult*> list;
    OwnedResults() = default;
    OwnedResults(const OwnedResults&) = delete;
    OwnedResults& operator=(const OwnedResults&) = delete;
    ~OwnedResults() {
        for (VResult* result : list)
            result->deleteThis();
    }
};

} // namespace

VExplorerHistoryIndexer::VExplorerHistoryIndexer(VPlugin* plugin) : VIndexer(plugin) {
    explorer::resultIcon();
    updateCache();
}

VExplorerHistoryIndexer::~VExplorerHistoryIndexer() {
    // The worker reads our members: it must be gone before they are.
    stopWorker();
    clearCache();
}

void VExplorerHistoryIndexer::readHistory(std::vector<VResult*>& target, bool stopOnCancel) const {
    CExplorerUrlList history;
    if (stopOnCancel)
        history.enumerate([this] { return isCancelled(); });
    else
        history.enumerate();
    // The service lists an address once per visit record it keeps; the list shows it once.
    std::unordered_map<std::string, VUrlResult*> listed;
    for (const CExplorerUrl& entry : history) {
        if (entry.url.empty())
            continue; // nothing to open
        auto known = listed.find(entry.url);
        if (known != listed.end()) {
            if (known->second->getDescription().empty())
                known->second->setDescription(entry.title);
            continue;
        }
        VUrlResult* result = explorer::newResult(getPlugin(), entry.url, entry.title);
        explorer::appendOwned(target, result);
        listed.emplace(entry.url, result);
    }
}

void VExplorerHistoryIndexer::updateCache() {
    clearCache();
    if (getLiveSearching())
        return;
    readHistory(cache, false);
    cache.shrink_to_fit();
}

void VExplorerHistoryIndexer::search() {
    VResultBatch found;
    if (getLiveSearching()) {
        // Every live search lists the whole history again.
        OwnedResults listed;
        readHistory(listed.list, true);
        explorer::copyMatching(*this, listed.list, found);
    } else {
        explorer::copyMatching(*this, cache, found);
    }
    // A cancelled search's results die with the batch.
    if (!isCancelled())
        found.deliver(searchId);
}
