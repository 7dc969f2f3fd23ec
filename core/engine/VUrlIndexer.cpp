#include "engine/VUrlIndexer.h"

#include "engine/VBestOf.h"
#include "engine/VVerbinoxCore.h"
#include "util/CacheFile.h"

#include <algorithm>
#include <cstdio>
#include <unordered_set>

namespace {

// The kept table's layout; a file of another version is ignored and the table built again.
// 2: the texts' second copy is prepared for matching (lower-cased and folded), not only lower-cased.
constexpr uint32_t kTableVersion = 2;
// A kept table larger than this is damage (a history of a million pages stays far below).
constexpr uint64_t kMaxKeptBytes = 1ull << 30;

// 12345 as "12,345".
std::string grouped(std::size_t number) {
    std::string digits = std::to_string(number);
    for (std::size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, 1, ',');
    return digits;
}

} // namespace

// A table with what it was built from.
struct VUrlIndexer::Built {
    VUrlTable table;
    Stamps stamps;
};

VUrlEntryResult* VUrlEntryResult::createInstance(VPlugin* plugin) {
    return new VUrlEntryResult(plugin);
}

void VUrlEntryResult::deleteThis() {
    delete this;
}

std::string VUrlEntryResult::getDisplayText2() const {
    return folder.empty() ? VUrlResult::getDisplayText2() : folder;
}

VUrlIndexer::VUrlIndexer(VPlugin* plugin, HICON resultIcon, std::string cacheKind)
    : VIndexer(plugin), resultIcon(resultIcon), cacheKind(std::move(cacheKind)) {}

VUrlIndexer::~VUrlIndexer() {
    // The builder and the workers call our virtual functions and read the table: they end first.
    stopWorker();
}

void VUrlIndexer::updateCache() {
    requestRebuild();
}

void VUrlIndexer::clearCache() {
    VIndexer::clearCache();
    install(nullptr);
}

std::shared_ptr<const VUrlIndexer::Built> VUrlIndexer::current() const {
    vx::CCriticalSectionLock hold(guard);
    return built;
}

void VUrlIndexer::install(std::shared_ptr<const Built> fresh) {
    // The old table dies outside the lock (or with the last search that holds it).
    {
        vx::CCriticalSectionLock hold(guard);
        built.swap(fresh);
    }
}

std::string VUrlIndexer::getCacheNote() const {
    vx::CCriticalSectionLock hold(guard);
    return note;
}

std::size_t VUrlIndexer::getCachedCount() const {
    const std::shared_ptr<const Built> now = current();
    return now ? now->table.size() : 0;
}

std::size_t VUrlIndexer::getCacheOverheadBytes() const {
    const std::shared_ptr<const Built> now = current();
    return now ? now->table.overheadBytes() : 0;
}

VUrlIndexer::Stamps VUrlIndexer::takeStamps() const {
    Stamps taken;
    for (const std::string& file : watchedFiles())
        taken.files.push_back(vx::fileStamp(file));
    taken.token = changeToken();
    return taken;
}

bool VUrlIndexer::isCacheStale() const {
    const std::shared_ptr<const Built> now = current();
    return !now || now->stamps != takeStamps();
}

std::string VUrlIndexer::cacheKey() const {
    // The same source read from other files (a profile moved, another one added) is another table.
    std::string key = getSourceDescription();
    for (const std::string& file : watchedFiles())
        key += '\n' + file;
    return key;
}

std::string VUrlIndexer::getCacheFile() const {
    if (cacheKind.empty())
        return std::string();
    return vx::cacheFolder() + vx::cacheFileName(cacheKind, cacheKey());
}

bool VUrlIndexer::loadKept(Stamps& stamps, VUrlTable& table) const {
    std::string payload;
    if (!vx::readCacheFile(getCacheFile(), cacheKind, kTableVersion, cacheKey(), payload, kMaxKeptBytes))
        return false;
    vx::CacheReader reader(payload);
    uint64_t count = 0;
    if (!reader.varint(count) || count > payload.size())
        return false;
    for (uint64_t i = 0; i < count; ++i) {
        uint64_t exists = 0;
        vx::CFileStamp stamp;
        if (!reader.varint(exists) || exists > 1 || !reader.u64(stamp.size) || !reader.u64(stamp.writeTime))
            return false;
        stamp.exists = exists == 1;
        stamps.files.push_back(stamp);
    }
    std::string_view token;
    if (!reader.text(token))
        return false;
    stamps.token.assign(token.data(), token.size());
    return table.read(reader) && reader.atEnd();
}

