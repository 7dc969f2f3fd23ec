#pragma once
// Internet Explorer's browsing history as a source: one URL result per visited address, titled with the
// page's title, matched by its address and title. The cache follows the files the history service keeps
// its records in.
#include "engine/VUrlIndexer.h"

#include <functional>
#include <string>
#include <vector>

class VExplorerHistoryIndexer : public VUrlIndexer {
public:
    explicit VExplorerHistoryIndexer(VPlugin* plugin);
    ~VExplorerHistoryIndexer() override;

    std::string getSourceDescription() const override { return "Internet Explorer history"; }

    // Hands one entry per address of the history to sink, in the history's order: an address listed
    // more than once gives one entry, titled by its first non-empty title. False when the service cannot
    // be had, when stop answered true, or when the sink stopped taking them.
    static bool readHistory(VUrlSink& sink, const std::function<bool()>& stop);

protected:
    bool readSource(VUrlSink& sink, const std::function<bool()>& stop) const override;
    std::vector<std::string> watchedFiles() const override;
};
