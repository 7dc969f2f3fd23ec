#include "window/FolderBrowser.h"
#include "model/VFileResult.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <set>

namespace {
std::vector<std::string> listed(const std::string& typed) {
    std::vector<std::string> out;
    for (VFileResult* r : listTypedPath(typed)) {
        out.push_back(r->getDefaultProperty()->getValue());
        r->deleteThis();
    }
    return out;
}
} // namespace

TEST(FolderBrowser, FoldersComeFirstWithABackslashAndHiddenEntriesStayOut) {
    TempFolder folder;
    for (const char* d : {"reports", "recipes", "other"})
        ASSERT_TRUE(folder.makeDir(d));
    for (const char* f : {"readme.txt", "review.doc", "secret.txt", "zeta.txt"})
        ASSERT_TRUE(folder.writeFile(f, "x"));
    ASSERT_TRUE(::SetFileAttributesA(folder.sub("secret.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));

    std::vector<std::string> all = listed(folder.path());
    ASSERT_EQ(all.size(), 6u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(all[i].back(), '\\') << all[i];
    for (int i = 3; i < 6; ++i)
        EXPECT_NE(all[i].back(), '\\') << all[i];
    EXPECT_EQ(
        std::set<std::string>(all.begin() + 3, all.end()),
        (std::set<std::string>{folder.sub("readme.txt"), folder.sub("review.doc"), folder.sub("zeta.txt")}));

    std::vector<std::string> re = listed(folder.sub("re"));
    EXPECT_EQ(re.size(), 4u) << "two folders and two files start with \"re\"";
    EXPECT_EQ(listed(folder.sub("re*")).size(), 4u) << "a typed star is not doubled";
    EXPECT_TRUE(listed(folder.sub("nothing-here")).empty());
}

TEST(FolderBrowser, OnlyADriveLetterColonAndBackslashStartBrowsing) {
    EXPECT_TRUE(isBrowsePath("c:\\"));
    EXPECT_TRUE(isBrowsePath("D:\\data\\re"));
    EXPECT_FALSE(isBrowsePath("c:"));
    EXPECT_FALSE(isBrowsePath("1:\\x"));
    EXPECT_FALSE(isBrowsePath("notes"));
    EXPECT_FALSE(isBrowsePath("\\\\server\\share"));
}
