#include "OperaBookmarksIndexer.h"

#include "OperaPlugin.h"
#include "model/VFileResult.h"
#include "util/CTextFile.h"
#include "util/VxText.h"

#include <algorithm>
#include <vector>

namespace {

bool startsWith(const std::string& text, const char* prefix, std::size_t length) {
    return text.compare(0, length, prefix) == 0;
}

// The address of a "URL=" line, from the line as the file holds it: narrowing the whole line would let a
// character the code page lacks become a look-alike (a fullwidth "--" a switch).
std::string addressOf(std::wstring_view line) {
    std::size_t at = 0;
    while (at < line.size() && line[at] < 0x80 && vx::isBlank(static_cast<char>(line[at])))
        ++at;
    std::size_t end = line.size();
    while (end > at && line[end - 1] < 0x80 && vx::isBlank(static_cast<char>(line[end - 1])))
        --end;
    const std::wstring_view field = line.substr(at, end - at);
    return field.substr(0, 4) == L"URL=" ? vx::narrowedAddress(field.substr(4)) : std::string();
}

bool isUtf8(const std::string& bytes) {
    return bytes.empty() || ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                                  static_cast<int>(bytes.size()), nullptr, 0) > 0;
}

// Every line of the file as the text it holds. Newer versions write UTF-8 without a byte-order mark: a
// file that is valid UTF-8 throughout is read as such, one that is not as the active code page's bytes;
// a file with a mark is read in its encoding.
std::vector<std::wstring> readLines(const std::string& file) {
    std::vector<std::string> lines;
    CTextFileRead reader(file);
    // A file with a mark comes converted to UTF-8, one without it as its bytes.
    reader.SetCodePage(CP_UTF8);
    std::string line;
    while (reader.ReadLine(line))
        lines.push_back(line);
    const bool utf8 = reader.GetEncoding() != CTextFileBase::EncodingAnsi ||
                      std::all_of(lines.begin(), lines.end(), isUtf8);
    std::vector<std::wstring> wide;
    wide.reserve(lines.size());
    for (const std::string& text : lines)
        wide.push_back(vx::widened(text, utf8 ? CP_UTF8 : CP_ACP));
    return wide;
}

} // namespace

VOperaBookmarksIndexer::VOperaBookmarksIndexer(const std::string& bookmarkFile, VOperaPlugin* owner)
    : VIndexer(owner), bookmarkFile(bookmarkFile) {}

VOperaBookmarksIndexer::~VOperaBookmarksIndexer() {
    // The worker reads our members: it must be gone before they are.
    stopWorker();
    clearCache();
}

bool VOperaBookmarksIndexer::init() {
    // Results in the list outlive this indexer (switched off, or refused by the core) and still draw
    // the icon: the plug-in owns it.
    resultIcon = static_cast<VOperaPlugin*>(getPlugin())->resultIcon();
    updateCache();
    return true;
}

VUrlResult* VOperaBookmarksIndexer::newResult() const {
    VUrlResult* result = VUrlResult::createInstance(getPlugin());
    result->setIcon(resultIcon);
    return result;
}

template <class Found> void VOperaBookmarksIndexer::readBookmarks(bool matching, Found found) const {
    std::string line, url, name;
    bool inEntry = false;
    for (const std::wstring& wide : readLines(bookmarkFile)) {
        vx::narrowInto(wide, line);
        if (!inEntry) {
            // Compared as it stands: an indented "#URL" opens nothing.
            inEntry = startsWith(line, "#URL", 4);
            continue;
        }
        const std::string field = vx::trimmed(line);
        if (startsWith(field, "NAME=", 5)) {
            name = field.substr(5);
        } else if (startsWith(field, "URL=", 4)) {
            url = addressOf(wide);
        } else if (field.empty()) {
            if (matching && isCancelled())
                return;
            // An entry without an address would give a result that opens nothing.
            if (!url.empty() && (!matching || match(url, true) || match(name, false)))
                found(url, name);
            inEntry = false;
            url.clear();
            name.clear();
        }
    }
}

void VOperaBookmarksIndexer::updateCache() {
    clearCache();
    if (getLiveSearching())
        return;
    readBookmarks(false, [this](const std::string& url, const std::string& name) {
        VUrlResult* result = newResult();
        try {
            cache.push_back(result);
        } catch (...) {
            result->deleteThis();
            throw;
        }
        result->setUrl(url);
        result->setDescription(name);
    });
    cache.shrink_to_fit();
}

void VOperaBookmarksIndexer::search() {
    VResultBatch found;
    if (getLiveSearching()) {
        readBookmarks(true, [&](const std::string& url, const std::string& name) {
            VUrlResult* result = newResult();
            found.add(result);
            result->setUrl(url);
            result->setDescription(name);
        });
    } else {
        for (VResult* entry : cache) {
            if (cancelRequested())
                break;
            const auto* cached = static_cast<const VUrlResult*>(entry);
            if (match(cached->getUrl(), true) || match(cached->getDescription(), false)) {
                VUrlResult* result = newResult();
                found.add(result);
                result->copyFrom(*cached);
            }
        }
    }
    // A cancelled search's results die with the batch.
    if (!isCancelled())
        found.deliver(searchId);
}
