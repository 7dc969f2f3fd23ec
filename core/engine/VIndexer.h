#pragma once
// One searchable source. Each search runs on a worker thread of the indexer's own; subclasses supply
// the search itself and use the shared matching rules, so the search options mean the same everywhere.
#include "VxApi.h"
#include "engine/VSearchQuery.h"
#include "util/Win32Handle.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

class VPlugin;
class VResult;

// The results one search collects before it hands them on. The batch owns them until deliver, so a
// search that is cancelled, or that throws (a bad_alloc halfway through a large walk), destroys what
// it built just by leaving its scope.
class VX_CORE_API VResultBatch {
public:
    VResultBatch() = default;
    ~VResultBatch() { clear(); }
    VResultBatch(const VResultBatch&) = delete;
    VResultBatch& operator=(const VResultBatch&) = delete;

    // Takes ownership. When the batch cannot grow, the result is destroyed and the bad_alloc goes on.
    void add(VResult* result);
    // Hands every result to the core for that search (the core destroys stale ones), and tells it of
    // more results found beyond them (the source's per-search limit); leaves it empty.
    void deliver(uint32_t searchId, uint64_t more = 0);
    // Destroys every result held.
    void clear();
    std::size_t size() const { return results.size(); }
    bool empty() const { return results.empty(); }

private:
    std::vector<VResult*> results;
};

class VX_CORE_API VIndexer {
public:
    explicit VIndexer(VPlugin* plugin);
    VIndexer(const VIndexer&) = delete;
    VIndexer& operator=(const VIndexer&) = delete;
    // Stops the worker (a safeguard: deleteThis already did, before the subclass's members went away)
    // and clears the cache.
    virtual ~VIndexer();

    // Loads the source and builds the first cache; false when the source cannot be used.
    virtual bool init() { return true; }
    virtual bool reservedFlag() = 0;
    // Rebuilds the cache. Overrides call clearCache first, which stops a running worker.
    virtual void updateCache() {}
    // True when the source changed since the cache was built (a cheap check: a file's size and time);
    // the worker then rebuilds the cache before a cached search.
    virtual bool isCacheStale() const { return false; }
    virtual int getMinSearchStringLength() const;
    virtual bool isCancelled() const { return cancelled.load(std::memory_order_relaxed); }
    // The whole search string found in text (at its start with the start-only option); URL rules apply
    // when isUrl is true. Does not allocate for texts up to a few hundred bytes.
    virtual bool match(const std::string& text, bool isUrl) const;
    // True when one of the words starts with one of the tokens.
    virtual bool matchMultiple(const std::vector<std::string>& words) const;
    // A person's name: one token starts either part, or two tokens start both parts.
    virtual bool matchName(const std::string& first, const std::string& second) const;
    // The host between "://" and the next "/", or empty when either is missing.
    virtual std::string extractDomain(const std::string& url) const;
    // Destroys every cached result. Called from any thread but the worker, it stops the worker first.
    virtual void clearCache();
    // Splits on spaces, with double-quoted phrases; empty tokens are dropped.
    virtual void tokenizeSearchString(const std::string& text);
    // What this indexer searches, in words a user recognises (a folder, a file); empty when it has
    // nothing to say. Tools print it when a search finds nothing.
    virtual std::string getSourceDescription() const { return std::string(); }
    // What the last build had to do, for a tool's standard error ("built the cache of C:\x: 12,345
    // files in 2.1 s"); empty when it only loaded a kept cache or brought one up to date.
    virtual std::string getCacheNote() const { return std::string(); }

    // Asks for the cache to be rebuilt on the indexer's builder thread (started on first use, joined
    // by stopWorker) and returns at once: searches go on over the cache they have. A request made while
    // a build runs makes one more build after it. Any thread.
    void requestRebuild();
    // Waits until no build is asked for or running; true when that came within ms. Not on the builder.
    bool waitForRebuild(DWORD ms = INFINITE) const;

