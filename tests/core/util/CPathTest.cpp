#include "util/CPath.h"
#include "util/VxText.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <random>
#include <stdexcept>
#include <string>

namespace {

// A private folder under the temporary folder, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder() {
        char temp[MAX_PATH];
        ::GetTempPathA(MAX_PATH, temp);
        path_ = std::string(temp) + "vx_cpath_" + std::to_string(::GetCurrentProcessId()) + "\\";
        ::CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~TempFolder() { removeTree(path_); }
    const std::string& path() const { return path_; }

    std::string makeFile(const std::string& name, const std::string& content = "data") const {
        std::string full = path_ + name;
        HANDLE h = ::CreateFileA(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE) << full;
        DWORD written = 0;
        ::WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        ::CloseHandle(h);
        return full;
    }

private:
    static void removeTree(const std::string& folder) {
        WIN32_FIND_DATAA found;
        HANDLE find = ::FindFirstFileA((folder + "*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                std::string name = found.cFileName;
                if (name == "." || name == "..")
                    continue;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    removeTree(folder + name + "\\");
                else
                    ::DeleteFileA((folder + name).c_str());
            } while (::FindNextFileA(find, &found));
            ::FindClose(find);
        }
        ::RemoveDirectoryA(folder.c_str());
    }

    std::string path_;
};

FILETIME fileTimeOf(int year, int month, int day, int hour, int minute, int second) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    st.wHour = static_cast<WORD>(hour);
    st.wMinute = static_cast<WORD>(minute);
    st.wSecond = static_cast<WORD>(second);
    FILETIME ft{};
    ::SystemTimeToFileTime(&st, &ft);
    return ft;
}

bool setWriteTime(const std::string& file, const FILETIME& time) {
    HANDLE h = ::CreateFileA(file.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool ok = ::SetFileTime(h, nullptr, nullptr, &time) != FALSE;
    FILETIME back{};
    ok = ok && ::GetFileTime(h, nullptr, nullptr, &back) && std::memcmp(&back, &time, sizeof time) == 0;
    ::CloseHandle(h);
    return ok;
}

void expectEmpty(const CPath& p) {
    EXPECT_EQ(p.GetOriginalPath(), "");
    EXPECT_EQ(p.GetDrive(), "");
    EXPECT_EQ(p.GetDir(-1), "");
    EXPECT_EQ(p.GetDirCount(), 0);
    EXPECT_EQ(p.GetDir(0), "");
    EXPECT_EQ(p.GetFileTitle(), "");
    EXPECT_EQ(p.GetExtName(), "");
    EXPECT_EQ(p.GetExtension(), "");
    EXPECT_EQ(p.GetFileName(), "");
    EXPECT_EQ(p.GetLocation(), "");
    EXPECT_EQ(p.GetPath(), "");
    EXPECT_EQ(p.GetPath(true, true), "");
    EXPECT_EQ(p.GetArgCount(), 0);
    EXPECT_EQ(p.GetArgument(-1), "");
    EXPECT_FALSE(p.IsRelativePath());
    EXPECT_FALSE(p.IsLocalPath());
    EXPECT_FALSE(p.IsFilePath());
    EXPECT_FALSE(p.ExistFile());
    EXPECT_FALSE(p.ExistLocation());
    EXPECT_EQ(p.GetShortPath(), "");
    EXPECT_EQ(p.GetLongPath(), "");
    EXPECT_EQ(p.GetAbsolutePath("C:\\base"), "");
    EXPECT_EQ(p.GetRelativePath("C:\\base"), "");
}

} // namespace

