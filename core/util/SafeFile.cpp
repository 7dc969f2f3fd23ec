#include "util/SafeFile.h"

#include "util/Win32Handle.h"

#include <windows.h>

#include <algorithm>

namespace vx {
namespace {

FileWriteCall writeCall = &::WriteFile;

bool writeAll(HANDLE file, const std::string& bytes) {
    std::size_t offset = 0;
    while (offset < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - offset, 1u << 20));
        DWORD done = 0;
        if (!writeCall(file, bytes.data() + offset, chunk, &done, nullptr))
            return false;
        if (done == 0) {
            // A write that takes nothing without failing: no room is the only reason a file would.
            ::SetLastError(ERROR_DISK_FULL);
            return false;
        }
        offset += done;
    }
    return true;
}

// Removes the temporary after a failure without losing the failure's own error code.
void discardTemporary(const std::string& temporary) {
    const DWORD error = ::GetLastError();
    ::DeleteFileA(temporary.c_str());
    ::SetLastError(error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT);
}

} // namespace

FileWriteCall setFileWriteCall(FileWriteCall call) {
    FileWriteCall previous = writeCall;
    writeCall = call ? call : &::WriteFile;
    return previous;
}

bool writeFileReplacing(const std::string& path, const std::string& bytes) {
    if (path.empty()) {
        ::SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    // A read-only file is the user's way of saying it must not change. Windows' MoveFileEx refuses to
    // replace one, but Wine's replaces it all the same: asked here, alike everywhere.
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    // Beside the target, so that the final rename stays on one volume and is a rename, not a copy.
    // A temporary left by a crash of an earlier save is simply overwritten.
    std::string temporary = path + ".tmp";
    CHandle file;
    file.Attach(::CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return false;
    // Flushed before the rename: otherwise a power cut could leave the new name on empty data.
    bool written = writeAll(file.Get(), bytes) && ::FlushFileBuffers(file.Get());
    if (written) {
        written = file.Close();
    } else {
        const DWORD error = ::GetLastError();
        file.Close();
        ::SetLastError(error);
    }
    if (written &&
        ::MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    discardTemporary(temporary);
    return false;
}

} // namespace vx
