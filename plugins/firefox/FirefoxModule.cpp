#include "FirefoxModule.h"

namespace firefox {

bool isFile(const std::string& path) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace firefox
