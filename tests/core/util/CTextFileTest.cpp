#include "support/TempFolder.h"
#include "util/CTextFile.h"

#include <gtest/gtest.h>

#include <system_error>
#include <vector>

namespace {

class TextFile : public ::testing::Test {
protected:
    // Every line of a file written with these bytes, read into narrow or wide strings.
    template <class Text> std::vector<Text> lines(const std::string& bytes, UINT codePage = CP_ACP) {
        EXPECT_TRUE(folder.writeFile("in.txt", bytes));
        CTextFileRead reader(folder.sub("in.txt"));
        reader.SetCodePage(codePage);
        std::vector<Text> out;
        Text line;
        while (reader.ReadLine(line))
            out.push_back(line);
        EXPECT_TRUE(reader.Eof());
        return out;
    }
    std::vector<std::wstring> wideLines(const std::string& bytes) { return lines<std::wstring>(bytes); }
    std::vector<std::string> narrowLines(const std::string& bytes, UINT codePage = CP_ACP) {
        return lines<std::string>(bytes, codePage);
    }

    TempFolder folder;
};

using Wide = std::vector<std::wstring>;
using Narrow = std::vector<std::string>;

// The bytes of a literal, NULs included.
template <std::size_t N> std::string raw(const char (&bytes)[N]) {
    return std::string(bytes, N - 1);
}

} // namespace

TEST_F(TextFile, CrLfLoneCrAndLoneLfEachEndOneLine) {
    EXPECT_EQ(wideLines("\xEF\xBB\xBF"
                        "a\r\nb"),
              (Wide{L"a", L"b"}));
    EXPECT_EQ(narrowLines("a\rb\nc\n\rd\r\n\r\ne"), (Narrow{"a", "b", "c", "", "d", "", "e"}));
    EXPECT_EQ(narrowLines("last\r\n"), (Narrow{"last", ""})) << "a final line end leaves an empty line";
    EXPECT_EQ(narrowLines("last\r"), (Narrow{"last", ""}));
    EXPECT_EQ(wideLines("\xEF\xBB\xBF"), (Wide{L""})) << "an empty file with a mark is one empty line";
    EXPECT_EQ(narrowLines(""), (Narrow{""}));
}

TEST_F(TextFile, TheMarkChoosesTheEncodingAndAnIncompleteMarkIsText) {
    struct Case {
        std::string bytes;
        CTextFileBase::TEXTENCODING encoding;
        std::wstring first;
    } cases[] = {
        {raw("\xFF\xFE"
             "A\0\xE9\0"),
         CTextFileBase::EncodingUtf16LittleEndian, L"A\xE9"},
        {raw("\xFE\xFF"
             "\0A\0\xE9"),
         CTextFileBase::EncodingUtf16BigEndian, L"A\xE9"},
        {"\xEF\xBB\xBF"
         "A\xC3\xA9",
         CTextFileBase::EncodingUtf8, L"A\xE9"},
        {"\xEF\xBB"
         "A",
         CTextFileBase::EncodingAnsi,
         L"\xEF\xBB"
         "A"},
        {"\xEF"
         "A",
         CTextFileBase::EncodingAnsi,
         L"\xEF"
         "A"},
        {"A", CTextFileBase::EncodingAnsi, L"A"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(folder.writeFile("mark.txt", c.bytes));
        CTextFileRead reader(folder.sub("mark.txt"));
        EXPECT_EQ(reader.GetEncoding(), c.encoding) << c.bytes;
        std::wstring line;
        EXPECT_TRUE(reader.ReadLine(line));
        EXPECT_EQ(line, c.first) << "no byte of the text is lost to the mark check";
    }
}

TEST_F(TextFile, UnicodeLinesReadNarrowAreConvertedToTheCodePage) {
    ASSERT_EQ(::GetACP(), 1252u);
    const std::string utf16 = raw("\xFF\xFE"
                                  "\xE9\0=\0\x2F\x65"
                                  "\n\0x\0");
    EXPECT_EQ(narrowLines(utf16), (Narrow{"\xE9=?", "x"}));
    ASSERT_TRUE(folder.writeFile("lost.txt", utf16));
    CTextFileRead reader(folder.sub("lost.txt"));
    reader.SetUnknownChar('#');
    std::string line;
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "\xE9=#");
    EXPECT_TRUE(reader.IsDataLost()) << "U+652F has no place in code page 1252";
    reader.ResetDataLostFlag();
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_FALSE(reader.IsDataLost());
    EXPECT_EQ(narrowLines(utf16, CP_UTF8), (Narrow{"\xC3\xA9=\xE6\x94\xAF", "x"}));
}

