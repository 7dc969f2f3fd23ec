#include "update/FileVersionInfo.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

TEST(FileVersionInfo, TranslationFollowsTheUsersLanguageThenNeutralThenEnglishThenTheFirst) {
    const WORD usOnly[] = {0x0409, 1252};
    EXPECT_EQ(CFileVersionInfo::ChooseTranslation(usOnly, 1, 0x0809), 0) << "British user, US block";
    const WORD mixed[] = {0x0407, 1252, 0x0000, 1200, 0x0409, 1252, 0x040C, 1252};
    EXPECT_EQ(CFileVersionInfo::ChooseTranslation(mixed, 4, 0x0C0C), 3) << "Canadian French, French block";
    EXPECT_EQ(CFileVersionInfo::ChooseTranslation(mixed, 4, 0x0411), 1) << "no Japanese: the neutral one";
    const WORD noNeutral[] = {0x0407, 1252, 0x0809, 1252};
    EXPECT_EQ(CFileVersionInfo::ChooseTranslation(noNeutral, 2, 0x0411), 1) << "then any English";
    const WORD neither[] = {0x0407, 1252, 0x040C, 1252};
    EXPECT_EQ(CFileVersionInfo::ChooseTranslation(neither, 2, 0x0411), 0);
    EXPECT_EQ(CFileVersionInfo::ChooseTranslation(nullptr, 0, 0x0409), -1);
}

TEST(FileVersionInfo, ReadsTheFixedRecordAndTheStringsOfThisProgram) {
    CFileVersionInfo info;
    ASSERT_TRUE(info.Create(::GetModuleHandleA(nullptr)));
    EXPECT_EQ(info.GetFixedFileInfo().dwFileVersionMS, 0x00010002u);
    EXPECT_EQ(info.GetFixedFileInfo().dwFileVersionLS, 0x00030004u);
    EXPECT_EQ(info.GetCompanyName(), "Verbinox Tests");
    EXPECT_EQ(info.GetFileVersion(), "1.2.3.4");
    EXPECT_EQ(info.GetSpecialBuild(), "for the version reader");
    EXPECT_EQ(info.GetComments(), "") << "a string the resource lacks stays empty";
}

TEST(FileVersionInfo, AFileWithoutVersionInformationIsRefusedAndForgetsTheLastOne) {
    CFileVersionInfo info;
    ASSERT_TRUE(info.Create(::GetModuleHandleA(nullptr)));
    TempFolder folder;
    ASSERT_TRUE(folder.writeFile("plain.txt", "no resources here"));
    EXPECT_FALSE(info.Create(folder.sub("plain.txt")));
    EXPECT_FALSE(info.Create(folder.sub("missing.exe")));
    EXPECT_EQ(info.GetCompanyName(), "");
    EXPECT_EQ(info.GetFixedFileInfo().dwFileVersionMS, 0u);
}

namespace {

// One node of a version block as resource compilers lay it out; children are appended already built.
std::string versionNode(const std::wstring& key, const std::string& value, bool text,
                        const std::string& children = std::string()) {
    std::string out(6, '\0');
    for (wchar_t c : key + L'\0') {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    out.resize((out.size() + 3) & ~std::size_t(3), '\0');
    out += value;
    out.resize((out.size() + 3) & ~std::size_t(3), '\0');
    out += children;
    const WORD length = static_cast<WORD>(out.size());
    const WORD valueLength = static_cast<WORD>(text ? value.size() / 2 : value.size());
    std::memcpy(&out[0], &length, 2);
    std::memcpy(&out[2], &valueLength, 2);
    out[4] = text ? 1 : 0;
    return out;
}

} // namespace

TEST(FileVersionInfo, WithoutATranslationTableTheFirstStringBlockIsRead) {
    const std::string fixed(sizeof(VS_FIXEDFILEINFO), '\0');
    const std::string strings = versionNode(
        L"StringFileInfo", "", true,
        versionNode(L"041104B0", "", true, versionNode(L"CompanyName", std::string("V\0s\0\0\0", 6), true)));
    const std::string block = versionNode(L"VS_VERSION_INFO", fixed, false, strings);
    EXPECT_EQ(CFileVersionInfo::FirstStringTable(block.data(), block.size()), "041104B0");

    const std::string none =
        versionNode(L"VS_VERSION_INFO", fixed, false, versionNode(L"VarFileInfo", "", true));
    EXPECT_EQ(CFileVersionInfo::FirstStringTable(none.data(), none.size()), "");
    for (std::size_t cut = 0; cut < block.size(); cut += 7)
        EXPECT_EQ(CFileVersionInfo::FirstStringTable(block.data(), cut).size() % 8, 0u) << "cut at " << cut;

    // And the block a real resource compiler made for this program.
    char path[MAX_PATH];
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    DWORD size = ::GetFileVersionInfoSizeA(path, nullptr);
    ASSERT_GT(size, 0u);
    std::string real(size, '\0');
    ASSERT_TRUE(::GetFileVersionInfoA(path, 0, size, &real[0]));
    EXPECT_EQ(CFileVersionInfo::FirstStringTable(real.data(), real.size()), "040904E4");
}
