// Lines shortened to a width in a real font: a memory DC with a known face, measured as the list measures.
#include "util/SystemText.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>

using vx::TextFit;

namespace {

class FittedText : public ::testing::Test {
protected:
    void SetUp() override {
        dc = ::CreateCompatibleDC(nullptr);
        ASSERT_NE(dc, nullptr);
        font =
            ::CreateFontW(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Tahoma");
        ASSERT_NE(font, nullptr);
        oldFont = ::SelectObject(dc, font);
        ASSERT_GT(width(L"W"), 0) << "the font measures";
    }
    void TearDown() override {
        if (dc) {
            ::SelectObject(dc, oldFont);
            ::DeleteDC(dc);
        }
        if (font)
            ::DeleteObject(font);
    }
    int width(const std::wstring& text) const {
        SIZE size{0, 0};
        ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        return size.cx;
    }
    std::wstring fit(const std::wstring& text, int room, TextFit how) const {
        return vx::fittedText(dc, text, room, how);
    }
    // What every shortened line holds to: it fits, it has one ellipsis, it keeps the text's start (when
    // any start is kept) and the given end.
    void expectShortened(const std::wstring& text, const std::wstring& fitted, int room,
                         const std::wstring& end) const {
        SCOPED_TRACE(testing::Message() << "width " << room);
        EXPECT_LE(width(fitted), room);
        ASSERT_EQ(std::count(fitted.begin(), fitted.end(), L'\u2026'), 1);
        const std::size_t cut = fitted.find(L'\u2026');
        EXPECT_EQ(fitted.substr(0, cut), text.substr(0, cut));
        ASSERT_GE(fitted.size(), end.size());
        EXPECT_EQ(fitted.substr(fitted.size() - end.size()), end);
    }

    HDC dc = nullptr;
    HFONT font = nullptr;
    HGDIOBJ oldFont = nullptr;
};

const std::wstring kName = L"Quarterly report for the board meeting, final.docx";
const std::wstring kPath = L"C:\\Users\\ann\\Documents\\Work\\2026\\Reports\\Q3.docx";
const std::wstring kUrl = L"https://intranet.example.com/sites/finance/reports/2026/quarterly-summary";

} // namespace

TEST_F(FittedText, TextThatFitsIsItself) {
    for (TextFit how : {TextFit::End, TextFit::Name, TextFit::Path}) {
        EXPECT_EQ(fit(kName, width(kName), how), kName);
        EXPECT_EQ(fit(kPath, width(kPath) + 40, how), kPath);
        EXPECT_EQ(fit(L"", 0, how), L"");
    }
}

TEST_F(FittedText, ALongNameKeepsItsStartAndItsExtensionWithAFewCharactersBefore) {
    for (int room = width(L"\u2026final.docx") + width(L"Qu"); room < width(kName); room += 7)
        expectShortened(kName, fit(kName, room, TextFit::Name), room, L"final.docx");
    const std::wstring fitted = fit(kName, width(kName) / 2, TextFit::Name);
    EXPECT_EQ(fitted.substr(0, 9), L"Quarterly");
}

TEST_F(FittedText, ANameWithoutAnExtensionIsCutInTheMiddle) {
    const std::wstring folder = L"Minutes of every committee meeting since the spring";
    const std::wstring fitted = fit(folder, width(folder) / 2, TextFit::Name);
    expectShortened(folder, fitted, width(folder) / 2, L"e spring");
    EXPECT_EQ(fitted.substr(0, 7), L"Minutes");
}

TEST_F(FittedText, ALongPathKeepsItsStartAndItsLastComponentWhole) {
    for (int room = width(L"\u2026\\Q3.docx") + width(L"C:"); room < width(kPath); room += 5)
        expectShortened(kPath, fit(kPath, room, TextFit::Path), room, L"\\Q3.docx");
}

TEST_F(FittedText, APathsStartKeepsWholeComponentsAndGivesTheRoomLeftToTheComponentsBeforeTheLast) {
    const std::wstring shown = L"C:\\Users\\ann\\\u2026\\Reports\\Q3.docx";
    EXPECT_EQ(fit(kPath, width(shown), TextFit::Path), shown);
}

TEST_F(FittedText, AUrlKeepsItsLastPart) {
    for (int room = width(L"\u2026/quarterly-summary") + width(L"ht"); room < width(kUrl); room += 9)
        expectShortened(kUrl, fit(kUrl, room, TextFit::Path), room, L"/quarterly-summary");
}

TEST_F(FittedText, ALineTooNarrowForTheEllipsisAndTheEndShowsTheEndThatFitsAfterTheEllipsis) {
    EXPECT_EQ(fit(kName, width(L"\u2026docx"), TextFit::Name), L"\u2026docx");
    EXPECT_EQ(fit(kPath, width(L"\u2026docx"), TextFit::Path), L"\u2026docx");
    EXPECT_EQ(fit(kName, width(L"\u2026") - 1, TextFit::Name), L"");
}

TEST_F(FittedText, AnEndCutKeepsTheStart) {
    const int room = width(kName) / 2;
    const std::wstring fitted = fit(kName, room, TextFit::End);
    EXPECT_LE(width(fitted), room);
    ASSERT_FALSE(fitted.empty());
    EXPECT_EQ(fitted.back(), L'\u2026');
    EXPECT_EQ(fitted.substr(0, fitted.size() - 1), kName.substr(0, fitted.size() - 1));
}

TEST_F(FittedText, AccentedNamesKeepTheirStartAndExtension) {
    const std::wstring name =
        L"\u00C9t\u00E9 \u00E0 S\u00E3o Jo\u00E3o, pr\u00E9visions d\u00E9taill\u00E9es, "
        L"r\u00E9sum\u00E9 final.odt";
    for (int room = width(L"\u2026final.odt") + width(L"\u00C9t"); room < width(name); room += 11)
        expectShortened(name, fit(name, room, TextFit::Name), room, L"final.odt");
}

TEST_F(FittedText, SurrogatePairsAndCombiningMarksStayWhole) {
    // Emoji (pairs in UTF-16) and letters written with a combining acute accent, at every width.
    const std::wstring name = L"\U0001F389\U0001F389\U0001F389 cafe\u0301 \U0001F600\U0001F600 "
                              L"resume\u0301\U0001F389\U0001F389\U0001F389\U0001F389.txt";
    const std::wstring path =
        L"C:\\\U0001F389\U0001F389\U0001F389\\cafe\u0301\u0301\\\U0001F600\U0001F600.txt";
    for (TextFit how : {TextFit::End, TextFit::Name, TextFit::Path}) {
        for (const std::wstring& text : {name, path}) {
            for (int room = 0; room < width(text); ++room) {
                const std::wstring fitted = fit(text, room, how);
                SCOPED_TRACE(testing::Message() << "width " << room);
                EXPECT_LE(width(fitted), room);
                for (std::size_t i = 0; i < fitted.size(); ++i) {
                    const wchar_t c = fitted[i];
                    const wchar_t before = i > 0 ? fitted[i - 1] : L'\0';
                    const wchar_t after = i + 1 < fitted.size() ? fitted[i + 1] : L'\0';
                    ASSERT_TRUE(!IS_HIGH_SURROGATE(c) || IS_LOW_SURROGATE(after)) << i;
                    ASSERT_TRUE(!IS_LOW_SURROGATE(c) || IS_HIGH_SURROGATE(before)) << i;
                    ASSERT_TRUE(c != L'\u0301' || before == L'e' || before == L'\u0301') << i;
                }
            }
        }
    }
}
