#include "engine/VIndexer.h"

#include "engine/VVerbinoxCore.h"
#include "model/VResult.h"
#include "util/VxText.h"

namespace {
std::atomic<long> runningWorkers{0};

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// A copy of a candidate text, lower-cased unless the search is case-sensitive. Short texts stay on the
// stack, so matching a cache of file names allocates nothing per candidate.
class CandidateText {
public:
    CandidateText(const std::string& text, bool caseSensitive) {
        if (caseSensitive) {
            view_ = text;
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
} // namespace

VIndexer::VIndexer(VPlugin* plugin) : plugin(plugin) {}

VIndexer::~VIndexer() {
    stopWorker();
    clearCache();
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

void VIndexer::stopWorker() {
    if (!thread.IsCreated())
        return;
    cancelled.store(true);
    thread.Wait();
    thread.Close();
    threadId.store(0);
}

void VIndexer::liveSearch(uint32_t id, const std::string& text) {
    // A new search must not wait for the whole previous one: cancel it, then join it.
    stopWorker();
    cancelled.store(false);
    if (static_cast<long long>(text.size()) < getMinSearchStringLength())
        return;
    searchId = id;
    searchString = text;
    tokenizeSearchString(text);
    if (tokens.empty())
        return;
    if (!VVerbinoxCore::instance()->getSearchCaseSensitive()) {
        for (std::string& token : tokens)
            vx::toLower(token);
        vx::toLower(searchString);
    }
    unsigned id32 = 0;
    // Counted before it starts, so a worker that has not run yet is never missed; it counts itself out.
    ++runningWorkers;
    if (!thread.Create(&VIndexer::threadFunc, this, &id32, true)) {
        --runningWorkers;
        return;
    }
    threadId.store(id32);
    if (!thread.Resume()) {
        // A thread that never ran must still end before its handle is closed.
        ::TerminateThread(thread.Get(), 0);
        thread.Wait();
        thread.Close();
        threadId.store(0);
        --runningWorkers;
    }
}

unsigned __stdcall VIndexer::threadFunc(void* param) {
    auto* indexer = static_cast<VIndexer*>(param);
    try {
        indexer->startLiveSearch();
    } catch (...) {
        // Anything that left a thread would end the whole process. The search's own objects were
        // destroyed on the way out; it ends as a cancelled one does, delivering nothing more.
        indexer->cancelled.store(true);
    }
    --runningWorkers;
    return 0;
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

void VResultBatch::deliver(uint32_t searchId) {
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
    // The handle stays with the owner, who joins and closes it; the worker leaves it alone.
    // A cache whose source changed on disk is rebuilt here, on the worker, so the window never waits
    // for it and the search that follows sees what the source holds now.
    if (!getLiveSearching() && !cancelRequested() && isCacheStale())
        updateCache();
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
    tokens.clear();
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n && text[i] == ' ')
        ++i;
    while (i < n) {
        std::string token;
        while (i < n && (text[i] == ' ' || text[i] == '\t'))
            token += text[i++];
        bool quoted = i < n && text[i] == '"';
        if (quoted)
            ++i;
        while (i < n && (quoted ? text[i] != '"' : text[i] != ' '))
            token += text[i++];
        if (i < n) {
            ++i;
            if (quoted && i < n && text[i] == ' ')
                ++i;
        }
        token = vx::trimmed(token);
        if (!token.empty())
            tokens.push_back(std::move(token));
    }
}

bool VIndexer::startOnlyOption() {
    return VVerbinoxCore::instance()->getSearchStringStart();
}

bool VIndexer::match(const std::string& text, bool isUrl) const {
    VVerbinoxCore* core = VVerbinoxCore::instance();
    if (isUrl && core->getSearchUrlDescriptionsOnly())
        return false;
    const bool caseSensitive = core->getSearchCaseSensitive();
    if (isUrl && core->getSearchUrlDomainOnly()) {
        std::string domain = extractDomain(caseSensitive ? text : vx::lowered(text));
        return matchPrepared(domain);
    }
    CandidateText candidate(text, caseSensitive);
    return matchPrepared(candidate.view());
}

bool VIndexer::matchMultiple(const std::vector<std::string>& words) const {
    const bool caseSensitive = VVerbinoxCore::instance()->getSearchCaseSensitive();
    for (const std::string& word : words) {
        CandidateText candidate(word, caseSensitive);
        for (const std::string& token : tokens) {
            if (startsWith(candidate.view(), token))
                return true;
        }
    }
    return false;
}

bool VIndexer::matchName(const std::string& first, const std::string& second) const {
    const bool caseSensitive = VVerbinoxCore::instance()->getSearchCaseSensitive();
    CandidateText a(first, caseSensitive), b(second, caseSensitive);
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
