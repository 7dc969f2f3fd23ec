#include "FakeIndexer.h"

#include "engine/VVerbinoxCore.h"
#include "util/VxText.h"

#include <windows.h>

#include <mutex>

std::atomic<long> FakeCounters::actions{0};
std::atomic<long> FakeCounters::results{0};
std::atomic<long> FakeCounters::indexers{0};
std::atomic<long> FakeCounters::plugins{0};
std::atomic<long> FakeCounters::searchesFinished{0};
std::atomic<long> FakeCounters::searchesCancelled{0};

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

void NameIndexer::updateCache() {
    clearCache();
    loweredNames.clear();
    spans.clear();
    if (getLiveSearching())
        return;
    cache.reserve(names.size());
    spans.reserve(names.size());
    const bool caseSensitive = VVerbinoxCore::instance()->getSearchCaseSensitive();
    for (const std::string& name : names) {
        cache.push_back(new FakeResult(getPlugin(), name));
        spans.emplace_back(loweredNames.size(), name.size());
        loweredNames += caseSensitive ? name : vx::lowered(name);
    }
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

void NameIndexer::search() {
    std::vector<VResult*> found;
    const bool live = getLiveSearching();
    do {
        const std::size_t count = live ? names.size() : cache.size();
        for (std::size_t i = 0; i < count && !isCancelled(); ++i) {
            spinMicros(delayMicros.load());
            if (live) {
                if (match(names[i], false))
                    found.push_back(new FakeResult(getPlugin(), names[i]));
            } else if (matchPrepared(
                           std::string_view(loweredNames).substr(spans[i].first, spans[i].second))) {
                found.push_back(new FakeResult(*static_cast<FakeResult*>(cache[i])));
            }
        }
    } while (endless.load() && !isCancelled());
    if (isCancelled()) {
        for (VResult* r : found)
            r->deleteThis();
        ++FakeCounters::searchesCancelled;
        return;
    }
    ++FakeCounters::searchesFinished;
    if (!found.empty())
        VVerbinoxCore::instance()->addResults(searchId, found.data(), static_cast<int>(found.size()));
}

void MatchProbe::prepare(const std::string& text) {
    tokenizeSearchString(text);
    searchString = text;
    if (!VVerbinoxCore::instance()->getSearchCaseSensitive()) {
        vx::toLower(searchString);
        for (std::string& t : tokens)
            vx::toLower(t);
    }
}
