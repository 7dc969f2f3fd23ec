#pragma once
// Time limits for tests of code that could deadlock. A thread hung on a lock can be neither joined nor
// stopped safely, and waiting for it would hang the whole run instead of failing it: past its limit the
// test program reports the failure and ends.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>

[[noreturn]] inline void endHungTest(const char* what) {
    ADD_FAILURE() << what << " did not finish in time: a deadlock";
    std::fflush(nullptr);
    ::ExitProcess(3);
}

// Runs f on a new thread and waits up to ms for it. True when it finished (the thread then only needs
// joining). False when it is still running: the caller releases whatever blocks it and joins t. The
// flag is shared with the thread, so a late finish never writes into a returned stack frame.
template <class F> bool finishesWithin(F f, DWORD ms, std::thread& t) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    t = std::thread([done, f] {
        f();
        done->store(true);
    });
    for (DWORD waited = 0; waited < ms; waited += 5) {
        if (done->load())
            return true;
        ::Sleep(5);
    }
    return done->load();
}

// Runs f on a new thread and joins it; ends the test program with a failure if f takes longer than ms.
template <class F> void mustFinishWithin(DWORD ms, const char* what, F f) {
    std::thread t;
    if (!finishesWithin(f, ms, t))
        endHungTest(what);
    t.join();
}
