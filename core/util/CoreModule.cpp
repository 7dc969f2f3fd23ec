#include "util/CoreModule.h"

#include "util/ThisModule.h"

#include <map>
#include <mutex>

namespace vx {

HMODULE coreModule() {
    return thisModule();
}

HICON loadCoreIcon(int resourceId) {
    // Every core start creates the built-in actions anew; one icon each per process, not per start.
    static std::mutex lock;
    static std::map<int, HICON> loaded;
    std::lock_guard<std::mutex> hold(lock);
    auto it = loaded.find(resourceId);
    if (it != loaded.end())
        return it->second;
    HICON icon = static_cast<HICON>(
        ::LoadImageW(coreModule(), MAKEINTRESOURCEW(resourceId), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    if (icon)
        loaded.emplace(resourceId, icon);
    return icon;
}

} // namespace vx
