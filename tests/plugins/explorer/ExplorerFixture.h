#pragma once
// A started core without plug-ins, an Explorer plug-in object, the user's Favorites folder pointed at a
// temporary folder, and the URL-history service replaced by a fake: Wine's enumerator answers E_NOTIMPL.
// The fake is as strict as a careful service: it refuses a record not sized for this platform, and hands
// out its strings from the task allocator, where a malloc spy sees them freed.
#include "support/CoreFixture.h"
#include "support/FavoritesFolder.h"
#include "support/TempFolder.h"

#include "ExplorerPlugin.h"
#include "ExplorerUrlList.h"
#include "util/CacheFile.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <set>

struct FakeVisit {
    std::wstring url;
    const wchar_t* title;                       // null: the record has none
    FILETIME expires{0xFFFFFFFFu, 0xFFFFFFFFu}; // beyond what converts, unless a test says otherwise
};

// What the fake lists, how it fails, and what it saw.
struct FakeHistoryState {
    std::vector<FakeVisit> visits;
    HRESULT createResult = S_OK;
    HRESULT enumResult = S_OK;
    int failAfter = -1;   // Next fails once this many records were handed out
    bool endless = false; // after the visits, "http://endless.example/N" for ever, 1 ms apart
    std::atomic<int> creations{0}, creationsWithCom{0}, recordsHandedOut{0}, wrongSizes{0}, alive{0};
};
inline std::unique_ptr<FakeHistoryState> fakeHistory;

// The task-allocator strings the fake handed out that nobody has freed yet.
class StringLedger : public IMallocSpy {
public:
    static StringLedger& instance() {
        static StringLedger ledger;
        // Once for the process: a spy cannot leave while blocks allocated under it are alive.
        static const HRESULT registered = ::CoRegisterMallocSpy(&ledger);
        EXPECT_EQ(registered, S_OK);
        return ledger;
    }
    void handedOut(void* p) {
        std::lock_guard<std::mutex> hold(lock);
        outstanding.insert(p);
    }
    std::size_t unfreed() {
        std::lock_guard<std::mutex> hold(lock);
        return outstanding.size();
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown || iid == IID_IMallocSpy ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    void* STDMETHODCALLTYPE PreFree(void* p, BOOL) override {
        std::lock_guard<std::mutex> hold(lock);
        outstanding.erase(p);
        return p;
    }
    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override { return size; }
    void* STDMETHODCALLTYPE PostAlloc(void* p) override { return p; }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* p, SIZE_T size, void** out, BOOL) override {
        return *out = p, size;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* p, BOOL) override { return p; }
    void* STDMETHODCALLTYPE PreGetSize(void* p, BOOL) override { return p; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T size, BOOL) override { return size; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* p, BOOL) override { return p; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int result) override { return result; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}

private:
    std::mutex lock;
    std::set<void*> outstanding;
};

