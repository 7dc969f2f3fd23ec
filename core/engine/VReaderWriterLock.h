#pragma once
// Reader/writer locks: any number of readers, one writer alone, writers before newly arriving readers.
#include "VxApi.h"

#include <windows.h>

#include <map>

// The plain lock. Releasing a lock the calling thread does not hold is undefined.
class VX_CORE_API VReaderWriterLockNonReentrance {
public:
    VReaderWriterLockNonReentrance();
    ~VReaderWriterLockNonReentrance();
    VReaderWriterLockNonReentrance(const VReaderWriterLockNonReentrance&) = delete;
    VReaderWriterLockNonReentrance& operator=(const VReaderWriterLockNonReentrance&) = delete;

    void AcquireReaderLock() const;
    void ReleaseReaderLock() const;
    void AcquireWriterLock();
    void ReleaseWriterLock();

protected:
    // The steps below run with guard entered. _AcquireWriterLock leaves guard before it waits.
    void _AcquireReaderLock() const;
    void _ReleaseReaderLock() const;
    void _AcquireWriterLock(bool canWrite);
    void _ReleaseWriterLock();
    // Wakes the waiting readers or one waiting writer once no writer is left.
    void _WritersGone() const;

    mutable CRITICAL_SECTION guard;
    mutable HANDLE safeToWriteEvent = nullptr; // auto-reset: releases one waiting writer
    mutable HANDLE safeToReadEvent = nullptr;  // manual-reset: releases every waiting reader
    mutable long numWriters = 0;               // writers holding or waiting
    mutable long numReadersEntered = 0;
    mutable long numReadersWaiting = 0;
};

// The re-entrant lock: a thread may take it again in either mode while it holds it; a thread that
// only reads may upgrade to writing, and releasing its last writer level downgrades it to reading.
// Two threads that both read and both try to upgrade wait for each other forever: take the writer
// lock directly instead.
class VX_CORE_API VReaderWriterLock : public VReaderWriterLockNonReentrance {
public:
    VReaderWriterLock() = default;
    void AcquireReaderLock() const;
    void ReleaseReaderLock() const;
    void AcquireWriterLock();
    void ReleaseWriterLock();

private:
    static constexpr unsigned kReaderUnit = 1;
    static constexpr unsigned kWriterUnit = 0x10000;
    // Nesting per thread id: low 16 bits count reader levels, the rest writer levels.
    mutable std::map<DWORD, unsigned> threads;
};

// Scoped holders for either lock.
template <class Lock> class VReadLocked {
public:
    explicit VReadLocked(const Lock& lock) : lock_(lock) { lock_.AcquireReaderLock(); }
    ~VReadLocked() { lock_.ReleaseReaderLock(); }
    VReadLocked(const VReadLocked&) = delete;
    VReadLocked& operator=(const VReadLocked&) = delete;

private:
    const Lock& lock_;
};

template <class Lock> class VWriteLocked {
public:
    explicit VWriteLocked(Lock& lock) : lock_(lock) { lock_.AcquireWriterLock(); }
    ~VWriteLocked() { lock_.ReleaseWriterLock(); }
    VWriteLocked(const VWriteLocked&) = delete;
    VWriteLocked& operator=(const VWriteLocked&) = delete;

private:
    Lock& lock_;
};
