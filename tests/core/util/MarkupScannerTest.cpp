#include "support/Watchdog.h"

#include "util/MarkupScanner.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using markup::scanner;

namespace {

class TextStream : public markup::instream {
public:
    explicit TextStream(std::wstring text) : text(std::move(text)) {}
    wchar_t get_char() override {
        if (position >= text.size()) {
            ++readsPastEnd;
            return 0;
        }
        return text[position++];
    }
    std::wstring text;
    std::size_t position = 0;
    int readsPastEnd = 0;
};

// One token as text: its type and what it carries, e.g. "TagStart A", "Attribute HREF=x", "Word b".
std::string describe(scanner& s, scanner::token_type type) {
    std::string value;
    for (const wchar_t* v = s.get_value(); *v; ++v)
        value += *v < 0x80 ? static_cast<char>(*v) : '?';
    switch (type) {
    case scanner::TagStart:
        return std::string("TagStart ") + s.get_tag_name();
    case scanner::TagEnd:
        return std::string("TagEnd ") + s.get_tag_name();
    case scanner::Attribute:
        return std::string("Attribute ") + s.get_attr_name() + "=" + value;
    case scanner::Word:
        return "Word " + value;
    case scanner::Space:
        return "Space " + value;
    case scanner::Data:
        return "Data " + value;
    case scanner::ErrorToken:
        return "Error";
    case scanner::EndOfInput:
        return "End";
    default:
        return "Token " + std::to_string(type);
    }
}

// Every token up to and including the first EndOfInput or ErrorToken.
std::vector<std::string> tokens(const std::wstring& text) {
    TextStream input(text);
    scanner s(input);
    std::vector<std::string> out;
    for (;;) {
        scanner::token_type type = s.get_token();
        out.push_back(describe(s, type));
        if (type == scanner::EndOfInput || type == scanner::ErrorToken)
            return out;
    }
}

using Tokens = std::vector<std::string>;

// The Data of one section, joined, and whether its end token came.
struct Section {
    std::wstring data;
    int chunks = 0;
    bool ended = false;
};

Section readSection(const std::wstring& text, scanner::token_type start, scanner::token_type end) {
    TextStream input(text);
    scanner s(input);
    Section out;
    EXPECT_EQ(s.get_token(), start);
    scanner::token_type t = s.get_token();
    for (; t == scanner::Data; t = s.get_token()) {
        out.data += s.get_value();
        ++out.chunks;
        EXPECT_LE(s.get_value_length(), scanner::ChunkLength);
    }
    out.ended = t == end;
    return out;
}

} // namespace

TEST(MarkupScanner, TextComesOneWordOrGapAtATime) {
    EXPECT_EQ(tokens(L"a  b"), (Tokens{"Word a", "Space   ", "Word b", "End"}));
}

TEST(MarkupScanner, StartTagsGiveTheirNameThenEachAttribute) {
    EXPECT_EQ(tokens(L"<A HREF=\"http://x.example/\">Go"),
              (Tokens{"TagStart A", "Attribute HREF=http://x.example/", "Word Go", "End"}));
    EXPECT_EQ(tokens(L"<br/>"), (Tokens{"TagStart br", "TagEnd br", "End"}));
    EXPECT_EQ(tokens(L"<input checked>"), (Tokens{"TagStart input", "Attribute checked=", "End"}));
    EXPECT_EQ(tokens(L"<p class = 'x y' id=z></p>"),
              (Tokens{"TagStart p", "Attribute class=x y", "Attribute id=z", "TagEnd p", "End"}));
}

TEST(MarkupScanner, UnquotedValuesKeepTheirSlashesUntilTheTagCloses) {
    EXPECT_EQ(tokens(L"<a href=http://x.example/a/>"),
              (Tokens{"TagStart a", "Attribute href=http://x.example/a", "TagEnd a", "End"}));
    EXPECT_EQ(tokens(L"<br clear/>"), (Tokens{"TagStart br", "Attribute clear=", "TagEnd br", "End"}));
}