TEST(CPath, SplitsAnAbsoluteFilePath) {
    CPath p("C:\\Windows\\System32\\notepad.exe");
    EXPECT_EQ(p.GetDrive(), "C:");
    EXPECT_EQ(p.GetDir(-1), "\\Windows\\System32\\");
    EXPECT_EQ(p.GetFileTitle(), "notepad");
    EXPECT_EQ(p.GetExtName(), "exe");
    EXPECT_EQ(p.GetExtension(), ".exe");
    EXPECT_EQ(p.GetFileName(), "notepad.exe");
    EXPECT_EQ(p.GetLocation(), "C:\\Windows\\System32\\");
    EXPECT_EQ(p.GetDirCount(), 2);
    EXPECT_EQ(p.GetDir(0), "Windows");
    EXPECT_EQ(p.GetDir(1), "System32");
    EXPECT_EQ(p.GetDir(2), "");
    EXPECT_FALSE(p.IsRelativePath());
    EXPECT_TRUE(p.IsLocalPath());
    EXPECT_TRUE(p.IsFilePath());
    EXPECT_EQ(p.GetPath(), "C:\\Windows\\System32\\notepad.exe");
    EXPECT_EQ(p.GetArgCount(), 0);
}

TEST(CPath, QuotesAreRemovedButKeptInTheOriginal) {
    CPath p("\"C:\\Windows\\System32\\notepad.exe\"");
    EXPECT_EQ(p.GetOriginalPath(), "\"C:\\Windows\\System32\\notepad.exe\"");
    EXPECT_EQ(p.GetPath(false, true), "\"C:\\Windows\\System32\\notepad.exe\"");
    EXPECT_EQ(p.GetPath(), "C:\\Windows\\System32\\notepad.exe");
    EXPECT_EQ(p.GetDrive(), "C:");
    EXPECT_EQ(p.GetFileName(), "notepad.exe");
    EXPECT_EQ(p.GetDirCount(), 2);
    // A lone quote is an empty path.
    CPath quote("\"");
    EXPECT_EQ(quote.GetPath(), "");
    EXPECT_EQ(quote.GetOriginalPath(), "\"");
}

TEST(CPath, CommandLineWithSwitchesAndQuotedValue) {
    CPath p("\"C:\\Program Files\\App\\app.exe\" /s \"two words\" -x", false, true);
    EXPECT_EQ(p.GetPath(), "C:\\Program Files\\App\\app.exe");
    EXPECT_EQ(p.GetDir(0), "Program Files");
    EXPECT_EQ(p.GetFileName(), "app.exe");
    EXPECT_EQ(p.GetArgument(-1), "/s \"two words\" -x");
    ASSERT_EQ(p.GetArgCount(), 2);
    EXPECT_EQ(p.GetArgument(0, true), "s");
    EXPECT_EQ(p.GetArgument(0), "two words");
    EXPECT_EQ(p.GetArgument(1, true), "x");
    EXPECT_EQ(p.GetArgument(1), "");
    EXPECT_EQ(p.GetArgument(2), "");
    EXPECT_EQ(p.GetArgument(2, true), "");

    p.AddSetArgument("/out", "C:\\My Files\\o.txt");
    EXPECT_EQ(p.GetArgument(-1), "/s \"two words\" -x /out \"C:\\My Files\\o.txt\"");
    p.AddSetArgument("S", "one");
    EXPECT_EQ(p.GetArgument(-1), "/s one -x /out \"C:\\My Files\\o.txt\"");
    EXPECT_EQ(p.GetPath(true), "\"C:\\Program Files\\App\\app.exe\" /s one -x /out \"C:\\My Files\\o.txt\"");
    p.RemoveArgument(1);
    p.RemoveArgument(7);
    p.RemoveArgument(-1);
    EXPECT_EQ(p.GetArgument(-1), "/s one /out \"C:\\My Files\\o.txt\"");
    p.RemoveArgument(0);
    p.RemoveArgument(0);
    EXPECT_EQ(p.GetArgCount(), 0);
    EXPECT_EQ(p.GetArgument(-1), "");
    EXPECT_EQ(p.GetPath(true), "C:\\Program Files\\App\\app.exe");
}

