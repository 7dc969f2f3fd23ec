#include "OperaBookmarksIndexer.h"

#include "OperaPlugin.h"
#include "util/CTextFile.h"
#include "util/Environment.h"
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
// a file with a mark is read in its encoding. False when the file cannot be opened.
bool readLines(const std::string& file, std::vector<std::wstring>& wide) {
    std::vector<std::string> lines;
    CTextFileRead reader(file);
    if (!reader.IsOpen())
        return false;
    // A file with a mark comes converted to UTF-8, one without it as its bytes.
    reader.SetCodePage(CP_UTF8);
    std::string line;
    while (reader.ReadLine(line))
        lines.push_back(line);
    const bool utf8 = reader.GetEncoding() != CTextFileBase::EncodingAnsi ||
                      std::all_of(lines.begin(), lines.end(), isUtf8);
    wide.reserve(lines.size());
    for (const std::string& text : lines)
        wide.push_back(vx::widened(text, utf8 ? CP_UTF8 : CP_ACP));
    return true;
}

} // namespace

VOperaBookmarksIndexer::VOperaBookmarksIndexer(const std::string& bookmarkFile, VOperaPlugin* owner)
    // Results in the list outlive this indexer (switched off, or refused by the core) and still draw the
    // icon: the plug-in owns it.
    : VUrlIndexer(owner, owner->resultIcon(), "opera"), bookmarkFile(bookmarkFile) {}

VOperaBookmarksIndexer::~VOperaBookmarksIndexer() {
    // The worker and the builder read our members: they must be gone before they are.
    stopWorker();
}

bool VOperaBookmarksIndexer::readBookmarkFile(const std::string& file, VUrlSink& sink,
                                              const std::function<bool()>& stop) {
    std::vector<std::wstring> lines;
    if (!readLines(file, lines))
        return !vx::isFile(file);
    std::string line, url, name;
    bool inEntry = false;
    for (const std::wstring& wide : lines) {
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
            if (stop && stop())
                return false;
            // An entry without an address would give a result that opens nothing.
            if (!url.empty() && !sink.add(url, name))
                return false;
            inEntry = false;
            url.clear();
            name.clear();
        }
    }
    return true;
}

bool VOperaBookmarksIndexer::readSource(VUrlSink& sink, const std::function<bool()>& stop) const {
    return readBookmarkFile(bookmarkFile, sink, stop);
}
