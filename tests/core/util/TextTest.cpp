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
