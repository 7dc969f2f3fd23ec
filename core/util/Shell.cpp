#include "util/Shell.h"

#include "util/VxText.h"

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
    const std::wstring wideFile = widened(file), wideParameters = widened(parameters),
                       wideDirectory = widened(directory);
    HINSTANCE result = ::ShellExecuteW(nullptr, nullptr, wideFile.c_str(),
                                       parameters.empty() ? nullptr : wideParameters.c_str(),
                                       directory.empty() ? nullptr : wideDirectory.c_str(), SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

ShellOpenHook setShellOpenHook(ShellOpenHook newHook) {
    return hook.exchange(newHook);
}

} // namespace vx
