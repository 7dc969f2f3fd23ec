#pragma once
// The two callback interfaces through which the core hands results and actions to the program.
//
// The contract of both: the core calls a listener while it holds its listener guard, the lock that
// also orders every change of the current search id. So a listener only takes what it is given, puts
// it in a queue of its own and posts a message (PostMessage, never SendMessage) to the thread that
// shows it. It never calls back into the core (no core lock, no registration, no search), never
// touches a window directly and never waits for another thread: the user-interface thread may at
// that moment be waiting for this very guard inside startSeach or cancelSearch, or for the worker
// that is calling the listener.
#include "VxApi.h"

#include <cstdint>

class VResult;
class VAction;

class VX_CORE_API VResultListener {
public:
    virtual void deleteThis() = 0;
    // Called on indexer worker threads, only for the search id that is current at that moment. The
    // listener owns the results from then on: it destroys (deleteThis) those it drops, say because
    // the window has moved on to another search by the time it handles the posted message.
    virtual void onResult(uint32_t searchId, VResult* result) = 0;
    virtual void onResults(uint32_t searchId, VResult** results, int count) = 0;
    // A source of that search found count more results than it handed on (its best ones, up to the
    // core's per-source limit): the list says so. Same thread and guard rules as onResults.
    virtual void onOverflow(uint32_t searchId, uint64_t count) {
        (void)searchId;
        (void)count;
    }

protected:
    virtual ~VResultListener() = default;
};

class VX_CORE_API VActionListener {
public:
    virtual void deleteThis() = 0;
    // Called on the thread that started the search, inside startSeach. The action stays the core's.
    virtual void onAction(uint32_t searchId, VAction* action) = 0;

protected:
    virtual ~VActionListener() = default;
};
