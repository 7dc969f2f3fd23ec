#pragma once
// The two callback interfaces through which the core hands results and actions to the program.
#include "VxApi.h"

#include <cstdint>

class VResult;
class VAction;

class VX_CORE_API VResultListener {
public:
    virtual void deleteThis() = 0;
    // Called on indexer worker threads. The listener takes ownership of the results it keeps, and must
    // destroy (deleteThis) any it drops because their search id is no longer the one it shows.
    virtual void onResult(uint32_t searchId, VResult* result) = 0;
    virtual void onResults(uint32_t searchId, VResult** results, int count) = 0;

protected:
    virtual ~VResultListener() = default;
};

class VX_CORE_API VActionListener {
public:
    virtual void deleteThis() = 0;
    // Called on the thread that started the search. The action stays the core's.
    virtual void onAction(uint32_t searchId, VAction* action) = 0;

protected:
    virtual ~VActionListener() = default;
};
