#include "FirefoxBookmarksIndexer.h"

#include "FirefoxPlugin.h"
#include "model/VFileResult.h"
#include "util/CTextFile.h"
#include "util/VxText.h"

#include <cstring>

namespace {

// Strict UTF-8: false for any invalid sequence, so that a file in another encoding is not mangled.
bool fromUtf8(const std::string& bytes, std::wstring& text) {
    text.clear();
    if (bytes.empty())
        return true;
    int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                  nullptr, 0);
    if (n <= 0)
        return false;
    text.resize(n);
    return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                 &text[0], n) == n;
}

struct TitleReference {
    const wchar_t* text;
    wchar_t character;
};

const TitleReference kTitleReferences[] = {
    {L"&#38;", L'&'}, {L"&#60;", L'<'}, {L"&#62;", L'>'}, {L"&#34;", L'"'}, {L"&#39;", L'\''},
};

} // namespace

bool VFirefoxBookmarksIndexer::readText(const std::string& path, std::wstring& text) {
    CTextFileRead reader(path);
    // A file with a byte-order mark comes converted to UTF-8, one without it as its bytes.
    reader.SetCodePage(CP_UTF8);
    std::string bytes;
    if (!reader.Read(bytes, "\r\n"))
        return false;
    if (!fromUtf8(bytes, text))
        text = vx::widened(bytes);
    return true;
}

std::wstring VFirefoxBookmarksIndexer::decodeTitle(std::wstring_view title) {
    std::wstring out;
    out.reserve(title.size());
    for (std::size_t at = 0; at < title.size();) {
        bool decoded = false;
        if (title[at] == L'&') {
            for (const TitleReference& reference : kTitleReferences) {
                const std::size_t length = std::wcslen(reference.text);
                if (title.compare(at, length, reference.text) == 0) {
                    out += reference.character;
                    at += length;
                    decoded = true;
                    break;
                }
            }
        }
        if (!decoded)
            out += title[at++];
    }
    return out;
}

void VFirefoxBookmarksIndexer::readPlaces(const std::string& file, std::vector<firefox::PlaceEntry>& out,
                                          const firefox::StopRequest& stop) const {
    firefox::readPlacesBookmarks(file, out, stop);
}

void VFirefoxBookmarksIndexer::readOlderFile(const std::string& file, std::vector<firefox::PlaceEntry>& out,
                                             const firefox::StopRequest& stop) const {
    std::wstring text;
    if (!readText(file, text))
        return;
    HtmlStream stream(std::move(text));
    markup::scanner scanner(stream);
    bool inLink = false;
    std::wstring url, description;
    for (;;) {
        const markup::scanner::token_type token = scanner.get_token();
        if (token == markup::scanner::EndOfInput || token == markup::scanner::ErrorToken)
            return;
        switch (token) {
        case markup::scanner::TagStart:
            // Any tag drops what was gathered; only "A" (as Firefox writes it) opens a link.
            url.clear();
            description.clear();
            if (std::strcmp(scanner.get_tag_name(), "A") == 0)
                inLink = true;
            break;
        case markup::scanner::Attribute:
            if (inLink && ::lstrcmpiA(scanner.get_attr_name(), "HREF") == 0)
                url.assign(scanner.get_value(), scanner.get_value_length());
            break;
        case markup::scanner::Word:
        case markup::scanner::Space:
            if (inLink)
                description.append(scanner.get_value(), scanner.get_value_length());
            break;
        case markup::scanner::TagEnd:
            // A link without an address (its "HREF" dropped by a tag inside it) would open nothing.
            if (inLink && !url.empty()) {
                firefox::PlaceEntry entry;
                entry.url = vx::narrowedAddress(url);
                // Matched as shown: the decoded text.
                entry.title = vx::narrowed(decodeTitle(description));
                out.push_back(std::move(entry));
            }
            inLink = false;
            break;
        default:
            break;
        }
        if (stop && stop())
            return;
    }
}
