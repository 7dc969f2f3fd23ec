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

// One node of a version block: its length, its key (UTF-16, NUL-ended), its value, then its
// children, each part starting on a 32-bit boundary counted from the block's start.
struct VersionNode {
    std::size_t start = 0, end = 0, children = 0;
    std::wstring key;
};

std::size_t aligned(std::size_t offset) {
    return (offset + 3) & ~static_cast<std::size_t>(3);
}

bool readNode(const BYTE* block, std::size_t limit, std::size_t start, VersionNode& node) {
    if (start + 6 > limit)
        return false;
    WORD length = 0, valueLength = 0, type = 0;
    std::memcpy(&length, block + start, 2);
    std::memcpy(&valueLength, block + start + 2, 2);
    std::memcpy(&type, block + start + 4, 2);
    if (length < 6 || start + length > limit)
        return false;
    node.start = start;
    node.end = start + length;
    node.key.clear();
    std::size_t at = start + 6;
    for (;; at += 2) {
        if (at + 2 > node.end)
            return false;
        wchar_t c = static_cast<wchar_t>(block[at] | block[at + 1] << 8);
        if (c == 0)
            break;
        node.key += c;
    }
    // Text values count characters, binary ones bytes.
    std::size_t valueBytes = type == 1 ? static_cast<std::size_t>(valueLength) * 2 : valueLength;
    node.children = aligned(aligned(at + 2) + valueBytes);
    return true;
}

} // namespace

std::string CFileVersionInfo::FirstStringTable(const void* data, std::size_t size) {
    const BYTE* block = static_cast<const BYTE*>(data);
    VersionNode root;
    if (!block || !readNode(block, size, 0, root))
        return std::string();
    for (std::size_t at = root.children; at < root.end;) {
        VersionNode child;
        if (!readNode(block, root.end, at, child))
            break;
        if (child.key == L"StringFileInfo") {
            VersionNode table;
            if (child.children < child.end && readNode(block, child.end, child.children, table) &&
                table.key.size() == 8)
                return std::string(table.key.begin(), table.key.end());
            return std::string();
        }
        at = aligned(child.end);
    }
    return std::string();
}

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

    std::string table;
    if (::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length) && value) {
        const WORD* pairs = static_cast<const WORD*>(value);
        int chosen = ChooseTranslation(pairs, length / (2 * sizeof(WORD)), ::GetUserDefaultLangID());
        if (chosen >= 0) {
            char name[16];
            std::snprintf(name, sizeof(name), "%04X%04X", pairs[2 * chosen], pairs[2 * chosen + 1]);
            table = name;
        }
    }
    // Some resource compilers leave the table out: the first string block is then the one there is.
    if (table.empty())
        table = FirstStringTable(block.data(), block.size());
    if (table.empty())
        return true;
    const std::string prefix = "\\StringFileInfo\\" + table + "\\";
    for (int i = 0; i < 12; ++i) {
        std::string query = std::string(prefix) + kStringNames[i];
        // The length counts characters and, for most resource compilers, the terminator too.
        if (::VerQueryValueA(block.data(), query.c_str(), &value, &length) && value)
            strings[i].assign(static_cast<const char*>(value),
                              strnlen(static_cast<const char*>(value), length));
    }
    return true;
}
