#include "ResultQueue.h"

#include "model/VResult.h"

void VResultQueue::onResult(uint32_t searchId, VResult* result) {
    onResults(searchId, &result, 1);
}

void VResultQueue::onResults(uint32_t searchId, VResult** results, int count) {
    Entry entry{searchId, {}, nullptr, 0};
    try {
        entry.results.assign(results, results + count);
    } catch (...) {
        // No room even for the pointers: these results can never be shown.
        for (int i = 0; i < count; ++i)
            results[i]->deleteThis();
        return;
    }
    push(std::move(entry));
}

void VResultQueue::onAction(uint32_t searchId, VAction* action) {
    push({searchId, {}, action, 0});
}

void VResultQueue::onOverflow(uint32_t searchId, uint64_t count) {
    if (count > 0)
        push({searchId, {}, nullptr, count});
}

void VResultQueue::push(Entry entry) {
    bool post = false;
    {
        std::lock_guard<std::mutex> hold(lock);
        try {
            queue.push_back(std::move(entry));
        } catch (...) {
            for (VResult* r : entry.results)
                r->deleteThis();
            return;
        }
        post = !posted;
        posted = true;
    }
    // Posted, never sent: the window thread may be waiting for this very worker.
    if (post && !::PostMessageW(window, message, 0, 0)) {
        std::lock_guard<std::mutex> hold(lock);
        posted = false; // the next arrival tries again; drain takes everything anyway
    }
}

void VResultQueue::drain(uint32_t shownId, const std::function<void(VResult**, int)>& takeResults,
                         const std::function<void(VAction*)>& takeAction,
                         const std::function<void(uint64_t)>& takeMore) {
    std::deque<Entry> taken;
    {
        std::lock_guard<std::mutex> hold(lock);
        taken.swap(queue);
        posted = false;
    }
    try {
        handOut(taken, shownId, takeResults, takeAction, takeMore);
    } catch (...) {
        // A sink that throws must not leak what was not handed out yet.
        for (Entry& entry : taken) {
            for (VResult* r : entry.results)
                r->deleteThis();
        }
        throw;
    }
}

void VResultQueue::handOut(std::deque<Entry>& taken, uint32_t shownId,
                           const std::function<void(VResult**, int)>& takeResults,
                           const std::function<void(VAction*)>& takeAction,
                           const std::function<void(uint64_t)>& takeMore) {
    for (Entry& entry : taken) {
        const bool current = shownId != 0 && entry.searchId == shownId;
        if (entry.action) {
            if (current)
                takeAction(entry.action);
            continue;
        }
        if (entry.more > 0) {
            if (current && takeMore)
                takeMore(entry.more);
            continue;
        }
        if (current) {
            std::vector<VResult*> handed;
            handed.swap(entry.results);
            takeResults(handed.data(), static_cast<int>(handed.size()));
        } else {
            std::vector<VResult*> stale;
            stale.swap(entry.results);
            for (VResult* r : stale)
                r->deleteThis();
        }
    }
}

void VResultQueue::discard() {
    std::deque<Entry> taken;
    {
        std::lock_guard<std::mutex> hold(lock);
        taken.swap(queue);
        posted = false;
    }
    for (Entry& entry : taken) {
        for (VResult* r : entry.results)
            r->deleteThis();
    }
}

std::size_t VResultQueue::pending() const {
    std::lock_guard<std::mutex> hold(lock);
    return queue.size();
}
