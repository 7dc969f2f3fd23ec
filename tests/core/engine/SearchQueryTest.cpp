#include "engine/VBestOf.h"
#include "engine/VSearchQuery.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Q = VSearchQuery;

VSearchOptions plain() {
    return VSearchOptions{};
}

VSearchOptions with(bool caseSensitive, bool startOnly, bool fold) {
    VSearchOptions o;
    o.caseSensitive = caseSensitive;
    o.startOnly = startOnly;
    o.foldAccents = fold;
    return o;
}

// How text meets name, the name prepared as a cache would keep it.
Q::Match matchOf(const std::string& text, const std::string& name, const VSearchOptions& options = plain()) {
    const Q query(text, options);
    const std::string prepared = options.caseSensitive ? name : Q::prepared(name, options.foldAccents);
    return query.match(name, prepared);
}

::testing::AssertionResult meets(const std::string& text, const std::string& name, Q::Group group,
                                 Q::Kind kind, const VSearchOptions& options = plain()) {
    const Q::Match m = matchOf(text, name, options);
    if (m.group == group && m.kind == kind)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "\"" << text << "\" in \"" << name << "\" gave group " << int(m.group) << " kind "
           << int(m.kind) << ", expected " << int(group) << "/" << int(kind);
}

::testing::AssertionResult misses(const std::string& text, const std::string& name,
                                  const VSearchOptions& options = plain()) {
    const Q::Match m = matchOf(text, name, options);
    if (!m)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "\"" << text << "\" matched \"" << name << "\" as group " << int(m.group);
}

// The quick test must agree with the full one about whether a name matches at all.
::testing::AssertionResult quickAgrees(const std::string& text, const std::string& name,
                                       const VSearchOptions& options = plain()) {
    const Q query(text, options);
    const std::string prepared = options.caseSensitive ? name : Q::prepared(name, options.foldAccents);
    const bool full = static_cast<bool>(query.match(name, prepared));
    if (query.matches(name, prepared) == full)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << text << "\" vs \"" << name << "\": match says " << full;
}

} // namespace

TEST(SearchQueryText, QuotedPhraseIsOneWordAndThePhraseJoinsWordsWithOneBlank) {
    const Q q("  \"Tom & Jerry\"   Fan ", plain());
    EXPECT_EQ(q.words(), (std::vector<std::string>{"tom & jerry", "fan"}));
    EXPECT_EQ(q.phrase(), "tom & jerry fan");
    EXPECT_EQ(q.text(), "  \"Tom & Jerry\"   Fan ");
    EXPECT_FALSE(q.empty());
    EXPECT_TRUE(Q(" \"\"  ", plain()).empty()) << "only blanks and quotes";
}

TEST(SearchQueryText, WordsAreFoldedOnlyWhenTheSearchIgnoresCase) {
    EXPECT_EQ(Q("Caf\xE9", plain()).phrase(), "cafe");
    EXPECT_EQ(Q("Caf\xE9", with(false, false, false)).phrase(), "caf\xE9");
    EXPECT_EQ(Q("Caf\xE9", with(true, false, true)).phrase(), "Caf\xE9") << "case-sensitive: as typed";
}

TEST(SearchQueryText, CharacterCountLeavesOutBlanksAtEitherEnd) {
    EXPECT_EQ(Q("  ab c  ", plain()).characterCount(), 4u);
    EXPECT_EQ(Q("\xE9t\xE9", plain()).characterCount(), 3u);
}

TEST(SearchQueryMatch, WholeTextAtTheNameStartIsAPrefixOrTheWholeName) {
    EXPECT_TRUE(meets("york", "York Pizza", Q::WordStart, Q::NamePrefix));
    EXPECT_TRUE(meets("notepad", "Notepad.exe", Q::WordStart, Q::WholeName)) << "without its extension";
    EXPECT_TRUE(meets("notepad.exe", "Notepad.exe", Q::WordStart, Q::WholeName));
    EXPECT_TRUE(meets("new york pizza", "New York Pizza", Q::WordStart, Q::WholeName));
}

