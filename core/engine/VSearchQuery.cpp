#include "engine/VSearchQuery.h"

#include "util/VxText.h"

#include <windows.h>

#include <algorithm>
#include <cmath>

// The rank key, from the most significant bit down (larger is better in every field):
//   63..52  learned weight, x16 rounded up and capped at 4095: anything chosen before beats the rest
//   51..50  group (WordStart 3, AllWords 2, Anywhere 1)
//   49..48  program level (a program shortcut 2, a program 1)
//   47..46  kind (WholeName 3, NamePrefix 2, WordPrefix 1, Inside 0)
//   45      the text fits the name's words: a whole word of it, or all its initials
//   44..34  shortness: 2047 - the name's length in characters (longer names all count 2047)
//   33..26  shallowness: 255 - the path's depth (deeper paths all count 255)
//   25..0   the source's own rank, capped at 2^26 - 1
// Fields are saturated, never wrapped, so no field ever spills into the one above it.

namespace {

constexpr unsigned kLearnedShift = 52;
constexpr unsigned kGroupShift = 50;
constexpr unsigned kProgramShift = 48;
constexpr unsigned kKindShift = 46;
constexpr unsigned kFitsWordsShift = 45;
constexpr unsigned kShortnessShift = 34;
constexpr unsigned kShallownessShift = 26;
constexpr uint64_t kLearnedMax = 4095;
constexpr uint64_t kCharsMax = 2047;
constexpr uint64_t kDepthMax = 255;
constexpr uint64_t kSourceRankMax = (uint64_t(1) << kShallownessShift) - 1;

bool isSeparator(char c) {
    return c == ' ' || c == '\t' || c == '-' || c == '_' || c == '.' || c == '(';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isUpper(char c) {
    return c >= 'A' && c <= 'Z';
}

bool isLower(char c) {
    return c >= 'a' && c <= 'z';
}

UINT activeCodePage() {
    static const UINT page = ::GetACP();
    return page;
}

// Bytes of the character that starts at text[i], in the active code page.
std::size_t charLength(std::string_view text, std::size_t i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    std::size_t n = 1;
    if (c >= 0x80) {
        if (activeCodePage() == CP_UTF8)
            n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        else if (vx::isLeadByte(text[i]))
            n = 2;
    }
    return std::min(n, text.size() - i);
}

// Where the name's extension starts (its dot), or the name's length when it has none: a dot after the
// first character followed by 1 to 15 characters without a blank.
std::size_t extensionStart(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size() || name.size() - dot > 16)
        return name.size();
    for (std::size_t i = dot + 1; i < name.size(); ++i) {
        if (vx::isBlank(name[i]))
            return name.size();
    }
    return dot;
}

// True when a word of the name starts at prepared[i]. Separators and digit runs are seen in prepared;
// camel-case steps ("vsCode", "HTMLParser") only in name, and only when camel says both are the same
// length (a folded accent changes the length, and then positions no longer correspond).
bool wordStartAt(std::string_view name, std::string_view prepared, std::size_t i, bool camel) {
    const char cur = prepared[i];
    if (isSeparator(cur))
        return false;
    if (i == 0)
        return true;
    const char prev = prepared[i - 1];
    if (isSeparator(prev) || isDigit(prev) != isDigit(cur))
        return true;
    if (camel) {
        const char a = name[i - 1], b = name[i];
        if (isLower(a) && isUpper(b))
            return true;
        if (isUpper(a) && isUpper(b) && i + 1 < name.size() && isLower(name[i + 1]))
            return true;
    }
    return false;
}

// Where needle occurs in prepared at the start of a word before the extension, from pos on; npos when
// nowhere. A hit inside the extension (".exe") says nothing about the name.
std::size_t findAtWordStart(std::string_view name, std::string_view prepared, std::string_view needle,
                            std::size_t pos, std::size_t extAt, bool camel) {
    for (; pos != std::string_view::npos && pos < extAt; pos = prepared.find(needle, pos + 1)) {
        if (wordStartAt(name, prepared, pos, camel))
            return pos;
    }
    return std::string_view::npos;
}

// True when a word of the name ends just before prepared[end]: at the name's end or its extension, at
// any ASCII mark or blank (": ", ", "), or where the next word starts.
bool wordEndsAt(std::string_view name, std::string_view prepared, std::size_t end, std::size_t extAt,
                bool camel) {
    if (end >= extAt || end >= prepared.size())
        return true;
    const auto c = static_cast<unsigned char>(prepared[end]);
    const bool letterOrDigit = c >= 0x80 || isDigit(static_cast<char>(c)) || isLower(static_cast<char>(c)) ||
                               isUpper(static_cast<char>(c));
    return !letterOrDigit || wordStartAt(name, prepared, end, camel);
}

// 0 when the text is not the start of the name's initials; 1 when it is a prefix of them, 2 when it is
// all of them. Words in the extension do not count.
int initialsMatch(std::string_view name, std::string_view prepared, std::string_view text, std::size_t extAt,
                  bool camel) {
    std::size_t t = 0;
    for (std::size_t i = 0; i < extAt; ++i) {
        if (!wordStartAt(name, prepared, i, camel))
            continue;
        if (t == text.size())
            return 1;
        const std::size_t len = charLength(prepared, i);
        if (text.size() - t < len || text.compare(t, len, prepared.substr(i, len)) != 0)
            return 0;
        t += len;
        i += len - 1;
    }
    return t == text.size() ? 2 : 0;
}

bool readCharacterTypes(const std::wstring& text, std::vector<WORD>& types) {
    types.assign(text.size(), 0);
    return ::GetStringTypeW(CT_CTYPE3, text.data(), static_cast<int>(text.size()), types.data()) != FALSE;
}

// One normalisation form of text; false (text untouched) when the platform refuses.
bool normalize(NORM_FORM form, std::wstring& text) {
    if (text.empty())
        return true;
    int size = ::NormalizeString(form, text.data(), static_cast<int>(text.size()), nullptr, 0);
    for (int attempt = 0; size > 0 && attempt < 3; ++attempt) {
        std::wstring out(static_cast<std::size_t>(size), L'\0');
        const int n = ::NormalizeString(form, text.data(), static_cast<int>(text.size()), &out[0], size);
        if (n > 0) {
            out.resize(static_cast<std::size_t>(n));
            text.swap(out);
            return true;
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            return false;
        // The first answer is an estimate; a negative one is a better estimate.
        size = n < 0 ? -n : size * 2;
    }
    return false;
}

// The folded copy of a text outside ASCII: lower-cased, decomposed, combining marks dropped, composed
// again (so that Hangul syllables and the like come back whole).
void foldInto(std::string_view text, std::string& out) {
    std::wstring wide = vx::widened(text);
    if (!wide.empty())
        ::CharLowerBuffW(&wide[0], static_cast<DWORD>(wide.size()));
    if (!normalize(NormalizationD, wide)) {
        vx::narrowInto(wide, out);
        return;
    }
    std::vector<WORD> types;
    if (readCharacterTypes(wide, types)) {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < wide.size(); ++i) {
            const wchar_t c = wide[i];
            // The combining diacritical marks block is named as well, in case a platform's type table
            // leaves one of them unmarked.
            const bool mark = (types[i] & C3_NONSPACING) != 0 || (c >= 0x0300 && c <= 0x036F);
            if (!mark)
                wide[kept++] = c;
        }
        wide.resize(kept);
    }
    normalize(NormalizationC, wide);
    vx::narrowInto(wide, out);
}

// True when a shortcut's name without ".lnk" still ends in an extension with a letter: "budget.xlsx"
// does, "GIMP 2.10.36" and "Blender 4.1" (versions) do not.
bool hasDocumentExtension(std::string_view stem) {
    const std::size_t at = extensionStart(stem);
    if (at >= stem.size())
        return false;
    return std::any_of(stem.begin() + at + 1, stem.end(), [](char c) { return isLower(c) || isUpper(c); });
}

} // namespace

