#pragma once
// A move-only owner of one COM interface reference, whoever holds it last releasing it exactly once; and
// a scope that holds COM for a thread.
#include <windows.h>
#include <objbase.h>
#include <unknwn.h>

namespace vx {

// COM on the calling thread for as long as the scope lives, given back in balance: S_FALSE (the thread
// had it already) is still a reference to give back; RPC_E_CHANGED_MODE (the thread is in the other kind
// of apartment, which serves as well) is none.
class CComInitScope {
public:
    CComInitScope() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~CComInitScope() {
        if (SUCCEEDED(result_))
            ::CoUninitialize();
    }
    CComInitScope(const CComInitScope&) = delete;
    CComInitScope& operator=(const CComInitScope&) = delete;

private:
    HRESULT result_;
};

template <class T> class CComRef {
public:
    CComRef() = default;
    // Adopts a reference the caller already owns (no AddRef).
    explicit CComRef(T* pointer) noexcept : pointer_(pointer) {}
    ~CComRef() { Release(); }
    CComRef(CComRef&& other) noexcept : pointer_(other.Detach()) {}
    CComRef& operator=(CComRef&& other) noexcept {
        if (this != &other)
            Attach(other.Detach());
        return *this;
    }
    CComRef(const CComRef&) = delete;
    CComRef& operator=(const CComRef&) = delete;

    T* Get() const { return pointer_; }
    T* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }

    // The slot for a call that hands out a new reference; whatever was held before is released first, so
    // the slot always starts null. PutVoid is the same slot for CoCreateInstance and QueryInterface.
    T** Put() {
        Release();
        return &pointer_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

    // Adopts a reference; the one held before is released (even when it is the same object, since the
    // caller handed over a reference of its own).
    void Attach(T* pointer) {
        T* old = pointer_;
        pointer_ = pointer;
        if (old != nullptr)
            old->Release();
    }
    T* Detach() {
        T* pointer = pointer_;
        pointer_ = nullptr;
        return pointer;
    }
    void Release() {
        if (pointer_ != nullptr) {
            T* pointer = pointer_;
            pointer_ = nullptr;
            pointer->Release();
        }
    }

    // Asks the held object for another interface; the result is empty when the object has none.
    template <class U> HRESULT Query(REFIID iid, CComRef<U>& result) const {
        if (pointer_ == nullptr) {
            result.Release();
            return E_POINTER;
        }
        return pointer_->QueryInterface(iid, result.PutVoid());
    }

private:
    T* pointer_ = nullptr;
};

} // namespace vx
