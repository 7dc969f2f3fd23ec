#include "FileVersionInfo.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const char* const kStringNames[12] = {"CompanyName",    "FileDescription",  "FileVersion",  "InternalName",
                                      "LegalCopyright", "OriginalFileName", "ProductName",  "ProductVersion",
                                      "Comments",       "LegalTrademarks",  "PrivateBuild", "SpecialBuild"};

int findLanguage(const WORD* pairs, std::size_t count, LANGID language) {
    for (std::size_t i = 0; i < count; ++i) {
        if (pairs[2 * i] == language)
            return static_cast<int>(i);
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (PRIMARYLANGID(pairs[2 * i]) == PRIMARYLANGID(language))
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace

void CFileVersionInfo::Reset() {
    fixed = VS_FIXEDFILEINFO{};
    for (std::string& s : strings)
        s.clear();
}

int CFileVersionInfo::ChooseTranslation(const WORD* pairs, std::size_t count, LANGID userLanguage) {
    if (!pairs || count == 0)
        return -1;
    for (LANGID language : {userLanguage, static_cast<LANGID>(0), static_cast<LANGID>(LANG_ENGLISH)}) {
        int found = findLanguage(pairs, count, language);
        if (found >= 0)
            return found;
    }
    return 0;
}

bool CFileVersionInfo::Create(HMODULE module) {
    // The module's file, whatever its length: the call gives no size, only a cut-off result.
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameA(module, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) {
            Reset();
            return false;
        }
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return Create(path);
}

bool CFileVersionInfo::Create(const std::string& path) {
    Reset();
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0)
        return false;
    std::vector<BYTE> block(size);
    if (!::GetFileVersionInfoA(path.c_str(), 0, size, block.data()))
        return false;

    void* value = nullptr;
    UINT length = 0;
    if (::VerQueryValueA(block.data(), "\\", &value, &length) && length == sizeof(VS_FIXEDFILEINFO))
        fixed = *static_cast<const VS_FIXEDFILEINFO*>(value);

    if (!::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length))
        return true;
    const WORD* pairs = static_cast<const WORD*>(value);
    int chosen = ChooseTranslation(pairs, length / (2 * sizeof(WORD)), ::GetUserDefaultLangID());
    if (chosen < 0)
        return true;
    char prefix[40];
    std::snprintf(prefix, sizeof(prefix), "\\StringFileInfo\\%04X%04X\\", pairs[2 * chosen],
                  pairs[2 * chosen + 1]);
    for (int i = 0; i < 12; ++i) {
        std::string query = std::string(prefix) + kStringNames[i];
        // The length counts characters and, for most resource compilers, the terminator too.
        if (::VerQueryValueA(block.data(), query.c_str(), &value, &length) && value)
            strings[i].assign(static_cast<const char*>(value),
                              strnlen(static_cast<const char*>(value), length));
    }
    return true;
}