TEST(CPath, UnquotedCommandLineSplitsAtTheFirstBlank) {
    CPath p("C:\\tools\\run.exe  -v  file.txt ", false, true);
    EXPECT_EQ(p.GetPath(), "C:\\tools\\run.exe");
    ASSERT_EQ(p.GetArgCount(), 1);
    EXPECT_EQ(p.GetArgument(0, true), "v");
    EXPECT_EQ(p.GetArgument(0), "file.txt");
    // Without the flag the blanks belong to the path.
    CPath whole("C:\\Program Files\\a b.txt");
    EXPECT_EQ(whole.GetFileTitle(), "a b");
    EXPECT_EQ(whole.GetArgCount(), 0);
    // No arguments: one trailing blank goes.
    CPath trailing("C:\\x.exe ", false, true);
    EXPECT_EQ(trailing.GetPath(), "C:\\x.exe");
    EXPECT_EQ(trailing.GetArgument(-1), "");
}

TEST(CPath, ArgumentParsingRules) {
    CPath p;
    p.SetArguments("  /a /b value -c \"quoted value\" bare --dry-run   ");
    ASSERT_EQ(p.GetArgCount(), 5);
    EXPECT_EQ(p.GetArgument(0, true), "a"); // a switch followed by a switch has no value
    EXPECT_EQ(p.GetArgument(0), "");
    EXPECT_EQ(p.GetArgument(1, true), "b");
    EXPECT_EQ(p.GetArgument(1), "value");
    EXPECT_EQ(p.GetArgument(2, true), "c");
    EXPECT_EQ(p.GetArgument(2), "quoted value");
    EXPECT_EQ(p.GetArgument(3, true), ""); // a value without a switch
    EXPECT_EQ(p.GetArgument(3), "bare");
    EXPECT_EQ(p.GetArgument(4, true), "dryrun"); // every '-' and '/' goes
    EXPECT_EQ(p.GetArgument(-1), "  /a /b value -c \"quoted value\" bare --dry-run   ");

    EXPECT_EQ(p.FindArgument("B"), 1);
    EXPECT_EQ(p.FindArgument("-c"), 2);
    EXPECT_EQ(p.FindArgument("/DRY-RUN"), 4);
    EXPECT_EQ(p.FindArgument("zz"), -1);
    EXPECT_EQ(p.FindArgument("/-"), -1);
    EXPECT_EQ(p.FindArgument(""), -1);

    // The rebuilt text keeps each switch's own prefix.
    p.AddSetArgument("c", "new");
    EXPECT_EQ(p.GetArgument(-1), "/a /b value -c new bare -dryrun");

    // A missing closing quote ends the parsing.
    p.SetArguments("/k \"open end");
    ASSERT_EQ(p.GetArgCount(), 1);
    EXPECT_EQ(p.GetArgument(0, true), "k");
    EXPECT_EQ(p.GetArgument(0), "");

    p.SetArguments("");
    EXPECT_EQ(p.GetArgCount(), 0);
    p.AddSetArgument("-q", "");
    p.AddSetArgument("", "loose");
    EXPECT_EQ(p.GetArgument(-1), "-q loose");
}

TEST(CPath, NetworkPath) {
    CPath p("\\\\server\\share\\dir\\file.txt");
    EXPECT_EQ(p.GetDrive(), "");
    EXPECT_FALSE(p.IsRelativePath());
    EXPECT_FALSE(p.IsLocalPath());
    EXPECT_EQ(p.GetDirCount(), 3);
    EXPECT_EQ(p.GetDir(0), "server");
    EXPECT_EQ(p.GetDir(1), "share");
    EXPECT_EQ(p.GetDir(2), "dir");
    EXPECT_EQ(p.GetLocation(), "\\\\server\\share\\dir\\");
    EXPECT_EQ(p.GetDriveLabel(true), "server");
    // Forward slashes are separators too and become backslashes.
    CPath slashes("//server/share/file.txt");
    EXPECT_EQ(slashes.GetLocation(), "\\\\server\\share\\");
    EXPECT_EQ(slashes.GetDir(1), "share");
}

TEST(CPath, RootedPathWithoutDrive) {
    CPath p("\\foo\\bar\\");
    EXPECT_FALSE(p.IsRelativePath());
    EXPECT_FALSE(p.IsLocalPath());
    EXPECT_FALSE(p.IsFilePath());
    ASSERT_EQ(p.GetDirCount(), 2);
    EXPECT_EQ(p.GetDir(0), "foo");
    EXPECT_EQ(p.GetDir(1), "bar");
    EXPECT_EQ(p.GetDriveLabel(true), "");
}

