// Row icons: fetched once per key on the cache's worker, bounded, dropped with their rows, and drawn by
// the results list without ever waiting for the fetcher.
#include "support/CoreFixture.h"

#include "window/IconCache.h"
#include "window/Messages.h"
#include "window/VElementListCtrl.h"
#include "model/VFileResult.h"
#include "support/Canvas.h"
#include "support/MessagePump.h"
#include "support/Watchdog.h"

#include <objbase.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

const COLORREF kFetchedColour = RGB(0x12, 0xEF, 0x34);

// An opaque square of one colour (32-bit pixels without alpha: the mask, all zeros, makes it opaque).
HICON solidIcon(int size, COLORREF colour) {
    std::vector<BYTE> mask(static_cast<std::size_t>((size + 15) / 16 * 2 * size), 0);
    std::vector<DWORD> pixels(static_cast<std::size_t>(size * size),
                              GetBValue(colour) | GetGValue(colour) << 8 | GetRValue(colour) << 16);
    return ::CreateIcon(nullptr, size, size, 1, 32, mask.data(), reinterpret_cast<BYTE*>(pixels.data()));
}

// A bitmap in a memory DC to draw into and read back.
bool iconAlive(HICON icon) {
    ICONINFO info{};
    if (!::GetIconInfo(icon, &info))
        return false;
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    return true;
}

// Stands in for the shell: notes what it is asked, and while shut holds the worker in its first call.
class FakeIcons : public VIconSource {
public:
    explicit FakeIcons(bool shut = false) : open(!shut) {}
    HICON fetch(const VIconRequest& request) override {
        // S_FALSE: this thread already has its apartment.
        const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (SUCCEEDED(com))
            ::CoUninitialize();
        std::unique_lock<std::mutex> hold(lock);
        asked.push_back(request);
        withoutCom += com == S_FALSE ? 0 : 1;
        changed.notify_all();
        changed.wait(hold, [this] { return open; });
        HICON icon = solidIcon(request.size, kFetchedColour);
        made.push_back(icon);
        changed.notify_all();
        return icon;
    }
    void release() {
        std::lock_guard<std::mutex> hold(lock);
        open = true;
        changed.notify_all();
    }
    // Waits until count requests were asked for (or made, with made); false after five seconds.
    bool waitFor(std::size_t count, bool madeToo = false) {
        std::unique_lock<std::mutex> hold(lock);
        return changed.wait_for(hold, std::chrono::seconds(5),
                                [&] { return (madeToo ? made.size() : asked.size()) >= count; });
    }
    std::vector<VIconRequest> requests() {
        std::lock_guard<std::mutex> hold(lock);
        return asked;
    }
    std::vector<HICON> icons() {
        std::lock_guard<std::mutex> hold(lock);
        return made;
    }
    int fetchesWithoutCom() {
        std::lock_guard<std::mutex> hold(lock);
        return withoutCom;
    }

private:
    std::mutex lock;
    std::condition_variable changed;
    bool open;
    std::vector<VIconRequest> asked;
    std::vector<HICON> made;
    int withoutCom = 0;
};

// Takes what the worker fetched until the cache holds count keys; false after five seconds.
bool settle(VIconCache& cache, std::size_t count) {
    for (int waited = 0; waited < 5000; waited += 5) {
        cache.takeArrivals();
        if (cache.size() >= count)
            return true;
        ::Sleep(5);
    }
    return false;
}

} // namespace

TEST(IconCache, DocumentsShareAFetchPerExtensionFoldersOneAndProgramsOnePerPathAtEachSize) {
    auto* fake = new FakeIcons();
    VIconCache cache{std::unique_ptr<VIconSource>(fake)};
    for (const char* path : {"C:\\docs\\a.txt", "D:\\b.TXT", "C:\\apps\\one.exe", "C:\\apps\\two.exe",
                             "C:\\apps\\ONE.EXE", "C:\\links\\mail.lnk", "C:\\x.y\\readme"})
        EXPECT_EQ(cache.lookup(path, false, 16), nullptr) << path << " answered before it was fetched";
    cache.lookup("C:\\docs\\", true, 16);
    cache.lookup("C:\\apps\\", true, 16);
    cache.lookup("C:\\docs\\a.txt", false, 32);
    ASSERT_TRUE(settle(cache, 7));

    std::vector<std::wstring> names;
    for (const VIconRequest& request : fake->requests()) {
        names.push_back(request.name + (request.byType ? L" by type" : L" own") + L" " +
                        std::to_wstring(request.size));
    }
    EXPECT_EQ(names,
              (std::vector<std::wstring>{L"file.txt by type 16", L"C:\\apps\\one.exe own 16",
                                         L"C:\\apps\\two.exe own 16", L"C:\\links\\mail.lnk own 16",
                                         L"file by type 16", L"folder by type 16", L"file.txt by type 32"}));
    EXPECT_EQ(fake->fetchesWithoutCom(), 0);

    HICON text = cache.lookup("D:\\other\\c.txt", false, 16);
    EXPECT_NE(text, nullptr);
    EXPECT_EQ(cache.lookup("C:\\docs\\a.txt", false, 16), text);
    EXPECT_NE(cache.lookup("C:\\docs\\a.txt", false, 32), text);
    EXPECT_NE(cache.lookup("C:\\apps\\one.exe", false, 16), cache.lookup("C:\\apps\\two.exe", false, 16));
    EXPECT_NE(cache.lookup("E:\\", true, 16), nullptr);
    EXPECT_EQ(fake->requests().size(), 7u) << "answered from the cache, not fetched again";
}

