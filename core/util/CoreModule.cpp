#include "util/CoreModule.h"

namespace vx {

HMODULE coreModule() {
    static const HMODULE module = [] {
        HMODULE m = nullptr;
        ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                 GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                             reinterpret_cast<LPCWSTR>(&coreModule), &m);
        return m;
    }();
    return module;
}

HICON loadCoreIcon(int resourceId) {
    return static_cast<HICON>(
        ::LoadImageW(coreModule(), MAKEINTRESOURCEW(resourceId), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
}

} // namespace vx