TEST(CPath, BareFileName) {
    CPath p("readme.txt");
    EXPECT_EQ(p.GetDir(-1), "");
    EXPECT_EQ(p.GetDirCount(), 0);
    EXPECT_FALSE(p.IsRelativePath());
    EXPECT_FALSE(p.IsLocalPath());
    EXPECT_TRUE(p.IsFilePath());
    EXPECT_EQ(p.GetLocation(), "");
    EXPECT_EQ(p.GetPath(), "readme.txt");
}

TEST(CPath, ExtensionIsAfterTheLastDot) {
    CPath p("D:\\backup\\archive.tar.gz");
    EXPECT_EQ(p.GetFileTitle(), "archive.tar");
    EXPECT_EQ(p.GetExtName(), "gz");
    CPath dotFile("C:\\home\\.profile");
    EXPECT_EQ(dotFile.GetFileTitle(), "");
    EXPECT_EQ(dotFile.GetExtName(), "profile");
    EXPECT_TRUE(dotFile.IsFilePath());
    CPath noExt("C:\\dir.d\\Makefile");
    EXPECT_EQ(noExt.GetFileTitle(), "Makefile");
    EXPECT_EQ(noExt.GetExtension(), "");
    EXPECT_EQ(noExt.GetDir(0), "dir.d");
}

TEST(CPath, FolderPaths) {
    CPath p("C:\\Program Files", true);
    EXPECT_EQ(p.GetDir(-1), "\\Program Files\\");
    EXPECT_EQ(p.GetFileTitle(), "");
    EXPECT_FALSE(p.IsFilePath());
    EXPECT_EQ(p.GetDir(p.GetDirCount() - 1), "Program Files");
    EXPECT_EQ(p.GetPath(), "C:\\Program Files\\");

    CPath trailing("C:\\Program Files\\", true);
    EXPECT_EQ(trailing.GetDir(-1), "\\Program Files\\");
    // A trailing backslash alone makes a folder path too.
    CPath plain("C:\\Users\\me\\");
    EXPECT_FALSE(plain.IsFilePath());
    EXPECT_EQ(plain.GetDir(plain.GetDirCount() - 1), "me");

    // A dot in the last folder's name stays part of the folder.
    CPath dotted("C:\\Data\\v1.2", true);
    EXPECT_EQ(dotted.GetDir(-1), "\\Data\\v1.2\\");
    EXPECT_EQ(dotted.GetExtName(), "");
    EXPECT_FALSE(dotted.IsFilePath());
    EXPECT_EQ(dotted.GetPath(), "C:\\Data\\v1.2\\");

    // A bare folder name is relative once it is a folder.
    CPath bare("Program Files", true);
    EXPECT_EQ(bare.GetDir(-1), "Program Files\\");
    EXPECT_TRUE(bare.IsRelativePath());
    EXPECT_EQ(bare.GetDir(0), "Program Files");
}

TEST(CPath, RelativePaths) {
    CPath p("sub\\dir\\file.txt");
    EXPECT_TRUE(p.IsRelativePath());
    EXPECT_FALSE(p.IsLocalPath());
    EXPECT_EQ(p.GetDirCount(), 2);
    EXPECT_EQ(p.GetDir(0), "sub");
    EXPECT_EQ(p.GetAbsolutePath("C:\\base"), "C:\\base\\sub\\dir\\file.txt");
    EXPECT_EQ(p.GetAbsolutePath("C:\\base\\"), "C:\\base\\sub\\dir\\file.txt");
    EXPECT_EQ(p.GetAbsolutePath(""), "");
    EXPECT_EQ(p.GetRelativePath("C:\\base"), "");

    CPath up("..\\x\\.\\y.txt");
    EXPECT_EQ(up.GetAbsolutePath("C:\\a\\b"), "C:\\a\\x\\y.txt");
    CPath driveRelative("C:dir\\f.txt");
    EXPECT_EQ(driveRelative.GetDrive(), "C:");
    EXPECT_TRUE(driveRelative.IsRelativePath());
    EXPECT_FALSE(driveRelative.IsLocalPath());
}