TEST_F(TextFile, InvalidUtf8BecomesOneReplacementEachAndNeverTakesTheLineEnd) {
    // A lead byte cut short by CR, LF or a plain character; a stray continuation byte; overlong forms
    // and encoded surrogates; a sequence cut short by the end of the file.
    EXPECT_EQ(wideLines("\xEF\xBB\xBF"
                        "a\xC3\nb\xE2\x82\r\nc\xF0\x9F\x98"
                        "d\x80"
                        "e\n\xC0\xAF\xED\xA0\x80\n\xF0\x9F"),
              (Wide{L"a\xFFFD", L"b\xFFFD",
                    L"c\xFFFD"
                    L"d\xFFFD"
                    L"e",
                    L"\xFFFD\xFFFD\xFFFD\xFFFD\xFFFD", L"\xFFFD"}));
}

TEST_F(TextFile, FourByteUtf8IsASurrogatePair) {
    EXPECT_EQ(wideLines("\xEF\xBB\xBF"
                        "\xF0\x9F\x98\x80!\n\xF4\x8F\xBF\xBF"),
              (Wide{L"\xD83D\xDE00!", L"\xDBFF\xDFFF"}));
    EXPECT_EQ(narrowLines("\xEF\xBB\xBF"
                          "\xF0\x9F\x98\x80",
                          CP_UTF8),
              (Narrow{"\xF0\x9F\x98\x80"}))
        << "an emoji survives into UTF-8 narrow text";
}

TEST_F(TextFile, LongLinesAreWholeAcrossBufferRefills) {
    std::string bytes = "\xEF\xBB\xBF"
                        "x";
    for (int i = 0; i < 15000; ++i)
        bytes += "\xE6\x97\xA5"; // three bytes each, so sequences straddle every refill
    bytes += "\r\nend";
    Wide lines = wideLines(bytes);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], L"x" + std::wstring(15000, L'\x65E5'));
    EXPECT_EQ(lines[1], L"end");
}

TEST_F(TextFile, ReadingTheWholeFileNeverCutsADoubleByteCharacterOrOverruns) {
    // Shift-JIS: the trail byte of U+8868 is 0x5C; split between two conversions it would be lost.
    std::string sjis;
    for (int i = 0; i < 3000; ++i)
        sjis += "\x95\x5C";
    ASSERT_TRUE(folder.writeFile("sjis.txt", sjis + "\r\n" + sjis));
    CTextFileRead reader(folder.sub("sjis.txt"));
    reader.SetCodePage(932);
    std::wstring all;
    ASSERT_TRUE(reader.Read(all, L"|"));
    EXPECT_EQ(all, std::wstring(3000, L'\x8868') + L"|" + std::wstring(3000, L'\x8868'));

    // Two bytes of UTF-16 become three of UTF-8: the text is longer than the file.
    std::string utf16 = "\xFF\xFE";
    for (int i = 0; i < 20000; ++i)
        utf16 += std::string("\xE5\x65\n\0", i % 100 == 99 ? 4 : 2);
    ASSERT_TRUE(folder.writeFile("utf16.txt", utf16));
    CTextFileRead wide(folder.sub("utf16.txt"));
    wide.SetCodePage(CP_UTF8);
    std::string text;
    ASSERT_TRUE(wide.Read(text, "\r\n"));
    std::string expected;
    for (int i = 0; i < 20000; ++i)
        expected += i % 100 == 99 ? "\xE6\x97\xA5\r\n" : "\xE6\x97\xA5";
    EXPECT_EQ(text, expected);
}

TEST_F(TextFile, AMissingOrClosedFileReadsAsNothing) {
    CTextFileRead reader(folder.sub("missing.txt"));
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_TRUE(reader.Eof());
    std::string line;
    EXPECT_FALSE(reader.ReadLine(line));
    EXPECT_FALSE(reader.Read(line, "\n"));
    ASSERT_TRUE(folder.writeFile("closed.txt", "a\nb"));
    CTextFileRead closed(folder.sub("closed.txt"));
    EXPECT_TRUE(closed.ReadLine(line));
    EXPECT_TRUE(closed.Close());
    EXPECT_FALSE(closed.ReadLine(line)) << "nothing is read after closing";
}

// The files read belong to browsers, which keep them open for writing while they run, and rename and
// delete them as they save.
TEST_F(TextFile, ReadingNeverLocksTheFileAgainstTheProgramThatOwnsIt) {
    const std::string path = folder.sub("bookmarks.html"), backup = folder.sub("bookmarks.bak");
    ASSERT_TRUE(folder.writeFile("bookmarks.html", "first\nsecond"));
    vx::CHandle owner;
    owner.Attach(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(owner.IsValid());
    CTextFileRead reader(path);
    std::string line;
    ASSERT_TRUE(reader.ReadLine(line)) << "opened while the owner holds it for writing";
    EXPECT_EQ(line, "first");
    owner.Close();
    EXPECT_TRUE(::MoveFileExA(path.c_str(), backup.c_str(), 0)) << "error " << ::GetLastError();
    EXPECT_TRUE(::DeleteFileA(backup.c_str())) << "error " << ::GetLastError();
    EXPECT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "second") << "what was opened reads on";
}

