#include "util/VxText.h"

#include <gtest/gtest.h>

#include <windows.h>

TEST(Text, LowerCasingFollowsTheActiveCodePageForEveryByte) {
    ASSERT_EQ(::GetACP(), 1252u);
    std::string all;
    for (int i = 1; i < 256; ++i)
        all += static_cast<char>(i);
    std::string viaCore = vx::lowered(all);
    std::string viaWindows = all;
    ::CharLowerBuffA(&viaWindows[0], static_cast<DWORD>(viaWindows.size()));
    EXPECT_EQ(viaCore, viaWindows);
    EXPECT_EQ(vx::lowered("\xC9T\xC9 ABC"), "\xE9t\xE9 abc");
}

TEST(Text, TrimmedRemovesWhiteSpaceAtBothEnds) {
    EXPECT_EQ(vx::trimmed(" \t a b \r\n"), "a b");
    EXPECT_EQ(vx::trimmed("   "), "");
    EXPECT_EQ(vx::trimmed(""), "");
}

TEST(Text, AddressesNarrowWithoutLookAlikesAndKeepWhatTheCodePageHolds) {
    ASSERT_EQ(::GetACP(), 1252u);
    // Fullwidth hyphens would come out as "--", a switch to a browser.
    EXPECT_EQ(vx::narrowedAddress(L"\xFF0D\xFF0Dgpu-launcher=x"), "%EF%BC%8D%EF%BC%8Dgpu-launcher=x");
    EXPECT_EQ(vx::narrowedAddress(L"http://caf\xE9.example/\x65E5?q=\xD83D\xDE00"),
              "http://caf\xE9.example/%E6%97%A5?q=%F0%9F%98%80");
    EXPECT_EQ(vx::narrowedAddress(L"http://a.example/\xD800x"), "http://a.example/%EF%BF%BDx")
        << "an unpaired surrogate";
    EXPECT_EQ(vx::narrowedAddress(L"\xFF0D", CP_UTF8), "\xEF\xBC\x8D") << "UTF-8 holds every character";
    EXPECT_EQ(vx::narrowedAddress(L"http://a.example/%20"), "http://a.example/%20");
}
