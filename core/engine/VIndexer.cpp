#include "engine/VIndexer.h"

#include "engine/VVerbinoxCore.h"
#include "model/VResult.h"
#include "util/VxText.h"

namespace {
std::atomic<long> runningWorkers{0};
std::atomic<long> liveIndexers{0};

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// A copy of a candidate text, lower-cased unless the search is case-sensitive, and folded when fold
// says so. Short ASCII texts stay on the stack, so matching a cache of file names allocates nothing
// per candidate.
class CandidateText {
public:
    CandidateText(const std::string& text, bool caseSensitive, bool fold = false) {
        if (caseSensitive) {
            view_ = text;
            return;
        }
        if (fold && !vx::isAscii(text)) {
            heap_ = VSearchQuery::prepared(text, true);
            view_ = heap_;
            return;
        }
        char* dst = local_;
        if (text.size() > sizeof(local_)) {
            heap_.resize(text.size());
            dst = &heap_[0];
        }
        vx::lowerInto(text.data(), text.size(), dst);
        view_ = std::string_view(dst, text.size());
    }
    std::string_view view() const { return view_; }

private:
    char local_[512];
    std::string heap_;
    std::string_view view_;
};

// A thread's copy of the candidate being matched, prepared as the query says. Its storage is reused,
// so matching a cache of names allocates only when a name is longer than every one before it.
std::string& scratch() {
    thread_local std::string text;
    return text;
}
} // namespace

// A search handed to a worker: what liveSearch was given.
struct VIndexer::Request {
    uint32_t id;
    std::string text;
    VSearchQueryPtr query;
};

VIndexer::VIndexer(VPlugin* plugin) : plugin(plugin) {
    ++liveIndexers;
}

VIndexer::~VIndexer() {
    stopWorker();
    clearCache();
    --liveIndexers;
}

void VIndexer::deleteThis() {
    // The worker runs the subclass's search: it must end before the subclass's members are destroyed.
    stopWorker();
    delete this;
}

int VIndexer::getMinSearchStringLength() const {
    return VVerbinoxCore::instance()->getSearchMinChars();
}

bool VIndexer::getLiveSearching() const {
    return VVerbinoxCore::instance()->getLiveSearching();
}

long VIndexer::getRunningWorkerCount() {
    return runningWorkers.load();
}

long VIndexer::getLiveIndexerCount() {
    return liveIndexers.load();
}

namespace {
class SlimLock {
public:
    explicit SlimLock(SRWLOCK& lock) : lock(lock) { ::AcquireSRWLockExclusive(&lock); }
    ~SlimLock() { ::ReleaseSRWLockExclusive(&lock); }
    SlimLock(const SlimLock&) = delete;
    SlimLock& operator=(const SlimLock&) = delete;

private:
    SRWLOCK& lock;
};
} // namespace

void VIndexer::cancelSearch() {
    SlimLock guard(requestGuard);
    request.reset();
    cancelled.store(true);
}

bool VIndexer::isWorkerRunning() const {
    SlimLock guard(requestGuard);
    return busy;
}

void VIndexer::stopWorker() {
    if (isBuilderThread()) {
        // A build that clears its own cache: the builder holds the turn, so no search reads the cache,
        // the worker waiting for the turn would never end, and the builder cannot join itself. The search
        // typed meanwhile must not be dropped either: it runs on the new cache.
        return;
    }
    // The builder hears first, so a worker waiting behind its build is not kept waiting for all of it.
    signalBuilderStop();
    {
        SlimLock guard(requestGuard);
        request.reset();
        cancelled.store(true);
        quit = true;
    }
    ::WakeConditionVariable(&requestCame);
    if (worker.IsCreated()) {
        worker.Wait();
        worker.Close();
    }
    {
        SlimLock guard(requestGuard);
        quit = false;
    }
    joinBuilder();
}