std::vector<std::string> VSearchQuery::splitWords(const std::string& text) {
    std::vector<std::string> words;
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n && text[i] == ' ')
        ++i;
    while (i < n) {
        std::string word;
        while (i < n && (text[i] == ' ' || text[i] == '\t'))
            word += text[i++];
        const bool quoted = i < n && text[i] == '"';
        if (quoted)
            ++i;
        while (i < n && (quoted ? text[i] != '"' : text[i] != ' '))
            word += text[i++];
        if (i < n) {
            ++i;
            if (quoted && i < n && text[i] == ' ')
                ++i;
        }
        word = vx::trimmed(word);
        if (!word.empty())
            words.push_back(std::move(word));
    }
    return words;
}

VSearchQuery::VSearchQuery(const std::string& text, const VSearchOptions& options,
                           std::vector<VLearnedItem> learned)
    : typed(text), opts(options), learnedItems(std::move(learned)) {
    const bool fold = options.foldAccents && !options.caseSensitive;
    for (std::string& word : splitWords(text)) {
        if (!options.caseSensitive)
            word = prepared(word, fold);
        if (word.empty())
            continue; // only marks, folded away
        if (!whole.empty())
            whole += ' ';
        whole += word;
        tokens.push_back(std::move(word));
    }
    chars = countCharacters(vx::trimmed(text));
    initialsAllowed =
        tokens.size() == 1 && whole.find(' ') == std::string::npos && countCharacters(whole) >= 2;
}

