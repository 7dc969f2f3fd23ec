#include "ChromiumIndexers.h"

#include "ChromiumBrowsers.h"
#include "ChromiumFiles.h"
#include "ChromiumHistory.h"
#include "ChromiumPlugin.h"
#include "ChromiumResult.h"
#include "util/FileSnapshot.h"
#include "util/VxText.h"

#include <algorithm>
#include <limits>

VChromiumIndexer::VChromiumIndexer(VChromiumPlugin* plugin, const chromium::Browser* browser,
                                   const chromium::Profile* profile, const char* fileName,
                                   const char* cacheKind)
    : VUrlIndexer(plugin, plugin->resultIcon(), cacheKind), browser(browser), profile(profile),
      file(profile->folder + fileName) {}

VChromiumIndexer::~VChromiumIndexer() {
    // The builder and the workers read our members: they must be gone before they are.
    stopWorker();
}

std::string VChromiumIndexer::getSourceDescription() const {
    return chromium::browserKinds()[browser->kind].key + std::string(" (") + profile->name + "): " + file;
}

VResult* VChromiumIndexer::makeResult(std::string_view url, std::string_view title,
                                      std::string_view folder) const {
    VChromiumUrlResult* result = VChromiumUrlResult::createInstance(getPlugin(), browser);
    result->setIcon(getResultIcon());
    result->setUrl(std::string(url));
    result->setDescription(std::string(title));
    result->setFolder(folder);
    return result;
}

VChromiumBookmarksIndexer::VChromiumBookmarksIndexer(VChromiumPlugin* plugin,
                                                     const chromium::Browser* browser,
                                                     const chromium::Profile* profile)
    : VChromiumIndexer(plugin, browser, profile, "Bookmarks", "chromium-bookmarks") {}

bool VChromiumBookmarksIndexer::readSource(VUrlSink& sink, const std::function<bool()>& stop) const {
    std::string text;
    if (!chromium::readWholeFile(file, text, chromium::kMaxJsonBytes))
        return !vx::fileStamp(file).exists; // a profile without bookmarks yet has none
    for (const chromium::Bookmark& bookmark : chromium::parseBookmarks(std::move(text))) {
        if (stop())
            return false;
        if (!sink.add(vx::addressFromUtf8(bookmark.url), vx::fromUtf8(bookmark.title),
                      vx::fromUtf8(bookmark.folder)))
            return !stop();
    }
    return true;
}

VChromiumHistoryIndexer::VChromiumHistoryIndexer(VChromiumPlugin* plugin, const chromium::Browser* browser,
                                                 const chromium::Profile* profile)
    : VChromiumIndexer(plugin, browser, profile, "History", "chromium-history") {}

bool VChromiumHistoryIndexer::readSource(VUrlSink& sink, const std::function<bool()>& stop) const {
    chromium::VisitedList visited;
    bool copied = false;
    if (!chromium::readHistory(file, visited, stop, &copied)) {
        // A damaged database stays empty until the browser writes it again; a copy that could not be
        // taken is tried again at the next change. A profile without a history yet has none.
        return copied ? !stop() : !vx::fileStamp(file).exists;
    }
    for (std::uint32_t i : chromium::rankHistory(visited, chromium::browserTimeNow())) {
        if (stop())
            return false;
        const std::string_view url = visited.url(i), title = visited.title(i);
        const auto visits = static_cast<std::uint32_t>(
            std::clamp<std::int64_t>(visited[i].visits, 0, std::numeric_limits<std::uint32_t>::max()));
        // Plain ASCII (nearly every address) goes in as it is: no copy per row.
        const bool more = vx::isAscii(url) && vx::isAscii(title)
                              ? sink.add(url, title, {}, visits)
                              : sink.add(vx::addressFromUtf8(url), vx::fromUtf8(title), {}, visits);
        if (!more)
            return !stop();
    }
    return true;
}
