#include "ExplorerModule.h"

#include "engine/VIndexer.h"
#include "model/VFileResult.h"
#include "resource.h"
#include "util/ThisModule.h"

namespace explorer {

HICON resultIcon() {
    // A shared icon is the system's to free; the first indexer loads it on the window thread, before any
    // worker of ours can ask.
    static const HICON icon =
        static_cast<HICON>(::LoadImageW(vx::thisModule(), MAKEINTRESOURCEW(IDI_EXPLORER_URL), IMAGE_ICON, 16,
                                        16, LR_DEFAULTCOLOR | LR_SHARED));
    return icon;
}

VUrlResult* newResult(VPlugin* plugin, const std::string& url, const std::string& title) {
    VUrlResult* result = VUrlResult::createInstance(plugin);
    try {
        result->setUrl(url);
        result->setDescription(title);
    } catch (...) {
        result->deleteThis();
        throw;
    }
    result->setIcon(resultIcon());
    return result;
}

void appendOwned(std::vector<VResult*>& list, VUrlResult* result) {
    try {
        list.push_back(result);
    } catch (...) {
        result->deleteThis();
        throw;
    }
}

void copyMatching(const VIndexer& indexer, const std::vector<VResult*>& list, VResultBatch& found) {
    for (VResult* entry : list) {
        if (indexer.isCancelled())
            return;
        const auto* listed = static_cast<const VUrlResult*>(entry);
        if (indexer.match(listed->getUrl(), true) || indexer.match(listed->getDescription(), false)) {
            VUrlResult* copy = VUrlResult::createInstance(indexer.getPlugin());
            found.add(copy);
            copy->copyFrom(*listed);
        }
    }
}

} // namespace explorer