TEST_F(TextFile, WrittenFilesCarryTheirMarkAndReadBackAsWritten) {
    struct Case {
        CTextFileBase::TEXTENCODING encoding;
        std::string bytes; // of "\xE9" then a line end
    } cases[] = {
        {CTextFileBase::EncodingAnsi, "\xE9\r\n"},
        {CTextFileBase::EncodingUtf8, "\xEF\xBB\xBF\xC3\xA9\r\n"},
        {CTextFileBase::EncodingUtf16BigEndian, raw("\xFE\xFF\0\xE9\0\r\0\n")},
        {CTextFileBase::EncodingUtf16LittleEndian, raw("\xFF\xFE\xE9\0\r\0\n\0")},
    };
    for (const Case& c : cases) {
        {
            CTextFileWrite writer(folder.sub("out.txt"), c.encoding);
            ASSERT_TRUE(writer.IsOpen());
            writer << "\xE9";
            writer.WriteEndl();
        }
        EXPECT_EQ(folder.readFile("out.txt"), c.bytes) << c.encoding;

        CTextFileWrite writer(folder.sub("out.txt"), c.encoding);
        writer << "narrow \xE9 " << std::wstring(L"wide \x20AC ") << 'c' << L'\x263A';
        writer.WriteEndl();
        writer.Write(std::string("second"));
        ASSERT_TRUE(writer.Close());
        CTextFileRead reader(folder.sub("out.txt"));
        EXPECT_EQ(reader.GetEncoding(), c.encoding);
        std::wstring line;
        ASSERT_TRUE(reader.ReadLine(line));
        EXPECT_EQ(line, c.encoding == CTextFileBase::EncodingAnsi ? L"narrow \xE9 wide \x20AC c?"
                                                                  : L"narrow \xE9 wide \x20AC c\x263A");
        EXPECT_EQ(writer.IsDataLost(), c.encoding == CTextFileBase::EncodingAnsi);
        ASSERT_TRUE(reader.ReadLine(line));
        EXPECT_EQ(line, L"second");
        EXPECT_FALSE(reader.ReadLine(line));
    }
}

TEST_F(TextFile, Utf8WriterJoinsSurrogateHalvesAndReplacesLoneOnes) {
    CTextFileWrite writer(folder.sub("emoji.txt"), CTextFileBase::EncodingUtf8);
    writer << L"\xD83D\xDE00" << L'\xD83D' << L'\xDE01' << L"\xD83D" << L"x" << L'\xDE02';
    writer.WriteEndl();
    writer << L'\xD83D';
    EXPECT_TRUE(writer.Close());
    EXPECT_EQ(folder.readFile("emoji.txt"),
              "\xEF\xBB\xBF\xF0\x9F\x98\x80\xF0\x9F\x98\x81\xEF\xBF\xBDx\xEF\xBF\xBD"
              "\r\n\xEF\xBF\xBD");
    EXPECT_TRUE(writer.IsDataLost());
}

TEST_F(TextFile, ForeignHandlesAreUsedFromTheirPositionAndLeftOpen) {
    vx::CHandle handle;
    handle.Attach(::CreateFileA(folder.sub("shared.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(handle.IsValid());
    auto seek = [&](LONGLONG offset) {
        LARGE_INTEGER at{};
        at.QuadPart = offset;
        return ::SetFilePointerEx(handle.Get(), at, nullptr, FILE_BEGIN) != FALSE;
    };
    DWORD wrote = 0;
    ASSERT_TRUE(::WriteFile(handle.Get(), "head|", 5, &wrote, nullptr));
    {
        CTextFileWrite writer(handle.Get(), CTextFileBase::EncodingUtf8);
        writer << "one";
        writer.WriteEndl();
        writer << "two";
    }
    ASSERT_TRUE(seek(0));
    char written[64] = {};
    DWORD got = 0;
    ASSERT_TRUE(::ReadFile(handle.Get(), written, sizeof(written), &got, nullptr));
    EXPECT_EQ(std::string(written, got), "head|\xEF\xBB\xBFone\r\ntwo");
    ASSERT_TRUE(seek(5));
    {
        CTextFileRead reader(handle.Get());
        EXPECT_EQ(reader.GetEncoding(), CTextFileBase::EncodingUtf8);
        std::string all;
        EXPECT_TRUE(reader.Read(all, "+"));
        EXPECT_EQ(all, "one+two");
    }
    EXPECT_TRUE(seek(0)) << "the handle was closed";
}

TEST_F(TextFile, AWriterThatDidNotOpenDiscardsSmallWritesAndThrowsOnLargeOnes) {
    CTextFileWrite writer(folder.sub("no-such-folder\\out.txt"), CTextFileBase::EncodingUtf8);
    EXPECT_FALSE(writer.IsOpen());
    writer << "a little";
    EXPECT_FALSE(writer.Close()) << "what was written never reached a file";
    CTextFileWrite again(folder.sub("no-such-folder\\out.txt"), CTextFileBase::EncodingAnsi);
    EXPECT_THROW(again << std::string(100000, 'x'), std::system_error);
}