TEST(MarkupScanner, EachEntityReferenceStartsAWordAndUnknownOnesStayAsWritten) {
    EXPECT_EQ(tokens(L"&lt;b&gt;"), (Tokens{"Word <b", "Word >", "End"}));
    EXPECT_EQ(tokens(L"&nbsp;"), (Tokens{"Word &nbsp;", "End"}));
    EXPECT_EQ(tokens(L"&#38;&amp;&apos;&quot;"),
              (Tokens{"Word &#38;", "Word &", "Word '", "Word \"", "End"}));
}

TEST(MarkupScanner, AReferenceEndsAtTheFirstCharacterThatCannotBelongToIt) {
    EXPECT_EQ(tokens(L"<A HREF=\"http://x.example/?a=1&b=2&\">R&D</A>"),
              (Tokens{"TagStart A", "Attribute HREF=http://x.example/?a=1&b=2&", "Word R", "Word &D",
                      "TagEnd A", "End"}))
        << "the bare \"&\" keeps the closing quote, \"&D\" the \"<\" after it";
    EXPECT_EQ(tokens(L"<a title='&'>"), (Tokens{"TagStart a", "Attribute title=&", "End"}));
    EXPECT_EQ(tokens(L"fish &amp chips"),
              (Tokens{"Word fish", "Space  ", "Word &amp", "Space  ", "Word chips", "End"}))
        << "an unterminated reference is not decoded and gains no \";\"";
    EXPECT_EQ(tokens(L"x&amp"), (Tokens{"Word x", "Word &amp", "End"}));
    const std::wstring longName(40, L'n');
    EXPECT_EQ(tokens(L"&" + longName + L";"), (Tokens{"Word &" + std::string(40, 'n') + ";", "End"}));
}

TEST(MarkupScanner, SubclassesResolveFurtherEntities) {
    class Numeric : public scanner {
    public:
        using scanner::scanner;

    protected:
        wchar_t resolve_entity(const char* name, int length) override {
            return std::string(name, length) == "#39" ? L'\'' : 0;
        }
    };
    TextStream input(L"it&#39;s &#40;");
    Numeric s(input);
    EXPECT_EQ(s.get_token(), scanner::Word);
    EXPECT_EQ(std::wstring(s.get_value()), L"it");
    EXPECT_EQ(s.get_token(), scanner::Word);
    EXPECT_EQ(std::wstring(s.get_value()), L"'s");
    s.get_token();
    EXPECT_EQ(s.get_token(), scanner::Word);
    EXPECT_EQ(std::wstring(s.get_value()), L"&#40;");
}

TEST(MarkupScanner, CommentsCdataAndDeclarationsComeInChunks) {
    Section comment =
        readSection(L"<!--" + std::wstring(3000, L'c') + L"-->", scanner::CommentStart, scanner::CommentEnd);
    EXPECT_EQ(comment.chunks, 3);
    EXPECT_TRUE(comment.ended);
    EXPECT_EQ(comment.data, std::wstring(3000, L'c'));

    TextStream input(L"<![CDATA[a<b]]><!ENTITY e \"x>y\">z");
    scanner s(input);
    Tokens seen;
    for (scanner::token_type t = s.get_token(); t != scanner::EndOfInput; t = s.get_token())
        seen.push_back(describe(s, t));
    EXPECT_EQ(seen, (Tokens{"Token 9", "Data a<b", "Token 10", "Token 13", "Data  e \"x>y\"", "Token 14",
                            "Word z"}));
}

