#include "ApartmentThread.h"

#include <ole2.h>
#include <process.h>

#include <algorithm>

namespace {

// Keeps the library holding the thread's code loaded until the process ends: a thread left to end by
// itself returns into it, whoever unloads the plug-in meanwhile.
void pinThisLibrary() {
    HMODULE self = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                         reinterpret_cast<LPCWSTR>(&pinThisLibrary), &self);
}

} // namespace

bool CApartmentThread::start() {
    if (thread.IsValid())
        return running.load();
    auto fresh = std::make_shared<State>();
    fresh->wake.Attach(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    fresh->ready.Attach(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!fresh->wake.IsValid() || !fresh->ready.IsValid())
        return false;
    // The thread's own reference, released by the thread as it ends.
    auto* shared = new std::shared_ptr<State>(fresh);
    // _beginthreadex, so the C runtime's per-thread data is set up and released.
    thread.Attach(reinterpret_cast<HANDLE>(
        ::_beginthreadex(nullptr, 0, &CApartmentThread::threadMain, shared, 0, nullptr)));
    if (!thread.IsValid()) {
        delete shared;
        return false;
    }
    state = fresh;
    ::WaitForSingleObject(state->ready.Get(), INFINITE);
    if (FAILED(state->oleResult)) {
        ::WaitForSingleObject(thread.Get(), INFINITE);
        thread.Close();
        state.reset();
        return false;
    }
    state->running.store(true);
    running.store(true);
    return true;
}

bool CApartmentThread::isCurrentThread() const {
    return state && state->threadId.load() == ::GetCurrentThreadId();
}

bool CApartmentThread::isHung() const {
    if (!state)
        return false;
    std::lock_guard<std::mutex> hold(state->lock);
    return state->current && state->current->abandoned.load();
}

void CApartmentThread::setFarewell(Farewell farewell) {
    if (!state)
        return;
    std::lock_guard<std::mutex> hold(state->lock);
    state->farewell = std::move(farewell);
}

void CApartmentThread::stop(DWORD limit) {
    if (!thread.IsValid())
        return;
    {
        std::lock_guard<std::mutex> hold(state->lock);
        state->stopping = true;
    }
    state->running.store(false);
    running.store(false);
    if (isCurrentThread())
        return; // it cannot wait for itself; its loop ends when this work returns
    // A work its caller already gave up on is taken to hang: no time is spent on it again.
    if (isHung())
        limit = 0;
    ::SetEvent(state->wake.Get());
    // The thread's code lives in this library: it must have ended before the library may be unloaded,
    // or the library must stay.
    if (::WaitForSingleObject(thread.Get(), limit) != WAIT_OBJECT_0)
        pinThisLibrary();
    thread.Close();
    state.reset();
}

unsigned __stdcall CApartmentThread::threadMain(void* param) {
    std::shared_ptr<State> state;
    {
        auto* shared = static_cast<std::shared_ptr<State>*>(param);
        state.swap(*shared);
        delete shared;
    }
    state->threadId.store(::GetCurrentThreadId());
    // OLE rather than bare COM: the component may use OLE's services (its clipboard, drag and drop) on
    // the objects it hands out.
    state->oleResult = ::OleInitialize(nullptr);
    const bool initialised = SUCCEEDED(state->oleResult);
    ::SetEvent(state->ready.Get());
    if (!initialised)
        return 0;
    try {
        serve(*state);
    } catch (...) {
        // Nothing may leave a thread; serve throws only if the queue itself breaks.
    }
    Farewell farewell;
    {
        std::lock_guard<std::mutex> hold(state->lock);
        farewell.swap(state->farewell);
    }
    if (farewell) {
        try {
            farewell();
        } catch (...) {
        }
    }
    ::OleUninitialize();
    return 0;
}

void CApartmentThread::serve(State& state) {
    for (;;) {
        std::shared_ptr<Task> task;
        {
            std::lock_guard<std::mutex> hold(state.lock);
            if (state.stopping)
                break;
            if (!state.queue.empty()) {
                task = std::move(state.queue.front());
                state.queue.pop_front();
            }
        }
        if (task) {
            run(state, task);
            continue;
        }
        // An apartment thread must keep its messages flowing: COM delivers calls from other apartments
        // and the component's own window messages through them.
        HANDLE handles[] = {state.wake.Get()};
        DWORD woken = ::MsgWaitForMultipleObjectsEx(1, handles, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woken == WAIT_OBJECT_0 + 1) {
            MSG message;
            while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&message);
                ::DispatchMessageW(&message);
            }
        }
    }
    std::deque<std::shared_ptr<Task>> dropped;
    {
        std::lock_guard<std::mutex> hold(state.lock);
        dropped.swap(state.queue);
    }
    for (auto& task : dropped)
        finish(*task, false);
}

void CApartmentThread::run(State& state, const std::shared_ptr<Task>& task) {
    bool ran = false;
    if (!task->abandoned.load()) {
        {
            std::lock_guard<std::mutex> hold(state.lock);
            state.current = task;
        }
        try {
            task->work(task->abandoned);
            ran = true;
        } catch (...) {
            // The work's own owners released what it held on the way out; its caller hears false.
        }
        std::lock_guard<std::mutex> hold(state.lock);
        state.current.reset();
    }
    finish(*task, ran);
}

void CApartmentThread::finish(Task& task, bool ran) {
    task.ran = ran;
    ::SetEvent(task.done.Get());
}

CApartmentThread::Outcome CApartmentThread::call(Work work, DWORD limit,
                                                 const std::function<bool()>& giveUp) {
    if (isCurrentThread()) {
        std::atomic<bool> never{false};
        try {
            work(never);
            return Outcome::Done;
        } catch (...) {
            return Outcome::Failed;
        }
    }
    if (!state || isHung())
        return Outcome::Failed;
    // Shared with the thread: a caller that gives up leaves the task to the thread alone.
    auto task = std::make_shared<Task>();
    task->work = std::move(work);
    task->done.Attach(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!task->done.IsValid())
        return Outcome::Failed;
    {
        std::lock_guard<std::mutex> hold(state->lock);
        if (state->stopping || !state->running.load())
            return Outcome::Failed;
        state->queue.push_back(task);
    }
    ::SetEvent(state->wake.Get());
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        const ULONGLONG waited = ::GetTickCount64() - start;
        DWORD slice = giveUp ? 10 : INFINITE;
        if (limit != INFINITE)
            slice = waited >= limit ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(slice, limit - waited));
        if (::WaitForSingleObject(task->done.Get(), slice) == WAIT_OBJECT_0)
            return task->ran ? Outcome::Done : Outcome::Failed;
        const bool late = limit != INFINITE && ::GetTickCount64() - start >= limit;
        if (late || (giveUp && giveUp())) {
            task->abandoned.store(true);
            return late ? Outcome::TimedOut : Outcome::GivenUp;
        }
    }
}
