#include "support/CoreFixture.h"

#include <random>

namespace {

class Matching : public CoreTest {
protected:
    MatchProbe probe;
    bool matches(const std::string& search, const std::string& text, bool isUrl = false) {
        probe.prepare(search);
        return probe.match(text, isUrl);
    }
};

std::vector<std::string> tokensOf(MatchProbe& probe, const std::string& text) {
    probe.tokenizeSearchString(text);
    return probe.getTokens();
}

} // namespace

TEST_F(Matching, TokenizerSplitsOnSpacesAndKeepsQuotedPhrases) {
    using V = std::vector<std::string>;
    EXPECT_EQ(tokensOf(probe, " abc  def "), (V{"abc", "def"}));
    EXPECT_EQ(tokensOf(probe, "\"new york\" pizza"), (V{"new york", "pizza"}));
    EXPECT_EQ(tokensOf(probe, "\"new york"), (V{"new york"}));
    EXPECT_EQ(tokensOf(probe, "ab\"cd ef"), (V{"ab\"cd", "ef"}));
    EXPECT_EQ(tokensOf(probe, "a\tb"), (V{"a\tb"})) << "tab is not a separator";
    EXPECT_EQ(tokensOf(probe, "   "), V{});
    EXPECT_EQ(tokensOf(probe, ""), V{});
    EXPECT_EQ(tokensOf(probe, "a\\\"b c"), (V{"a\\\"b", "c"})) << "backslash has no meaning";
}

TEST_F(Matching, CaseInsensitiveSearchFindsTheTextAnywhere) {
    EXPECT_TRUE(matches("ABC", "xabcx"));
    EXPECT_TRUE(matches("abc", "XABCX"));
    EXPECT_FALSE(matches("abd", "xabcx"));
}

TEST_F(Matching, StartOnlyOptionRequiresPositionZero) {
    core->setSearchStringStart(true);
    EXPECT_TRUE(matches("ABC", "abcx"));
    EXPECT_FALSE(matches("ABC", "xabc"));
}

TEST_F(Matching, CaseSensitiveSearchComparesAsGiven) {
    core->setSearchCaseSensitive(true);
    EXPECT_TRUE(matches("Abc", "xAbc"));
    EXPECT_FALSE(matches("Abc", "xabc"));
}

TEST_F(Matching, NonAsciiTextsAreLowerCasedWithTheCodePage) {
    // "ÉTÉ" and "été" in the active code page (1252 here; Windows would use the user's own).
    ASSERT_EQ(::GetACP(), 1252u);
    EXPECT_TRUE(matches("\xC9t\xC9", "l'\xE9t\xE9"));
    EXPECT_TRUE(matches("\xFF", "\xFF")) << "bytes above 127 are never passed to tolower as negatives";
}

TEST_F(Matching, LongCandidatesAreMatchedWholly) {
    std::string longText(5000, 'x');
    longText += "Needle";
    EXPECT_TRUE(matches("needle", longText));
    EXPECT_FALSE(matches("needlex", longText));
}

TEST_F(Matching, UrlDomainOnlyComparesTheHost) {
    ASSERT_TRUE(core->getSearchUrlDomainOnly());
    EXPECT_TRUE(matches("example", "http://www.Example.com/path", true));
    EXPECT_FALSE(matches("path", "http://www.example.com/path", true));
    EXPECT_FALSE(matches("example", "http://www.example.com", true)) << "no slash after the host";
    core->setSearchUrlDomainOnly(false);
    EXPECT_TRUE(matches("path", "http://www.example.com/path", true));
    EXPECT_TRUE(matches("path", "http://www.example.com/path", false));
}

TEST_F(Matching, UrlDescriptionsOnlyNeverMatchesAUrl) {
    core->setSearchUrlDescriptionsOnly(true);
    EXPECT_FALSE(matches("example", "http://www.example.com/", true));
    EXPECT_TRUE(matches("example", "An example page", false));
}

TEST_F(Matching, ExtractDomainNeedsSchemeAndSlash) {
    EXPECT_EQ(probe.extractDomain("https://host.org/a/b"), "host.org");
    EXPECT_EQ(probe.extractDomain("https://host.org"), "");
    EXPECT_EQ(probe.extractDomain("host.org/a"), "");
}

TEST_F(Matching, MatchMultipleNeedsOneWordStartingWithOneToken) {
    probe.prepare("jo sm");
    EXPECT_TRUE(probe.matchMultiple({"alpha", "Smith"}));
    EXPECT_TRUE(probe.matchMultiple({"JOHN"}));
    EXPECT_FALSE(probe.matchMultiple({"ajo", "asm"}));
}

TEST_F(Matching, MatchNameWithOneTwoAndThreeTokens) {
    probe.prepare("smi");
    EXPECT_TRUE(probe.matchName("John", "Smith"));
    EXPECT_FALSE(probe.matchName("John", "Asmith"));
    probe.prepare("jo sm");
    EXPECT_TRUE(probe.matchName("John", "Smith"));
    EXPECT_TRUE(probe.matchName("John", "Johnson")) << "either token may start either part";
    EXPECT_FALSE(probe.matchName("John", "Miller"));
    probe.prepare("a b c");
    EXPECT_FALSE(probe.matchName("a", "b"));
    core->setSearchStringStart(false);
    probe.prepare("ohn");
    EXPECT_FALSE(probe.matchName("John", "Smith")) << "names always match at the start";
}

