#pragma once
// A started core without plug-ins, an Explorer plug-in object, the user's Favorites folder pointed at a
// temporary folder, and the URL-history service replaced by a fake: Wine's enumerator answers E_NOTIMPL.
//
// The fake is as strict as a careful service: it refuses a record whose size is not this platform's, and
// hands out its strings from the task allocator. A malloc spy sees them freed.
#include "support/CoreFixture.h"
#include "support/FavoritesFolder.h"
#include "support/TempFolder.h"

#include "ExplorerPlugin.h"
#include "ExplorerUrlList.h"

#include <objidl.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>

struct FakeVisit {
    std::wstring url;
    const wchar_t* title;                       // null: the record has no title
    FILETIME expires{0xFFFFFFFFu, 0xFFFFFFFFu}; // beyond what converts, unless a test says otherwise
};

// What the fake service lists and how it fails, and what it saw. Shared with the worker threads.
struct FakeHistory {
    static FakeHistory& state() {
        static FakeHistory s;
        return s;
    }
    void reset() {
        std::lock_guard<std::mutex> hold(lock);
        visits.clear();
        createResult = S_OK;
        enumResult = S_OK;
        failAfter = -1;
        endless = false;
        creations = 0;
        creationsWithCom = 0;
        recordsHandedOut = 0;
        wrongSizes = 0;
    }
    std::mutex lock;
    std::vector<FakeVisit> visits;
    HRESULT createResult = S_OK;
    HRESULT enumResult = S_OK;
    int failAfter = -1;   // Next fails once this many records were handed out
    bool endless = false; // after the visits, "http://endless.example/N" for ever, 1 ms apart
    std::atomic<int> creations{0};
    std::atomic<int> creationsWithCom{0};
    std::atomic<int> recordsHandedOut{0};
    std::atomic<int> wrongSizes{0};
    std::atomic<int> liveObjects{0};
};

// Every string the fake handed out and the spy has not seen freed yet.
class StringLedger : public IMallocSpy {
public:
    static StringLedger& instance() {
        static StringLedger ledger;
        return ledger;
    }
    // Registers the spy once for the process: a spy cannot leave while spied blocks are alive.
    void install() {
        static const HRESULT registered = ::CoRegisterMallocSpy(this);
        EXPECT_EQ(registered, S_OK);
    }
    void handedOut(void* p) {
        std::lock_guard<std::mutex> hold(lock);
        outstanding.insert(p);
    }
    std::size_t unfreed() {
        std::lock_guard<std::mutex> hold(lock);
        return outstanding.size();
    }
    void forget() {
        std::lock_guard<std::mutex> hold(lock);
        outstanding.clear();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IMallocSpy) {
            *out = static_cast<IMallocSpy*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override { return size; }
    void* STDMETHODCALLTYPE PostAlloc(void* p) override { return p; }
    void* STDMETHODCALLTYPE PreFree(void* p, BOOL) override {
        std::lock_guard<std::mutex> hold(lock);
        outstanding.erase(p);
        return p;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* p, SIZE_T size, void** out, BOOL) override {
        *out = p;
        return size;
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

class FakeEnumerator : public IEnumSTATURL {
public:
    FakeEnumerator() { ++FakeHistory::state().liveObjects; }
    virtual ~FakeEnumerator() { --FakeHistory::state().liveObjects; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IEnumSTATURL) {
            *out = static_cast<IEnumSTATURL*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, STATURL* record, ULONG* fetched) override {
        FakeHistory& s = FakeHistory::state();
        if (fetched)
            *fetched = 0;
        if (count != 1 || !record)
            return E_INVALIDARG;
        if (record->cbSize != sizeof(STATURL)) {
            ++s.wrongSizes;
            return E_INVALIDARG;
        }
        std::wstring url;
        const wchar_t* title = nullptr;
        FILETIME expires{};
        {
            std::lock_guard<std::mutex> hold(s.lock);
            if (s.failAfter >= 0 && position >= static_cast<std::size_t>(s.failAfter))
                return E_FAIL;
            if (position < s.visits.size()) {
                url = s.visits[position].url;
                title = s.visits[position].title;
                expires = s.visits[position].expires;
            } else if (s.endless) {
                ::Sleep(1);
                url = L"http://endless.example/" + std::to_wstring(position);
            } else {
                return S_FALSE;
            }
        }
        ++position;
        record->pwcsUrl = copy(url.c_str());
        record->pwcsTitle = title ? copy(title) : nullptr;
        // 1 January 2020, 12:00 UTC.
        record->ftLastVisited = {0xFE39E000u, 0x01D5C09Au};
        record->ftLastUpdated = record->ftLastVisited;
        record->ftExpires = expires;
        record->dwFlags = 0;
        ++s.recordsHandedOut;
        *fetched = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reset() override {
        position = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumSTATURL** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetFilter(LPCOLESTR, DWORD) override { return S_OK; }

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

class FakeUrlHistory : public IUrlHistoryStg2 {
public:
    FakeUrlHistory() { ++FakeHistory::state().liveObjects; }
    virtual ~FakeUrlHistory() { --FakeHistory::state().liveObjects; }

    // The factory the plug-in is given: notes whether the calling thread holds COM, as the real
    // service would need.
    static HRESULT create(IUrlHistoryStg2** out) {
        FakeHistory& s = FakeHistory::state();
        ++s.creations;
        const HRESULT probe = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (probe == S_FALSE || probe == RPC_E_CHANGED_MODE)
            ++s.creationsWithCom;
        if (SUCCEEDED(probe))
            ::CoUninitialize();
        *out = nullptr;
        if (FAILED(s.createResult))
            return s.createResult;
        *out = new FakeUrlHistory();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IUrlHistoryStg || iid == IID_IUrlHistoryStg2) {
            *out = static_cast<IUrlHistoryStg2*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE AddUrl(LPCOLESTR, LPCOLESTR, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteUrl(LPCOLESTR, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryUrl(LPCOLESTR, DWORD, LPSTATURL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BindToObject(LPCOLESTR, REFIID, void** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE EnumUrls(IEnumSTATURL** out) override {
        *out = nullptr;
        if (FAILED(FakeHistory::state().enumResult))
            return FakeHistory::state().enumResult;
        *out = new FakeEnumerator();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AddUrlAndNotify(LPCOLESTR, LPCOLESTR, DWORD, BOOL, IOleCommandTarget*,
                                              IUnknown*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ClearHistory() override { return E_NOTIMPL; }

private:
    std::atomic<ULONG> refs{1};
};

class ExplorerTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        // The window thread of the program holds OLE; so does this one.
        ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
        StringLedger::instance().install();
        StringLedger::instance().forget();
        FakeHistory::state().reset();
        previousFactory = CExplorerUrlList::setHistoryFactory(&FakeUrlHistory::create);
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
        EXPECT_EQ(FakeHistory::state().liveObjects.load(), 0) << "a history object was not released";
        EXPECT_EQ(StringLedger::instance().unfreed(), 0u) << "history strings were not freed";
        CoreTest::TearDown();
        ::CoUninitialize();
    }

    bool writeFavorite(const std::string& relative, const std::string& url) {
        return temp.writeFile("Favorites\\" + relative, FavoritesFolder::shortcut(url));
    }
    void addVisit(const wchar_t* url, const wchar_t* title) {
        FakeHistory::state().visits.push_back({url, title});
    }
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
