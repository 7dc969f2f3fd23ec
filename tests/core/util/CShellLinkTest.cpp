#include "util/CShellLink.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace {

// Records every block given back to COM's task allocator (CoTaskMemFree, ILFree), to count how often a
// list is freed. Registered for one scope; the object itself lives for the whole process, since COM may
// keep it until the last block allocated under it is freed.
class FreeRecorder : public IMallocSpy {
public:
    static FreeRecorder& instance() {
        static FreeRecorder* recorder = new FreeRecorder;
        return *recorder;
    }
    int timesFreed(const void* block) {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<int>(std::count(freed_.begin(), freed_.end(), block));
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        freed_.clear();
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = (iid == IID_IUnknown || iid == IID_IMallocSpy) ? this : nullptr;
        return *out != nullptr ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP_(SIZE_T) PreAlloc(SIZE_T size) override { return size; }
    STDMETHODIMP_(void*) PostAlloc(void* block) override { return block; }
    STDMETHODIMP_(void*) PreFree(void* block, BOOL) override {
        if (block != nullptr) {
            std::lock_guard<std::mutex> lock(mutex_);
            freed_.push_back(block);
        }
        return block;
    }
    STDMETHODIMP_(void) PostFree(BOOL) override {}
    STDMETHODIMP_(SIZE_T) PreRealloc(void* block, SIZE_T size, void** newBlock, BOOL) override {
        *newBlock = block;
        return size;
    }
    STDMETHODIMP_(void*) PostRealloc(void* block, BOOL) override { return block; }
    STDMETHODIMP_(void*) PreGetSize(void* block, BOOL) override { return block; }
    STDMETHODIMP_(SIZE_T) PostGetSize(SIZE_T size, BOOL) override { return size; }
    STDMETHODIMP_(void*) PreDidAlloc(void* block, BOOL) override { return block; }
    STDMETHODIMP_(int) PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    STDMETHODIMP_(void) PreHeapMinimize() override {}
    STDMETHODIMP_(void) PostHeapMinimize() override {}

private:
    std::mutex mutex_;
    std::vector<const void*> freed_;
};

class RecordFrees {
public:
    RecordFrees() {
        FreeRecorder::instance().clear();
        registered_ = SUCCEEDED(::CoRegisterMallocSpy(&FreeRecorder::instance()));
    }
    ~RecordFrees() {
        if (registered_)
            ::CoRevokeMallocSpy();
    }
    bool registered() const { return registered_; }
    // Forgets what was freed so far, so that a block freed earlier at the same address is not counted.
    void restart() const { FreeRecorder::instance().clear(); }
    int timesFreed(const void* block) const { return FreeRecorder::instance().timesFreed(block); }

private:
    bool registered_ = false;
};

PIDLIST_ABSOLUTE listOf(const std::string& path) {
    return ::ILCreateFromPathA(path.c_str());
}

PIDLIST_ABSOLUTE listOfFolder(int csidl) {
    PIDLIST_ABSOLUTE list = nullptr;
    ::SHGetSpecialFolderLocation(nullptr, csidl, &list);
    return list;
}

std::string pathOf(PCIDLIST_ABSOLUTE list) {
    char path[MAX_PATH] = {};
    return list != nullptr && ::SHGetPathFromIDListA(list, path) ? std::string(path) : std::string();
}

// What the platform's own shell link object reads back from a file, without the wrapper.
struct PlatformView {
    std::string arguments;
    int showCommand = 0;
};
PlatformView platformRead(const std::string& fileName) {
    PlatformView view;
    vx::CComRef<IShellLinkA> link;
    vx::CComRef<IPersistFile> file;
    std::wstring wide(fileName.size() + 1, L'\0'); // never more wide characters than bytes
    ::MultiByteToWideChar(CP_ACP, 0, fileName.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                     link.PutVoid())) &&
        SUCCEEDED(link.Query(IID_IPersistFile, file)) && SUCCEEDED(file->Load(wide.c_str(), STGM_READ))) {
        std::vector<char> buffer(1 << 16, '\0');
        link->GetArguments(buffer.data(), static_cast<int>(buffer.size()) - 1);
        view.arguments = buffer.data();
        link->GetShowCmd(&view.showCommand);
    }
    return view;
}

class ShellLinkTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr))); }
    void TearDown() override { ::CoUninitialize(); }

    TempFolder temp;
};

TEST_F(ShellLinkTest, SaveAndLoadKeepEveryField) {
    ASSERT_TRUE(temp.writeFile("tool.exe", "MZ"));
    const std::string target = temp.sub("tool.exe");
    const std::string folder = temp.path().substr(0, temp.path().size() - 1);
    const WORD hotKey = MAKEWORD('T', HOTKEYF_CONTROL | HOTKEYF_ALT);
    {
        CShellLink link;
        link.SetPath(target);
        link.SetArguments("/open \"a file.txt\"");
        link.SetDescription("Starts the tool");
        link.SetWorkingDirectory(folder);
        link.SetIconLocation("C:\\icons\\tool.ico");
        link.SetIconLocationIndex(3);
        link.SetHotKey(hotKey);
        link.SetShowCommand(SW_SHOWMAXIMIZED);
        ASSERT_TRUE(link.Save(temp.sub("tool.lnk")));
    }
    // The header keeps the show command as a 32-bit number at offset 60.
    EXPECT_EQ(temp.readFile("tool.lnk").substr(60, 4), std::string("\x03\x00\x00\x00", 4));
    CShellLink link;
    ASSERT_TRUE(link.Load(temp.sub("tool.lnk")));
    EXPECT_EQ(link.GetPath(), target);
    EXPECT_EQ(pathOf(link.GetPathIDList()), target);
    EXPECT_EQ(link.GetArguments(), "/open \"a file.txt\"");
    EXPECT_EQ(link.GetDescription(), "Starts the tool");
    EXPECT_EQ(link.GetWorkingDirectory(), folder);
    EXPECT_EQ(link.GetIconLocation(), "C:\\icons\\tool.ico");
    EXPECT_EQ(link.GetIconLocationIndex(), 3);
    EXPECT_EQ(link.GetHotKey(), hotKey);
    // Wine 8 writes the show command but reads back SW_SHOWNORMAL: expect what the platform reads.
    EXPECT_EQ(link.GetShowCommand(), platformRead(temp.sub("tool.lnk")).showCommand);
}

TEST_F(ShellLinkTest, TextsLongerThanTheFirstBufferAreReadWhole) {
    const std::string description(1000, 'd');
    std::string arguments;
    for (int i = 0; arguments.size() < 3000; ++i)
        arguments += "file" + std::to_string(i) + ".txt ";
    {
        CShellLink link;
        link.SetPath("C:\\windows\\notepad.exe");
        link.SetDescription(description);
        link.SetArguments(arguments);
        ASSERT_TRUE(link.Save(temp.sub("long.lnk")));
    }
    CShellLink link;
    ASSERT_TRUE(link.Load(temp.sub("long.lnk")));
    EXPECT_EQ(link.GetDescription(), description);
    // Beyond INFOTIPSIZE, whatever the platform keeps (Wine keeps all of it) must come back uncut.
    EXPECT_EQ(link.GetArguments(), platformRead(temp.sub("long.lnk")).arguments);
}

TEST_F(ShellLinkTest, IdentifierListIsSavedAsTargetEvenWithPathSet) {
    ASSERT_TRUE(temp.writeFile("path.txt", "x"));
    ASSERT_TRUE(temp.makeDir("listed"));
    {
        CShellLink link;
        link.SetPath(temp.sub("path.txt"));
        link.SetPathIDList(listOf(temp.sub("listed")));
        ASSERT_TRUE(link.Save(temp.sub("both.lnk")));
    }
    CShellLink link;
    ASSERT_TRUE(link.Load(temp.sub("both.lnk")));
    EXPECT_EQ(link.GetPath(), temp.sub("listed"));
    EXPECT_EQ(pathOf(link.GetPathIDList()), temp.sub("listed"));
}

