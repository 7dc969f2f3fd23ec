#pragma once
// Fakes that live in their own DLL, like a plug-in's objects, with live-object counters.
#include "engine/VIndexer.h"
#include "engine/VPlugin.h"
#include "model/VResult.h"

#include <atomic>
#include <string>
#include <vector>

#ifdef VX_FAKES_BUILD
#define VX_FAKES_API __declspec(dllexport)
#else
#define VX_FAKES_API __declspec(dllimport)
#endif

struct VX_FAKES_API FakeCounters {
    static std::atomic<long> actions;
    static std::atomic<long> results;
    static std::atomic<long> indexers;
    static std::atomic<long> plugins;
    static std::atomic<long> searchesFinished;
    static std::atomic<long> searchesCancelled;
    // Caches actually built (cached mode), however many updateCache calls asked for one.
    static std::atomic<long> cacheBuilds;
    // Rebuilds that noticed their search's cancel flag and kept the old cache.
    static std::atomic<long> rebuildsCutShort;
    static void reset();
    // A log of what test plug-ins did, in order ("start:alpha", "destroy:alpha", ...).
    static void log(const std::string& event);
    static std::vector<std::string> events();
};

class VX_FAKES_API FakePlugin : public VPlugin {
public:
    FakePlugin();
    ~FakePlugin() override;
    std::string getName() override { return "Fake"; }
    std::string getDescription() override { return "Fake extension"; }
    std::string getAuthor() override { return "Tests"; }
    std::string getVersion() override { return "1.0"; }
};

class VX_FAKES_API FakeResult : public VResult {
public:
    FakeResult(VPlugin* plugin, const std::string& name);
    FakeResult(const FakeResult& other);
    ~FakeResult() override;
    std::string getDisplayText() const override { return text.getValue(); }
    std::string getDisplayText1() const override { return text.getValue(); }
    std::string getDisplayText2() const override { return "fake"; }
    bool select() override { return true; }

private:
    VProperty text;
};

// Searches a list of names. Cached mode keeps FakeResults and the names lower-cased in the cache; live
// mode matches the names as given. Options make a search slow or endless, for cancellation tests.
class VX_FAKES_API NameIndexer : public VIndexer {
public:
    NameIndexer(VPlugin* plugin, std::vector<std::string> names);
    ~NameIndexer() override;
    bool reservedFlag() override { return false; }
    void updateCache() override;
    // Reports a changed source until the next cache build, as a file-backed source whose file changed.
    void markSourceChanged() { sourceChanged.store(true); }
    bool isCacheStale() const override { return sourceChanged.load(); }
    // Spin this many microseconds per candidate.
    void setCandidateDelayMicros(int micros) { delayMicros = micros; }
    // Spin this many microseconds per name while the cache is built; the build checks its search's
    // cancel flag at every name and keeps the old cache when it is cut short.
    void setRebuildDelayMicros(int micros) { rebuildDelayMicros = micros; }
    // Every cache build first waits for this event, whatever its search's cancel flag says, as a
    // source stuck in a slow disk or network would; null for none.
    void setRebuildGate(HANDLE event) { rebuildGate = event; }
    // Builds that are waiting at the gate, or have passed it.
    long rebuildsAtTheGate() const { return atGate.load(); }
    // Keep going over the names until cancelled.
    void setEndless(bool value) { endless = value; }
    // Throw std::bad_alloc from the worker after this many candidates (results built so far included).
    void setThrowAfter(int candidates) { throwAfter = candidates; }
    // Read the core's registry (its reader lock) at every candidate, as a source that looks up actions.
    void setReadsCoreRegistry(bool value) { readsCoreRegistry = value; }
    // Empty the cache first thing on the worker, as a source that notices its data changed.
    void setClearsCacheOnWorker(bool value) { clearsCacheOnWorker = value; }
    // Times a worker of this indexer started; and how many of those started while the indexer
    // already knew the worker's thread id.
    long workersStarted() const { return started.load(); }
    long workersThatKnewTheirId() const { return knewId.load(); }
    // The thread that ran the last search.
    DWORD lastSearchThread() const { return searchThread.load(); }
    uint32_t lastSearchId() const { return searchId; }
    const std::vector<std::string>& lastTokens() const { return tokens; }
    // The query the last search ran with (it lives as long as the indexer keeps it: until the next one).
    const VSearchQuery* lastQuery() const { return queryUsed.load(); }

protected:
    void search() override;

private:
    std::vector<std::string> names;
    // Cached names lower-cased into one buffer, as a real cache keeps them: no allocation per name.
    std::string loweredNames;
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    std::atomic<int> delayMicros{0};
    std::atomic<int> rebuildDelayMicros{0};
    std::atomic<HANDLE> rebuildGate{nullptr};
    std::atomic<long> atGate{0};
    std::atomic<bool> endless{false};
    std::atomic<int> throwAfter{-1};
    std::atomic<bool> readsCoreRegistry{false};
    std::atomic<bool> clearsCacheOnWorker{false};
    std::atomic<long> started{0};
    std::atomic<bool> sourceChanged{false};
    std::atomic<long> knewId{0};
    std::atomic<DWORD> searchThread{0};
    std::atomic<const VSearchQuery*> queryUsed{nullptr};
};

// Exposes the protected matching state so tests can drive match() without a worker.
class VX_FAKES_API MatchProbe : public VIndexer {
public:
    MatchProbe() : VIndexer(nullptr) {}
    bool reservedFlag() override { return false; }
    void prepare(const std::string& text);
    const std::vector<std::string>& getTokens() const { return tokens; }
    const std::string& getSearchString() const { return searchString; }
    using VIndexer::matchPrepared;
    using VIndexer::rankKeyFor;
    using VIndexer::rankMatch;
    using VIndexer::resultsLimit;

protected:
    void search() override {}
};
