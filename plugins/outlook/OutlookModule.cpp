#include "OutlookModule.h"

#include "resource.h"

#include <mutex>

namespace {
std::mutex iconLock;
HICON sharedContactIcon = nullptr;
} // namespace

namespace outlook {

HMODULE module() {
    HMODULE m = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&module), &m);
    return m;
}

HICON loadIcon(int resourceId) {
    return static_cast<HICON>(
        ::LoadImageW(module(), MAKEINTRESOURCEW(resourceId), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
}

HICON contactIcon() {
    // Contacts are made on the main thread and on search workers alike.
    std::lock_guard<std::mutex> hold(iconLock);
    if (!sharedContactIcon)
        sharedContactIcon = loadIcon(IDI_CONTACT);
    return sharedContactIcon;
}

void releaseContactIcon() {
    std::lock_guard<std::mutex> hold(iconLock);
    if (sharedContactIcon)
        ::DestroyIcon(sharedContactIcon);
    sharedContactIcon = nullptr;
}

} // namespace outlook
