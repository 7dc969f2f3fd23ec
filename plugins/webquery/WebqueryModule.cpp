#include "WebqueryModule.h"

#include "util/VxText.h"

namespace webquery {

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

std::string moduleFolder() {
    // Long paths: the buffer grows until the name fits (the call truncates silently otherwise).
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(module(), &path[0], static_cast<DWORD>(path.size()));
        if (n == 0)
            return std::string();
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return vx::narrowed(path.substr(0, path.find_last_of(L"\\/") + 1));
}

} // namespace webquery