TEST(CPath, RelativeFromAFolder) {
    CPath file("C:\\a\\b\\c.txt");
    EXPECT_EQ(file.GetRelativePath("C:\\a"), "b\\c.txt");
    EXPECT_EQ(file.GetRelativePath("C:\\a\\"), "b\\c.txt");
    EXPECT_EQ(file.GetRelativePath("C:\\x\\y"), "..\\..\\a\\b\\c.txt");
    EXPECT_EQ(file.GetRelativePath("D:\\a"), "");
    EXPECT_EQ(file.GetAbsolutePath("C:\\base"), "");

    EXPECT_EQ(file.GetRelativePath("C:\\"), "a\\b\\c.txt");
    EXPECT_EQ(file.GetRelativePath("C:\\x\\y\\"), "..\\..\\a\\b\\c.txt");

    // A folder target keeps its trailing backslash.
    CPath folder("C:\\a\\b\\");
    EXPECT_EQ(folder.GetRelativePath("C:\\a"), "b\\");
    EXPECT_EQ(folder.GetRelativePath("C:\\a\\"), "b\\");
}

TEST(CPath, SlashHelpers) {
    EXPECT_EQ(CPath::AddBackSlash("C:\\x"), "C:\\x\\");
    EXPECT_EQ(CPath::AddBackSlash("C:\\x\\"), "C:\\x\\");
    EXPECT_EQ(CPath::AddBackSlash("http://h/x/"), "http://h/x/");
    EXPECT_EQ(CPath::AddBackSlash("http://h/x", true), "http://h/x/");
    EXPECT_EQ(CPath::AddBackSlash(""), "");
    EXPECT_EQ(CPath::AddBackSlash("", true), "");
    EXPECT_EQ(CPath::RemoveBackSlash("C:\\x\\"), "C:\\x");
    EXPECT_EQ(CPath::RemoveBackSlash("C:\\x\\\\"), "C:\\x\\");
    EXPECT_EQ(CPath::RemoveBackSlash("a/"), "a");
    EXPECT_EQ(CPath::RemoveBackSlash("a"), "a");
    EXPECT_EQ(CPath::RemoveBackSlash(""), "");
}

TEST(CPath, SecondPathLeavesNothingOfTheFirst) {
    CPath p("\"C:\\Program Files\\App\\app.exe\" /s x", false, true);
    p.GetDriveLabel();
    p.SetPath("other");
    EXPECT_EQ(p.GetOriginalPath(), "other");
    EXPECT_EQ(p.GetDrive(), "");
    EXPECT_EQ(p.GetDir(-1), "");
    EXPECT_EQ(p.GetDirCount(), 0);
    EXPECT_EQ(p.GetFileTitle(), "other");
    EXPECT_EQ(p.GetExtName(), "");
    EXPECT_EQ(p.GetArgCount(), 0);
    EXPECT_EQ(p.GetArgument(-1), "");
    EXPECT_EQ(p.GetDriveLabel(), "");
    EXPECT_FALSE(p.IsRelativePath());

    p = "sub\\f.txt";
    EXPECT_TRUE(p.IsRelativePath());
    p = std::string("C:\\f.txt");
    EXPECT_FALSE(p.IsRelativePath());
    EXPECT_EQ(p.GetDirCount(), 0);
    p = static_cast<const char*>(nullptr);
    expectEmpty(p);
    p.SetPath("C:\\x");
    p.SetPath(42);
    expectEmpty(p);
}

TEST(CPath, EmptyObject) {
    CPath p;
    expectEmpty(p);
    EXPECT_EQ(p.GetDriveLabel(), "");
    int64_t size = 5;
    EXPECT_FALSE(p.GetFileSize(size));
    EXPECT_EQ(size, 0);
    __time64_t time = 5;
    EXPECT_FALSE(p.GetFileTime(time, CPath::LastWriteTime));
    EXPECT_EQ(time, 0);
    expectEmpty(CPath(""));
    expectEmpty(CPath(static_cast<const char*>(nullptr)));
    expectEmpty(CPath(7));
}

