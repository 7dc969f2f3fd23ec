#include "util/Win32Handle.h"

#include <process.h>

namespace vx {

bool CThread::Create(Entry entry, void* argument) {
    uintptr_t h = ::_beginthreadex(nullptr, 0, entry, argument, 0, nullptr);
    handle_.Attach(reinterpret_cast<HANDLE>(h));
    return handle_.IsValid();
}

} // namespace vx
