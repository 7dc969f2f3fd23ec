#pragma once
// Move-only owners of the user-interface handles the program creates: windows, memory DCs, bitmaps.
#include <windows.h>

namespace vx {

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

using CWindowHandle = CUniqueHandle<HWND, ::DestroyWindow>;
using CMemoryDC = CUniqueHandle<HDC, ::DeleteDC>;
using CBitmapHandle = CUniqueHandle<HBITMAP, deleteBitmap>;

} // namespace vx