TEST(IconCache, TheBoundKeepsTheLastUsedIconsAndDestroysTheOthers) {
    auto* fake = new FakeIcons();
    VIconCache cache{std::unique_ptr<VIconSource>(fake), 3};
    for (const char* path : {"a.txt", "b.doc", "c.pdf"})
        cache.lookup(path, false, 16);
    ASSERT_TRUE(settle(cache, 3));
    const std::vector<HICON> first = fake->icons();
    EXPECT_NE(cache.lookup("a.txt", false, 16), nullptr);
    cache.lookup("d.xls", false, 16);
    ASSERT_TRUE(fake->waitFor(4, true));
    ::Sleep(20);
    cache.takeArrivals();

    EXPECT_EQ(cache.size(), 3u);
    EXPECT_FALSE(iconAlive(first[1])) << "the least recently used icon is destroyed";
    EXPECT_TRUE(iconAlive(first[0]));
    EXPECT_EQ(cache.lookup("a.txt", false, 16), first[0]);
    EXPECT_EQ(cache.lookup("b.doc", false, 16), nullptr) << "fetched again";
    ASSERT_TRUE(fake->waitFor(5));
}

TEST(IconCache, StoppingWithRequestsQueuedEndsAfterTheFetchUnderWayAndDestroysItsIcon) {
    auto* fake = new FakeIcons(true);
    VIconCache cache{std::unique_ptr<VIconSource>(fake)};
    for (int i = 0; i < 20; ++i)
        cache.lookup("file." + std::to_string(i), false, 16);
    ASSERT_TRUE(fake->waitFor(1));
    std::thread opener([fake] {
        ::Sleep(100);
        fake->release();
    });
    mustFinishWithin(5000, "stopping the icon cache", [&] { cache.stop(); });
    opener.join();

    EXPECT_EQ(fake->requests().size(), 1u) << "queued requests are not fetched";
    ASSERT_EQ(fake->icons().size(), 1u);
    EXPECT_FALSE(iconAlive(fake->icons()[0]));
    EXPECT_EQ(cache.size(), 0u);
    EXPECT_EQ(cache.lookup("file.1", false, 16), nullptr);
    ::Sleep(50);
    EXPECT_EQ(fake->requests().size(), 1u) << "a stopped cache fetches nothing";
}

namespace {

// The search window's strip with its edit box, which the list hangs under.
class IconListTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        core->loadPrefs(nullptr);
        WNDCLASSA wc{};
        wc.lpfnWndProc = ::DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "VxIconListTestHost";
        ::RegisterClassA(&wc);
        host = ::CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 100, 100, 400, 24, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        edit = ::CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 0, 0, 400, 24, host, nullptr,
                                 wc.hInstance, nullptr);
        fake = new FakeIcons(true);
        list.getIconCache().useSource(std::unique_ptr<VIconSource>(fake));
        ASSERT_TRUE(list.create(host, edit, nullptr));
    }
    void TearDown() override {
        fake->release();
        list.clear();
        list.getIconCache().stop();
        ::DestroyWindow(host);
        CoreTest::TearDown();
    }

    void addPrograms(int count) {
        std::vector<VElement*> rows;
        for (int i = 0; i < count; ++i) {
            auto* file = VFileResult::createInstance(nullptr);
            file->setFile("C:\\apps\\program" + std::to_string(i) + ".exe");
            rows.push_back(file);
        }
        list.addElements(rows.data(), count);
    }

    // The rows on show, as WM_PRINTCLIENT draws them: per row, how many pixels of its icon column
    // have the fetched icon's colour and how many differ from the row's background.
    struct IconColumn {
        int fetched = 0;
        int drawn = 0;
    };
    std::vector<IconColumn> printIcons() {
        RECT client;
        ::GetClientRect(list.getHwnd(), &client);
        Canvas canvas(client.right, client.bottom);
        canvas.printClient(list.getHwnd());
        std::vector<IconColumn> rows;
        const int h = list.getRowHeight();
        const int column = ::GetSystemMetrics(SM_CXSMICON) + 2;
        for (int top = 0; top + h <= client.bottom; top += h) {
            IconColumn row;
            // Between the icon and the text: the row's own background.
            const COLORREF background = canvas.at(column + 1, top + h - 1);
            for (int y = top; y < top + h; ++y) {
                for (int x = 0; x < column; ++x) {
                    row.fetched += canvas.at(x, y) == kFetchedColour ? 1 : 0;
                    row.drawn += canvas.at(x, y) != background ? 1 : 0;
                }
            }
            rows.push_back(row);
        }
        return rows;
    }

    HWND host = nullptr;
    HWND edit = nullptr;
    FakeIcons* fake = nullptr;
    VElementListCtrl list;
};

