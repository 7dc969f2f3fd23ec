#pragma once
// Keeps the best few of many candidates by rank key, so a source that matches 100,000 entries builds
// result objects for only the ones the list will show, and counts the rest.
#include "engine/VSearchQuery.h"

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

template <class T>
class VBestOf {
public:
    explicit VBestOf(std::size_t limit) : limit(limit) {}

    // A candidate; among equal keys the one offered first wins, so with every key equal (ranking off)
    // the first limit candidates are kept.
    void offer(VRankKey key, T payload) {
        ++offered;
        if (limit == 0)
            return;
        Entry entry{key, offered, std::move(payload)};
        if (heap.size() < limit) {
            heap.push_back(std::move(entry));
            std::push_heap(heap.begin(), heap.end(), worse);
        } else if (better(entry, heap.front())) {
            std::pop_heap(heap.begin(), heap.end(), worse);
            heap.back() = std::move(entry);
            std::push_heap(heap.begin(), heap.end(), worse);
        }
    }
    // True when a candidate of that key would be kept: lets a loop skip building one that would not.
    bool wouldKeep(VRankKey key) const {
        return limit != 0 && (heap.size() < limit || key > heap.front().key);
    }
    std::size_t size() const { return heap.size(); }
    // Candidates offered and not kept.
    std::size_t dropped() const { return offered - heap.size(); }
    // The kept candidates, best first (equal keys in the order offered); empties the set.
    std::vector<std::pair<VRankKey, T>> take() {
        std::sort(heap.begin(), heap.end(), better);
        std::vector<std::pair<VRankKey, T>> out;
        out.reserve(heap.size());
        for (Entry& e : heap)
            out.emplace_back(e.key, std::move(e.payload));
        heap.clear();
        offered = 0;
        return out;
    }

private:
    struct Entry {
        VRankKey key;
        std::size_t order;
        T payload;
    };
    static bool better(const Entry& a, const Entry& b) {
        return a.key != b.key ? a.key > b.key : a.order < b.order;
    }
    // The heap's front is the worst kept entry.
    static bool worse(const Entry& a, const Entry& b) { return better(a, b); }

    std::size_t limit;
    std::size_t offered = 0;
    std::vector<Entry> heap;
};
