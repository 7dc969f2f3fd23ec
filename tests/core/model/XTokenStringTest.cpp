#include "model/VStringList.h"
#include "model/XTokenString.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <type_traits>
#include <vector>

namespace {

using Tokens = std::vector<std::string>;

struct Options {
    int maxTokens = 0;
    bool trim = false;
    bool escapes = false;
    bool doubleQuotes = false;
    bool keepEmpty = false;
};

Tokens split(const char* text, const char* delimiters, Options o = {}) {
    Tokens tokens;
    int n =
        XTokenString(text, delimiters, tokens, o.maxTokens, o.trim, o.escapes, o.doubleQuotes, o.keepEmpty);
    EXPECT_EQ(n, static_cast<int>(tokens.size()));
    return tokens;
}

Options keepEmpty() {
    Options o;
    o.keepEmpty = true;
    return o;
}

} // namespace

TEST(XTokenString, VersionNumbersStopAtTheLimit) {
    Options four;
    four.maxTokens = 4;
    EXPECT_EQ(split("1.2.3.4", ".", four), (Tokens{"1", "2", "3", "4"}));
    EXPECT_EQ(split("1.2.3.4.5", ".", four), (Tokens{"1", "2", "3", "4"}));
    EXPECT_EQ(split("10.0", ".", four), (Tokens{"10", "0"}));
}

TEST(XTokenString, LimitCountsEntriesAlreadyPresent) {
    Tokens tokens{"w", "x", "y", "z"};
    EXPECT_EQ(XTokenString("1.2", ".", tokens, 4), 4);
    EXPECT_EQ(tokens, (Tokens{"w", "x", "y", "z"}));

    Tokens two{"w", "x"};
    EXPECT_EQ(XTokenString("1.2.3", ".", two, 3), 3);
    EXPECT_EQ(two, (Tokens{"w", "x", "1"}));
}

TEST(XTokenString, RunsOfDelimitersWithoutKeepEmptyAreOneSeparator) {
    EXPECT_EQ(split("a  b", " "), (Tokens{"a", "b"}));
    EXPECT_EQ(split("a \t\tb", " \t"), (Tokens{"a", "b"}));
    EXPECT_EQ(split("  a  b  ", " "), (Tokens{"a", "b"}));
    EXPECT_EQ(split(",,a,,,b,,", ","), (Tokens{"a", "b"}));
}

TEST(XTokenString, KeepEmptyGivesOneEmptyTokenPerExtraDelimiter) {
    EXPECT_EQ(split("a  b", " ", keepEmpty()), (Tokens{"a", "", "b"}));
    EXPECT_EQ(split("a,", ",", keepEmpty()), (Tokens{"a", ""}));
    EXPECT_EQ(split(",a", ",", keepEmpty()), (Tokens{"", "a"}));
    EXPECT_EQ(split("a,,", ",", keepEmpty()), (Tokens{"a", "", ""}));
    EXPECT_EQ(split(",", ",", keepEmpty()), (Tokens{"", ""}));
}

TEST(XTokenString, TrailingEmptyTokenRespectsTheLimit) {
    Options o = keepEmpty();
    o.maxTokens = 1;
    EXPECT_EQ(split("a,", ",", o), (Tokens{"a"}));
    o.maxTokens = 2;
    EXPECT_EQ(split("a,", ",", o), (Tokens{"a", ""}));
}

TEST(XTokenString, BlanksThatAreNotDelimitersBelongToTheToken) {
    EXPECT_EQ(split(" a , b ", ","), (Tokens{" a ", " b "}));
    Options trim;
    trim.trim = true;
    EXPECT_EQ(split(" a , b ", ",", trim), (Tokens{"a", "b"}));
    // Trimming an all-blank token leaves an empty one, dropped unless empty tokens are kept.
    EXPECT_EQ(split("a,  ,b", ",", trim), (Tokens{"a", "b"}));
    trim.keepEmpty = true;
    EXPECT_EQ(split("a,  ,b", ",", trim), (Tokens{"a", "", "b"}));
    EXPECT_EQ(split("a,\t\r\n ,b", ",", trim), (Tokens{"a", "", "b"}));
}

TEST(XTokenString, DoubleQuotesHoldDelimiters) {
    Options quotes;
    quotes.doubleQuotes = true;
    EXPECT_EQ(split("\"x y\" z", " ", quotes), (Tokens{"x y", "z"}));
    EXPECT_EQ(split("a \"b c\" \"\" d", " ", quotes), (Tokens{"a", "b c", "d"}));
    // An unterminated quote runs to the end of the text.
    EXPECT_EQ(split("a \"b c", " ", quotes), (Tokens{"a", "b c"}));
    // Without the option, quotes are ordinary characters.
    EXPECT_EQ(split("\"x y\" z", " "), (Tokens{"\"x", "y\"", "z"}));
    // Blanks before the opening quote stay with the token unless trimmed.
    EXPECT_EQ(split("a,  \"b,c\",d", ",", quotes), (Tokens{"a", "  b,c", "d"}));
}

TEST(XTokenString, QuotedTokenSwallowsOneDelimiterAfterItsQuote) {
    Options o = keepEmpty();
    o.doubleQuotes = true;
    EXPECT_EQ(split("\"a\",b", ",", o), (Tokens{"a", "b"}));
    EXPECT_EQ(split("\"a\",,b", ",", o), (Tokens{"a", "", "b"}));
    EXPECT_EQ(split("\"a\",", ",", o), (Tokens{"a", ""}));
    EXPECT_EQ(split("\"a\"", ",", o), (Tokens{"a"}));
    EXPECT_EQ(split("\"\"", ",", o), (Tokens{""}));
}

