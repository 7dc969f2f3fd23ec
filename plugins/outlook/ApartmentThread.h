#pragma once
// A thread of its own for objects that live in a single-threaded apartment. OLE is initialised on it when
// it starts and uninitialised there when it ends; every call on those objects is handed to it as a piece
// of work and run there, one after another, so no other thread ever touches them.
#include "util/Win32Handle.h"

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class CApartmentThread {
public:
    // The flag tells the work that nobody waits for it any more (or that the thread is ending): it should
    // stop at its next step.
    using Work = std::function<void(const std::atomic<bool>& abandoned)>;

    CApartmentThread() = default;
    ~CApartmentThread() { stop(); }
    CApartmentThread(const CApartmentThread&) = delete;
    CApartmentThread& operator=(const CApartmentThread&) = delete;

    // Starts the thread and waits until OLE is initialised on it. False when either fails (nothing is left
    // running then).
    bool start();
    // Lets the running work finish, drops what is still queued and waits for the thread to end, after it
    // uninitialised OLE. Called on the thread itself, it only asks it to end.
    void stop();
    bool isRunning() const { return running.load(); }
    bool isCurrentThread() const { return threadId.load() == ::GetCurrentThreadId(); }

    // Runs work on the thread and waits for its end. False when it did not run to its end: no thread, the
    // thread ended first, the work threw, or the caller gave up. giveUp, when given, is asked every few
    // milliseconds while waiting; once it answers true the caller returns at once and the work, told by
    // its flag, goes on without a waiter: it must then own everything it touches.
    bool call(Work work, const std::function<bool()>& giveUp = {});

private:
    struct Task {
        Work work;
        std::atomic<bool> abandoned{false};
        bool ran = false; // written by the thread before done is set
        vx::CHandle done;
    };
    static unsigned __stdcall threadMain(void* self);
    void serve();
    static void run(Task& task);
    static void finish(Task& task, bool ran);

    std::mutex lock;
    std::deque<std::shared_ptr<Task>> queue;
    bool stopping = false;
    std::atomic<bool> running{false};
    vx::CHandle wake; // auto-reset: work was queued, or the thread is asked to end
    vx::CHandle ready;
    vx::CHandle thread; // from _beginthreadex
    std::atomic<DWORD> threadId{0};
    HRESULT oleResult = E_FAIL;
};