// The service and its enumerator in one object: EnumUrls hands out the object itself.
class FakeUrlHistory : public IUrlHistoryStg2, public IEnumSTATURL {
public:
    // The factory the plug-in is given. Notes whether the calling thread holds COM, as the real
    // service needs.
    static HRESULT create(IUrlHistoryStg2** out) {
        ++fakeHistory->creations;
        const HRESULT probe = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        fakeHistory->creationsWithCom += probe == S_FALSE || probe == RPC_E_CHANGED_MODE;
        if (SUCCEEDED(probe))
            ::CoUninitialize();
        *out = SUCCEEDED(fakeHistory->createResult) ? new FakeUrlHistory() : nullptr;
        return fakeHistory->createResult;
    }
    FakeUrlHistory() { ++fakeHistory->alive; }
    virtual ~FakeUrlHistory() { --fakeHistory->alive; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown || iid == IID_IUrlHistoryStg || iid == IID_IUrlHistoryStg2
                   ? static_cast<IUrlHistoryStg2*>(this)
                   : nullptr;
        return *out ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE EnumUrls(IEnumSTATURL** out) override {
        *out = SUCCEEDED(fakeHistory->enumResult) ? (AddRef(), static_cast<IEnumSTATURL*>(this)) : nullptr;
        return fakeHistory->enumResult;
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, STATURL* record, ULONG* fetched) override {
        FakeHistoryState& s = *fakeHistory;
        *fetched = 0;
        if (count != 1 || record->cbSize != sizeof(STATURL))
            return ++s.wrongSizes, E_INVALIDARG;
        if (s.failAfter >= 0 && position >= static_cast<std::size_t>(s.failAfter))
            return E_FAIL;
        FakeVisit visit{L"http://endless.example/" + std::to_wstring(position), nullptr};
        if (position < s.visits.size())
            visit = s.visits[position];
        else if (s.endless)
            ::Sleep(1);
        else
            return S_FALSE;
        ++position;
        record->pwcsUrl = copy(visit.url.c_str());
        record->pwcsTitle = visit.title ? copy(visit.title) : nullptr;
        record->ftLastVisited = record->ftLastUpdated = {0xFE39E000u, 0x01D5C09Au}; // noon, 1 January 2020
        record->ftExpires = visit.expires;
        ++s.recordsHandedOut;
        *fetched = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() override { return position = 0, S_OK; }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumSTATURL** out) override { return *out = nullptr, E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetFilter(LPCOLESTR, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE AddUrl(LPCOLESTR, LPCOLESTR, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteUrl(LPCOLESTR, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryUrl(LPCOLESTR, DWORD, LPSTATURL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BindToObject(LPCOLESTR, REFIID, void** out) override {
        return *out = nullptr, E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE AddUrlAndNotify(LPCOLESTR, LPCOLESTR, DWORD, BOOL, IOleCommandTarget*,
                                              IUnknown*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ClearHistory() override { return E_NOTIMPL; }

private:
    static wchar_t* copy(const wchar_t* text) {
        const std::size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
        auto* out = static_cast<wchar_t*>(::CoTaskMemAlloc(bytes));
        memcpy(out, text, bytes);
        StringLedger::instance().handedOut(out);
        return out;
    }
    std::atomic<ULONG> refs{1};
    std::size_t position = 0;
};

class ExplorerTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        // The program's window thread holds OLE; so does this one.
        ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
        StringLedger::instance();
        fakeHistory = std::make_unique<FakeHistoryState>();
        previousFactory = CExplorerUrlList::setHistoryFactory(&FakeUrlHistory::create);
        // Caches kept between runs go to a folder of the test's own: one test's never serves the next.
        ASSERT_TRUE(temp.makeDir("cache"));
        vx::setCacheFolder(temp.sub("cache\\"));
        ASSERT_TRUE(temp.makeDir("Favorites"));
        favorites = std::make_unique<FavoritesFolder>(temp.sub("Favorites"));
        listener = new CollectingListener();
        core->registerResultListener(listener);
        plugin = new VExplorerPlugin();
    }
    void TearDown() override {
        core->unregisterPlugin(plugin);
        plugin->deleteThis();
        favorites.reset();
        CExplorerUrlList::setHistoryFactory(previousFactory);
        vx::setCacheFolder(std::string());
        EXPECT_EQ(fakeHistory->alive.load(), 0) << "a history object was not released";
        EXPECT_EQ(StringLedger::instance().unfreed(), 0u) << "history strings were not freed";
        CoreTest::TearDown();
        ::CoUninitialize();
    }

    bool writeFavorite(const std::string& relative, const std::string& url) {
        return temp.writeFile("Favorites\\" + relative, FavoritesFolder::shortcut(url));
    }
    void addVisit(const wchar_t* url, const wchar_t* title) { fakeHistory->visits.push_back({url, title}); }
    // Waits for every cache the plug-in's indexers were asked to build.
    void waitForCaches() { EXPECT_TRUE(core->waitForCaches(10000)) << "a cache was not built in time"; }
    std::set<std::string> search(const std::string& text) {
        listener->clear();
        uint32_t id = 0;
        core->startSeach(text, id);
        EXPECT_TRUE(waitForWorkers());
        core->cancelSearch(id);
        std::vector<std::string> texts = listener->texts();
        return std::set<std::string>(texts.begin(), texts.end());
    }

    TempFolder temp;
    std::unique_ptr<FavoritesFolder> favorites;
    VExplorerPlugin* plugin = nullptr;
    CollectingListener* listener = nullptr;
    CExplorerUrlList::HistoryFactory previousFactory = nullptr;
};

using Names = std::set<std::string>;