TEST(CPath, CopiesCarryEverything) {
    CPath p("\"C:\\Program Files\\App\\app.exe\" /s \"two words\"", false, true);
    p.AddSetArgument("-k", "v");
    CPath copy(p);
    CPath assigned;
    assigned = p;
    for (const CPath* c : {&copy, &assigned}) {
        EXPECT_EQ(c->GetOriginalPath(), p.GetOriginalPath());
        EXPECT_EQ(c->GetPath(true), p.GetPath(true));
        EXPECT_EQ(c->GetArgCount(), 2);
        EXPECT_EQ(c->GetArgument(0), "two words");
        EXPECT_EQ(c->GetDir(0), "Program Files");
        EXPECT_EQ(c->IsRelativePath(), p.IsRelativePath());
    }
}

TEST(CPath, ConversionToCString) {
    CPath p("\"C:\\a\\b.txt\" /x", false, true);
    const char* text = static_cast<const char*>(p);
    EXPECT_STREQ(text, "C:\\a\\b.txt");
    CPath empty;
    EXPECT_STREQ(static_cast<const char*>(empty), "");
}

TEST(CPath, OwnProgramAndCommandLine) {
    CPath program(1);
    EXPECT_TRUE(program.IsLocalPath());
    EXPECT_TRUE(program.ExistFile());
    EXPECT_EQ(vx::lowered(program.GetExtName()), "exe");

    CPath commandLine(0);
    EXPECT_EQ(vx::lowered(commandLine.GetFileTitle()), vx::lowered(program.GetFileTitle()));
    EXPECT_EQ(commandLine.GetOriginalPath(), ::GetCommandLineA());

    CPath reset("C:\\x.txt");
    reset.SetPath(1);
    EXPECT_EQ(reset.GetPath(), program.GetPath());
}

TEST(CPath, LongPathsParseAndPlatformCallsFailCleanly) {
    std::string deep = "C:";
    for (int i = 0; i < 40; ++i)
        deep += "\\folder" + std::to_string(i);
    deep += "\\name.ext";
    ASSERT_GT(deep.size(), 300u);
    CPath p(deep);
    EXPECT_EQ(p.GetPath(), deep);
    EXPECT_EQ(p.GetDirCount(), 40);
    EXPECT_EQ(p.GetDir(39), "folder39");
    EXPECT_EQ(p.GetFileName(), "name.ext");
    EXPECT_FALSE(p.ExistFile());
    EXPECT_FALSE(p.ExistLocation());
    EXPECT_EQ(p.GetShortPath(), "");
    EXPECT_EQ(p.GetLongPath(), "");
    EXPECT_EQ(p.GetRelativePath("C:\\folder0"), "");
    int64_t size = 1;
    EXPECT_FALSE(p.GetFileSize(size));
    EXPECT_EQ(size, 0);

    CPath rel(deep.substr(3)); // "folder0\...\name.ext"
    EXPECT_TRUE(rel.IsRelativePath());
    EXPECT_EQ(rel.GetAbsolutePath("C:\\"), "");

    // A long command line keeps every argument.
    std::string line = "\"" + deep + "\"";
    for (int i = 0; i < 100; ++i)
        line += " /k" + std::to_string(i) + " \"value " + std::to_string(i) + "\"";
    CPath command(line, false, true);
    EXPECT_EQ(command.GetPath(), deep);
    ASSERT_EQ(command.GetArgCount(), 100);
    EXPECT_EQ(command.GetArgument(99, true), "k99");
    EXPECT_EQ(command.GetArgument(99), "value 99");
}

