#include "util/Environment.h"

#include <windows.h>

namespace vx {

std::string environmentVariable(const char* name) {
    DWORD n = ::GetEnvironmentVariableA(name, nullptr, 0);
    if (n == 0)
        return std::string();
    std::string value(n, '\0');
    n = ::GetEnvironmentVariableA(name, &value[0], n);
    // Changed by another thread between the two calls: taken as unset rather than cut.
    if (n == 0 || n >= value.size())
        return std::string();
    value.resize(n);
    return value;
}

bool isFile(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace vx