VSearchQuery::Match VSearchQuery::evaluate(std::string_view name, std::string_view prepared,
                                           bool quick) const {
    Match best;
    if (whole.empty() || prepared.size() < std::min(whole.size(), tokens.front().size()))
        return best;
    const bool camel = name.size() == prepared.size();
    const std::size_t wholeAt = prepared.find(whole);
    if (wholeAt == 0) {
        best.group = WordStart;
        if (!quick) {
            const std::size_t extAt = extensionStart(prepared);
            const bool entire = prepared.size() == whole.size() || extAt == whole.size();
            best.kind = entire ? WholeName : NamePrefix;
            best.fitsWords = entire || wordEndsAt(name, prepared, whole.size(), extAt, camel) ||
                             allInitials(name, prepared, extAt, camel);
        }
        return best;
    }
    std::size_t extAt = std::string_view::npos; // worked out on first need
    auto extension = [&] {
        if (extAt == std::string_view::npos)
            extAt = extensionStart(prepared);
        return extAt;
    };
    if (wholeAt != std::string_view::npos && !opts.startOnly) {
        if (quick)
            return Match{Anywhere, Inside};
        const std::size_t start = findAtWordStart(name, prepared, whole, wholeAt, extension(), camel);
        if (start != std::string_view::npos)
            return Match{WordStart, WordPrefix,
                         wordEndsAt(name, prepared, start + whole.size(), extension(), camel) ||
                             allInitials(name, prepared, extension(), camel)};
        best = Match{Anywhere, Inside};
    }
    if (tokens.size() >= 2) {
        bool all = true, allAtStarts = true, oneAtZero = false;
        for (const std::string& word : tokens) {
            const std::size_t at = prepared.find(word);
            if (at == std::string_view::npos) {
                all = false;
                break;
            }
            if (quick && !opts.startOnly)
                continue;
            const std::size_t start = findAtWordStart(name, prepared, word, at, extension(), camel);
            if (start == std::string_view::npos) {
                allAtStarts = false;
                if (opts.startOnly)
                    break;
            } else if (start == 0) {
                oneAtZero = true;
            }
        }
        if (all && (allAtStarts || !opts.startOnly)) {
            Kind kind = Inside;
            if (allAtStarts)
                kind = oneAtZero ? NamePrefix : WordPrefix;
            return Match{AllWords, kind};
        }
    } else if (initialsAllowed) {
        const int initials = initialsOf(name, prepared, extension(), camel);
        if (initials)
            return Match{AllWords, initials == 2 ? WholeName : NamePrefix, initials == 2};
    }
    return best;
}

int VSearchQuery::initialsOf(std::string_view name, std::string_view prepared, std::size_t extAt,
                             bool camel) const {
    // With its camel-case steps and without: "gd" is "GitHub Desktop" as much as "ghd" is.
    int initials = initialsMatch(name, prepared, whole, extAt, camel);
    if (!initials && camel)
        initials = initialsMatch(name, prepared, whole, extAt, false);
    return initials;
}

