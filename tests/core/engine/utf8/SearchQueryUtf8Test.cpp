// Matching under the program's own code page, UTF-8 (support/utf8.rc): characters of several bytes.
#include "support/CoreFixture.h"
#include "util/VxText.h"

#include <windows.h>

namespace {

std::string utf8(const wchar_t* text) {
    return vx::narrowed(text, CP_UTF8);
}

class Utf8Search : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        ASSERT_EQ(::GetACP(), static_cast<UINT>(CP_UTF8));
    }
};

} // namespace

TEST_F(Utf8Search, MinimumLengthCountsCharactersNotBytes) {
    // Two CJK characters are six bytes: short of a minimum of three characters, though longer in bytes.
    const std::string tokyo = utf8(L"\u6771\u4EAC");
    EXPECT_EQ(VSearchQuery(tokyo, VSearchOptions{}).characterCount(), 2u);
    EXPECT_EQ(VSearchQuery(utf8(L"\U0001F389ab"), VSearchOptions{}).characterCount(), 3u)
        << "an emoji counts one";

    core->setSearchMinChars(3);
    MatchProbe probe;
    probe.liveSearch(1, tokyo + "x");
    ASSERT_TRUE(waitForWorkers());
    EXPECT_EQ(probe.getSearchString(), utf8(L"\u6771\u4EACx")) << "three characters search";
    probe.liveSearch(2, tokyo);
    ASSERT_TRUE(waitForWorkers());
    EXPECT_EQ(probe.getSearchString(), utf8(L"\u6771\u4EACx")) << "two characters do not search";
}

TEST_F(Utf8Search, AccentsFoldInUtf8Names) {
    const VSearchQuery cafe("cafe", VSearchOptions{});
    const std::string name = utf8(L"Caf\u00E9 Cr\u00E8me.txt");
    EXPECT_EQ(VSearchQuery::prepared(name), "cafe creme.txt");
    const VSearchQuery::Match m = cafe.match(name, VSearchQuery::prepared(name));
    EXPECT_EQ(m.group, VSearchQuery::WordStart);
    EXPECT_EQ(m.kind, VSearchQuery::NamePrefix);
    const VSearchQuery accented(utf8(L"CAF\u00C9"), VSearchOptions{});
    EXPECT_EQ(accented.phrase(), "cafe");
    EXPECT_EQ(VSearchQuery::prepared(utf8(L"\uD55C\uAE00")), utf8(L"\uD55C\uAE00"))
        << "Hangul comes back whole";
}

TEST_F(Utf8Search, CjkInitialsTakeWholeCharacters) {
    const VSearchQuery q(utf8(L"\u6771\u4EAC"), VSearchOptions{});
    const std::string name = utf8(L"\u6771 \u4EAC\u90FD");
    const VSearchQuery::Match m = q.match(name, VSearchQuery::prepared(name));
    EXPECT_EQ(m.group, VSearchQuery::AllWords);
}