TEST(MarkupScanner, SectionEndsAreFoundWhereverTheChunksBreak) {
    // The end marker put at every position around the chunk size, so that it straddles two chunks.
    for (int length = scanner::ChunkLength - 4; length <= scanner::ChunkLength + 2; ++length) {
        const std::wstring body = std::wstring(length - 1, L'x') + L"-";
        Section comment =
            readSection(L"<!--" + body + L"-->after", scanner::CommentStart, scanner::CommentEnd);
        EXPECT_EQ(comment.data, body) << length;
        EXPECT_TRUE(comment.ended) << length;

        const std::wstring cdata = std::wstring(length - 1, L'x') + L"]";
        Section section =
            readSection(L"<![CDATA[" + cdata + L"]]>after", scanner::CdataStart, scanner::CdataEnd);
        EXPECT_EQ(section.data, cdata) << length;
        EXPECT_TRUE(section.ended) << length;
    }
    // A quoted ">" in a declaration, after a chunk break, is still inside the quotes.
    const std::wstring declaration = L" e \"" + std::wstring(scanner::ChunkLength, L'v') + L">w\"";
    Section decl =
        readSection(L"<!ENTITY" + declaration + L">after", scanner::EntityDeclStart, scanner::EntityDeclEnd);
    EXPECT_EQ(decl.data, declaration);
    EXPECT_TRUE(decl.ended);
}

TEST(MarkupScanner, LongValuesAreKeptWholeAndNamesAreCut) {
    const std::wstring url = L"http://x.example/?" + std::wstring(5000, L'q');
    TextStream input(L"<" + std::wstring(200, L'T') + L" HREF=\"" + url + L"\">");
    scanner s(input);
    EXPECT_EQ(s.get_token(), scanner::TagStart);
    EXPECT_EQ(std::string(s.get_tag_name()), std::string(127, 'T'));
    EXPECT_EQ(s.get_token(), scanner::Attribute);
    EXPECT_EQ(std::wstring(s.get_value()), url);

    // A long word comes whole, in several tokens.
    std::wstring joined;
    TextStream words(std::wstring(2500, L'w'));
    scanner w(words);
    for (scanner::token_type t = w.get_token(); t == scanner::Word; t = w.get_token())
        joined += w.get_value();
    EXPECT_EQ(joined, std::wstring(2500, L'w'));

    // Memory stays bounded: a value past the limit is an error, never a silent cut.
    TextStream huge(L"<a b=\"" + std::wstring(scanner::MaxValueLength + 10, L'h'));
    scanner h(huge);
    h.get_token();
    EXPECT_EQ(h.get_token(), scanner::ErrorToken);
    EXPECT_LT(huge.position, huge.text.size()) << "it stopped reading at the limit";
}

TEST(MarkupScanner, MalformedMarkupGivesAnErrorThenTheEnd) {
    EXPECT_EQ(tokens(L"<abc"), (Tokens{"Error"}));
    EXPECT_EQ(tokens(L"</abc x>"), (Tokens{"Error"}));
    EXPECT_EQ(tokens(L"<a /x>"), (Tokens{"TagStart a", "Error"}));
    EXPECT_EQ(tokens(L"<a b<c>"), (Tokens{"TagStart a", "Error"}));
    EXPECT_EQ(tokens(L"<a b=\"cut"), (Tokens{"TagStart a", "Error"}));
    EXPECT_EQ(tokens(L"<a b=cut"), (Tokens{"TagStart a", "Error"}));

    TextStream input(L"<a b=\"cut");
    scanner s(input);
    s.get_token();
    s.get_token();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(s.get_token(), scanner::EndOfInput);
    EXPECT_EQ(input.readsPastEnd, 1) << "the stream is not asked again after its end";
}