bool VSearchQuery::allInitials(std::string_view name, std::string_view prepared, std::size_t extAt,
                               bool camel) const {
    return initialsAllowed && initialsOf(name, prepared, extAt, camel) == 2;
}

VSearchQuery::Match VSearchQuery::match(std::string_view name, std::string_view prepared) const {
    return evaluate(name, prepared, false);
}

bool VSearchQuery::matches(std::string_view prepared) const {
    return static_cast<bool>(evaluate(prepared, prepared, true));
}

bool VSearchQuery::matches(std::string_view name, std::string_view prepared) const {
    return static_cast<bool>(evaluate(name, prepared, true));
}

double VSearchQuery::learnedWeight(PropertyType type, std::string_view value) const {
    double weight = 0;
    for (const VLearnedItem& item : learnedItems) {
        if (item.type == type && item.value == value)
            weight += item.weight;
    }
    return weight;
}

VRankKey VSearchQuery::rankKey(const Candidate& c) {
    uint64_t learned = 0;
    if (c.learned > 0) {
        const double scaled = std::ceil(c.learned * 16.0);
        learned = scaled >= static_cast<double>(kLearnedMax) ? kLearnedMax : static_cast<uint64_t>(scaled);
    }
    const uint64_t chars = std::min<uint64_t>(c.nameChars, kCharsMax);
    const uint64_t depth = std::min<uint64_t>(c.depth, kDepthMax);
    const uint64_t source = std::min<uint64_t>(c.sourceRank, kSourceRankMax);
    return (learned << kLearnedShift) | (uint64_t(c.match.group & 3) << kGroupShift) |
           (uint64_t(std::min(c.program, 2u)) << kProgramShift) | (uint64_t(c.match.kind & 3) << kKindShift) |
           (uint64_t(c.match.fitsWords ? 1 : 0) << kFitsWordsShift) |
           ((kCharsMax - chars) << kShortnessShift) | ((kDepthMax - depth) << kShallownessShift) | source;
}

void VSearchQuery::prepareText(std::string_view text, std::string& out, bool fold) {
    if (!fold || vx::isAscii(text)) {
        // The ASCII fast path: a byte-wise copy, no conversion. Reuses out's storage.
        out.resize(text.size());
        if (!text.empty())
            vx::lowerInto(text.data(), text.size(), &out[0]);
        return;
    }
    foldInto(text, out);
}

std::string VSearchQuery::prepared(std::string_view text, bool fold) {
    std::string out;
    prepareText(text, out, fold);
    return out;
}

std::size_t VSearchQuery::countCharacters(std::string_view text) {
    if (vx::isAscii(text))
        return text.size();
    const std::wstring wide = vx::widened(text);
    // A character outside the basic plane is two UTF-16 units: count its high half only.
    return static_cast<std::size_t>(
        std::count_if(wide.begin(), wide.end(), [](wchar_t c) { return c < 0xDC00 || c > 0xDFFF; }));
}

unsigned VSearchQuery::programLevel(std::string_view name) {
    struct Kind {
        const char* extension;
        unsigned level;
    };
    static const Kind kinds[] = {{".lnk", 2}, {".appref-ms", 2}, {".exe", 1},
                                 {".com", 1}, {".msc", 1},       {".cpl", 1}};
    for (const Kind& kind : kinds) {
        const std::string_view e(kind.extension);
        if (name.size() <= e.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < e.size() && same; ++i) {
            char c = name[name.size() - e.size() + i];
            if (isUpper(c))
                c = static_cast<char>(c - 'A' + 'a');
            same = c == e[i];
        }
        if (!same)
            continue;
        // A shortcut to a document keeps the document's own extension in its name ("budget.xlsx.lnk"):
        // it opens the document, not a program.
        if (kind.level == 2 && hasDocumentExtension(name.substr(0, name.size() - e.size())))
            return 0;
        return kind.level;
    }
    return 0;
}
