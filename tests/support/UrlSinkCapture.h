#pragma once
// What a source reader hands its sink, kept in order: for tests of one reader on its own.
#include "engine/VUrlIndexer.h"

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

class UrlSinkCapture : public VUrlSink {
public:
    using Entry = std::tuple<std::string, std::string, std::string, uint32_t>; // url, title, folder, rank
    bool add(std::string_view url, std::string_view title, std::string_view folder, uint32_t rank) override {
        entries.emplace_back(std::string(url), std::string(title), std::string(folder), rank);
        return true;
    }
    std::vector<std::string> urls() const {
        std::vector<std::string> out;
        for (const Entry& entry : entries)
            out.push_back(std::get<0>(entry));
        return out;
    }
    std::vector<Entry> entries;
};
