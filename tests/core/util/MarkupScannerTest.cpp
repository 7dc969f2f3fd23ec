#include "support/Watchdog.h"

#include "util/MarkupScanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using markup::scanner;

namespace {

class TextStream : public markup::instream {
public:
    explicit TextStream(std::wstring text) : text(std::move(text)) {}
    wchar_t get_char() override { return position < text.size() ? text[position++] : (++readsPastEnd, 0); }
    std::wstring text;
    std::size_t position = 0;
    int readsPastEnd = 0;
};

// A token as text: "TagStart A", "Attribute HREF=x", "Word b", "Section 9" (comment, CDATA, declaration).
std::string describe(const scanner& s, scanner::token_type type) {
    const char* names[] = {"End", "TagStart ", "TagEnd ", "Attribute ", "Word ", "Space ", "Data "};
    if (type == scanner::ErrorToken || type > scanner::Data)
        return type == scanner::ErrorToken ? "Error" : "Section " + std::to_string(type);
    std::string out = names[type];
    if (type == scanner::TagStart || type == scanner::TagEnd)
        return out + s.get_tag_name();
    if (type == scanner::Attribute)
        out += std::string(s.get_attr_name()) + "=";
    for (const wchar_t* v = s.get_value(); type != scanner::EndOfInput && *v; ++v)
        out += *v < 0x80 ? static_cast<char>(*v) : '?';
    return out;
}

using Tokens = std::vector<std::string>;

// Every token up to the first EndOfInput or ErrorToken, included.
template <class Scanner = scanner> Tokens tokens(const std::wstring& text) {
    TextStream input(text);
    Scanner s(input);
    Tokens out;
    for (scanner::token_type t = scanner::Word; t != scanner::EndOfInput && t != scanner::ErrorToken;)
        out.push_back(describe(s, t = s.get_token()));
    return out;
}

// The joined Data of the section that text opens; empty unless its end token follows the Data.
std::wstring sectionData(const std::wstring& text, scanner::token_type end, int* chunks = nullptr) {
    TextStream input(text);
    scanner s(input);
    s.get_token();
    std::wstring data;
    scanner::token_type t = s.get_token();
    for (; t == scanner::Data; t = s.get_token()) {
        data += s.get_value();
        EXPECT_LE(s.get_value_length(), scanner::ChunkLength);
        if (chunks)
            ++*chunks;
    }
    return t == end ? data : L"(no end)";
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
    // Unquoted addresses keep their slashes; only "/>" closes the tag.
    EXPECT_EQ(tokens(L"<a href=http://x.example/a/>"),
              (Tokens{"TagStart a", "Attribute href=http://x.example/a", "TagEnd a", "End"}));
    EXPECT_EQ(tokens(L"<br clear/>"), (Tokens{"TagStart br", "Attribute clear=", "TagEnd br", "End"}));
}

TEST(MarkupScanner, EachEntityReferenceStartsAWordAndUnknownOnesStayAsWritten) {
    EXPECT_EQ(tokens(L"&lt;b&gt;"), (Tokens{"Word <b", "Word >", "End"}));
    EXPECT_EQ(tokens(L"&nbsp;"), (Tokens{"Word &nbsp;", "End"}));
    EXPECT_EQ(tokens(L"&#38;&amp;&apos;&quot;"),
              (Tokens{"Word &#38;", "Word &", "Word '", "Word \"", "End"}));

    class Numeric : public scanner {
    public:
        using scanner::scanner;

    protected:
        wchar_t resolve_entity(const char* name, int length) override {
            return std::string(name, length) == "#39" ? L'\'' : 0;
        }
    };
    EXPECT_EQ(tokens<Numeric>(L"it&#39;s&#40;"), (Tokens{"Word it", "Word 's", "Word &#40;", "End"}));
}

TEST(MarkupScanner, AReferenceEndsAtTheFirstCharacterThatCannotBelongToIt) {
    EXPECT_EQ(tokens(L"<A HREF=\"http://x.example/?a=1&b=2&\">R&D</A>"),
              (Tokens{"TagStart A", "Attribute HREF=http://x.example/?a=1&b=2&", "Word R", "Word &D",
                      "TagEnd A", "End"}))
        << "the bare \"&\" keeps the closing quote, \"&D\" the \"<\" after it";
    EXPECT_EQ(tokens(L"<a title='&'>"), (Tokens{"TagStart a", "Attribute title=&", "End"}));
    EXPECT_EQ(tokens(L"fish &amp chips&amp"),
              (Tokens{"Word fish", "Space  ", "Word &amp", "Space  ", "Word chips", "Word &amp", "End"}))
        << "an unterminated reference is not decoded and gains no \";\"";
    EXPECT_EQ(tokens(L"&" + std::wstring(40, L'n') + L";"),
              (Tokens{"Word &" + std::string(40, 'n') + ";", "End"}));
}

TEST(MarkupScanner, SectionsComeInChunksAndTheirEndsAreFoundWhereverTheChunksBreak) {
    int chunks = 0;
    EXPECT_EQ(sectionData(L"<!--" + std::wstring(3000, L'c') + L"-->", scanner::CommentEnd, &chunks),
              std::wstring(3000, L'c'));
    EXPECT_EQ(chunks, 3);
    EXPECT_EQ(tokens(L"<![CDATA[a<b]]><!ENTITY e \"x>y\">z"),
              (Tokens{"Section 9", "Data a<b", "Section 10", "Section 13", "Data  e \"x>y\"", "Section 14",
                      "Word z", "End"}));
    // The end marker at every position around the chunk size, so that it straddles two chunks.
    for (int length = scanner::ChunkLength - 4; length <= scanner::ChunkLength + 2; ++length) {
        const std::wstring comment = std::wstring(length - 1, L'x') + L"-";
        EXPECT_EQ(sectionData(L"<!--" + comment + L"-->after", scanner::CommentEnd), comment) << length;
        const std::wstring cdata = std::wstring(length - 1, L'x') + L"]";
        EXPECT_EQ(sectionData(L"<![CDATA[" + cdata + L"]]>after", scanner::CdataEnd), cdata) << length;
    }
    // A quoted ">" in a declaration, after a chunk break, is still inside the quotes.
    const std::wstring declaration = L" e \"" + std::wstring(scanner::ChunkLength, L'v') + L">w\"";
    EXPECT_EQ(sectionData(L"<!ENTITY" + declaration + L">after", scanner::EntityDeclEnd), declaration);
}

TEST(MarkupScanner, LongValuesAreKeptWholeAndNamesAreCut) {
    const std::wstring url = L"http://x.example/?" + std::wstring(5000, L'q');
    EXPECT_EQ(tokens(L"<" + std::wstring(200, L'T') + L" HREF=\"" + url + L"\">"),
              (Tokens{"TagStart " + std::string(127, 'T'),
                      "Attribute HREF=" + std::string(url.begin(), url.end()), "End"}));
    EXPECT_EQ(tokens(std::wstring(2500, L'w')),
              (Tokens{"Word " + std::string(1023, 'w'), "Word " + std::string(1023, 'w'),
                      "Word " + std::string(454, 'w'), "End"}))
        << "a long word comes whole, in chunks";

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
    EXPECT_EQ(tokens(L"<a b=cut"), (Tokens{"TagStart a", "Error"}));
    TextStream input(L"<a b=\"cut");
    scanner s(input);
    EXPECT_EQ(s.get_token(), scanner::TagStart);
    EXPECT_EQ(s.get_token(), scanner::ErrorToken);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(s.get_token(), scanner::EndOfInput);
    EXPECT_EQ(input.readsPastEnd, 1) << "the stream is not asked again after its end";
}

TEST(MarkupScanner, ABookmarkFileReadsWholeAndRandomOrCutInputAlwaysEnds) {
    const std::wstring icon = L"data:image/png;base64," + std::wstring(6000, L'A');
    const std::wstring bookmarks =
        L"<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<!-- Automatically generated.\r\n DO NOT EDIT! -->\r\n"
        L"<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\r\n<TITLE>Bookmarks</TITLE>"
        L"<H1>Menu</H1>\r\n<DL><p>\r\n    <DT><H3 ADD_DATE=\"1200000000\">Food &amp; Drink</H3>\r\n<DL><p>"
        L"<DT><A HREF=\"http://fish.example/?a=1&amp;b=2\" ICON=\"" +
        icon +
        L"\">Fish &#38; Chips</A>\r\n"
        L"<DD>Near the harbour &lt;open late&gt;\r\n</DL><p>\r\n<DT><A HREF=\"https://caf\u00E9.example/\">"
        L"Caf\u00E9</A>\r\n<![CDATA[d]]><!ENTITY e \"f\"></DL><p>\r\n";
    const Tokens all = tokens(bookmarks);
    EXPECT_EQ(all.back(), "End");
    for (const std::string& expected : Tokens{"Attribute HREF=http://fish.example/?a=1&b=2", "Word &#38;",
                                              "Attribute ICON=" + std::string(icon.begin(), icon.end()),
                                              "Attribute HREF=https://caf?.example/", "Word <open", "Word >"})
        EXPECT_NE(std::find(all.begin(), all.end(), expected), all.end()) << expected;

    const std::wstring pieces[] = {L"<", L">",    L"/",       L"=",         L"\"",   L"'", L"&",
                                   L";", L"!--",  L"-->",     L"<![CDATA[", L"]]>",  L" ", L"\r\n",
                                   L"A", L"HREF", L"&amp;",   L"<!ENTITY",  L"&#3",  L"x", L"\u00E9",
                                   L"-", L"]",    L"<A HREF", L"</A>",      L"<br/>"};
    std::mt19937 random(20240611);
    std::vector<std::wstring> inputs;
    for (int n = 0; n < 300; ++n) {
        std::wstring text;
        for (int i = 1 + static_cast<int>(random() % 400); i > 0; --i)
            text += pieces[random() % (sizeof(pieces) / sizeof(pieces[0]))];
        inputs.push_back(text);
    }
    for (std::size_t cut = 0; cut <= bookmarks.size(); cut += 7)
        inputs.push_back(bookmarks.substr(0, cut));
    mustFinishWithin(60000, "scanning random input", [&] {
        for (const std::wstring& text : inputs) {
            TextStream input(text);
            scanner s(input);
            std::size_t count = 0;
            for (scanner::token_type t = scanner::Word; t != scanner::EndOfInput;) {
                t = s.get_token();
                if (t == scanner::Word || t == scanner::Space || t == scanner::Data) {
                    ASSERT_LE(s.get_value_length(), scanner::ChunkLength);
                }
                // Every token but an end token consumes input: more tokens than that is a loop.
                ASSERT_LE(++count, 2 * text.size() + 4) << "no progress";
            }
            EXPECT_EQ(input.position, text.size());
        }
    });
}
