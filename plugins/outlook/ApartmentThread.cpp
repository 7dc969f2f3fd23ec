#include "ApartmentThread.h"

#include <ole2.h>
#include <process.h>

bool CApartmentThread::start() {
    if (thread.IsValid())
        return running.load();
    wake.Attach(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    ready.Attach(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!wake.IsValid() || !ready.IsValid())
        return false;
    {
        std::lock_guard<std::mutex> hold(lock);
        stopping = false;
    }
    // _beginthreadex, so the C runtime's per-thread data is set up and released.
    thread.Attach(reinterpret_cast<HANDLE>(
        ::_beginthreadex(nullptr, 0, &CApartmentThread::threadMain, this, 0, nullptr)));
    if (!thread.IsValid())
        return false;
    ::WaitForSingleObject(ready.Get(), INFINITE);
    if (FAILED(oleResult)) {
        ::WaitForSingleObject(thread.Get(), INFINITE);
        thread.Close();
        threadId.store(0);
        return false;
    }
    running.store(true);
    return true;
}

void CApartmentThread::stop() {
    if (!thread.IsValid())
        return;
    {
        std::lock_guard<std::mutex> hold(lock);
        stopping = true;
    }
    running.store(false);
    if (isCurrentThread())
        return; // it cannot wait for itself; its loop ends when this work returns
    ::SetEvent(wake.Get());
    // The thread's code lives in this library: it must have ended before the library may be unloaded.
    ::WaitForSingleObject(thread.Get(), INFINITE);
    thread.Close();
    threadId.store(0);
}

unsigned __stdcall CApartmentThread::threadMain(void* param) {
    auto* self = static_cast<CApartmentThread*>(param);
    self->threadId.store(::GetCurrentThreadId());
    // OLE rather than bare COM: the component may use OLE's services (its clipboard, drag and drop) on
    // the objects it hands out.
    self->oleResult = ::OleInitialize(nullptr);
    const bool initialised = SUCCEEDED(self->oleResult);
    ::SetEvent(self->ready.Get());
    if (!initialised)
        return 0;
    try {
        self->serve();
    } catch (...) {
        // Nothing may leave a thread; serve throws only if the queue itself breaks.
    }
    ::OleUninitialize();
    return 0;
}

void CApartmentThread::serve() {
    for (;;) {
        std::shared_ptr<Task> task;
        {
            std::lock_guard<std::mutex> hold(lock);
            if (stopping)
                break;
            if (!queue.empty()) {
                task = std::move(queue.front());
                queue.pop_front();
            }
        }
        if (task) {
            run(*task);
            continue;
        }
        // An apartment thread must keep its messages flowing: COM delivers calls from other apartments
        // and the component's own window messages through them.
        HANDLE handles[] = {wake.Get()};
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
        std::lock_guard<std::mutex> hold(lock);
        dropped.swap(queue);
    }
    for (auto& task : dropped)
        finish(*task, false);
}

void CApartmentThread::run(Task& task) {
    bool ran = false;
    if (!task.abandoned.load()) {
        try {
            task.work(task.abandoned);
            ran = true;
        } catch (...) {
            // The work's own owners released what it held on the way out; its caller hears false.
        }
    }
    finish(task, ran);
}

void CApartmentThread::finish(Task& task, bool ran) {
    task.ran = ran;
    ::SetEvent(task.done.Get());
}

bool CApartmentThread::call(Work work, const std::function<bool()>& giveUp) {
    if (isCurrentThread()) {
        std::atomic<bool> never{false};
        try {
            work(never);
            return true;
        } catch (...) {
            return false;
        }
    }
    auto task = std::make_shared<Task>();
    task->work = std::move(work);
    task->done.Attach(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!task->done.IsValid())
        return false;
    {
        std::lock_guard<std::mutex> hold(lock);
        if (stopping || !running.load())
            return false;
        queue.push_back(task);
    }
    ::SetEvent(wake.Get());
    if (!giveUp) {
        ::WaitForSingleObject(task->done.Get(), INFINITE);
        return task->ran;
    }
    for (;;) {
        if (::WaitForSingleObject(task->done.Get(), 10) == WAIT_OBJECT_0)
            return task->ran;
        if (giveUp()) {
            task->abandoned.store(true);
            return false;
        }
    }
}
