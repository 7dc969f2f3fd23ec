#include "FakeIndexer.h"

#include "engine/VVerbinoxCore.h"
#include "util/VxText.h"

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <new>

std::atomic<long> FakeCounters::actions{0};
std::atomic<long> FakeCounters::results{0};
std::atomic<long> FakeCounters::indexers{0};
std::atomic<long> FakeCounters::plugins{0};
std::atomic<long> FakeCounters::searchesFinished{0};
std::atomic<long> FakeCounters::searchesCancelled{0};
std::atomic<long> FakeCounters::cacheBuilds{0};
std::atomic<long> FakeCounters::rebuildsCutShort{0};

namespace {
std::mutex logMutex;
std::vector<std::string> eventLog;
} // namespace

void FakeCounters::log(const std::string& event) {
    std::lock_guard<std::mutex> hold(logMutex);
    eventLog.push_back(event);
}

std::vector<std::string> FakeCounters::events() {
    std::lock_guard<std::mutex> hold(logMutex);
    return eventLog;
}

void FakeCounters::reset() {
    {
        std::lock_guard<std::mutex> hold(logMutex);
        eventLog.clear();
    }
    actions = 0;
    results = 0;
    indexers = 0;
    plugins = 0;
    searchesFinished = 0;
    searchesCancelled = 0;
    cacheBuilds = 0;
    rebuildsCutShort = 0;
}

FakePlugin::FakePlugin() {
    ++FakeCounters::plugins;
}

FakePlugin::~FakePlugin() {
    --FakeCounters::plugins;
}

FakeResult::FakeResult(VPlugin* plugin, const std::string& name)
    : VResult(plugin), text(VProperty::TextType, name) {
    addProperty(&text);
    ++FakeCounters::results;
}

FakeResult::FakeResult(const FakeResult& other) : VResult(other.getPlugin()), text(other.text) {
    addProperty(&text);
    VElement::copyFrom(other);
    ++FakeCounters::results;
}

FakeResult::~FakeResult() {
    --FakeCounters::results;
}

NameIndexer::NameIndexer(VPlugin* plugin, std::vector<std::string> names)
    : VIndexer(plugin), names(std::move(names)) {
    ++FakeCounters::indexers;
}

NameIndexer::~NameIndexer() {
    // The worker reads names: stop it while they still exist.
    stopWorker();
    --FakeCounters::indexers;
}

namespace {
void spinMicros(int micros) {
    if (micros <= 0)
        return;
    LARGE_INTEGER freq, start, now;
    ::QueryPerformanceFrequency(&freq);
    ::QueryPerformanceCounter(&start);
    do {
        ::QueryPerformanceCounter(&now);
    } while ((now.QuadPart - start.QuadPart) * 1000000 / freq.QuadPart < micros);
}
} // namespace

void NameIndexer::updateCache() {
    if (HANDLE gate = rebuildGate.load()) {
        ++atGate;
        ::WaitForSingleObject(gate, INFINITE);
    }
    if (getLiveSearching()) {
        clearCache();
        loweredNames.clear();
        spans.clear();
        sourceChanged.store(false);
        return;
    }
    // Built aside and swapped in whole, as a source that must not lose its cache to a cancelled build.
    std::vector<VResult*> built;
    std::string lowered;
    std::vector<std::pair<std::size_t, std::size_t>> builtSpans;
    auto discard = [&built] {
        for (VResult* result : built)
            result->deleteThis();
    };
    try {
        built.reserve(names.size());
        builtSpans.reserve(names.size());
        const bool caseSensitive = VVerbinoxCore::instance()->getSearchCaseSensitive();
        for (const std::string& name : names) {
            spinMicros(rebuildDelayMicros.load());
            if (rebuildCancelled()) {
                discard();
                ++FakeCounters::rebuildsCutShort;
                return;
            }
            built.push_back(new FakeResult(getPlugin(), name));
            builtSpans.emplace_back(lowered.size(), name.size());
            lowered += caseSensitive ? name : vx::lowered(name);
        }
    } catch (...) {
        discard();
        throw;
    }
    clearCache();
    cache.swap(built);
    loweredNames.swap(lowered);
    spans.swap(builtSpans);
    sourceChanged.store(false);
    ++FakeCounters::cacheBuilds;
}

void NameIndexer::search() {
    ++started;
    searchThread.store(::GetCurrentThreadId());
    queryUsed.store(&getQuery());
    if (isWorkerThread())
        ++knewId;
    if (clearsCacheOnWorker.load())
        clearCache();
    VResultBatch found;
    const bool live = getLiveSearching();
    int candidates = 0;
    do {
        const std::size_t count = live ? names.size() : std::min(cache.size(), spans.size());
        for (std::size_t i = 0; i < count && !isCancelled(); ++i) {
            spinMicros(delayMicros.load());
            if (readsCoreRegistry.load())
                VVerbinoxCore::instance()->getAction("no such keyword", false);
            if (throwAfter.load() >= 0 && candidates++ >= throwAfter.load())
                throw std::bad_alloc();
            if (live) {
                if (match(names[i], false))
                    found.add(new FakeResult(getPlugin(), names[i]));
            } else if (matchPrepared(
                           std::string_view(loweredNames).substr(spans[i].first, spans[i].second))) {
                found.add(new FakeResult(*static_cast<FakeResult*>(cache[i])));
            }
        }
    } while (endless.load() && !isCancelled());
    if (isCancelled()) {
        ++FakeCounters::searchesCancelled;
        return;
    }
    ++FakeCounters::searchesFinished;
    found.deliver(searchId);
}

void MatchProbe::prepare(const std::string& text) {
    setQuery(VVerbinoxCore::instance()->makeQuery(text));
}
