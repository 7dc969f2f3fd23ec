#include "FirefoxHistoryIndexer.h"

#include "FirefoxModule.h"
#include "FirefoxPlugin.h"
#include "model/VFileResult.h"
#include "util/CTextFile.h"

#include <unordered_set>

namespace {

// Where the first "http://" or "https://" at or after from begins, or npos.
std::size_t findAddress(const std::string& line, std::size_t from) {
    for (std::size_t at = line.find("http", from); at != std::string::npos; at = line.find("http", at + 1)) {
        if (line.compare(at + 4, 3, "://") == 0 || line.compare(at + 4, 4, "s://") == 0)
            return at;
    }
    return std::string::npos;
}

} // namespace

VFirefoxHistoryIndexer::VFirefoxHistoryIndexer(VFirefoxPlugin* plugin) : VIndexer(plugin) {}

VFirefoxHistoryIndexer::~VFirefoxHistoryIndexer() {
    // The worker reads our members: it must be gone before they are.
    stopWorker();
    clearCache();
}

bool VFirefoxHistoryIndexer::init() {
    auto* plugin = static_cast<VFirefoxPlugin*>(getPlugin());
    file = plugin->profileFile("history.dat");
    if (file.empty() || !firefox::isFile(file))
        return false;
    resultIcon = plugin->resultIcon(true);
    updateCache();
    return true;
}

VUrlResult* VFirefoxHistoryIndexer::newResult() const {
    VUrlResult* result = VUrlResult::createInstance(getPlugin());
    result->setIcon(resultIcon);
    return result;
}

template <class Found> void VFirefoxHistoryIndexer::readHistory(bool matching, Found found) const {
    CTextFileRead reader(file);
    std::unordered_set<std::string> seen;
    std::string line, value;
    bool continued = false; // value goes on from the line before
    while (reader.ReadLine(line)) {
        if (line.empty())
            continue;
        // A line may hold several cells: each address in it counts.
        for (std::size_t at = 0; at < line.size();) {
            const std::size_t start = continued ? at : findAddress(line, at);
            if (start == std::string::npos)
                break;
            const std::size_t close = line.find(')', start);
            if (close == std::string::npos) {
                value.append(line, start, std::string::npos);
                if (!value.empty() && value.back() == '\\')
                    value.pop_back(); // Mork's line continuation
                continued = true;
                break;
            }
            value.append(line, start, close - start);
            continued = false;
            at = close + 1;
            if (matching && isCancelled())
                return;
            if (seen.insert(value).second && (!matching || match(value, true)))
                found(value);
            value.clear();
        }
    }
}

void VFirefoxHistoryIndexer::updateCache() {
    clearCache();
    if (getLiveSearching())
        return;
    readHistory(false, [this](const std::string& url) {
        VUrlResult* result = newResult();
        try {
            cache.push_back(result);
        } catch (...) {
            result->deleteThis();
            throw;
        }
        result->setUrl(url);
    });
    cache.shrink_to_fit();
}

void VFirefoxHistoryIndexer::search() {
    VResultBatch found;
    if (getLiveSearching()) {
        readHistory(true, [&](const std::string& url) {
            VUrlResult* result = newResult();
            found.add(result);
            result->setUrl(url);
        });
    } else {
        for (VResult* entry : cache) {
            if (cancelRequested())
                break;
            const auto* cached = static_cast<const VUrlResult*>(entry);
            if (match(cached->getUrl(), true)) {
                VUrlResult* result = newResult();
                found.add(result);
                result->copyFrom(*cached);
            }
        }
    }
    // A cancelled search's results die with the batch.
    if (!isCancelled())
        found.deliver(searchId);
}
