// The real vxsearch.exe with the real Chromium plug-in beside it, against Chrome and Edge profiles in a
// private LOCALAPPDATA that the child process inherits.
#include "ChromiumFixture.h"
#include "support/VxsearchRun.h"

#include <sstream>

namespace {

class ChromiumVxsearch : public ChromiumTest {
protected:
    void SetUp() override {
        ChromiumTest::SetUp();
        ASSERT_TRUE(makeVxsearchFolder(folder, {"Plugins\\Chromium.vll"}));

        const std::string chrome = chromeProfile(), work = chromeProfile("Profile 1"), edge = edgeProfile();
        ASSERT_TRUE(
            write(chrome + "Bookmarks",
                  bookmarksFile(folderNode("Food", link("Fish & Chips", "http://fish.example/menu")))));
        ASSERT_TRUE(write(edge + "Bookmarks",
                          bookmarksFile("", link("Weather Radar", "https://radar.example/maps"))));
        ChromiumHistoryDb history(work + "History");
        ASSERT_TRUE(history.add("http://news.example/today", "Daily News", 4, ChromiumHistoryDb::daysAgo(1)));
        ASSERT_TRUE(
            history.add("http://news.example/today", "Daily News again", 1, ChromiumHistoryDb::daysAgo(9)));
        ChromiumHistoryDb edgeHistory(edge + "History");
        ASSERT_TRUE(edgeHistory.add("https://mail.example/inbox", "Inbox", 9, ChromiumHistoryDb::daysAgo(0)));
        writePrefs("");
    }

    void writePrefs(const std::string& coreAttributes) {
        ASSERT_TRUE(write(folder.sub("prog\\Verbinox.xml"),
                          "<Verbinox>\n    <Verbinox>\n        <Core" + coreAttributes +
                              ">\n            <PluginMgr />\n        </Core>\n    "
                              "</Verbinox>\n</Verbinox>\n"));
    }

    // The rows printed: text, second line and address, tab-separated.
    std::vector<std::vector<std::string>> vxsearch(const std::string& arguments) {
        return runVxsearch(folder, arguments, ++runs).rows;
    }
    // The addresses found by a search, the same in cached and in live mode.
    Texts urls(const std::string& text) {
        Texts cached, live;
        for (const auto& row : vxsearch(text))
            cached.insert(row.back());
        for (const auto& row : vxsearch("--live " + text))
            live.insert(row.back());
        EXPECT_EQ(live, cached) << text;
        return cached;
    }

    int runs = 0;
};

} // namespace

TEST_F(ChromiumVxsearch, ChromeAndEdgeProfilesAreSearchedInBothModes) {
    const auto rows = vxsearch("chips");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0],
              (std::vector<std::string>{"Fish & Chips", "Bookmarks bar > Food", "http://fish.example/menu"}));
    EXPECT_EQ(urls("news"), (Texts{"http://news.example/today"})) << "the second profile, its address once";
    EXPECT_EQ(urls("radar"), (Texts{"https://radar.example/maps"}));
    EXPECT_EQ(urls("inbox"), (Texts{"https://mail.example/inbox"}));
    const auto history = vxsearch("--live news.example");
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0][0], "Daily News") << "the address's best entry";
}

TEST_F(ChromiumVxsearch, TheDomainTitleAndCaseOptionsAreHonouredInBothModes) {
    EXPECT_EQ(urls("maps"), Texts{}) << "by default only the host of an address is matched";
    EXPECT_EQ(urls("mail.example"), (Texts{"https://mail.example/inbox"}));
    writePrefs(" SearchUrlDomainOnly=\"false\"");
    EXPECT_EQ(urls("maps"), (Texts{"https://radar.example/maps"}));
    EXPECT_EQ(urls("today"), (Texts{"http://news.example/today"}));
    writePrefs(" SearchURLDescOnly=\"true\"");
    EXPECT_EQ(urls("radar.example"), Texts{});
    EXPECT_EQ(urls("radar"), (Texts{"https://radar.example/maps"}));
    writePrefs(" SearchCaseSensitive=\"true\"");
    EXPECT_EQ(urls("chips"), Texts{});
    EXPECT_EQ(urls("Chips"), (Texts{"http://fish.example/menu"}));
    EXPECT_EQ(urls("INBOX"), Texts{});
}
