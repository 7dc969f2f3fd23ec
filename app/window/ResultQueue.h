#pragma once
// The program's result and action listener. The core calls it under its listener guard, on workers
// (results) and on the window thread inside startSeach (actions), so it only moves what it is given
// into its queue and posts one message to the window thread, which drains the queue there. Nothing
// here touches a window or waits for another thread.
#include "engine/VListeners.h"

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

class VResultQueue : public VResultListener, public VActionListener {
public:
    // Posts message (with no parameters) to window whenever the queue gains something while no such
    // message is pending.
    VResultQueue(HWND window, UINT message) : window(window), message(message) {}
    ~VResultQueue() override { discard(); }
    VResultQueue(const VResultQueue&) = delete;
    VResultQueue& operator=(const VResultQueue&) = delete;

    // The program owns the queue: the core's unregistration and shutdown never destroy it.
    void deleteThis() override {}
    void onResult(uint32_t searchId, VResult* result) override;
    void onResults(uint32_t searchId, VResult** results, int count) override;
    void onAction(uint32_t searchId, VAction* action) override;
    // Queued like a batch, so the count reaches the window after the results it follows.
    void onOverflow(uint32_t searchId, uint64_t count) override;

    // Window thread: hands what arrived for shownId to the sinks in arrival order (the results sink
    // takes ownership) and destroys results of every other id. Actions of other ids are only dropped:
    // they stay the core's. Counts of more results go to takeMore, those of other ids nowhere.
    void drain(uint32_t shownId, const std::function<void(VResult**, int)>& takeResults,
               const std::function<void(VAction*)>& takeAction,
               const std::function<void(uint64_t)>& takeMore = nullptr);
    // Destroys every queued result: at exit, after the workers were joined.
    void discard();
    // Queued entries, for tests and diagnostics.
    std::size_t pending() const;

private:
    struct Entry {
        uint32_t searchId;
        std::vector<VResult*> results; // owned while queued
        VAction* action;               // or this, the core's
        uint64_t more;                 // or, with neither, this many more results found
    };
    void push(Entry entry);
    static void handOut(std::deque<Entry>& taken, uint32_t shownId,
                        const std::function<void(VResult**, int)>& takeResults,
                        const std::function<void(VAction*)>& takeAction,
                        const std::function<void(uint64_t)>& takeMore);

    HWND window;
    UINT message;
    mutable std::mutex lock;
    std::deque<Entry> queue;
    bool posted = false;
};