TEST(SearchQueryMatch, WholeTextAtAWordStartRanksAboveInside) {
    EXPECT_TRUE(meets("york pizza", "New York Pizza", Q::WordStart, Q::WordPrefix));
    for (const char* name : {"a-york", "a_york", "a.york.txt", "a(york)", "a york"})
        EXPECT_TRUE(meets("york", name, Q::WordStart, Q::WordPrefix)) << name;
    EXPECT_TRUE(meets("ork", "New York Pizza", Q::Anywhere, Q::Inside));
    EXPECT_TRUE(meets("york", "Newyork, then York", Q::WordStart, Q::WordPrefix))
        << "a later hit at a word start";
}

TEST(SearchQueryMatch, TheTextFitsTheWordsWhenItEndsWithAWordOrSpellsAllTheInitials) {
    auto fitsWords = [](const std::string& text, const std::string& name) {
        return matchOf(text, name).fitsWords;
    };
    EXPECT_TRUE(fitsWords("obs", "OBS Studio.lnk"));
    EXPECT_FALSE(fitsWords("obs", "Obsidian.lnk"));
    EXPECT_TRUE(fitsWords("studio", "OBS Studio.lnk")) << "up to the extension";
    EXPECT_TRUE(fitsWords("git", "GitHub Desktop")) << "up to a camel-case step";
    EXPECT_TRUE(fitsWords("report", "report2026.doc")) << "up to a digit run";
    EXPECT_TRUE(fitsWords("notes", "meeting notes-final.doc")) << "up to a separator";
    EXPECT_FALSE(fitsWords("note", "meeting notes.doc"));
    EXPECT_TRUE(fitsWords("todo", "todo.txt")) << "the whole name";
    EXPECT_TRUE(fitsWords("shop", "Shop: online shopping")) << "up to a mark";
    EXPECT_TRUE(fitsWords("ev", "Event Viewer.lnk")) << "all the initials";
    EXPECT_FALSE(fitsWords("ev", "Evernote.lnk"));
    EXPECT_TRUE(fitsWords("vsc", "Visual Studio Code")) << "initials alone";
    EXPECT_FALSE(fitsWords("vs", "Visual Studio Code")) << "only the start of the initials";
}

TEST(SearchQueryMatch, EveryWordInAnyOrderMatchesAllWords) {
    EXPECT_TRUE(meets("pizza york", "New York Pizza", Q::AllWords, Q::WordPrefix));
    EXPECT_TRUE(meets("pizza new", "New York Pizza", Q::AllWords, Q::NamePrefix));
    EXPECT_TRUE(meets("izz ork", "New York Pizza", Q::AllWords, Q::Inside));
    EXPECT_TRUE(misses("pizza boston", "New York Pizza"));
}

TEST(SearchQueryMatch, QuotedTextIsSearchedAsOnePhraseWithoutItsQuotes) {
    EXPECT_TRUE(meets("\"Tom & Jerry\"", "Tom & Jerry Fan Club", Q::WordStart, Q::NamePrefix));
    EXPECT_TRUE(misses("\"jerry tom\"", "Tom & Jerry Fan Club")) << "a phrase keeps its order";
    EXPECT_TRUE(meets("\"fan club\" tom", "Tom & Jerry Fan Club", Q::AllWords, Q::NamePrefix));
}

TEST(SearchQueryMatch, InitialsOfTheWordsMatchWithoutTheExtension) {
    EXPECT_TRUE(meets("vsc", "Visual Studio Code.lnk", Q::AllWords, Q::WholeName));
    EXPECT_TRUE(meets("vs", "Visual Studio Code.lnk", Q::AllWords, Q::NamePrefix));
    EXPECT_TRUE(misses("vscl", "Visual Studio Code.lnk")) << "the extension is not a word";
    EXPECT_TRUE(misses("sc", "Visual Studio Code.lnk")) << "initials start at the first word";
    EXPECT_TRUE(misses("v", "_Visual Studio", with(false, true, true))) << "one character is not initials";
    EXPECT_TRUE(meets("gd", "GitHub Desktop.lnk", Q::AllWords, Q::WholeName)) << "camel-case steps optional";
    EXPECT_TRUE(meets("ghd", "GitHub Desktop.lnk", Q::AllWords, Q::WholeName));
}