TEST(MarkupScanner, ABookmarkFileReadsAsLinksWithTheirTitles) {
    const std::wstring icon = L"data:image/png;base64," + std::wstring(6000, L'A');
    const std::wstring file =
        L"<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n"
        L"<!-- This is an automatically generated file.\r\n     DO NOT EDIT! -->\r\n"
        L"<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\r\n"
        L"<TITLE>Bookmarks</TITLE>\r\n<H1>Bookmarks Menu</H1>\r\n\r\n<DL><p>\r\n"
        L"    <DT><H3 ADD_DATE=\"1200000000\" LAST_MODIFIED=\"1200000001\">Food &amp; Drink</H3>\r\n"
        L"    <DL><p>\r\n"
        L"        <DT><A HREF=\"http://fish.example/?a=1&amp;b=2\" ADD_DATE=\"1\" ICON=\"" +
        icon +
        L"\" LAST_CHARSET=\"UTF-8\">Fish &#38; Chips</A>\r\n"
        L"        <DD>Near the harbour &lt;open late&gt;\r\n"
        L"    </DL><p>\r\n"
        L"    <DT><A HREF=\"https://caf\u00E9.example/\">Caf\u00E9 \u6771</A>\r\n"
        L"</DL><p>\r\n";
    TextStream input(file);
    scanner s(input);
    std::vector<std::pair<std::wstring, std::wstring>> links;
    std::wstring href, text, iconSeen;
    bool inLink = false;
    for (scanner::token_type t = s.get_token(); t != scanner::EndOfInput; t = s.get_token()) {
        ASSERT_NE(t, scanner::ErrorToken) << "at " << input.position;
        if (t == scanner::TagStart) {
            inLink = std::string(s.get_tag_name()) == "A";
            href.clear();
            text.clear();
        } else if (t == scanner::Attribute && inLink) {
            if (std::string(s.get_attr_name()) == "HREF")
                href = s.get_value();
            if (std::string(s.get_attr_name()) == "ICON")
                iconSeen = s.get_value();
        } else if ((t == scanner::Word || t == scanner::Space) && inLink) {
            text += s.get_value();
        } else if (t == scanner::TagEnd && inLink) {
            links.emplace_back(href, text);
            inLink = false;
        }
    }
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[0].first, L"http://fish.example/?a=1&b=2");
    EXPECT_EQ(links[0].second, L"Fish &#38; Chips");
    EXPECT_EQ(links[1].first, L"https://caf\u00E9.example/");
    EXPECT_EQ(links[1].second, L"Caf\u00E9 \u6771");
    EXPECT_EQ(iconSeen, icon);
}

TEST(MarkupScanner, RandomAndTruncatedInputAlwaysEnds) {
    const std::wstring pieces[] = {L"<", L">",    L"/",       L"=",         L"\"",   L"'", L"&",
                                   L";", L"!--",  L"-->",     L"<![CDATA[", L"]]>",  L" ", L"\r\n",
                                   L"A", L"HREF", L"&amp;",   L"<!ENTITY",  L"&#3",  L"x", L"\u00E9",
                                   L"-", L"]",    L"<A HREF", L"</A>",      L"<br/>"};
    std::mt19937 random(20240611);
    std::vector<std::wstring> inputs;
    for (int n = 0; n < 300; ++n) {
        std::wstring text;
        const int count = 1 + static_cast<int>(random() % 400);
        for (int i = 0; i < count; ++i)
            text += pieces[random() % (sizeof(pieces) / sizeof(pieces[0]))];
        inputs.push_back(text);
    }
    const std::wstring bookmarks =
        L"<DL><p><DT><A HREF=\"http://a.example/?x=1&amp;y\">A &#38; B</A><!-- c -->"
        L"<![CDATA[d]]><!ENTITY e \"f\"><DD>g &lt; h</DL>";
    for (std::size_t cut = 0; cut <= bookmarks.size(); ++cut)
        inputs.push_back(bookmarks.substr(0, cut));

    mustFinishWithin(60000, "scanning random input", [&] {
        for (const std::wstring& text : inputs) {
            TextStream input(text);
            scanner s(input);
            std::size_t count = 0;
            scanner::token_type t;
            do {
                t = s.get_token();
                if (t == scanner::Word || t == scanner::Space || t == scanner::Data) {
                    ASSERT_LE(s.get_value_length(), scanner::ChunkLength);
                }
                // Every token but an end token consumes input: more tokens than that is a loop.
                ASSERT_LE(++count, 2 * text.size() + 4) << "no progress";
            } while (t != scanner::EndOfInput);
            EXPECT_EQ(input.position, text.size());
        }
    });
}
