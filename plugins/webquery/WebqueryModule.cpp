#include "WebqueryModule.h"

#include "util/ThisModule.h"

#include "util/VxText.h"

namespace webquery {

std::string moduleFolder() {
    // Long paths: the buffer grows until the name fits (the call truncates silently otherwise).
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(vx::thisModule(), &path[0], static_cast<DWORD>(path.size()));
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