TEST(SearchQueryMatch, CamelCaseStepsAndDigitRunsStartWords) {
    EXPECT_TRUE(meets("code", "vsCode", Q::WordStart, Q::WordPrefix));
    EXPECT_TRUE(meets("vs", "VisualStudio", Q::AllWords, Q::WholeName));
    EXPECT_TRUE(meets("parser", "HTMLParser", Q::WordStart, Q::WordPrefix));
    EXPECT_TRUE(meets("10", "Win10Setup", Q::WordStart, Q::WordPrefix));
    EXPECT_TRUE(meets("setup", "Win10Setup", Q::WordStart, Q::WordPrefix));
    EXPECT_TRUE(meets("w1s", "Win10Setup.exe", Q::AllWords, Q::WholeName));
    EXPECT_TRUE(meets("ode", "vsCode", Q::Anywhere, Q::Inside));
}

TEST(SearchQueryMatch, AHitInsideTheExtensionIsNotAWordStart) {
    EXPECT_TRUE(meets("exe", "setup.exe", Q::Anywhere, Q::Inside));
}

TEST(SearchQueryMatch, AccentsFoldBothWaysWhenFoldingIsOn) {
    EXPECT_TRUE(meets("cafe", "Caf\xE9", Q::WordStart, Q::WholeName));
    EXPECT_TRUE(meets("caf\xE9", "Cafe", Q::WordStart, Q::WholeName));
    EXPECT_TRUE(meets("CAF\xC9", "caf\xE9 noir", Q::WordStart, Q::NamePrefix));
}

TEST(SearchQueryMatch, AccentsCountWhenFoldingIsOffOrTheSearchIsCaseSensitive) {
    EXPECT_TRUE(misses("cafe", "Caf\xE9", with(false, false, false)));
    EXPECT_TRUE(meets("caf\xE9", "CAF\xC9", Q::WordStart, Q::WholeName, with(false, false, false)));
    EXPECT_TRUE(misses("cafe", "cAf\xE9", with(true, false, true)));
    EXPECT_TRUE(misses("Cafe", "cafe", with(true, false, true)));
}

TEST(SearchQueryMatch, StartOnlyKeepsThePhraseAtTheStartAndWordsAtWordStarts) {
    const VSearchOptions startOnly = with(false, true, true);
    EXPECT_TRUE(meets("new", "New York", Q::WordStart, Q::NamePrefix, startOnly));
    EXPECT_TRUE(misses("york", "New York", startOnly)) << "one word: only at the start, as always";
    EXPECT_TRUE(meets("pizza york", "New York Pizza", Q::AllWords, Q::WordPrefix, startOnly));
    EXPECT_TRUE(misses("izza york", "New York Pizza", startOnly));
    EXPECT_TRUE(misses("ork", "New York Pizza", startOnly)) << "never inside";
}

TEST(SearchQueryMatch, QuickTestAgreesWithTheFullOne) {
    const std::vector<std::string> names = {"New York Pizza",
                                            "Visual Studio Code.lnk",
                                            "vsCode",
                                            "Win10Setup.exe",
                                            "Caf\xE9",
                                            "setup.exe",
                                            "a",
                                            ""};
    const std::vector<std::string> texts = {"york", "pizza york", "vsc",    "ork", "cafe",
                                            "exe",  "w1s",        "zz top", "a"};
    for (bool startOnly : {false, true}) {
        for (const std::string& text : texts) {
            for (const std::string& name : names)
                EXPECT_TRUE(quickAgrees(text, name, with(false, startOnly, true)))
                    << "start-only " << startOnly;
        }
    }
}

