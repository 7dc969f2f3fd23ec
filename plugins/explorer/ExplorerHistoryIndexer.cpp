#include "ExplorerHistoryIndexer.h"

#include "ExplorerModule.h"
#include "ExplorerUrlList.h"
#include "util/Environment.h"

#include <unordered_map>

namespace {

// The history is kept between runs only when one of its files is there to tell that it changed since:
// a history that nothing follows (Wine's, one kept elsewhere by a newer version) is read at each start
// instead, or it would never be read again.
std::string cacheKindOfHistory() {
    for (const std::string& file : CExplorerUrlList::historyFiles()) {
        if (vx::isFile(file))
            return "explorer-history";
    }
    return std::string();
}

} // namespace

VExplorerHistoryIndexer::VExplorerHistoryIndexer(VPlugin* plugin)
    : VUrlIndexer(plugin, explorer::resultIcon(), cacheKindOfHistory()) {}

VExplorerHistoryIndexer::~VExplorerHistoryIndexer() {
    // The worker and the builder read our members: they must be gone before they are.
    stopWorker();
}

bool VExplorerHistoryIndexer::readHistory(VUrlSink& sink, const std::function<bool()>& stop) {
    CExplorerUrlList history;
    if (!history.enumerate(stop) || (stop && stop()))
        return false;
    // The service lists an address once per visit record it keeps; the list shows it once, with the
    // first title any of its records has. So every record is seen before the first entry goes out.
    std::vector<const CExplorerUrl*> order;
    std::unordered_map<std::string, const CExplorerUrl*> titled;
    for (const CExplorerUrl& entry : history) {
        if (entry.url.empty())
            continue; // nothing to open
        auto known = titled.emplace(entry.url, &entry);
        if (known.second)
            order.push_back(&entry);
        else if (known.first->second->title.empty())
            known.first->second = &entry;
    }
    for (const CExplorerUrl* first : order) {
        if (stop && stop())
            return false;
        if (!sink.add(first->url, titled[first->url]->title))
            return false;
    }
    return true;
}

bool VExplorerHistoryIndexer::readSource(VUrlSink& sink, const std::function<bool()>& stop) const {
    return readHistory(sink, stop);
}

std::vector<std::string> VExplorerHistoryIndexer::watchedFiles() const {
    return CExplorerUrlList::historyFiles();
}