TEST(XTokenString, WebSearchKeywordLine) {
    // How the web-search keywords split their lines.
    Options o;
    o.trim = true;
    o.doubleQuotes = true;
    EXPECT_EQ(split("  new york\t\"pizza place\"\r\n  cheap ", " \n\r\t", o),
              (Tokens{"new", "york", "pizza place", "cheap"}));
    EXPECT_EQ(split(" \t\r\n", " \n\r\t", o), Tokens{});
}

TEST(XTokenString, BackslashEscapes) {
    Options escapes;
    escapes.escapes = true;
    EXPECT_EQ(split("a\\,b", ",", escapes), (Tokens{"a,b"}));
    EXPECT_EQ(split("a\\\\,b", ",", escapes), (Tokens{"a\\", "b"}));
    // A backslash at the very end ends the token and is dropped.
    EXPECT_EQ(split("a,b\\", ",", escapes), (Tokens{"a", "b"}));
    escapes.doubleQuotes = true;
    EXPECT_EQ(split("\"say \\\"hi\\\"\" x", " ", escapes), (Tokens{"say \"hi\"", "x"}));
    // Without the option a backslash is an ordinary character.
    EXPECT_EQ(split("a\\,b", ","), (Tokens{"a\\", "b"}));
}

TEST(XTokenString, EmptyInputLeavesTheArrayAlone) {
    Tokens tokens{"kept"};
    EXPECT_EQ(XTokenString("", ",", tokens), 0);
    EXPECT_EQ(XTokenString(nullptr, ",", tokens), 0);
    EXPECT_EQ(XTokenString("a,b", "", tokens), 0);
    EXPECT_EQ(XTokenString("a,b", nullptr, tokens), 0);
    EXPECT_EQ(tokens, Tokens{"kept"});
}

TEST(XTokenString, AppendsAfterExistingEntriesAndCountsThem) {
    Tokens tokens{"first"};
    EXPECT_EQ(XTokenString("a;b", ";", tokens), 3);
    EXPECT_EQ(tokens, (Tokens{"first", "a", "b"}));
    EXPECT_EQ(XTokenString(";;;", ";", tokens), 3);
}

TEST(XTokenString, EveryCharacterOfTheSetDelimits) {
    EXPECT_EQ(split("a;b,c d", ",; "), (Tokens{"a", "b", "c", "d"}));
}

TEST(XTokenString, FillsAStringList) {
    VStringList list;
    EXPECT_EQ(XTokenString("x|y", "|", list), 2);
    EXPECT_EQ(list, (VStringList{"x", "y"}));
}

// Random texts over a small alphabet against a direct model of the rules for the options that the
// system uses; every option combination must also finish without overrunning the text.
TEST(XTokenString, RandomTextsAgainstAModel) {
    std::mt19937 rng(12345);
    const char alphabet[] = "ab ,\t\"\\";
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        int length = static_cast<int>(rng() % 12);
        for (int i = 0; i < length; ++i)
            text += alphabet[rng() % (sizeof alphabet - 1)];

        // Model for the plain options (no quotes, no escapes): cut at every ',' and keep or drop empties.
        for (bool keep : {false, true}) {
            Tokens expected;
            if (!text.empty()) {
                std::string current;
                for (char c : text) {
                    if (c == ',') {
                        expected.push_back(current);
                        current.clear();
                    } else {
                        current += c;
                    }
                }
                expected.push_back(current);
                if (!keep) {
                    Tokens nonEmpty;
                    for (auto& t : expected) {
                        if (!t.empty())
                            nonEmpty.push_back(t);
                    }
                    expected = nonEmpty;
                }
            }
            Options o;
            o.keepEmpty = keep;
            EXPECT_EQ(split(text.c_str(), ",", o), expected) << "text [" << text << "] keepEmpty " << keep;
        }

        for (int flags = 0; flags < 16; ++flags) {
            Tokens tokens;
            int max = static_cast<int>(rng() % 4);
            int n = XTokenString(text.c_str(), ", ", tokens, max, flags & 1, flags & 2, flags & 4, flags & 8);
            ASSERT_EQ(n, static_cast<int>(tokens.size()));
            if (max > 0) {
                ASSERT_LE(n, max);
            }
            std::size_t total = 0;
            for (auto& t : tokens)
                total += t.size();
            ASSERT_LE(total, text.size());
        }
    }
}

TEST(VStringList, IsAVectorOfStringsWithValueSemantics) {
    static_assert(std::is_base_of_v<std::vector<std::string>, VStringList>);
    VStringList a;
    EXPECT_TRUE(a.empty());
    a.push_back("one");
    a.emplace_back("two");
    VStringList b(a);
    b[0] = "changed";
    EXPECT_EQ(a[0], "one");
    VStringList c;
    c = b;
    EXPECT_EQ(c, b);
    std::vector<std::string> plain{"p", "q"};
    VStringList fromPlain = plain;
    EXPECT_EQ(fromPlain.size(), 2u);
    VStringList counted(3, "x");
    EXPECT_EQ(counted, (VStringList{"x", "x", "x"}));
}