TEST_F(ShellLinkTest, TargetWithoutFileSystemPathKeepsPreviousPathText) {
    {
        CShellLink link;
        link.SetPathIDList(listOfFolder(CSIDL_DRIVES));
        link.SetDescription("All drives");
        ASSERT_TRUE(link.Save(temp.sub("drives.lnk")));
    }
    PIDLIST_ABSOLUTE drives = listOfFolder(CSIDL_DRIVES);
    CShellLink link;
    link.SetPath("C:\\previous.exe");
    ASSERT_TRUE(link.Load(temp.sub("drives.lnk")));
    EXPECT_EQ(link.GetPath(), "C:\\previous.exe");
    EXPECT_EQ(link.GetDescription(), "All drives");
    ASSERT_NE(link.GetPathIDList(), nullptr);
    EXPECT_TRUE(::ILIsEqual(link.GetPathIDList(), drives));
    ::ILFree(drives);
}

TEST_F(ShellLinkTest, FailedLoadReturnsFalseAndKeepsFields) {
    ASSERT_TRUE(temp.writeFile("corrupt.lnk", "this is not a shortcut, only some text"));
    ASSERT_TRUE(temp.writeFile("corrupt.url", std::string("\x01\x02\xff garbage", 11)));
    CShellLink link;
    link.SetPath("C:\\kept.exe");
    link.SetArguments("-kept");
    link.SetDescription("kept");
    link.SetIconLocation("C:\\kept.ico");
    link.SetHotKey(0x0641);
    link.SetPathIDList(listOfFolder(CSIDL_DRIVES));
    PIDLIST_ABSOLUTE list = link.GetPathIDList();
    CUrlShellLink url;
    url.SetPath("http://kept.example/");
    url.SetIconLocation("C:\\kept.ico");

    for (const char* name : {"missing.lnk", "corrupt.lnk"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(link.Load(temp.sub(name)));
        EXPECT_EQ(link.GetPath(), "C:\\kept.exe");
        EXPECT_EQ(link.GetArguments(), "-kept");
        EXPECT_EQ(link.GetDescription(), "kept");
        EXPECT_EQ(link.GetIconLocation(), "C:\\kept.ico");
        EXPECT_EQ(link.GetHotKey(), 0x0641);
        EXPECT_EQ(link.GetPathIDList(), list);
    }
    for (const char* name : {"missing.url", "corrupt.url"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(url.Load(temp.sub(name)));
        EXPECT_EQ(url.GetPath(), "http://kept.example/");
        EXPECT_EQ(url.GetIconLocation(), "C:\\kept.ico");
    }
}

TEST_F(ShellLinkTest, NetworkIconLocationIsKeptAsText) {
    {
        CShellLink link;
        link.SetPath("C:\\windows\\notepad.exe");
        link.SetIconLocation("\\\\fileserver\\share\\icons\\app.ico");
        link.SetIconLocationIndex(7);
        ASSERT_TRUE(link.Save(temp.sub("unc.lnk")));
    }
    CShellLink link;
    ASSERT_TRUE(link.Load(temp.sub("unc.lnk")));
    EXPECT_EQ(link.GetIconLocation(), "\\\\fileserver\\share\\icons\\app.ico");
    EXPECT_EQ(link.GetIconLocationIndex(), 7);

    ASSERT_TRUE(temp.writeFile("unc.url", "[InternetShortcut]\r\nURL=http://www.example.org/\r\n"
                                          "IconFile=\\\\fileserver\\share\\fav.ico\r\nIconIndex=-2\r\n"));
    CUrlShellLink url;
    ASSERT_TRUE(url.Load(temp.sub("unc.url")));
    EXPECT_EQ(url.GetIconLocation(), "\\\\fileserver\\share\\fav.ico");
    EXPECT_EQ(url.GetIconLocationIndex(), -2);
}

TEST_F(ShellLinkTest, InternetShortcutReportsUrlAsPathAndNoArguments) {
    ASSERT_TRUE(
        temp.writeFile("site.url", "[InternetShortcut]\r\nURL=https://www.example.org/a?b=c&d=e\r\n"));
    CUrlShellLink url;
    url.SetArguments("--never");
    ASSERT_TRUE(url.Load(temp.sub("site.url")));
    EXPECT_EQ(url.GetPath(), "https://www.example.org/a?b=c&d=e");
    EXPECT_EQ(url.GetArguments(), "");
    EXPECT_EQ(url.GetPathIDList(), nullptr);
}

TEST_F(ShellLinkTest, AnInternetShortcutInUtf16NeverTurnsALookAlikeIntoAHyphen) {
    std::string utf16 = "\xFF\xFE";
    for (wchar_t c : std::wstring(L"[InternetShortcut]\r\nURL=\xFF0D\xFF0Dgpu-launcher=x\r\n"))
        utf16 += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    ASSERT_TRUE(temp.writeFile("wide.url", utf16));
    CUrlShellLink url;
    ASSERT_TRUE(url.Load(temp.sub("wide.url")));
    EXPECT_EQ(url.GetPath(), "%EF%BC%8D%EF%BC%8Dgpu-launcher=x");
}

TEST_F(ShellLinkTest, InternetShortcutSaveAndLoadKeepUrlAndIcon) {
    {
        CUrlShellLink url;
        url.SetPath("http://www.example.org/page?q=1");
        url.SetIconLocation("C:\\icons\\site.ico");
        url.SetIconLocationIndex(2);
        ASSERT_TRUE(url.Save(temp.sub("saved.url")));
    }
    EXPECT_NE(temp.readFile("saved.url").find("URL=http://www.example.org/page?q=1"), std::string::npos);
    CUrlShellLink url;
    ASSERT_TRUE(url.Load(temp.sub("saved.url")));
    EXPECT_EQ(url.GetPath(), "http://www.example.org/page?q=1");
    EXPECT_EQ(url.GetIconLocation(), "C:\\icons\\site.ico");
    EXPECT_EQ(url.GetIconLocationIndex(), 2);
}

TEST_F(ShellLinkTest, CopiedInfoOwnsItsOwnIdentifierList) {
    RecordFrees frees;
    ASSERT_TRUE(frees.registered());
    PIDLIST_ABSOLUTE original = listOfFolder(CSIDL_DRIVES);
    PIDLIST_ABSOLUTE copied = nullptr;
    PIDLIST_ABSOLUTE assigned = nullptr;
    PIDLIST_ABSOLUTE created = nullptr;
    {
        CShellLinkInfo info;
        info.pathIDList.Attach(original);
        info.description = "drives";
        {
            CShellLinkInfo copy(info);
            CShellLinkInfo assignment;
            assignment = info;
            CShellLink link;
            ASSERT_TRUE(link.Create(info));
            copied = copy.pathIDList.Get();
            assigned = assignment.pathIDList.Get();
            created = link.GetPathIDList();
            frees.restart();
            for (PIDLIST_ABSOLUTE list : {copied, assigned, created}) {
                ASSERT_NE(list, nullptr);
                EXPECT_NE(list, original);
                EXPECT_TRUE(::ILIsEqual(list, original));
            }
            EXPECT_EQ(link.GetDescription(), "drives");
        }
        EXPECT_EQ(frees.timesFreed(copied), 1);
        EXPECT_EQ(frees.timesFreed(assigned), 1);
        EXPECT_EQ(frees.timesFreed(created), 1);
        EXPECT_EQ(frees.timesFreed(original), 0);
    }
    EXPECT_EQ(frees.timesFreed(original), 1);
}

TEST_F(ShellLinkTest, SetPathIDListFreesTheReplacedListOnce) {
    RecordFrees frees;
    ASSERT_TRUE(frees.registered());
    PIDLIST_ABSOLUTE first = listOfFolder(CSIDL_DRIVES);
    PIDLIST_ABSOLUTE second = listOfFolder(CSIDL_DRIVES);
    PIDLIST_ABSOLUTE ignored = listOfFolder(CSIDL_DRIVES);
    frees.restart();
    {
        CShellLink link;
        link.SetPathIDList(first);
        link.SetPathIDList(second);
        EXPECT_EQ(frees.timesFreed(first), 1);
        link.SetPathIDList(second);
        EXPECT_EQ(frees.timesFreed(second), 0);
        EXPECT_EQ(link.GetPathIDList(), second);

        // An Internet shortcut has no list: the one handed over is disposed of, not leaked.
        CUrlShellLink url;
        url.SetPathIDList(ignored);
        EXPECT_EQ(frees.timesFreed(ignored), 1);
        EXPECT_EQ(url.GetPathIDList(), nullptr);
    }
    EXPECT_EQ(frees.timesFreed(second), 1);
}

} // namespace