TEST(SearchQueryText, ProgramNamesEndInAProgramExtensionInAnyCase) {
    for (const char* name : {"a.exe", "A.EXE", "b.com", "c.lnk", "d.appref-ms", "e.msc", "f.CPL"})
        EXPECT_TRUE(Q::isProgramName(name)) << name;
    for (const char* name : {"exe", ".exe", "a.exe.txt", "notes.lnkx", "a.bat"})
        EXPECT_FALSE(Q::isProgramName(name)) << name;
}

TEST(SearchQueryText, ShortcutsToProgramsRankAbovePrograms_AndShortcutsToDocumentsAreDocuments) {
    EXPECT_EQ(Q::programLevel("Google Chrome.lnk"), 2u);
    EXPECT_EQ(Q::programLevel("Notepad++.LNK"), 2u);
    EXPECT_EQ(Q::programLevel("chrome.exe"), 1u);
    EXPECT_EQ(Q::programLevel("budget 2026.xlsx.lnk"), 0u) << "a shortcut to a document";
    EXPECT_EQ(Q::programLevel("GIMP 2.10.36.lnk"), 2u) << "a version is no extension";
    EXPECT_EQ(Q::programLevel("meeting notes.doc"), 0u);
    Q::Candidate shortcut, program;
    shortcut.match = program.match = Q::Match{Q::WordStart, Q::WordPrefix};
    shortcut.program = 2;
    shortcut.nameChars = 30;
    program.program = 1;
    program.match.kind = Q::WholeName;
    program.nameChars = 6;
    EXPECT_GT(Q::rankKey(shortcut), Q::rankKey(program));
}

TEST(SearchQueryText, LearnedWeightIsThatOfTheSameIdentityOnly) {
    const Q q("vs", plain(),
              {{VProperty::FileType, "C:\\a.lnk", 2.5}, {VProperty::UrlType, "C:\\a.lnk", 1.0}});
    EXPECT_TRUE(q.hasLearned());
    EXPECT_DOUBLE_EQ(q.learnedWeight(VProperty::FileType, "C:\\a.lnk"), 2.5);
    EXPECT_DOUBLE_EQ(q.learnedWeight(VProperty::FileType, "C:\\b.lnk"), 0.0);
}

namespace {

// A middling candidate whose every field can be made better or worse.
Q::Candidate middling() {
    Q::Candidate c;
    c.match = Q::Match{Q::AllWords, Q::NamePrefix};
    c.program = false;
    c.nameChars = 20;
    c.depth = 4;
    c.sourceRank = 1000;
    c.learned = 0;
    return c;
}

} // namespace

TEST(SearchQueryRankKey, EachFieldOutranksEveryFieldAfterIt) {
    // Each better field with every later field at its worst against the middling candidate at its best.
    Q::Candidate worstAfterGroup = middling();
    worstAfterGroup.match = Q::Match{Q::WordStart, Q::Inside};
    worstAfterGroup.nameChars = 100000;
    worstAfterGroup.depth = 1000;
    worstAfterGroup.sourceRank = 0;
    Q::Candidate bestBelowGroup = middling();
    bestBelowGroup.program = true;
    bestBelowGroup.match.kind = Q::WholeName;
    bestBelowGroup.nameChars = 1;
    bestBelowGroup.depth = 0;
    bestBelowGroup.sourceRank = 0xFFFFFFFFu;
    EXPECT_GT(Q::rankKey(worstAfterGroup), Q::rankKey(bestBelowGroup)) << "group";

    Q::Candidate program = bestBelowGroup;
    program.match.kind = Q::Inside;
    program.nameChars = 100000;
    program.depth = 1000;
    program.sourceRank = 0;
    Q::Candidate document = bestBelowGroup;
    document.program = false;
    EXPECT_GT(Q::rankKey(program), Q::rankKey(document)) << "program";

    Q::Candidate betterKind = document;
    betterKind.match.kind = Q::NamePrefix;
    betterKind.nameChars = 100000;
    betterKind.depth = 1000;
    betterKind.sourceRank = 0;
    Q::Candidate worseKind = document;
    worseKind.match.kind = Q::WordPrefix;
    EXPECT_GT(Q::rankKey(betterKind), Q::rankKey(worseKind)) << "kind";

    Q::Candidate fitsWords = document;
    fitsWords.match.kind = Q::WordPrefix;
    fitsWords.match.fitsWords = true;
    fitsWords.nameChars = 100000;
    fitsWords.depth = 1000;
    fitsWords.sourceRank = 0;
    Q::Candidate partWord = document;
    partWord.match.kind = Q::WordPrefix;
    partWord.match.fitsWords = false;
    EXPECT_GT(Q::rankKey(fitsWords), Q::rankKey(partWord)) << "whole word";
    EXPECT_GT(Q::rankKey(betterKind), Q::rankKey(fitsWords))
        << "a whole word is worth less than a better kind";

    Q::Candidate shorter = middling();
    shorter.nameChars = 19;
    shorter.depth = 1000;
    shorter.sourceRank = 0;
    Q::Candidate longer = middling();
    longer.depth = 0;
    longer.sourceRank = 0xFFFFFFFFu;
    EXPECT_GT(Q::rankKey(shorter), Q::rankKey(longer)) << "length";

    Q::Candidate shallower = middling();
    shallower.depth = 3;
    shallower.sourceRank = 0;
    Q::Candidate deeper = middling();
    deeper.sourceRank = 0xFFFFFFFFu;
    EXPECT_GT(Q::rankKey(shallower), Q::rankKey(deeper)) << "depth";

    Q::Candidate moreUsed = middling();
    moreUsed.sourceRank = 1001;
    EXPECT_GT(Q::rankKey(moreUsed), Q::rankKey(middling())) << "source rank";
}

