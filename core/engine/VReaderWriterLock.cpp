#include "engine/VReaderWriterLock.h"

VReaderWriterLockNonReentrance::VReaderWriterLockNonReentrance() {
    // A short spin keeps the brief counter updates from putting threads to sleep.
    ::InitializeCriticalSectionAndSpinCount(&guard, 400);
}

VReaderWriterLockNonReentrance::~VReaderWriterLockNonReentrance() {
    if (safeToWriteEvent)
        ::CloseHandle(safeToWriteEvent);
    if (safeToReadEvent)
        ::CloseHandle(safeToReadEvent);
    ::DeleteCriticalSection(&guard);
}

void VReaderWriterLockNonReentrance::AcquireReaderLock() const {
    ::EnterCriticalSection(&guard);
    _AcquireReaderLock();
    ::LeaveCriticalSection(&guard);
}

void VReaderWriterLockNonReentrance::ReleaseReaderLock() const {
    ::EnterCriticalSection(&guard);
    _ReleaseReaderLock();
    ::LeaveCriticalSection(&guard);
}

void VReaderWriterLockNonReentrance::AcquireWriterLock() {
    ::EnterCriticalSection(&guard);
    _AcquireWriterLock(numWriters == 0 && numReadersEntered == 0);
}

void VReaderWriterLockNonReentrance::ReleaseWriterLock() {
    ::EnterCriticalSection(&guard);
    _ReleaseWriterLock();
    ::LeaveCriticalSection(&guard);
}

void VReaderWriterLockNonReentrance::_AcquireReaderLock() const {
    if (numWriters != 0) {
        if (!safeToReadEvent)
            safeToReadEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ++numReadersWaiting;
        // The manual-reset event may have been set for a writer that another writer has since
        // replaced, so every wake-up checks again.
        do {
            HANDLE event = safeToReadEvent;
            ::LeaveCriticalSection(&guard);
            ::WaitForSingleObject(event, INFINITE);
            ::EnterCriticalSection(&guard);
        } while (numWriters != 0);
        if (--numReadersWaiting == 0) {
            ::CloseHandle(safeToReadEvent);
            safeToReadEvent = nullptr;
        }
    }
    ++numReadersEntered;
}

void VReaderWriterLockNonReentrance::_ReleaseReaderLock() const {
    if (--numReadersEntered == 0 && safeToWriteEvent)
        ::SetEvent(safeToWriteEvent);
}

void VReaderWriterLockNonReentrance::_AcquireWriterLock(bool canWrite) {
    if (!canWrite && !safeToWriteEvent)
        safeToWriteEvent = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (numWriters++ == 0 && safeToReadEvent)
        ::ResetEvent(safeToReadEvent);
    HANDLE event = safeToWriteEvent;
    ::LeaveCriticalSection(&guard);
    if (!canWrite)
        ::WaitForSingleObject(event, INFINITE);
}

void VReaderWriterLockNonReentrance::_ReleaseWriterLock() {
    if (--numWriters == 0)
        _WritersGone();
    else
        ::SetEvent(safeToWriteEvent);
}

void VReaderWriterLockNonReentrance::_WritersGone() const {
    if (safeToWriteEvent) {
        ::CloseHandle(safeToWriteEvent);
        safeToWriteEvent = nullptr;
    }
    if (safeToReadEvent)
        ::SetEvent(safeToReadEvent);
}

void VReaderWriterLock::AcquireReaderLock() const {
    ::EnterCriticalSection(&guard);
    unsigned& count = threads[::GetCurrentThreadId()];
    if (count == 0)
        _AcquireReaderLock(); // may leave and re-enter guard while it waits
    // The reference stays valid: std::map never moves its nodes, and only this thread erases its entry.
    count += kReaderUnit;
    ::LeaveCriticalSection(&guard);
}

void VReaderWriterLock::ReleaseReaderLock() const {
    ::EnterCriticalSection(&guard);
    auto it = threads.find(::GetCurrentThreadId());
    if (it != threads.end()) {
        it->second -= kReaderUnit;
        if (it->second == 0) {
            threads.erase(it);
            _ReleaseReaderLock();
        }
    }
    ::LeaveCriticalSection(&guard);
}

void VReaderWriterLock::AcquireWriterLock() {
    ::EnterCriticalSection(&guard);
    unsigned* count = &threads[::GetCurrentThreadId()];
    if (*count == 0) {
        _AcquireWriterLock(numWriters == 0 && numReadersEntered == 0);
    } else if (*count > 0xFFFF) {
        ::LeaveCriticalSection(&guard);
    } else {
        // Upgrade: this thread stops counting as a reader; it may write at once only if it was alone.
        bool alone = numReadersEntered == 1;
        --numReadersEntered;
        _AcquireWriterLock(alone);
    }
    // Only this thread changes its own count, and its entry cannot vanish while it holds the lock.
    ::EnterCriticalSection(&guard);
    *count += kWriterUnit;
    ::LeaveCriticalSection(&guard);
}

void VReaderWriterLock::ReleaseWriterLock() {
    ::EnterCriticalSection(&guard);
    auto it = threads.find(::GetCurrentThreadId());
    if (it != threads.end()) {
        unsigned before = it->second;
        it->second -= kWriterUnit;
        if (before == kWriterUnit) {
            threads.erase(it);
            _ReleaseWriterLock();
        } else if (before < 2 * kWriterUnit) {
            // Last writer level with reader levels left: keep reading.
            ++numReadersEntered;
            if (--numWriters == 0)
                _WritersGone();
        }
    }
    ::LeaveCriticalSection(&guard);
}
