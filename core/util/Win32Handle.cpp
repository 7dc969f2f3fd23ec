#include "util/Win32Handle.h"

#include <process.h>

namespace vx {

bool CThread::Create(Entry entry, void* argument, unsigned* threadId, bool suspended) {
    unsigned id = 0;
    uintptr_t h = ::_beginthreadex(nullptr, 0, entry, argument, suspended ? CREATE_SUSPENDED : 0, &id);
    handle_.Attach(reinterpret_cast<HANDLE>(h));
    if (threadId)
        *threadId = handle_.IsValid() ? id : 0;
    return handle_.IsValid();
}

} // namespace vx
