#include "ChromiumIndexers.h"

#include "ChromiumBrowsers.h"
#include "ChromiumFiles.h"
#include "ChromiumHistory.h"
#include "ChromiumPlugin.h"
#include "ChromiumResult.h"
#include "engine/VVerbinoxCore.h"
#include "util/VxText.h"

#include <map>

VChromiumIndexer::VChromiumIndexer(VChromiumPlugin* plugin, const chromium::Browser* browser,
                                   const chromium::Profile* profile, const char* fileName)
    : VIndexer(plugin), browser(browser), profile(profile), file(profile->folder + fileName) {}

VChromiumIndexer::~VChromiumIndexer() {
    // The worker reads our members: it must be gone before they are.
    stopWorker();
    clearCache();
}

bool VChromiumIndexer::init() {
    resultIcon = static_cast<VChromiumPlugin*>(getPlugin())->resultIcon();
    updateCache();
    return true;
}

std::string VChromiumIndexer::getSourceDescription() const {
    return chromium::browserKinds()[browser->kind].key + std::string(" (") + profile->name + "): " + file;
}

std::vector<vx::CFileStamp> VChromiumIndexer::takeStamps() const {
    std::vector<vx::CFileStamp> taken;
    for (const std::string& watched : watchedFiles())
        taken.push_back(vx::fileStamp(watched));
    return taken;
}

void VChromiumIndexer::clearCache() {
    VIndexer::clearCache();
    table.clear();
}

void VChromiumIndexer::updateCache() {
    // Taken before reading, so that a change made while the files are read shows at the next check;
    // kept only once the read succeeded.
    std::vector<vx::CFileStamp> before = takeStamps();
    if (getLiveSearching()) {
        clearCache();
        stamps.swap(before);
        return;
    }
    // On a search's worker the next keystroke cancels the rebuild; the window thread's own rebuild
    // reads on whatever the flag still says of the search before it.
    chromium::UrlTable fresh;
    if (!build(fresh, [this] { return rebuildCancelled(); }) || rebuildCancelled())
        return;
    fresh.shrink();
    clearCache();
    table = std::move(fresh);
    stamps.swap(before);
}

bool VChromiumIndexer::isCacheStale() const {
    return takeStamps() != stamps;
}

VChromiumUrlResult* VChromiumIndexer::newResult(const std::string& url, const std::string& title) const {
    VChromiumUrlResult* result = VChromiumUrlResult::createInstance(getPlugin(), browser);
    result->setIcon(resultIcon);
    result->setUrl(url);
    result->setDescription(title);
    return result;
}

bool VChromiumIndexer::matches(const std::string& url, const std::string& title) const {
    return match(url, true) || match(title, false);
}

void VChromiumIndexer::search() {
    VResultBatch found;
    if (getLiveSearching()) {
        searchLive(found);
    } else {
        VVerbinoxCore* core = VVerbinoxCore::instance();
        const bool lower = !core->getSearchCaseSensitive();
        const bool titlesOnly = core->getSearchUrlDescriptionsOnly();
        const bool hostOnly = core->getSearchUrlDomainOnly();
        for (std::size_t i = 0; i < table.size(); ++i) {
            if (cancelRequested())
                break;
            // The same rules as match(), over the table's own (lower-cased) copies: no copy per entry.
            const std::string_view url = table.url(i, lower);
            const bool hit = (!titlesOnly && matchPrepared(hostOnly ? chromium::hostOf(url) : url)) ||
                             matchPrepared(table.title(i, lower));
            if (!hit)
                continue;
            VChromiumUrlResult* result = newResult(std::string(table.url(i)), std::string(table.title(i)));
            found.add(result);
            result->setFolder(table.folder(i));
        }
    }
    // A cancelled search's results die with the batch.
    if (!isCancelled())
        found.deliver(searchId);
}

VChromiumBookmarksIndexer::VChromiumBookmarksIndexer(VChromiumPlugin* plugin,
                                                     const chromium::Browser* browser,
                                                     const chromium::Profile* profile)
    : VChromiumIndexer(plugin, browser, profile, "Bookmarks") {}

bool VChromiumBookmarksIndexer::build(chromium::UrlTable& table, const std::function<bool()>& stop) const {
    std::string text;
    if (!chromium::readWholeFile(file, text, chromium::kMaxJsonBytes))
        return !vx::fileStamp(file).exists;       // a profile without bookmarks yet has none
    std::map<std::string, std::uint32_t> folders; // each path stored once
    for (const chromium::Bookmark& bookmark : chromium::parseBookmarks(std::move(text))) {
        if (stop())
            return false;
        const std::string folder = vx::fromUtf8(bookmark.folder);
        auto known = folders.find(folder);
        if (known == folders.end())
            known = folders.emplace(folder, table.addFolder(folder)).first;
        if (!table.add(vx::addressFromUtf8(bookmark.url), vx::fromUtf8(bookmark.title), known->second))
            break;
    }
    return true;
}

void VChromiumBookmarksIndexer::searchLive(VResultBatch& found) const {
    for (const chromium::Bookmark& bookmark : chromium::readBookmarks(file)) {
        if (isCancelled())
            return;
        const std::string url = vx::addressFromUtf8(bookmark.url);
        const std::string title = vx::fromUtf8(bookmark.title);
        if (!matches(url, title))
            continue;
        VChromiumUrlResult* result = newResult(url, title);
        found.add(result);
        result->setFolder(vx::fromUtf8(bookmark.folder));
    }
}

VChromiumHistoryIndexer::VChromiumHistoryIndexer(VChromiumPlugin* plugin, const chromium::Browser* browser,
                                                 const chromium::Profile* profile)
    : VChromiumIndexer(plugin, browser, profile, "History") {}

bool VChromiumHistoryIndexer::build(chromium::UrlTable& table, const std::function<bool()>& stop) const {
    chromium::VisitedList visited;
    bool copied = false;
    if (!chromium::readHistory(file, visited, stop, &copied)) {
        // A damaged database stays empty until the browser writes it again; a copy that could not be
        // taken is tried again at the next search. A profile without a history yet has none.
        return copied ? !stop() : !vx::fileStamp(file).exists;
    }
    const std::vector<std::uint32_t> ranked = chromium::rankHistory(visited, chromium::browserTimeNow());
    table.reserve(ranked.size(), visited.textBytes());
    for (std::uint32_t i : ranked) {
        if (stop())
            return false;
        const std::string_view url = visited.url(i), title = visited.title(i);
        // Plain ASCII (nearly every address) goes in as it is: no copy per row.
        const bool added = vx::isAscii(url) && vx::isAscii(title)
                               ? table.add(url, title)
                               : table.add(vx::addressFromUtf8(url), vx::fromUtf8(title));
        if (!added)
            break;
    }
    return true;
}

void VChromiumHistoryIndexer::searchLive(VResultBatch& found) const {
    chromium::VisitedList visited;
    if (!chromium::readHistory(file, visited, [this] { return isCancelled(); }) || isCancelled())
        return;
    // Ranked whole before matching, so that each address is represented by the same entry as in the cache.
    for (std::uint32_t i : chromium::rankHistory(visited, chromium::browserTimeNow())) {
        if (isCancelled())
            return;
        const std::string url = vx::addressFromUtf8(visited.url(i));
        const std::string title = vx::fromUtf8(visited.title(i));
        if (matches(url, title))
            found.add(newResult(url, title));
    }
}
