#include "util/SafeFile.h"

#include "util/Win32Handle.h"

#include <windows.h>

#include <algorithm>

namespace vx {
namespace {

bool writeAll(HANDLE file, const std::string& bytes) {
    std::size_t offset = 0;
    while (offset < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - offset, 1u << 20));
        DWORD done = 0;
        if (!::WriteFile(file, bytes.data() + offset, chunk, &done, nullptr) || done == 0)
            return false;
        offset += done;
    }
    return true;
}

} // namespace

bool writeFileReplacing(const std::string& path, const std::string& bytes) {
    if (path.empty())
        return false;
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
    written = file.Close() && written;
    if (written &&
        ::MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    ::DeleteFileA(temporary.c_str());
    return false;
}

} // namespace vx
