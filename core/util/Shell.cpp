#include "util/Shell.h"

#include <windows.h>
#include <shellapi.h>

#include <atomic>

namespace vx {
namespace {
std::atomic<ShellOpenHook> hook{nullptr};
}

bool shellOpen(const std::string& file, const std::string& parameters, const std::string& directory) {
    if (ShellOpenHook h = hook.load())
        return h(file, parameters, directory);
    HINSTANCE result =
        ::ShellExecuteA(nullptr, nullptr, file.c_str(), parameters.empty() ? nullptr : parameters.c_str(),
                        directory.empty() ? nullptr : directory.c_str(), SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

ShellOpenHook setShellOpenHook(ShellOpenHook newHook) {
    return hook.exchange(newHook);
}

} // namespace vx