void VUrlIndexer::keep(const Stamps& stamps, const VUrlTable& table) const {
    vx::CacheWriter writer;
    writer.varint(stamps.files.size());
    for (const vx::CFileStamp& stamp : stamps.files) {
        writer.varint(stamp.exists ? 1 : 0);
        writer.u64(stamp.size);
        writer.u64(stamp.writeTime);
    }
    writer.text(stamps.token);
    table.write(writer);
    // A table that cannot be kept (a full disk, a read-only profile) is built again at the next start.
    vx::writeCacheFile(getCacheFile(), cacheKind, kTableVersion, cacheKey(), writer.bytes());
}

namespace {

// Fills a new table; stops when asked or when the table is full.
class BuildSink : public VUrlSink {
public:
    BuildSink(VUrlTable& table, const std::function<bool()>& stop) : table(table), stop(stop) {}
    bool add(std::string_view url, std::string_view title, std::string_view folder, uint32_t rank) override {
        if (stop())
            return false;
        return url.empty() || table.add(url, title, folder, rank) != VUrlTable::Added::Full;
    }

private:
    VUrlTable& table;
    const std::function<bool()>& stop;
};

} // namespace

void VUrlIndexer::rebuild(const std::function<bool()>& stop) {
    if (getLiveSearching()) {
        // A live search reads the source itself: no table is held.
        auto none = std::make_shared<Built>();
        none->stamps = takeStamps();
        install(std::move(none));
        return;
    }
    if (!loadTried && !cacheKind.empty() && !current()) {
        loadTried = true;
        auto loaded = std::make_shared<Built>();
        if (loadKept(loaded->stamps, loaded->table)) {
            const bool fresh = loaded->stamps == takeStamps();
            install(std::move(loaded));
            // A source that did not change since is not read at all: a start copies no large history.
            if (fresh) {
                vx::CCriticalSectionLock hold(guard);
                note.clear();
                return;
            }
        }
    }
    loadTried = true;
    if (stop())
        return;
    const DWORD started = ::GetTickCount();
    auto fresh = std::make_shared<Built>();
    // Taken before reading: a change made while the source is read shows at the next check.
    fresh->stamps = takeStamps();
    try {
        BuildSink sink(fresh->table, stop);
        if (!readSource(sink, stop) || stop())
            return;
        fresh->table.finish();
    } catch (const std::bad_alloc&) {
        // A source too large for the memory left: the table there was stays.
        return;
    }
    install(fresh);
    {
        char seconds[32];
        std::snprintf(seconds, sizeof(seconds), "%.1f", (::GetTickCount() - started) / 1000.0);
        const std::string text = "built the cache of " + getSourceDescription() + ": " +
                                 grouped(fresh->table.size()) + " addresses in " + seconds + " s";
        vx::CCriticalSectionLock hold(guard);
        note = text;
    }
    if (!cacheKind.empty())
        keep(fresh->stamps, fresh->table);
}

void VUrlIndexer::follow(const std::function<bool()>& stop) {
    if (!getLiveSearching() && isCacheStale())
        rebuild(stop);
}

bool VUrlIndexer::matches(std::string_view url, std::string_view title) const {
    return match(std::string(url), true) || match(std::string(title), false);
}

VResult* VUrlIndexer::makeResult(std::string_view url, std::string_view title,
                                 std::string_view folder) const {
    VUrlEntryResult* result = VUrlEntryResult::createInstance(getPlugin());
    result->setIcon(resultIcon);
    result->setUrl(std::string(url));
    result->setDescription(std::string(title));
    result->setFolder(folder);
    return result;
}

namespace {

// The address past its scheme and a leading "www.", without a trailing slash.
std::string_view addressPlace(std::string_view url) {
    const std::size_t scheme = url.find("://");
    if (scheme != std::string_view::npos)
        url.remove_prefix(scheme + 3);
    if (url.size() > 4 && (url.compare(0, 4, "www.") == 0 || url.compare(0, 4, "WWW.") == 0))
        url.remove_prefix(4);
    while (!url.empty() && url.back() == '/')
        url.remove_suffix(1);
    return url;
}

// The slashes in it: 0 for a site's front page.
unsigned addressDepth(std::string_view place) {
    return static_cast<unsigned>(std::count(place.begin(), place.end(), '/'));
}

// Hands each entry on as the source gives it; an address counts once, at its first entry, whether that
// one matches or not, so a live search finds what a cached one would.
class MatchingSink : public VUrlSink {
public:
    using Found = std::function<void(std::string_view, std::string_view, std::string_view, uint32_t)>;
    MatchingSink(const std::function<bool()>& cancelled, Found found) : cancelled(cancelled), found(found) {}
    bool add(std::string_view url, std::string_view title, std::string_view folder, uint32_t rank) override {
        if (cancelled())
            return false;
        if (url.empty() || !seen.emplace(url).second)
            return true;
        found(url, title, folder, rank);
        return true;
    }

private:
    const std::function<bool()>& cancelled;
    Found found;
    std::unordered_set<std::string> seen;
};

bool better(VSearchQuery::Match a, VSearchQuery::Match b) {
    if (a.group != b.group)
        return a.group > b.group;
    return a.kind != b.kind ? a.kind > b.kind : a.fitsWords > b.fitsWords;
}

} // namespace

