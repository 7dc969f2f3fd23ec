#pragma once
// Private copies of another program's database, and cheap "did this file change" stamps.
//
// A browser keeps its SQLite files open while it runs, often with an exclusive lock and recent pages
// still in the write-ahead log beside the database. Reading the live file would block, fail, or miss
// what the log holds; opening it, even read-only, may create "-shm" files in the browser's folder.
// So the database and its log are copied, with full sharing, into a folder of ours and read there.
// SQLite locks bytes near the 1 GiB mark, not the pages themselves, so a locked file copies fine.
#include "VxApi.h"

#include <cstdint>
#include <functional>
#include <string>

namespace vx {

class VX_CORE_API CFileSnapshot {
public:
    CFileSnapshot() = default;
    ~CFileSnapshot() { release(); }
    CFileSnapshot(const CFileSnapshot&) = delete;
    CFileSnapshot& operator=(const CFileSnapshot&) = delete;

    // Copies path and, when present, path + "-wal" and path + "-journal" into a new private folder
    // under the user's temporary folder. False (and nothing left behind) when the database cannot be
    // read whole, or when stop, asked before every block read, answers true. Nothing is ever written
    // beside the source.
    bool take(const std::string& path, const std::function<bool()>& stop = nullptr);
    // The copy of the database; empty before a successful take.
    const std::string& path() const { return copy; }
    // Deletes the copies (and whatever SQLite made beside them) and the folder.
    void release();

private:
    std::string folder;
    std::string copy;
};

// A file's size and last write time; equal stamps mean "unchanged" for a cache's purposes.
struct CFileStamp {
    bool exists = false;
    uint64_t size = 0;
    uint64_t writeTime = 0;
    bool operator==(const CFileStamp& o) const {
        return exists == o.exists && size == o.size && writeTime == o.writeTime;
    }
    bool operator!=(const CFileStamp& o) const { return !(*this == o); }
};

VX_CORE_API CFileStamp fileStamp(const std::string& path);

// Removes the snapshot folders that processes which ended without releasing them (killed, crashed, cut
// off by a shutdown) left in the temporary folder. Only folders named as ours, and only those whose
// process is gone: a running copy's (the program beside vxsearch, say) stay. Answers how many it
// removed.
VX_CORE_API int sweepAbandonedSnapshots();

} // namespace vx
