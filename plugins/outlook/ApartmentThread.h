#pragma once
// A thread of its own for objects that live in a single-threaded apartment. OLE is initialised on it when
// it starts and uninitialised there when it ends; every call on those objects is handed to it as a piece
// of work and run there, one after another, so no other thread ever touches them.
//
// A component may hang (a mail server that does not answer): callers wait for it only up to a limit.
// The thread's state is shared with it, so a caller that gave up, or an owner that stopped waiting for
// the end, leaves nothing behind that the thread still writes to; work handed over must likewise own
// (share) whatever it touches.
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
    // Runs on the thread after its last work, before OLE is uninitialised there, whether or not anybody
    // still waits for the thread: where the apartment's objects are released.
    using Farewell = std::function<void()>;

    CApartmentThread() = default;
    ~CApartmentThread() { stop(); }
    CApartmentThread(const CApartmentThread&) = delete;
    CApartmentThread& operator=(const CApartmentThread&) = delete;

    // Starts the thread and waits until OLE is initialised on it. False when either fails (nothing is left
    // running then).
    bool start();
    // Lets the running work finish, drops what is still queued, runs the farewell and waits up to limit
    // milliseconds for the thread to end, after it uninitialised OLE. A thread that does not end in
    // time (a work hangs in the component; no wait at all when one is known to hang) is left to end by
    // itself, with this library kept loaded for it. Called on the thread itself, it only asks it to end.
    void stop(DWORD limit = INFINITE);
    bool isRunning() const { return running.load(); }
    bool isCurrentThread() const;
    // What runs on the thread at its end; set it before stop.
    void setFarewell(Farewell farewell);

    enum class Outcome {
        Done,     // the work ran to its end
        Failed,   // no thread, the thread ended first, the work threw, or an earlier work hangs
        TimedOut, // the limit passed first
        GivenUp,  // giveUp answered true first
    };
    // Runs work on the thread and waits for its end, up to limit milliseconds. giveUp, when given, is
    // asked every few milliseconds while waiting. Once it answers true, or the time is out, the caller
    // returns at once and the work, told by its flag, goes on without a waiter. While such a work still
    // runs, every later call fails at once: the thread is taken to hang.
    Outcome call(Work work, DWORD limit = INFINITE, const std::function<bool()>& giveUp = {});
    // True while a work that its caller gave up on still runs.
    bool isHung() const;

private:
    struct Task {
        Work work;
        std::atomic<bool> abandoned{false};
        bool ran = false; // written by the thread before done is set
        vx::CHandle done;
    };
    // Everything the thread touches, shared with it: it may outlive this object.
    struct State {
        std::mutex lock;
        std::deque<std::shared_ptr<Task>> queue;
        bool stopping = false;
        Farewell farewell;
        std::atomic<bool> running{false};
        std::shared_ptr<Task> current; // the work the thread runs now, under lock
        vx::CHandle wake;              // auto-reset: work was queued, or the thread is asked to end
        vx::CHandle ready;
        std::atomic<DWORD> threadId{0};
        HRESULT oleResult = E_FAIL;
    };
    static unsigned __stdcall threadMain(void* state);
    static void serve(State& state);
    static void run(State& state, const std::shared_ptr<Task>& task);
    static void finish(Task& task, bool ran);

    std::shared_ptr<State> state;
    vx::CHandle thread; // from _beginthreadex
    std::atomic<bool> running{false};
};