TEST(CPath, FilesOnDisk) {
    TempFolder temp;
    std::string file = temp.makeFile("Some Long File Name.txt", "12345");
    CPath p(file);
    EXPECT_TRUE(p.ExistFile());
    EXPECT_TRUE(p.ExistLocation());
    int64_t size = 0;
    EXPECT_TRUE(p.GetFileSize(size));
    EXPECT_EQ(size, 5);

    CPath missing(temp.path() + "missing.txt");
    EXPECT_FALSE(missing.ExistFile());
    EXPECT_TRUE(missing.ExistLocation());
    EXPECT_FALSE(missing.GetFileSize(size));
    EXPECT_EQ(size, 0);
    EXPECT_EQ(missing.GetLongPath(), "");

    CPath folder(temp.path());
    EXPECT_FALSE(folder.ExistFile()); // not a file path
    EXPECT_TRUE(folder.ExistLocation());
    EXPECT_FALSE(folder.GetFileSize(size)); // folders have no size here
    __time64_t time = 1;
    EXPECT_FALSE(folder.GetFileTime(time, CPath::LastWriteTime));
    EXPECT_EQ(time, 0);
}

TEST(CPath, ShortAndLongForms) {
    TempFolder temp;
    std::string file = temp.makeFile("Some Long File Name.txt");
    std::string shortForm = CPath(file).GetShortPath();
    ASSERT_FALSE(shortForm.empty());
    CPath shortPath(shortForm);
    EXPECT_LE(shortPath.GetFileTitle().size(), 8u);
    EXPECT_TRUE(shortPath.ExistFile());
    EXPECT_EQ(vx::lowered(shortPath.GetLongPath()), vx::lowered(file));
    // The long form spells every name as the file system does.
    CPath lowerCase(vx::lowered(file));
    std::string longForm = lowerCase.GetLongPath();
    ASSERT_GE(longForm.size(), 23u);
    EXPECT_EQ(longForm.substr(longForm.size() - 23), "Some Long File Name.txt");
    EXPECT_EQ(CPath("C:\\").GetLongPath(), "C:\\");
    EXPECT_EQ(CPath(temp.path() + "*.txt").GetLongPath(), "");
}

