#pragma once
// Thin move-only owners of Win32 objects. Each starts empty and reports failure by return value.
#include <windows.h>
#include <commctrl.h>

namespace vx {

// A kernel handle released with CloseHandle (events, threads, files opened by CreateFile, mutexes).
class CHandle {
public:
    CHandle() = default;
    ~CHandle() { Close(); }
    CHandle(CHandle&& other) noexcept : handle_(other.Detach()) {}
    CHandle& operator=(CHandle&& other) noexcept {
        if (this != &other)
            Attach(other.Detach());
        return *this;
    }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;

    // CreateFile reports failure as INVALID_HANDLE_VALUE, most other calls as null: both count as empty.
    bool IsValid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }
    void Attach(HANDLE handle) {
        Close();
        handle_ = handle;
    }
    HANDLE Detach() {
        HANDLE h = handle_;
        handle_ = nullptr;
        return h;
    }
    bool Close() {
        if (!IsValid()) {
            handle_ = nullptr;
            return true;
        }
        bool ok = ::CloseHandle(handle_) != FALSE;
        handle_ = nullptr;
        return ok;
    }

private:
    HANDLE handle_ = nullptr;
};

// A critical section; not movable, since Windows keeps pointers into it while it is in use.
class CCriticalSection {
public:
    explicit CCriticalSection(DWORD spinCount = 0) {
        ::InitializeCriticalSectionAndSpinCount(&cs_, spinCount);
    }
    ~CCriticalSection() { ::DeleteCriticalSection(&cs_); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;
    void Enter() { ::EnterCriticalSection(&cs_); }
    void Leave() { ::LeaveCriticalSection(&cs_); }

private:
    CRITICAL_SECTION cs_;
};

class CCriticalSectionLock {
public:
    explicit CCriticalSectionLock(CCriticalSection& cs) : cs_(cs) { cs_.Enter(); }
    ~CCriticalSectionLock() { cs_.Leave(); }
    CCriticalSectionLock(const CCriticalSectionLock&) = delete;
    CCriticalSectionLock& operator=(const CCriticalSectionLock&) = delete;

private:
    CCriticalSection& cs_;
};

// A thread started with _beginthreadex, so the C runtime's per-thread data is set up and released.
class CThread {
public:
    using Entry = unsigned(__stdcall*)(void*);

    bool Create(Entry entry, void* argument);
    bool IsCreated() const { return handle_.IsValid(); }
    // True while the thread has not ended yet.
    bool IsRunning() const { return IsCreated() && ::WaitForSingleObject(handle_.Get(), 0) == WAIT_TIMEOUT; }
    DWORD Wait(DWORD timeout = INFINITE) const { return ::WaitForSingleObject(handle_.Get(), timeout); }
    HANDLE Get() const { return handle_.Get(); }
    bool Close() { return handle_.Close(); }

private:
    CHandle handle_;
};

// A FindFirstFile search, ended with FindClose. FindFirstFile reports failure as INVALID_HANDLE_VALUE.
class CFindHandle {
public:
    CFindHandle() = default;
    explicit CFindHandle(HANDLE handle) { Attach(handle); }
    ~CFindHandle() { Close(); }
    CFindHandle(CFindHandle&& other) noexcept : handle_(other.Detach()) {}
    CFindHandle& operator=(CFindHandle&& other) noexcept {
        if (this != &other)
            Attach(other.Detach());
        return *this;
    }
    CFindHandle(const CFindHandle&) = delete;
    CFindHandle& operator=(const CFindHandle&) = delete;

    bool IsValid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }
    void Attach(HANDLE handle) {
        Close();
        handle_ = handle ? handle : INVALID_HANDLE_VALUE;
    }
    HANDLE Detach() {
        HANDLE h = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return h;
    }
    bool Close() {
        if (!IsValid())
            return true;
        bool ok = ::FindClose(handle_) != FALSE;
        handle_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Owners of the user-interface handles a program creates (windows, memory DCs, bitmaps, fonts, image
// lists) and of registry keys: released with the call that matches their kind. Null is empty.
template <class Handle, BOOL(WINAPI* Release)(Handle)> class CUniqueHandle {
public:
    CUniqueHandle() = default;
    explicit CUniqueHandle(Handle handle) : handle_(handle) {}
    ~CUniqueHandle() { Reset(); }
    CUniqueHandle(CUniqueHandle&& other) noexcept : handle_(other.Detach()) {}
    CUniqueHandle& operator=(CUniqueHandle&& other) noexcept {
        if (this != &other)
            Reset(other.Detach());
        return *this;
    }
    CUniqueHandle(const CUniqueHandle&) = delete;
    CUniqueHandle& operator=(const CUniqueHandle&) = delete;

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    Handle Detach() {
        Handle h = handle_;
        handle_ = nullptr;
        return h;
    }
    void Reset(Handle handle = nullptr) {
        if (handle_)
            Release(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = nullptr;
};

inline BOOL WINAPI deleteBitmap(HBITMAP bitmap) {
    return ::DeleteObject(bitmap);
}

inline BOOL WINAPI deleteFont(HFONT font) {
    return ::DeleteObject(font);
}

// RegCloseKey answers an error code, not a BOOL.
inline BOOL WINAPI closeRegKey(HKEY key) {
    return ::RegCloseKey(key) == ERROR_SUCCESS;
}

using CWindowHandle = CUniqueHandle<HWND, ::DestroyWindow>;
using CMemoryDC = CUniqueHandle<HDC, ::DeleteDC>;
using CBitmapHandle = CUniqueHandle<HBITMAP, deleteBitmap>;
using CFontHandle = CUniqueHandle<HFONT, deleteFont>;
using CImageListHandle = CUniqueHandle<HIMAGELIST, ::ImageList_Destroy>;
// A registry key this program opened or created; never one of the predefined roots.
using CRegKeyHandle = CUniqueHandle<HKEY, closeRegKey>;

} // namespace vx