void VIndexer::requestRebuild() {
    std::lock_guard<std::mutex> hold(buildMutex);
    if (builderStop.load())
        return; // being stopped: the owner asks again once it has restarted whatever it stops for
    rebuildAsked = true;
    if (!builder.IsCreated()) {
        if (!builderWake.IsValid())
            builderWake.Attach(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
        if (!builderWake.IsValid() || !builder.Create(&VIndexer::builderFunc, this)) {
            // No thread to be had: the cache stays as it is, and nobody waits for a build that never comes.
            builder.Close();
            rebuildAsked = false;
            buildDone.notify_all();
            return;
        }
    }
    ::SetEvent(builderWake.Get());
}

bool VIndexer::waitForRebuild(DWORD ms) const {
    std::unique_lock<std::mutex> hold(buildMutex);
    auto idle = [this] { return !rebuildAsked && !building; };
    if (ms == INFINITE) {
        buildDone.wait(hold, idle);
        return true;
    }
    return buildDone.wait_for(hold, std::chrono::milliseconds(ms), idle);
}

void VIndexer::signalBuilderStop() {
    std::lock_guard<std::mutex> hold(buildMutex);
    if (!builder.IsCreated())
        return;
    builderStop.store(true);
    ::SetEvent(builderWake.Get());
}

void VIndexer::joinBuilder() {
    {
        // Said again: a search's worker may have started the builder after the first word.
        std::lock_guard<std::mutex> hold(buildMutex);
        if (!builder.IsCreated())
            return;
        builderStop.store(true);
        ::SetEvent(builderWake.Get());
    }
    builder.Wait();
    std::lock_guard<std::mutex> hold(buildMutex);
    builder.Close();
    builderStop.store(false);
    rebuildAsked = false;
    building = false;
    buildDone.notify_all();
}

unsigned __stdcall VIndexer::builderFunc(void* param) {
    static_cast<VIndexer*>(param)->runBuilder();
    return 0;
}

void VIndexer::runBuilder() {
    builderId.store(::GetCurrentThreadId());
    const std::function<bool()> stop = [this] { return builderStop.load(); };
    while (!builderStop.load()) {
        const DWORD woke = ::WaitForSingleObject(builderWake.Get(), followInterval());
        if (builderStop.load())
            break;
        bool build = false;
        {
            std::lock_guard<std::mutex> hold(buildMutex);
            build = rebuildAsked;
            rebuildAsked = false;
            building = build;
        }
        // Whatever a build or a check throws (out of memory half-way) ends that step, never the thread:
        // the cache it would have replaced stays.
        try {
            if (build)
                rebuild(stop);
            else if (woke == WAIT_TIMEOUT)
                follow(stop);
        } catch (...) {
        }
        if (build) {
            std::lock_guard<std::mutex> hold(buildMutex);
            building = false;
            buildDone.notify_all();
        }
    }
    builderId.store(0);
}

void VIndexer::rebuild(const std::function<bool()>&) {
    // A cache of results read in place by the search: no search may run while it changes.
    vx::CCriticalSectionLock myTurn(turn);
    updateCache();
}

void VIndexer::liveSearch(uint32_t id, const std::string& text) {
    liveSearch(id, text, VVerbinoxCore::instance()->makeQuery(text));
}

void VIndexer::liveSearch(uint32_t id, const std::string& text, VSearchQueryPtr fresh) {
    // The running search (it may be stuck in a source) is told to stop, and the new one is queued for the
    // worker, which takes it once that search has ended: the window thread never waits for a source.
    cancelSearch();
    if (!fresh)
        fresh = VVerbinoxCore::instance()->makeQuery(text);
    // Characters, not bytes: one CJK character is three bytes of UTF-8.
    if (static_cast<long long>(fresh->characterCount()) < getMinSearchStringLength())
        return;
    if (fresh->empty()) {
        // Nothing to search for. With no search under way nobody reads these, and they tell what was asked.
        if (!isWorkerRunning()) {
            searchId = id;
            searchString = fresh->phrase();
            tokens = fresh->words();
            query = std::move(fresh);
        }
        return;
    }
    std::unique_ptr<Request> next(new Request{id, text, std::move(fresh)});
    {
        SlimLock guard(requestGuard);
        request = std::move(next);
        // Counted before the worker sees it, so a search not yet taken is never missed; the worker
        // counts itself out once it finds nothing more to do.
        if (!busy) {
            busy = true;
            ++runningWorkers;
        }
    }
    ::WakeConditionVariable(&requestCame);
    if (worker.IsCreated())
        return;
    if (!worker.Create(&VIndexer::threadFunc, this)) {
        SlimLock guard(requestGuard);
        request.reset();
        busy = false;
        --runningWorkers;
    }
}

unsigned __stdcall VIndexer::threadFunc(void* param) {
    static_cast<VIndexer*>(param)->runWorker();
    return 0;
}

void VIndexer::runWorker() {
    for (;;) {
        std::unique_ptr<Request> mine;
        {
            SlimLock guard(requestGuard);
            while (!request && !quit) {
                if (busy) {
                    busy = false;
                    --runningWorkers;
                }
                ::SleepConditionVariableSRW(&requestCame, &requestGuard, INFINITE, 0);
            }
            if (quit) {
                if (busy) {
                    busy = false;
                    --runningWorkers;
                }
                return;
            }
            mine.swap(request);
            // Under the guard: a cancel that comes after this point stops this search, one before it
            // took the request away.
            cancelled.store(false);
        }
        try {
            runRequest(*mine);
        } catch (...) {
            // Anything that left a thread would end the whole process. The search's own objects were
            // destroyed on the way out; it ends as a cancelled one does, delivering nothing more.
            cancelled.store(true);
        }
    }
}

void VIndexer::runRequest(const Request& mine) {
    vx::CCriticalSectionLock myTurn(turn);
    struct SearchingThread {
        std::atomic<DWORD>& id;
        explicit SearchingThread(std::atomic<DWORD>& id) : id(id) { id.store(::GetCurrentThreadId()); }
        ~SearchingThread() { id.store(0); }
    } searching(threadId);
    searchId = mine.id;
    // The words and the phrase as the query prepared them (lower-cased and folded unless the search is
    // case-sensitive): what matchMultiple and matchName compare with.
    query = mine.query;
    searchString = query->phrase();
    tokens = query->words();
    if (tokens.empty())
        return;
    startLiveSearch();
}

void VResultBatch::add(VResult* result) {
    if (!result)
        return;
    try {
        results.push_back(result);
    } catch (...) {
        result->deleteThis();
        throw;
    }
}

void VResultBatch::deliver(uint32_t searchId, uint64_t more) {
    if (more > 0)
        VVerbinoxCore::instance()->addOverflow(searchId, more);
    if (results.empty())
        return;
    // The core owns them from the call on, whether it forwards or destroys them.
    std::vector<VResult*> handed;
    handed.swap(results);
    VVerbinoxCore::instance()->addResults(searchId, handed.data(), static_cast<int>(handed.size()));
}

void VResultBatch::clear() {
    for (VResult* result : results)
        result->deleteThis();
    results.clear();
}

void VIndexer::startLiveSearch() {
    // A cache whose source changed is rebuilt by the builder, never here: this search goes on over the
    // cache it has, and the next one sees the new one once it is in place.
    if (!getLiveSearching() && !cancelRequested() && isCacheStale())
        requestRebuild();
    search();
}

void VIndexer::clearCache() {
    if (!isWorkerThread())
        stopWorker();
    for (VResult* result : cache) {
        if (result)
            result->deleteThis();
    }
    cache.clear();
    cache.shrink_to_fit();
}

void VIndexer::tokenizeSearchString(const std::string& text) {
    tokens = VSearchQuery::splitWords(text);
}

bool VIndexer::startOnlyOption() {
    return VVerbinoxCore::instance()->getSearchStringStart();
}

bool VIndexer::match(const std::string& text, bool isUrl) const {
    VVerbinoxCore* core = VVerbinoxCore::instance();
    if (isUrl && core->getSearchUrlDescriptionsOnly())
        return false;
    const bool caseSensitive = query ? query->options().caseSensitive : core->getSearchCaseSensitive();
    if (isUrl && core->getSearchUrlDomainOnly()) {
        const std::string domain = extractDomain(text);
        if (caseSensitive || !query)
            return matchPrepared(caseSensitive ? domain : vx::lowered(domain));
        return query->matches(domain, VSearchQuery::prepared(domain, query->options().foldAccents));
    }
    if (!query) {
        CandidateText candidate(text, caseSensitive);
        return matchSearchString(candidate.view());
    }
    if (caseSensitive)
        return query->matches(text, text);
    std::string& prepared = scratch();
    VSearchQuery::prepareText(text, prepared, query->options().foldAccents);
    return query->matches(text, prepared);
}

bool VIndexer::matchPrepared(std::string_view text) const {
    if (!query)
        return matchSearchString(text);
    const VSearchOptions& options = query->options();
    if (options.caseSensitive || !options.foldAccents || vx::isAscii(text))
        return query->matches(text);
    std::string& prepared = scratch();
    VSearchQuery::prepareText(text, prepared, true);
    return query->matches(prepared);
}

bool VIndexer::matchSearchString(std::string_view text) const {
    if (startOnlyOption())
        return startsWith(text, searchString);
    return text.find(searchString) != std::string_view::npos;
}

void VIndexer::setQuery(VSearchQueryPtr fresh) {
    query = std::move(fresh);
    if (query) {
        searchString = query->phrase();
        tokens = query->words();
    }
}

const VSearchQuery& VIndexer::getQuery() const {
    if (query)
        return *query;
    static const VSearchQuery nothing{std::string(), VSearchOptions{}};
    return nothing;
}

VSearchQuery::Match VIndexer::rankMatch(std::string_view name, std::string_view prepared) const {
    const VSearchQuery& running = getQuery();
    const VSearchOptions& options = running.options();
    if (options.caseSensitive)
        return running.match(name, name);
    // A cache's copy is folded; with folding off it serves only names that have nothing to fold.
    if (!prepared.empty() && (options.foldAccents || vx::isAscii(name)))
        return running.match(name, prepared);
    std::string& own = scratch();
    VSearchQuery::prepareText(name, own, options.foldAccents);
    return running.match(name, own);
}

VRankKey VIndexer::rankKeyFor(const VSearchQuery::Candidate& candidate) const {
    return VVerbinoxCore::instance()->getRankResults() ? VSearchQuery::rankKey(candidate) : 0;
}

std::size_t VIndexer::resultsLimit() const {
    return static_cast<std::size_t>(VVerbinoxCore::instance()->getResultsPerSource());
}

bool VIndexer::matchMultiple(const std::vector<std::string>& words) const {
    const bool caseSensitive =
        query ? query->options().caseSensitive : VVerbinoxCore::instance()->getSearchCaseSensitive();
    const bool fold = query && query->options().foldAccents;
    for (const std::string& word : words) {
        CandidateText candidate(word, caseSensitive, fold);
        for (const std::string& token : tokens) {
            if (startsWith(candidate.view(), token))
                return true;
        }
    }
    return false;
}

bool VIndexer::matchName(const std::string& first, const std::string& second) const {
    const bool caseSensitive =
        query ? query->options().caseSensitive : VVerbinoxCore::instance()->getSearchCaseSensitive();
    const bool fold = query && query->options().foldAccents;
    CandidateText a(first, caseSensitive, fold), b(second, caseSensitive, fold);
    if (tokens.size() == 1)
        return startsWith(a.view(), tokens[0]) || startsWith(b.view(), tokens[0]);
    if (tokens.size() == 2) {
        const std::string& t1 = tokens[0];
        const std::string& t2 = tokens[1];
        return (startsWith(a.view(), t1) || startsWith(a.view(), t2)) &&
               (startsWith(b.view(), t1) || startsWith(b.view(), t2));
    }
    return false;
}

std::string VIndexer::extractDomain(const std::string& url) const {
    std::size_t scheme = url.find("://");
    if (scheme == std::string::npos)
        return std::string();
    std::size_t hostStart = scheme + 3;
    std::size_t slash = url.find('/', hostStart);
    if (slash == std::string::npos)
        return std::string();
    return url.substr(hostStart, slash - hostStart);
}