    VPlugin* getPlugin() const { return plugin; }
    // Stops the running search at its next check, and drops a search still waiting for its turn.
    void cancelSearch();
    // Stops the worker and destroys the indexer inside the library that holds its class's code.
    void deleteThis();
    // Cancels the running search and hands the new one to the indexer's worker without waiting for
    // anything: the worker takes it once its running search has ended, the calling (window) thread
    // never waits. Main thread.
    void liveSearch(uint32_t id, const std::string& text);
    // The same with the query the core made for this search (VVerbinoxCore::makeQuery), which every
    // indexer of one search shares; the overload above makes one of its own.
    void liveSearch(uint32_t id, const std::string& text, VSearchQueryPtr query);
    // Sets the cancel flag, waits for the worker and the builder to end and closes their handles.
    // Owner's thread only.
    void stopWorker();
    // True while the worker has a search to run or is running one.
    bool isWorkerRunning() const;
    // Workers of the whole process that have a search to run or are running one, for diagnostics and
    // tests.
    static long getRunningWorkerCount();
    // Indexers alive in the whole process, for diagnostics and tests.
    static long getLiveIndexerCount();
    static unsigned __stdcall threadFunc(void* indexer);

protected:
    // The body of a search, run on the worker: check isCancelled at every candidate, collect new
    // results (in a VResultBatch), and at the end hand them to the core's addResults (or destroy them
    // when cancelled). Whatever it throws is caught at the thread's edge and ends the search as if it
    // had been cancelled; it must leave nothing it built behind.
    virtual void search() = 0;
    // Run on the builder for each request. The default takes the search turn (searches wait for it; the
    // window never does) and calls updateCache. Overrides build a whole new cache aside and swap it in,
    // so a search keeps the cache it started with, and poll stop: true once the indexer is being
    // stopped. A build cut short keeps the old cache.
    virtual void rebuild(const std::function<bool()>& stop);
    // While idle the builder calls follow every followInterval milliseconds (INFINITE: never): the place
    // to check a source that changes by itself and apply what changed.
    virtual DWORD followInterval() const { return INFINITE; }
    virtual void follow(const std::function<bool()>&) {}
    // True on this indexer's builder thread.
    bool isBuilderThread() const { return builderId.load() == ::GetCurrentThreadId(); }
    bool getLiveSearching() const;
    // The running search's query: set before search() runs and kept for its whole run. Worker only.
    const VSearchQuery& getQuery() const;
    // How a candidate's name meets the running search. name is the text as stored; prepared is the
    // cache's VSearchQuery::prepareText(name) copy, or empty to have one made here. Case-sensitive
    // searches compare name itself; with accent folding off a name outside ASCII is compared
    // lower-cased only. Worker only.
    VSearchQuery::Match rankMatch(std::string_view name, std::string_view prepared) const;
    // The key of a result with these traits, or 0 (arrival order) while ranking is off.
    VRankKey rankKeyFor(const VSearchQuery::Candidate& candidate) const;
    // The most results this source hands on for one search: the core's per-source limit.
    std::size_t resultsLimit() const;
    // match for a text that is already lower-cased (or for case-sensitive searches, as stored): what a
    // cache of lower-cased names calls to skip the copy. A name outside ASCII is folded here when the
    // search folds accents (folding is idempotent, so a folded cache copy is fine too).
    bool matchPrepared(std::string_view text) const;
    // Hands the query to this indexer as a search's worker would: for probes that call match directly.
    void setQuery(VSearchQueryPtr fresh);
    // The cancel flag without a virtual call, for the same loops.
    bool cancelRequested() const { return cancelled.load(std::memory_order_relaxed); }
    // True on the worker that runs this indexer's search, from before its first step to its end.
    bool isWorkerThread() const { return threadId.load() == ::GetCurrentThreadId(); }
    // What a cache rebuild polls: on a search's worker, true once that search was cancelled; on the
    // builder, once the indexer is being stopped. A rebuild on the owner's thread is never cut short:
    // the flag there still tells of the search stopped before it.
    bool rebuildCancelled() const {
        return (isWorkerThread() && isCancelled()) || (isBuilderThread() && builderStop.load());
    }

    uint32_t searchId = 0;
    std::string searchString;
    std::vector<std::string> tokens;
    std::vector<VResult*> cache;

private:
    struct Request;
    // The worker's loop: sleeps until a request comes, takes the newest and runs it, until told to quit.
    void runWorker();
    // Runs one request taken from the queue.
    void runRequest(const Request& mine);
    void startLiveSearch();
    static unsigned __stdcall builderFunc(void* indexer);
    void runBuilder();
    // Tells the builder to stop, then (after the workers have ended) joins it.
    void signalBuilderStop();
    void joinBuilder();
    static bool startOnlyOption();
    // What matchPrepared does without a query: the whole search string, as before queries existed.
    bool matchSearchString(std::string_view text) const;

    // The worker: one thread per indexer, made by its first search and kept, so a keystroke starts no
    // thread. Created, joined and closed only by the owner's thread.
    vx::CThread worker;
    // Held by the worker for the whole of a search, and by a build that must not run under one.
    vx::CCriticalSection turn;
    // Guards request, busy and quit, and orders the cancel flag's reset by the worker against a cancel.
    // Held only for a few instructions. A slim lock and a condition variable: under Wine neither asks
    // the wine server anything, so a keystroke never queues behind other threads' file work there.
    mutable SRWLOCK requestGuard = SRWLOCK_INIT;
    CONDITION_VARIABLE requestCame = CONDITION_VARIABLE_INIT;
    std::unique_ptr<Request> request; // the newest search not yet taken by the worker
    bool busy = false;                // a request waits or runs: counted in the process's workers
    bool quit = false;                // the worker is to end
    std::atomic<DWORD> threadId{0};   // the searching worker, set by itself
    VPlugin* plugin;
    std::atomic<bool> cancelled{false};
    // The running search's query, set by the worker before search() and read only by it.
    VSearchQueryPtr query;

    // The builder: one thread per indexer, made by the first request and kept (it follows the source)
    // until stopWorker joins it. buildMutex guards the flags and the handle; buildDone wakes waiters.
    mutable std::mutex buildMutex;
    mutable std::condition_variable buildDone;
    vx::CThread builder;
    vx::CHandle builderWake; // auto-reset: a request, or the stop
    bool rebuildAsked = false;
    bool building = false;
    std::atomic<bool> builderStop{false};
    std::atomic<DWORD> builderId{0};
};
