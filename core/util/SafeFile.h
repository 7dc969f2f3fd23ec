#pragma once
// Whole-file writes that never leave a half-written file behind.
#include "VxApi.h"

#include <windows.h>

#include <string>

namespace vx {

// Writes bytes (as they are, no line-end translation) to a temporary file beside path, flushes it to the
// disk, then puts it in place of path in one step. On any failure the file at path keeps its previous
// contents, the temporary is removed, and the result is false with GetLastError telling why (say
// ERROR_ACCESS_DENIED for a read-only file, ERROR_DISK_FULL).
VX_CORE_API bool writeFileReplacing(const std::string& path, const std::string& bytes);

// What the temporary's bytes are written with (WriteFile's signature), so that tests can fail a write
// as a full disk would; null puts WriteFile back. Returns the previous one.
using FileWriteCall = BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
VX_CORE_API FileWriteCall setFileWriteCall(FileWriteCall call);

} // namespace vx
