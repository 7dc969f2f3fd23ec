#pragma once
// Internet Explorer's browsing history as a source: one URL result per visited address, titled with the
// page's title, matched by its address and title.
#include "engine/VIndexer.h"

#include <string>
#include <vector>

class VExplorerHistoryIndexer : public VIndexer {
public:
    // Builds the cache at once (nothing in live mode).
    explicit VExplorerHistoryIndexer(VPlugin* plugin);
    ~VExplorerHistoryIndexer() override;

    bool reservedFlag() override { return false; }
    // Lists the history into the cache (cached mode); in live mode only empties the cache.
    void updateCache() override;
    std::string getSourceDescription() const override { return "Internet Explorer history"; }

    std::size_t getCachedCount() const { return cache.size(); }

protected:
    void search() override;

private:
    // Appends one result per address of the history, in the history's order: an address listed more
    // than once gives one result, titled by its first non-empty title. With stopOnCancel, the listing
    // ends once the search is cancelled.
    void readHistory(std::vector<VResult*>& target, bool stopOnCancel) const;
};
