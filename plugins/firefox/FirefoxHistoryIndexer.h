#pragma once
// Firefox's browsing history as a source: from "places.sqlite" in profiles that have it (title,
// address, visit count and last visit), otherwise the web addresses in "history.dat". Matched by URL
// and by title; the most visited and most recently visited pages come first.
//
// "history.dat" is a Mork text database, of which only the values are used: each "http://" or
// "https://" begins an address that runs to the next ")", possibly over several lines, each but the
// last ending in the continuation backslash. Mork escapes inside a value are not decoded. Its
// addresses have no title and no visits, so they follow the ranked ones in the order of the file.
#include "FirefoxIndexer.h"

class VFirefoxHistoryIndexer : public VFirefoxIndexer {
public:
    explicit VFirefoxHistoryIndexer(VFirefoxPlugin* plugin) : VFirefoxIndexer(plugin, true) {}

protected:
    const char* olderFileName() const override { return "history.dat"; }
    void readPlaces(const std::string& file, std::vector<firefox::PlaceEntry>& out,
                    const firefox::StopRequest& stop) const override;
    void readOlderFile(const std::string& file, std::vector<firefox::PlaceEntry>& out,
                       const firefox::StopRequest& stop) const override;
    void order(std::vector<firefox::PlaceEntry>& entries) const override;
    uint32_t rankOf(const firefox::PlaceEntry& entry, int64_t now) const override;
};