TEST(CPath, FileLargerThanFourGigabytes) {
    TempFolder temp;
    std::string file = temp.path() + "big.bin";
    HANDLE h =
        ::CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = (5LL << 30) + 7; // sparse: nothing is written
    ASSERT_TRUE(::SetFilePointerEx(h, end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(::SetEndOfFile(h));
    ::CloseHandle(h);
    CPath p(file);
    int64_t size = 0;
    EXPECT_TRUE(p.GetFileSize(size));
    EXPECT_EQ(size, (5LL << 30) + 7);
}

TEST(CPath, FileTimes) {
    TempFolder temp;
    std::string file = temp.makeFile("dated.txt");
    ASSERT_TRUE(setWriteTime(file, fileTimeOf(2020, 1, 2, 3, 4, 5)));
    CPath p(file);
    __time64_t time = 0;
    EXPECT_TRUE(p.GetFileTime(time, CPath::LastWriteTime));
    EXPECT_EQ(time, 1577934245); // 2020-01-02 03:04:05 UTC
    __time64_t created = 0;
    EXPECT_TRUE(p.GetFileTime(created, CPath::CreationTime));
    EXPECT_GT(created, 0);
    __time64_t accessed = 0;
    EXPECT_TRUE(p.GetFileTime(accessed, CPath::LastAccessTime));
    EXPECT_GT(accessed, 0);
    EXPECT_TRUE(p.GetFileTime(accessed, 9)); // any other number: last access
}

TEST(CPath, FileTimeOutOfRangeThrows) {
    TempFolder temp;
    std::string file = temp.makeFile("ancient.txt");
    if (!setWriteTime(file, fileTimeOf(1960, 6, 1, 12, 0, 0)))
        GTEST_SKIP() << "the file system does not keep a time before 1970";
    CPath p(file);
    __time64_t time = 0;
    EXPECT_THROW(p.GetFileTime(time, CPath::LastWriteTime), std::invalid_argument);
}

TEST(CPath, DriveLabel) {
    char expected[MAX_PATH + 1] = {};
    BOOL known =
        ::GetVolumeInformationA("C:\\", expected, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0);
    CPath p("C:\\Windows\\notepad.exe");
    EXPECT_EQ(p.GetDriveLabel(), known ? std::string(expected) : std::string());
    EXPECT_EQ(p.GetDriveLabel(true), p.GetDriveLabel());
    EXPECT_EQ(CPath("sub\\file.txt").GetDriveLabel(), "");
    EXPECT_EQ(CPath("file.txt").GetDriveLabel(), "");
}

// Random texts over the characters that matter to the parser: no crash, and the parts always add up.
TEST(CPath, RandomTextsParseConsistently) {
    std::mt19937 rng(2024);
    const char alphabet[] = "ab.:\\/\" -xC";
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        int length = static_cast<int>(rng() % 24);
        for (int i = 0; i < length; ++i)
            text += rng() % 16 == 0 ? static_cast<char>(0x80 + rng() % 0x80)
                                    : alphabet[rng() % (sizeof alphabet - 1)];
        bool isFolder = rng() % 2, hasArgs = rng() % 2;
        CPath p(text, isFolder, hasArgs);
        SCOPED_TRACE("text [" + text + "] folder " + std::to_string(isFolder) + " args " +
                     std::to_string(hasArgs));

        ASSERT_EQ(p.GetOriginalPath(), text);
        ASSERT_EQ(p.GetPath(), p.GetLocation() + p.GetFileName());
        ASSERT_LE(p.GetPath().size(), text.size() + 1);
        ASSERT_EQ(p.GetDir(-1).find('/'), std::string::npos);
        ASSERT_EQ(p.IsRelativePath(), !p.GetDir(-1).empty() && p.GetDir(-1)[0] != '\\');
        if (isFolder) {
            ASSERT_FALSE(p.IsFilePath());
        }
        int count = p.GetDirCount();
        std::string names;
        for (int i = 0; i < count; ++i)
            names += p.GetDir(i) + "\\";
        ASSERT_EQ(p.GetDir(count), "");
        // The names are the folder part without its root.
        std::string folder = p.GetDir(-1);
        ASSERT_GE(folder.size(), names.size());
        ASSERT_EQ(folder.substr(folder.size() - names.size()), names);
        if (!hasArgs) {
            ASSERT_EQ(p.GetArgCount(), 0);
        }
        for (int i = 0; i < p.GetArgCount(); ++i) {
            ASSERT_EQ(p.GetArgument(i, true).find_first_of("/- "), std::string::npos);
        }
        p.GetArgument(p.GetArgCount());
        p.GetAbsolutePath("C:\\base");
        p.GetRelativePath("C:\\base");
        CPath copy = p;
        ASSERT_EQ(copy.GetPath(true, true), p.GetPath(true, true));
    }
}

// Argument lists built through the list are rebuilt into a text that parses back into the same list.
TEST(CPath, RebuiltArgumentsParseBack) {
    std::mt19937 rng(77);
    const char nameChars[] = "abcXYZ";
    const char valueChars[] = "ab Z.\\:";
    for (int round = 0; round < 3000; ++round) {
        CPath p;
        int n = 1 + static_cast<int>(rng() % 5);
        for (int i = 0; i < n; ++i) {
            std::string name(1 + rng() % 3, ' ');
            for (char& c : name)
                c = nameChars[rng() % (sizeof nameChars - 1)];
            std::string value(rng() % 4, ' ');
            for (char& c : value)
                c = valueChars[rng() % (sizeof valueChars - 1)];
            p.AddSetArgument((rng() % 2 ? "-" : "/") + name, value);
        }
        CPath parsed;
        parsed.SetArguments(p.GetArgument(-1));
        SCOPED_TRACE("arguments [" + p.GetArgument(-1) + "]");
        ASSERT_EQ(parsed.GetArgCount(), p.GetArgCount());
        for (int i = 0; i < p.GetArgCount(); ++i) {
            ASSERT_EQ(parsed.GetArgument(i, true), p.GetArgument(i, true));
            ASSERT_EQ(parsed.GetArgument(i), p.GetArgument(i));
        }
        ASSERT_EQ(parsed.GetArgument(-1), p.GetArgument(-1));
    }
}