// Ends the test program if the window thread has not left the scope in time: a paint that waited for
// the blocked fetcher would otherwise hang the whole run.
class WindowThreadDeadline {
public:
    explicit WindowThreadDeadline(DWORD ms) : done(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        watcher = std::thread([this, ms] {
            if (::WaitForSingleObject(done, ms) != WAIT_OBJECT_0)
                endHungTest("painting while the icon fetcher is blocked");
        });
    }
    ~WindowThreadDeadline() {
        ::SetEvent(done);
        watcher.join();
        ::CloseHandle(done);
    }

private:
    HANDLE done;
    std::thread watcher;
};

} // namespace

TEST_F(IconListTest, TwoHundredProgramRowsDrawTheGenericIconWhileTheFetcherIsBlockedThenTheirOwn) {
    const int icon = ::GetSystemMetrics(SM_CXSMICON);
    addPrograms(200);
    ASSERT_GE(list.getVisibleRows(), 10);
    {
        WindowThreadDeadline deadline(5000);
        for (int row = 0; row < 200; row += list.getVisibleRows()) {
            list.select(row);
            for (const IconColumn& shown : printIcons()) {
                EXPECT_EQ(shown.fetched, 0);
                EXPECT_GT(shown.drawn, icon) << "the generic icon";
            }
        }
        list.select(199);
        printIcons();
    }
    EXPECT_EQ(fake->requests().size(), 1u) << "the fetcher is still held in its first call";
    EXPECT_GE(list.getIconCache().pending(), 150u);

    fake->release();
    ASSERT_TRUE(fake->waitFor(200, true));
    ::Sleep(50);
    // One message for all of them, and the rows are drawn again.
    int notices = 0;
    ::ValidateRect(list.getHwnd(), nullptr);
    MSG msg;
    while (::PeekMessageW(&msg, list.getHwnd(), UM_ICONSFETCHED, UM_ICONSFETCHED, PM_REMOVE)) {
        ++notices;
        ::DispatchMessageW(&msg);
    }
    EXPECT_EQ(notices, 1);
    EXPECT_TRUE(::GetUpdateRect(list.getHwnd(), nullptr, FALSE));
    for (const IconColumn& shown : printIcons())
        EXPECT_EQ(shown.fetched, icon * icon) << "the program's own icon";
    EXPECT_EQ(fake->requests().size(), 200u);
}

TEST_F(IconListTest, ClearingTheListDropsTheIconRequestsOfItsRows) {
    addPrograms(40);
    list.select(39);
    printIcons();
    ASSERT_TRUE(fake->waitFor(1));
    EXPECT_GT(list.getIconCache().pending(), 0u);
    list.clear();
    EXPECT_EQ(list.getIconCache().pending(), 0u);
    fake->release();
    ASSERT_TRUE(fake->waitFor(1, true));
    ::Sleep(50);
    EXPECT_EQ(fake->requests().size(), 1u) << "only the fetch under way ends";
}

namespace {

std::vector<COLORREF> shellPixels(const std::wstring& name, bool byType) {
    VShellIconSource shell;
    VIconRequest request;
    request.name = name;
    request.byType = byType;
    request.size = ::GetSystemMetrics(SM_CXSMICON);
    HICON icon = shell.fetch(request);
    EXPECT_NE(icon, nullptr) << std::string(name.begin(), name.end());
    if (!icon)
        return {};
    // Drawn on white.
    Canvas canvas(request.size, request.size);
    ::DrawIconEx(canvas.dc, 0, 0, icon, request.size, request.size, 0, nullptr, DI_NORMAL);
    ::DestroyIcon(icon);
    std::vector<COLORREF> pixels;
    for (int i = 0; i < request.size * request.size; ++i)
        pixels.push_back(canvas.at(i % request.size, i / request.size));
    return pixels;
}

} // namespace

TEST(ShellIcons, AProgramShowsItsOwnIconAndOneThatIsGoneItsTypes) {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring folder = std::wstring(windows) + L"\\";
    const std::vector<COLORREF> programType = shellPixels(L"file.exe", true);
    const std::vector<COLORREF> notepad = shellPixels(folder + L"notepad.exe", false);
    const std::vector<COLORREF> regedit = shellPixels(folder + L"regedit.exe", false);
    EXPECT_NE(notepad, programType);
    EXPECT_NE(notepad, regedit);
    EXPECT_EQ(shellPixels(folder + L"no such program.exe", false), programType);
    ::CoUninitialize();
}