TEST(SearchQueryRankKey, AnythingLearnedBeatsTheBestUnlearnedCandidate) {
    Q::Candidate best;
    best.match = Q::Match{Q::WordStart, Q::WholeName};
    best.program = true;
    best.nameChars = 1;
    best.sourceRank = 0xFFFFFFFFu;
    Q::Candidate learned;
    learned.match = Q::Match{Q::Anywhere, Q::Inside};
    learned.nameChars = 100000;
    learned.depth = 1000;
    learned.learned = 0.001;
    EXPECT_GT(Q::rankKey(learned), Q::rankKey(best));
    Q::Candidate moreLearned = learned;
    moreLearned.learned = 3;
    EXPECT_GT(Q::rankKey(moreLearned), Q::rankKey(learned));
    moreLearned.learned = 1e12;
    EXPECT_GT(Q::rankKey(moreLearned), Q::rankKey(learned)) << "a huge weight saturates, never wraps";
}

TEST(BestOf, KeepsTheBestByKeyAndCountsTheRest) {
    VBestOf<int> best(3);
    const VRankKey keys[] = {5, 1, 9, 7, 3, 8};
    for (int i = 0; i < 6; ++i)
        best.offer(keys[i], i);
    EXPECT_EQ(best.dropped(), 3u);
    EXPECT_FALSE(best.wouldKeep(7)) << "not better than the worst kept";
    EXPECT_TRUE(best.wouldKeep(8));
    const auto kept = best.take();
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept[0], (std::pair<VRankKey, int>(9, 2)));
    EXPECT_EQ(kept[1], (std::pair<VRankKey, int>(8, 5)));
    EXPECT_EQ(kept[2], (std::pair<VRankKey, int>(7, 3)));
}

TEST(BestOf, EqualKeysKeepTheFirstOffered) {
    VBestOf<int> best(2);
    for (int i = 0; i < 5; ++i)
        best.offer(0, i);
    best.offer(1, 99);
    const auto kept = best.take();
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].second, 99);
    EXPECT_EQ(kept[1].second, 0);
}

TEST(BestOf, LimitZeroKeepsNothingAndCountsEverything) {
    VBestOf<int> best(0);
    best.offer(10, 1);
    best.offer(20, 2);
    EXPECT_EQ(best.size(), 0u);
    EXPECT_EQ(best.dropped(), 2u);
    EXPECT_FALSE(best.wouldKeep(100));
    EXPECT_TRUE(best.take().empty());
}