TEST_F(Matching, WordsInAnyOrderInitialsAndPhrasesMatchThroughTheIndexer) {
    EXPECT_TRUE(matches("york pizza", "New York Pizza"));
    EXPECT_TRUE(matches("pizza york", "New York Pizza"));
    EXPECT_TRUE(matches("vsc", "Visual Studio Code.lnk"));
    EXPECT_TRUE(matches("vsc", "VisualStudioCode.exe")) << "camel-case steps seen in the stored name";
    EXPECT_TRUE(matches("\"Tom & Jerry\"", "Tom & Jerry Fan Club"));
    EXPECT_EQ(probe.getSearchString(), "tom & jerry") << "the phrase, without its quotes";
    EXPECT_FALSE(matches("\"jerry tom\"", "Tom & Jerry Fan Club"));
    EXPECT_FALSE(matches("pizza boston", "New York Pizza"));
}

TEST_F(Matching, AccentsFoldInMatchAndMatchPreparedAndTheWordMatchers) {
    EXPECT_TRUE(matches("cafe", "Caf\xE9"));
    EXPECT_TRUE(matches("caf\xE9", "CAFE"));
    probe.prepare("cafe");
    EXPECT_TRUE(probe.matchPrepared("caf\xE9")) << "a lower-cased cache copy is folded on the fly";
    EXPECT_TRUE(probe.matchMultiple({"Caf\xE9"}));
    EXPECT_TRUE(probe.matchName("Caf\xE9", "Noir"));
    core->setSearchFoldAccents(false);
    EXPECT_FALSE(matches("cafe", "Caf\xE9"));
    EXPECT_TRUE(matches("caf\xE9", "CAF\xC9"));
}

TEST_F(Matching, UrlDomainOnlyAppliesTheNewKindsToTheHost) {
    EXPECT_TRUE(matches("com example", "http://www.Example.com/path", true));
    EXPECT_FALSE(matches("example path", "http://www.example.com/path", true));
    core->setSearchUrlDescriptionsOnly(true);
    EXPECT_FALSE(matches("com example", "http://www.example.com/path", true));
}

TEST_F(Matching, RankMatchReadsTheCacheCopyOnlyWhenItFitsTheOptions) {
    probe.prepare("Cafe");
    const std::string cacheCopy = VSearchQuery::prepared("Caf\xE9 Noir");
    EXPECT_EQ(probe.rankMatch("Caf\xE9 Noir", cacheCopy).group, VSearchQuery::WordStart);
    EXPECT_EQ(probe.rankMatch("Caf\xE9 Noir", "").group, VSearchQuery::WordStart) << "no copy: one made here";
    core->setSearchFoldAccents(false);
    probe.prepare("cafe");
    EXPECT_FALSE(probe.rankMatch("Caf\xE9 Noir", cacheCopy)) << "folding off: the folded copy is not used";
    EXPECT_EQ(probe.rankMatch("Cafe Noir", "cafe noir").kind, VSearchQuery::NamePrefix);
    core->setSearchCaseSensitive(true);
    probe.prepare("Cafe");
    EXPECT_TRUE(probe.rankMatch("Cafe Noir", "cafe noir")) << "case-sensitive: the name itself";
    EXPECT_FALSE(probe.rankMatch("cafe noir", "cafe noir"));
}

TEST_F(Matching, RankKeysAreZeroWhileRankingIsOffAndTheLimitIsTheCores) {
    probe.prepare("abc");
    VSearchQuery::Candidate c;
    c.match = VSearchQuery::Match{VSearchQuery::WordStart, VSearchQuery::WholeName};
    EXPECT_EQ(probe.rankKeyFor(c), VSearchQuery::rankKey(c));
    EXPECT_NE(probe.rankKeyFor(c), 0u);
    core->setRankResults(false);
    EXPECT_EQ(probe.rankKeyFor(c), 0u);
    core->setResultsPerSource(17);
    EXPECT_EQ(probe.resultsLimit(), 17u);
}

namespace {

// The obvious recursive definition, as the reference.
bool referenceWild(const char* p, const char* t) {
    if (!*p)
        return !*t;
    if (*p == '*')
        return referenceWild(p + 1, t) || (*t && referenceWild(p, t + 1));
    return *t && (*p == '?' || *p == *t) && referenceWild(p + 1, t + 1);
}

} // namespace

TEST(Wildcmp, Examples) {
    EXPECT_EQ(VVerbinoxCore::wildcmp("*.txt", "a.txt"), 1);
    EXPECT_EQ(VVerbinoxCore::wildcmp("a?c", "abc"), 1);
    EXPECT_EQ(VVerbinoxCore::wildcmp("a*", ""), 0);
    EXPECT_EQ(VVerbinoxCore::wildcmp("*", ""), 1);
    EXPECT_EQ(VVerbinoxCore::wildcmp("", ""), 1);
    EXPECT_EQ(VVerbinoxCore::wildcmp("*.TXT", "a.txt"), 0) << "case-sensitive";
    EXPECT_EQ(VVerbinoxCore::wildcmp("a*b*c", "aXbYbZc"), 1);
    EXPECT_EQ(VVerbinoxCore::wildcmp("a*b", "aXbY"), 0) << "the whole text must be consumed";
}

TEST(Wildcmp, AgreesWithAReferenceOnRandomPatterns) {
    std::mt19937 rng(12345);
    const char alphabet[] = "ab*?";
    const char textAlphabet[] = "abc";
    for (int i = 0; i < 20000; ++i) {
        std::string pattern, text;
        int pl = rng() % 7, tl = rng() % 8;
        for (int k = 0; k < pl; ++k)
            pattern += alphabet[rng() % 4];
        for (int k = 0; k < tl; ++k)
            text += textAlphabet[rng() % 3];
        ASSERT_EQ(VVerbinoxCore::wildcmp(pattern.c_str(), text.c_str()) == 1,
                  referenceWild(pattern.c_str(), text.c_str()))
            << "pattern '" << pattern << "' text '" << text << "'";
    }
}
