#pragma once
// Reads a module's version resource: the fixed record and the usual strings of the string block that
// best fits the user's language.
#include <windows.h>

#include <cstddef>
#include <string>

class CFileVersionInfo {
public:
    CFileVersionInfo() = default;
    virtual ~CFileVersionInfo() = default;

    // From a loaded module (its file) or a file path. False when the file has no version information
    // or it cannot be read; what an earlier Create read is forgotten either way.
    bool Create(HMODULE module);
    bool Create(const std::string& path);

    // The fixed record, all zero unless the resource held one of exactly the record's size.
    const VS_FIXEDFILEINFO& GetFixedFileInfo() const { return fixed; }
    std::string GetCompanyName() const { return strings[0]; }
    std::string GetFileDescription() const { return strings[1]; }
    std::string GetFileVersion() const { return strings[2]; }
    std::string GetInternalName() const { return strings[3]; }
    std::string GetLegalCopyright() const { return strings[4]; }
    std::string GetOriginalFileName() const { return strings[5]; }
    std::string GetProductName() const { return strings[6]; }
    std::string GetProductVersion() const { return strings[7]; }
    std::string GetComments() const { return strings[8]; }
    std::string GetLegalTrademarks() const { return strings[9]; }
    std::string GetPrivateBuild() const { return strings[10]; }
    std::string GetSpecialBuild() const { return strings[11]; }

    // Which (language, code page) pair of a translation table to read for a user of that language:
    // the exact language, else the first of the same primary language; the same two tests for the
    // neutral language 0, then for English; else the first. -1 for an empty table.
    static int ChooseTranslation(const WORD* pairs, std::size_t count, LANGID userLanguage);
    // The name ("040904E4") of the first string table of a version block, for a resource whose
    // translation table is missing or empty; empty when it has none.
    static std::string FirstStringTable(const void* block, std::size_t size);

private:
    void Reset();

    VS_FIXEDFILEINFO fixed{};
    std::string strings[12];
};
