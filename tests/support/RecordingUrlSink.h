#pragma once
// A sink that keeps what a source reader hands it, in order, and refuses more once it holds `room`.
#include "engine/VUrlIndexer.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

struct RecordingUrlSink : VUrlSink {
    struct Entry {
        std::string url, title, folder;
        uint32_t rank;
        bool operator==(const Entry& o) const {
            return url == o.url && title == o.title && folder == o.folder && rank == o.rank;
        }
    };
    std::vector<Entry> entries;
    std::size_t room = std::numeric_limits<std::size_t>::max();

    bool add(std::string_view url, std::string_view title, std::string_view folder, uint32_t rank) override {
        if (entries.size() >= room)
            return false;
        entries.push_back({std::string(url), std::string(title), std::string(folder), rank});
        return true;
    }
    std::vector<std::string> urls() const {
        std::vector<std::string> out;
        for (const Entry& e : entries)
            out.push_back(e.url);
        return out;
    }
};

// A stop that answers true from its calls-th question on.
struct StopAfter {
    int calls;
    std::function<bool()> get() {
        return [this] { return calls-- <= 0; };
    }
};
