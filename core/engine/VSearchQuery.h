#pragma once
// What a typed text asks for, prepared once per search and shared read-only by every indexer's worker:
// whether a candidate's name matches it, how well, and the key that orders results across sources.
//
// A candidate matches when the whole text is found in it (at its start with the start-only option),
// when every word of the text is found in it in any order, or when the text is the initials of its
// words ("vsc": "Visual Studio Code"). A text in double quotes is one phrase: the quotes are not
// searched for. Unless the search is case-sensitive, texts are compared lower-cased and, with accent
// folding on, without their accents ("cafe" finds "Café").
#include "VxApi.h"
#include "model/VProperty.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Orders results: larger is better. Results of equal keys keep the order they arrived in.
using VRankKey = uint64_t;

struct VSearchOptions {
    bool caseSensitive = false;
    bool startOnly = false;
    bool foldAccents = true;
};

// One item the user chose before for this text (or for a longer text that starts with it).
struct VLearnedItem {
    PropertyType type = VProperty::TextType;
    std::string value; // the chosen result's default property, as stored
    double weight = 0; // count, decayed with age; > 0
};

class VX_CORE_API VSearchQuery {
public:
    // How the text meets a name; larger is better. NoMatch: it does not.
    enum Group : uint8_t {
        NoMatch = 0,
        Anywhere = 1,  // the whole text inside a word
        AllWords = 2,  // every word in any order, or the initials of the name's words
        WordStart = 3, // the whole text at the start of the name or of one of its words
    };
    // Within a group; larger is better.
    enum Kind : uint8_t {
        Inside = 0,
        WordPrefix = 1, // at the start of a word other than the first
        NamePrefix = 2, // at the start of the name
        WholeName = 3,  // the whole name, or the name without its extension
    };
    struct Match {
        Group group = NoMatch;
        Kind kind = Inside;
        // At the start of a word, the text ends where that word ends ("obs" in "OBS Studio", not in
        // "Obsidian"), or it spells all of the name's initials ("ev" in "Event Viewer", not in "Evernote").
        bool fitsWords = false;
        explicit operator bool() const { return group != NoMatch; }
    };

    // What ranks a result beyond how its name matched.
    struct Candidate {
        Match match;
        unsigned program = 0;      // programLevel of the name: 2 a program shortcut, 1 a program, 0 other
        std::size_t nameChars = 0; // the name's length in characters
        unsigned depth = 0;        // path depth: backslashes (or slashes in an address) before the name
        uint32_t sourceRank = 0;   // the source's own rank (frecency for history); larger is better
        double learned = 0;        // learnedWeight of the result's identity
    };

    // text as typed. learned: what the user chose before for this text, from the core's memory.
    VSearchQuery(const std::string& text, const VSearchOptions& options,
                 std::vector<VLearnedItem> learned = {});

    const VSearchOptions& options() const { return opts; }
    // The text as typed.
    const std::string& text() const { return typed; }
    // The whole text to look for, prepared (lower-cased and folded as the options say), with the quotes
    // of its phrases removed and its words joined by one blank: "\"tom & jerry\"" gives "tom & jerry".
    const std::string& phrase() const { return whole; }
    // Its words, prepared; a quoted phrase is one word.
    const std::vector<std::string>& words() const { return tokens; }
    // Nothing to look for: the text was empty or only blanks and quotes.
    bool empty() const { return whole.empty(); }
    // The typed text's length in characters (a CJK character counts one), blanks at either end aside:
    // what the minimum search length is compared with.
    std::size_t characterCount() const { return chars; }

    // How a candidate matches. name is the text as stored (its case shows camel-case steps); prepared
    // is prepareText(name) (the caches keep it), or name itself for a case-sensitive search.
    Match match(std::string_view name, std::string_view prepared) const;
    // Only whether it matches: the quick test for loops over many names. Without the name as stored it
    // cannot see camel-case steps, so initials such as "vsc" of "VisualStudioCode" need the overload.
    bool matches(std::string_view prepared) const;
    bool matches(std::string_view name, std::string_view prepared) const;

    // The learned weight of a result's identity (its default property), 0 when never chosen.
    double learnedWeight(PropertyType type, std::string_view value) const;
    bool hasLearned() const { return !learnedItems.empty(); }
    const std::vector<VLearnedItem>& learned() const { return learnedItems; }

    // The key a result with these traits ranks by. Learned weight first, then group, program, kind,
    // shorter names, shallower paths, the source's rank.
    static VRankKey rankKey(const Candidate& candidate);

    // A text as the caches keep it for matching: lower-cased in the active code page and, when fold is
    // true, without accents (the platform's canonical decomposition, combining marks dropped). ASCII
    // text takes a fast path. Thread-safe.
    static void prepareText(std::string_view text, std::string& out, bool fold = true);
    static std::string prepared(std::string_view text, bool fold = true);
    // Characters in a text of the active code page.
    static std::size_t countCharacters(std::string_view text);
    // True for a name that starts a program: .exe, .com, .lnk, .appref-ms, .msc, .cpl, any case.
    static bool isProgramName(std::string_view name) { return programLevel(name) > 0; }
    // 2 for a program shortcut (.lnk, .appref-ms; not one to a document, "report.docx.lnk"), 1 for a
    // program (.exe, .com, .msc, .cpl), 0 for anything else. The Start menu's shortcuts are what a user
    // launches by name; the programs they point at sit beside helpers and uninstallers.
    static unsigned programLevel(std::string_view name);
    // Splits a typed text on blanks; a double-quoted phrase is one word without its quotes, and a quote
    // left open runs to the end. Empty words are dropped.
    static std::vector<std::string> splitWords(const std::string& text);

private:
    // match and matches in one: quick answers as soon as it knows that the name matches at all.
    Match evaluate(std::string_view name, std::string_view prepared, bool quick) const;
    // 2 when the text is all of the name's initials (before extAt), 1 when it starts them, else 0.
    int initialsOf(std::string_view name, std::string_view prepared, std::size_t extAt, bool camel) const;
    // The text is all of the name's initials, and a text that initials may be.
    bool allInitials(std::string_view name, std::string_view prepared, std::size_t extAt, bool camel) const;

    std::string typed;
    VSearchOptions opts;
    std::string whole;
    std::vector<std::string> tokens;
    std::size_t chars = 0;
    bool initialsAllowed = false; // one word of two characters or more
    std::vector<VLearnedItem> learnedItems;
};

using VSearchQueryPtr = std::shared_ptr<const VSearchQuery>;
