#include "ChromiumFixture.h"

#include "support/UrlSinkCapture.h"
#include "util/Win32Handle.h"

namespace {

using Entries = std::vector<UrlSinkCapture::Entry>;

const auto never = [] { return false; };

} // namespace

// The readers on their own, without the core's table: what each hands on, in which order.
class ChromiumReader : public ChromiumTest {
protected:
    template <class Indexer> std::unique_ptr<Indexer, void (*)(VIndexer*)> make() {
        EXPECT_TRUE(plugin->startUp());
        const chromium::Browser* chrome = plugin->findBrowser(Chrome);
        return {new Indexer(plugin, chrome, &chrome->profiles.at(0)),
                [](VIndexer* gone) { gone->deleteThis(); }};
    }
};

TEST_F(ChromiumReader, BookmarksComeInTheFilesOrderWithTheirFolderPaths) {
    ASSERT_TRUE(write(chromeProfile() + "Bookmarks",
                      bookmarksFile(folderNode("Food", link("Fish & Chips", "http://fish.example/menu")) +
                                        "," + link("Daily News", "https://news.example/today"),
                                    link("Caf\\u00e9 Noir", "http://coffee.example/"))));
    auto indexer = make<VChromiumBookmarksIndexer>();
    UrlSinkCapture sink;
    EXPECT_TRUE(indexer->read(sink, never));
    EXPECT_EQ(sink.entries, (Entries{{"http://fish.example/menu", "Fish & Chips", "Bookmarks bar > Food", 0},
                                     {"https://news.example/today", "Daily News", "Bookmarks bar", 0},
                                     {"http://coffee.example/", "Caf\xE9 Noir", "Other bookmarks", 0}}));
}

TEST_F(ChromiumReader, HistoryComesBestFirstWithItsVisitsAndStopsWhenAsked) {
    {
        ChromiumHistoryDb db(chromeProfile() + "History");
        ASSERT_TRUE(db.add("http://once.example/", "Once today", 1, ChromiumHistoryDb::daysAgo(0.1)));
        ASSERT_TRUE(db.add("http://often.example/", "Often lately", 20, ChromiumHistoryDb::daysAgo(1)));
        ASSERT_TRUE(db.add("http://old.example/", "Often long ago", 20, ChromiumHistoryDb::daysAgo(400)));
        ASSERT_TRUE(db.add("http://often.example/", "Often twice", 2, ChromiumHistoryDb::daysAgo(2)));
    }
    auto indexer = make<VChromiumHistoryIndexer>();
    UrlSinkCapture sink;
    EXPECT_TRUE(indexer->read(sink, never));
    EXPECT_EQ(sink.entries, (Entries{{"http://often.example/", "Often lately", "", 20},
                                     {"http://old.example/", "Often long ago", "", 20},
                                     {"http://once.example/", "Once today", "", 1}}));
    int asked = 0;
    UrlSinkCapture stopped;
    EXPECT_FALSE(indexer->read(stopped, [&] { return ++asked > 3; })) << "a read cut short counted as whole";
}

TEST_F(ChromiumReader, MissingFilesReadAsEmptyAndAHeldHistoryAsUnreadable) {
    const std::string profile = chromeProfile();
    auto bookmarks = make<VChromiumBookmarksIndexer>();
    auto history = make<VChromiumHistoryIndexer>();
    UrlSinkCapture sink;
    EXPECT_TRUE(bookmarks->read(sink, never)) << "a profile without bookmarks yet has none";
    EXPECT_TRUE(history->read(sink, never)) << "a profile without a history yet has none";
    EXPECT_TRUE(sink.entries.empty());
    {
        ChromiumHistoryDb db(profile + "History");
        ASSERT_TRUE(db.add("http://held.example/", "Held", 1, ChromiumHistoryDb::daysAgo(1)));
    }
    vx::CHandle held;
    held.Attach(
        ::CreateFileA((profile + "History").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.IsValid());
    EXPECT_FALSE(history->read(sink, never)) << "a history that could not be copied read as empty";
}