VSearchQuery::Match VUrlIndexer::rankEntry(std::string_view url, std::string_view preparedUrl,
                                           std::string_view title, std::string_view preparedTitle) const {
    VVerbinoxCore* core = VVerbinoxCore::instance();
    VSearchQuery::Match best = rankMatch(title, preparedTitle);
    if (core->getSearchUrlDescriptionsOnly())
        return best;
    VSearchQuery::Match address;
    if (core->getSearchUrlDomainOnly()) {
        const std::string_view host = urlHostOf(url);
        // Nothing to compare for an address without a host: an empty prepared text would be made anew.
        if (!host.empty())
            address = rankMatch(host, preparedUrl.empty() ? std::string_view() : urlHostOf(preparedUrl));
    } else {
        address = rankMatch(url, preparedUrl);
    }
    return better(address, best) ? address : best;
}

void VUrlIndexer::search() {
    const VSearchQuery& query = getQuery();
    // What the best few keep until the search ends; their results are made only then.
    struct Hit {
        std::size_t entry;              // cached searches: the table's entry
        std::string url, title, folder; // live searches: the source's texts are gone by then
    };
    VBestOf<Hit> best(resultsLimit());
    // Ranks an entry that matches and offers it to the best few; the texts are copied only when kept.
    auto offer = [&](std::string_view url, std::string_view preparedUrl, std::string_view title,
                     std::string_view preparedTitle, std::string_view folder, uint32_t rank,
                     std::size_t entry, bool keepTexts) {
        const VSearchQuery::Match how = rankEntry(url, preparedUrl, title, preparedTitle);
        if (!how)
            return;
        VSearchQuery::Candidate candidate;
        candidate.match = how;
        // An address's "name" for length and depth is the address itself past its scheme and "www.":
        // a site's front page is the shortest and shallowest of its pages, whatever their titles say.
        const std::string_view place = addressPlace(url);
        candidate.nameChars = VSearchQuery::countCharacters(place);
        candidate.depth = addressDepth(place);
        candidate.sourceRank = rank < 0xFFFFu ? rank : 0xFFFFu;
        if (query.hasLearned())
            candidate.learned = query.learnedWeight(VProperty::UrlType, url);
        const VRankKey key = rankKeyFor(candidate);
        Hit hit{entry, std::string(), std::string(), std::string()};
        if (keepTexts && best.wouldKeep(key)) {
            hit.url.assign(url.data(), url.size());
            hit.title.assign(title.data(), title.size());
            hit.folder.assign(folder.data(), folder.size());
        }
        best.offer(key, std::move(hit));
    };

    std::shared_ptr<const Built> now;
    if (getLiveSearching()) {
        const std::function<bool()> cancelled = [this] { return isCancelled(); };
        MatchingSink sink(cancelled,
                          [&](std::string_view url, std::string_view title, std::string_view folder,
                              uint32_t rank) { offer(url, {}, title, {}, folder, rank, 0, true); });
        readSource(sink, cancelled);
    } else if ((now = current())) {
        const VUrlTable& table = now->table;
        for (std::size_t i = 0; i < table.size(); ++i) {
            if (cancelRequested())
                break;
            // Over the table's own prepared copies: no copy per entry.
            offer(table.url(i), table.url(i, true), table.title(i), table.title(i, true), {}, table.rank(i),
                  i, false);
        }
    }
    if (isCancelled())
        return;

    VResultBatch found;
    const uint64_t more = best.dropped();
    for (auto& kept : best.take()) {
        const Hit& hit = kept.second;
        VResult* result = now ? makeResult(now->table.url(hit.entry), now->table.title(hit.entry),
                                           now->table.folder(hit.entry))
                              : makeResult(hit.url, hit.title, hit.folder);
        if (!result)
            continue;
        result->setRankKey(kept.first);
        found.add(result);
    }
    // A cancelled search's results die with the batch.
    if (!isCancelled())
        found.deliver(searchId, more);
}
