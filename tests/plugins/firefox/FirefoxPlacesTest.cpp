#include "support/CacheSettle.h"
#include "support/CoreFixture.h"
#include "support/PlacesDatabase.h"
#include "support/ShellCapture.h"
#include "support/TempFolder.h"
#include "support/UrlSinkCapture.h"
#include "support/Watchdog.h"

#include "FirefoxBookmarksIndexer.h"
#include "FirefoxHistoryIndexer.h"
#include "FirefoxPlugin.h"
#include "util/CacheFile.h"

#include <algorithm>
#include <atomic>
#include <set>
#include <tuple>

namespace {

class PlacesFirefoxPlugin : public VFirefoxPlugin {
public:
    std::string appData;

protected:
    std::string appDataFolder() const override { return appData; }
};

// What a result shows and opens: its two lines and its address.
using Row = std::tuple<std::string, std::string, std::string>;
using Rows = std::vector<Row>;

class FirefoxPlaces : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        listener = new CollectingListener();
        core->registerResultListener(listener);
        ASSERT_TRUE(folder.makeDir("Cache"));
        vx::setCacheFolder(folder.sub("Cache\\"));
        plugin = new PlacesFirefoxPlugin();
        plugin->appData = folder.sub("AppData");
        for (const char* dir : {"AppData", "AppData\\Mozilla", "AppData\\Mozilla\\Firefox",
                                "AppData\\Mozilla\\Firefox\\Profiles", kOne})
            ASSERT_TRUE(folder.makeDir(dir));
        writeProfiles("[Profile0]\r\nName=default\r\nIsRelative=1\r\nPath=Profiles/one.default\r\n");
    }
    void TearDown() override {
        core->unregisterPlugin(plugin);
        plugin->deleteThis();
        vx::setCacheFolder(std::string());
        CoreTest::TearDown();
    }
    void writeProfiles(const std::string& text) {
        ASSERT_TRUE(writeFollowedFile(folder, "AppData\\Mozilla\\Firefox\\profiles.ini", text));
    }
    // The rows of one search, in the order delivered.
    Rows search(const std::string& text) {
        EXPECT_TRUE(settleCaches(core));
        listener->clear();
        uint32_t id = 0;
        core->startSeach(text, id);
        EXPECT_TRUE(waitForWorkers());
        core->cancelSearch(id);
        Rows rows;
        for (VResult* result : listener->results())
            rows.emplace_back(result->getDisplayText1(), result->getDisplayText2(),
                              result->getDefaultProperty()->getValue());
        return rows;
    }
    // The same rows from the cache and live, in any order; returned sorted.
    Rows bothModes(const std::string& text) {
        core->setLiveSearching(false);
        Rows cached = search(text);
        core->setLiveSearching(true);
        Rows live = search(text);
        core->setLiveSearching(false);
        std::sort(cached.begin(), cached.end());
        std::sort(live.begin(), live.end());
        EXPECT_EQ(live, cached) << text;
        return cached;
    }
    std::vector<std::string> addresses(const Rows& rows) {
        std::vector<std::string> out;
        for (const Row& row : rows)
            out.push_back(std::get<2>(row));
        return out;
    }

    static constexpr const char* kOne = "AppData\\Mozilla\\Firefox\\Profiles\\one.default";
    TempFolder folder;
    PlacesFirefoxPlugin* plugin = nullptr;
    CollectingListener* listener = nullptr;
};

// Every file's name, size and content under a folder, hashed: equal only when nothing changed.
uint64_t folderPrint(const std::string& path) {
    uint64_t hash = 1469598103934665603ULL;
    auto mix = [&](const std::string& bytes) {
        for (unsigned char c : bytes)
            hash = (hash ^ c) * 1099511628211ULL;
        hash = (hash ^ 0xFF) * 1099511628211ULL;
    };
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((path + "\\*").c_str(), &data);
    std::set<std::string> names;
    if (find != INVALID_HANDLE_VALUE) {
        do
            names.insert(data.cFileName);
        while (::FindNextFileA(find, &data));
        ::FindClose(find);
    }
    for (const std::string& name : names) {
        mix(name);
        HANDLE file = ::CreateFileA((path + "\\" + name).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        std::string content;
        char buffer[65536];
        DWORD n = 0;
        while (file != INVALID_HANDLE_VALUE && ::ReadFile(file, buffer, sizeof(buffer), &n, nullptr) && n > 0)
            content.append(buffer, n);
        if (file != INVALID_HANDLE_VALUE)
            ::CloseHandle(file);
        mix(content);
    }
    return hash;
}

} // namespace

TEST_F(FirefoxPlaces, BookmarksShowTheirFolderPathAndLeaveOutTagsAndSavedSearches) {
    {
        PlacesDatabase places(folder.sub(kOne) + "\\places.sqlite");
        const int64_t tools = places.addFolder(places.addFolder(PlacesDatabase::Menu, "Work"), "Tools");
        places.addBookmark(tools, "http://fish.example/menu", "Fish & Chips");
        places.addBookmark(PlacesDatabase::Toolbar, "http://cafe.example/", "Caf\xC3\xA9");
        places.addPage("http://untitled.example/", "Page Title", 1, PlacesDatabase::nowMicroseconds());
        places.addBookmark(PlacesDatabase::Unfiled, "http://untitled.example/", "");
        // A tag is a folder under "tags" holding a second entry for the page: not a bookmark of its own.
        places.addBookmark(places.addFolder(PlacesDatabase::Tags, "cooking"), "http://tagged.example/", "");
        places.addBookmark(PlacesDatabase::Mobile, "place:sort=8&maxResults=10", "Most Visited example");
    }
    plugin->setSearchBookmarks(true);
    ASSERT_NE(plugin->getBookmarksIndexer(), nullptr);
    ASSERT_TRUE(settleCaches(core));
    EXPECT_EQ(plugin->getBookmarksIndexer()->getCachedCount(), 3u);
    core->setSearchUrlDomainOnly(false);
    EXPECT_EQ(bothModes("example"),
              (Rows{{"Caf\xE9", "Bookmarks Toolbar", "http://cafe.example/"},
                    {"Fish & Chips", "Bookmarks Menu/Work/Tools", "http://fish.example/menu"},
                    {"Page Title", "Other Bookmarks", "http://untitled.example/"}}));
    EXPECT_EQ(bothModes("chips"),
              (Rows{{"Fish & Chips", "Bookmarks Menu/Work/Tools", "http://fish.example/menu"}}));
    EXPECT_EQ(bothModes("tools"), Rows{}) << "the folder is shown, not matched";
}

TEST_F(FirefoxPlaces, HistoryListsVisitedPagesOnceEachInTheBrowsersRankingOrder) {
    // The source's own order: ranking would put the shortest addresses first.
    core->setRankResults(false);
    const int64_t now = PlacesDatabase::nowMicroseconds();
    {
        PlacesDatabase places(folder.sub(kOne) + "\\places.sqlite");
        places.addPage("http://middle.example/", "Middle", 3, now - PlacesDatabase::kDay, 500);
        places.addPage("http://top.example/", "Top", 1, now - 40 * PlacesDatabase::kDay, 2000);
        places.addPage("http://low.example/", "Weather", 9, now, 100);
        places.addPage("http://frame.example/", "Hidden frame", 5, now, 9000, true);
        places.addBookmark(PlacesDatabase::Menu, "http://never.example/", "Bookmarked, never visited");
    }
    plugin->setSearchHistory(true);
    ASSERT_NE(plugin->getHistoryIndexer(), nullptr);
    for (bool live : {false, true}) {
        core->setLiveSearching(live);
        EXPECT_EQ(addresses(search("example")),
                  (std::vector<std::string>{"http://top.example/", "http://middle.example/",
                                            "http://low.example/"}))
            << live;
        EXPECT_EQ(search("weather"), (Rows{{"Weather", "http://low.example/", "http://low.example/"}}))
            << "titles are matched too";
    }
}

TEST_F(FirefoxPlaces, WithoutTheBrowsersRankingVisitsAndRecencyDecideTheOrder) {
    // The source's own order: ranking would put the shortest addresses first.
    core->setRankResults(false);
    const int64_t now = PlacesDatabase::nowMicroseconds();
    {
        PlacesDatabase places(folder.sub(kOne) + "\\places.sqlite", false);
        places.addPage("http://old.example/", "Often, long ago", 10, now - 200 * PlacesDatabase::kDay);
        places.addPage("http://recent.example/", "Twice, lately", 2, now - 10 * PlacesDatabase::kDay);
        places.addPage("http://today.example/", "Three times today", 3, now);
    }
    plugin->setSearchHistory(true);
    for (bool live : {false, true}) {
        core->setLiveSearching(live);
        EXPECT_EQ(addresses(search("example")),
                  (std::vector<std::string>{"http://today.example/", "http://recent.example/",
                                            "http://old.example/"}))
            << live;
    }
}

TEST_F(FirefoxPlaces, EveryListedProfileIsReadRelativeOrAbsoluteEachOnce) {
    ASSERT_TRUE(folder.makeDir("Elsewhere"));
    ASSERT_TRUE(folder.makeDir("AppData\\Mozilla\\Firefox\\Profiles\\old.default"));
    writeProfiles("[General]\r\nStartWithLastProfile=1\r\n\r\n"
                  "[Profile1]\r\nName=work\r\nIsRelative=1\r\nPath=Profiles/one.default\r\n\r\n"
                  "[Profile0]\r\nName=elsewhere\r\nIsRelative=0\r\nPath=" +
                  folder.sub("Elsewhere") +
                  "\r\n\r\n[Profile2]\r\nName=old\r\nPath=Profiles\\old.default\r\n\r\n"
                  "[Profile3]\r\nName=again\r\nIsRelative=1\r\nPath=Profiles\\ONE.default\\\r\n\r\n"
                  "[Install308046B0AF4A39CB]\r\nDefault=Profiles/none.default\r\n");
    {
        PlacesDatabase one(folder.sub(kOne) + "\\places.sqlite");
        one.addBookmark(PlacesDatabase::Menu, "http://one.example/", "First profile");
        one.addBookmark(PlacesDatabase::Menu, "http://both.example/", "In both");
        PlacesDatabase elsewhere(folder.sub("Elsewhere\\places.sqlite"));
        elsewhere.addBookmark(PlacesDatabase::Toolbar, "http://elsewhere.example/", "Absolute profile");
        elsewhere.addBookmark(PlacesDatabase::Toolbar, "http://both.example/", "In both");
    }
    ASSERT_TRUE(folder.writeFile("AppData\\Mozilla\\Firefox\\Profiles\\old.default\\bookmarks.html",
                                 "<DL><p><DT><A HREF=\"http://old.example/\">Exported file</A></DL>"));
    plugin->setSearchBookmarks(true);
    ASSERT_NE(plugin->getBookmarksIndexer(), nullptr);
    EXPECT_EQ(plugin->getBookmarksIndexer()->getFiles().size(), 3u);
    EXPECT_EQ(addresses(bothModes("example")),
              (std::vector<std::string>{"http://elsewhere.example/", "http://old.example/",
                                        "http://one.example/", "http://both.example/"}))
        << "one result per address";
}

TEST_F(FirefoxPlaces, DamagedDatabasesGiveNothingAndTheProfileStaysByteForByte) {
    ASSERT_TRUE(folder.makeDir("AppData\\Mozilla\\Firefox\\Profiles\\bad.default"));
    writeProfiles("[Profile0]\r\nIsRelative=1\r\nPath=Profiles/one.default\r\n"
                  "[Profile1]\r\nIsRelative=1\r\nPath=Profiles/bad.default\r\n");
    const std::string bad = folder.sub("AppData\\Mozilla\\Firefox\\Profiles\\bad.default");
    {
        PlacesDatabase good(folder.sub(kOne) + "\\places.sqlite");
        good.addBookmark(PlacesDatabase::Menu, "http://good.example/", "Good");
        PlacesDatabase whole(bad + "\\whole.sqlite");
        whole.exec("BEGIN");
        for (int i = 0; i < 3000; ++i)
            whole.addBookmark(PlacesDatabase::Menu,
                              "http://bad" + std::to_string(i) + ".example/" + std::string(60, 'p'),
                              "Bad " + std::to_string(i));
        whole.exec("COMMIT");
    }
    const std::string whole =
        folder.readFile("AppData\\Mozilla\\Firefox\\Profiles\\bad.default\\whole.sqlite");
    ASSERT_GT(whole.size(), 200000u);
    std::string scrambled = whole, random(whole.size(), '\0');
    for (std::size_t i = 40000; i < scrambled.size(); i += 97)
        scrambled[i] = static_cast<char>(scrambled[i] ^ 0x5A);
    unsigned seed = 77;
    for (char& c : random)
        c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
    std::string otherSchema;
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((bad + "\\other.sqlite").c_str(), &db), SQLITE_OK);
        sqlite3_exec(db, "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, address TEXT)", nullptr, nullptr,
                     nullptr);
        sqlite3_close(db);
        otherSchema = folder.readFile("AppData\\Mozilla\\Firefox\\Profiles\\bad.default\\other.sqlite");
    }
    {
        // Folders that are each other's parents: a loop no path can be made of.
        PlacesDatabase looped(bad + "\\looped.sqlite");
        const int64_t a = looped.addFolder(PlacesDatabase::Menu, "A");
        const int64_t b = looped.addFolder(a, "B");
        looped.exec("UPDATE moz_bookmarks SET parent = " + std::to_string(b) +
                    " WHERE id = " + std::to_string(a));
        looped.addBookmark(b, "http://loop.example/", "In a loop");
    }
    const std::string looped =
        folder.readFile("AppData\\Mozilla\\Firefox\\Profiles\\bad.default\\looped.sqlite");
    plugin->setSearchBookmarks(true);
    plugin->setSearchHistory(true);
    ASSERT_NE(plugin->getBookmarksIndexer(), nullptr);
    const std::pair<const char*, std::string> damaged[] = {
        {"cut in half", whole.substr(0, whole.size() / 2)},
        {"cut after its first page", whole.substr(0, 32768 + 100)},
        {"scrambled", scrambled},
        {"random bytes", random},
        {"empty", ""},
        {"another schema", otherSchema},
        {"folders in a loop", looped},
    };
    mustFinishWithin(120000, "reading damaged databases", [&] {
        for (const auto& [what, bytes] : damaged) {
            ASSERT_TRUE(writeFollowedFile(
                folder, "AppData\\Mozilla\\Firefox\\Profiles\\bad.default\\places.sqlite", bytes))
                << what;
            const uint64_t before = folderPrint(bad);
            plugin->getBookmarksIndexer()->updateCache();
            EXPECT_TRUE(settleCaches(core));
            plugin->getHistoryIndexer()->updateCache();
            EXPECT_TRUE(settleCaches(core));
            EXPECT_EQ(addresses(bothModes("example")), (std::vector<std::string>{"http://good.example/"}))
                << what;
            EXPECT_EQ(folderPrint(bad), before) << what << ": the profile was written to";
        }
    });
}

TEST_F(FirefoxPlaces, ADatabaseTheBrowserHoldsLockedIsReadThroughACopy) {
    const std::string path = folder.sub(kOne) + "\\places.sqlite";
    {
        PlacesDatabase places(path);
        places.addBookmark(PlacesDatabase::Menu, "http://folded.example/", "Folded into the database");
    }
    // As a running browser: the database locked for itself, its newest change only in the log, and a
    // write under way.
    PlacesDatabase browser(path, PlacesDatabase::Existing{});
    browser.exec("PRAGMA wal_autocheckpoint = 0");
    browser.exec("PRAGMA locking_mode = EXCLUSIVE");
    browser.addBookmark(PlacesDatabase::Menu, "http://logged.example/", "Only in the log");
    browser.exec("BEGIN IMMEDIATE");
    browser.addBookmark(PlacesDatabase::Menu, "http://pending.example/", "Not yet committed");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &other, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    EXPECT_NE(sqlite3_exec(other, "SELECT COUNT(*) FROM moz_bookmarks", nullptr, nullptr, nullptr), SQLITE_OK)
        << "the database is not locked: the test proves nothing";
    sqlite3_close(other);

    mustFinishWithin(30000, "reading a locked database", [&] {
        plugin->setSearchBookmarks(true);
        ASSERT_NE(plugin->getBookmarksIndexer(), nullptr);
        EXPECT_EQ(addresses(bothModes("example")),
                  (std::vector<std::string>{"http://folded.example/", "http://logged.example/"}));
    });
    browser.exec("COMMIT");
}

TEST_F(FirefoxPlaces, ANewBookmarkIsFoundByTheNextCachedSearchWithoutARebuild) {
    PlacesDatabase browser(folder.sub(kOne) + "\\places.sqlite");
    browser.addBookmark(PlacesDatabase::Menu, "http://first.example/", "First");
    plugin->setSearchBookmarks(true);
    VFirefoxBookmarksIndexer* indexer = plugin->getBookmarksIndexer();
    ASSERT_NE(indexer, nullptr);
    ASSERT_TRUE(settleCaches(core));
    EXPECT_FALSE(indexer->isCacheStale()) << "an unchanged profile must not rebuild at every search";
    EXPECT_EQ(addresses(search("example")), (std::vector<std::string>{"http://first.example/"}));

    browser.addBookmark(PlacesDatabase::Toolbar, "http://second.example/", "Second");
    EXPECT_TRUE(indexer->isCacheStale());
    EXPECT_EQ(addresses(search("second")), (std::vector<std::string>{"http://second.example/"}));
    EXPECT_FALSE(indexer->isCacheStale());
    browser.close(); // the log folded into the database and removed
    EXPECT_EQ(addresses(search("second")), (std::vector<std::string>{"http://second.example/"}));
}

namespace {

// A bookmarks indexer read with a stop that answers true while cutShort is set, as when the indexer is
// stopped: a rebuild cut short at the first point it looks.
class CutShortBookmarksIndexer : public VFirefoxBookmarksIndexer {
public:
    using VFirefoxBookmarksIndexer::VFirefoxBookmarksIndexer;
    std::atomic<bool> cutShort{false};

protected:
    bool readSource(VUrlSink& sink, const std::function<bool()>& stop) const override {
        return VFirefoxBookmarksIndexer::readSource(sink, [&] { return cutShort.load() || stop(); });
    }
};

} // namespace

TEST_F(FirefoxPlaces, ARebuildCutShortKeepsTheCacheAndStaysStale) {
    PlacesDatabase browser(folder.sub(kOne) + "\\places.sqlite");
    browser.addBookmark(PlacesDatabase::Menu, "http://first.example/", "First");
    auto* indexer = new CutShortBookmarksIndexer(plugin);
    ASSERT_TRUE(indexer->init());
    ASSERT_TRUE(core->registerIndexer(indexer));
    EXPECT_EQ(addresses(search("example")), (std::vector<std::string>{"http://first.example/"}));

    browser.addBookmark(PlacesDatabase::Toolbar, "http://second.example/", "Second");
    ASSERT_TRUE(indexer->isCacheStale());
    indexer->cutShort = true;
    EXPECT_EQ(addresses(search("example")), (std::vector<std::string>{"http://first.example/"}));
    EXPECT_EQ(indexer->getCachedCount(), 1u) << "the cut-short rebuild replaced the cache";
    EXPECT_TRUE(indexer->isCacheStale()) << "the cut-short rebuild counted as done";
    indexer->cutShort = false;
    EXPECT_EQ(search("example").size(), 2u);
    EXPECT_FALSE(indexer->isCacheStale());
}

TEST_F(FirefoxPlaces, ScriptAndDataAddressesAreListedButOpenOnlyWhenConfirmed) {
    // The source's own order: ranking would put the shortest addresses first.
    core->setRankResults(false);
    {
        PlacesDatabase places(folder.sub(kOne) + "\\places.sqlite");
        places.addBookmark(PlacesDatabase::Toolbar, "javascript:alert(document.cookie)", "Bookmarklet tool");
        places.addBookmark(PlacesDatabase::Toolbar, "data:text/html,<b>hi</b>", "Inline tool");
    }
    plugin->setSearchBookmarks(true);
    ShellCapture shell;
    static std::vector<std::string> asked;
    static bool answer = false;
    asked.clear();
    VVerbinoxCore::UrlConfirmHook previous = VVerbinoxCore::setUrlConfirmHook([](const std::string& url) {
        asked.push_back(url);
        return answer;
    });
    EXPECT_EQ(addresses(search("tool")),
              (std::vector<std::string>{"javascript:alert(document.cookie)", "data:text/html,<b>hi</b>"}));
    for (VResult* result : listener->results())
        EXPECT_FALSE(result->select()) << "refused";
    EXPECT_TRUE(shell.requests().empty());
    answer = true;
    EXPECT_TRUE(listener->results().front()->select());
    EXPECT_EQ(shell.requests().size(), 1u);
    EXPECT_EQ(asked.size(), 3u);
    VVerbinoxCore::setUrlConfirmHook(previous);
}

TEST_F(FirefoxPlaces, LookAlikeHyphensStayEscapedInBookmarksAndHistory) {
    {
        PlacesDatabase places(folder.sub(kOne) + "\\places.sqlite");
        places.addBookmark(PlacesDatabase::Toolbar, "\xEF\xBC\x8D\xEF\xBC\x8Dgpu-launcher=x", "Wide mark");
        places.addPage("\xEF\xBC\x8D\xEF\xBC\x8Drenderer-cmd-prefix=x", "Wide visit", 1,
                       PlacesDatabase::nowMicroseconds(), 100);
    }
    plugin->setSearchBookmarks(true);
    plugin->setSearchHistory(true);
    std::vector<std::string> found = addresses(bothModes("wide"));
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{"%EF%BC%8D%EF%BC%8Dgpu-launcher=x",
                                               "%EF%BC%8D%EF%BC%8Drenderer-cmd-prefix=x"}))
        << "a fullwidth hyphen in code page 1252 is no \"-\"";
}

TEST_F(FirefoxPlaces, TheReadersGiveEveryProfilesEntriesOnceEachBestFirstWithTheirRank) {
    ASSERT_TRUE(folder.makeDir("AppData\\Mozilla\\Firefox\\Profiles\\two.default"));
    writeProfiles("[Profile0]\r\nIsRelative=1\r\nPath=Profiles/one.default\r\n\r\n"
                  "[Profile1]\r\nIsRelative=1\r\nPath=Profiles/two.default\r\n");
    const int64_t now = PlacesDatabase::nowMicroseconds();
    {
        PlacesDatabase one(folder.sub(kOne) + "\\places.sqlite");
        one.addPage("http://low.example/", "Low", 1, now, 10);
        one.addPage("http://both.example/", "In both", 1, now, 50);
        one.addBookmark(one.addFolder(PlacesDatabase::Menu, "Work"), "http://mark.example/", "Marked");
        PlacesDatabase two(folder.sub("AppData\\Mozilla\\Firefox\\Profiles\\two.default\\places.sqlite"));
        two.addPage("http://high.example/", "High", 1, now, 900);
        two.addPage("http://both.example/", "", 4, now, 70);
    }
    plugin->setSearchBookmarks(true);
    plugin->setSearchHistory(true);
    const auto never = [] { return false; };
    UrlSinkCapture history;
    EXPECT_TRUE(plugin->getHistoryIndexer()->read(history, never));
    EXPECT_EQ(history.entries,
              (std::vector<UrlSinkCapture::Entry>{{"http://high.example/", "High", "", 900},
                                                  {"http://both.example/", "In both", "", 70},
                                                  {"http://low.example/", "Low", "", 10}}))
        << "an address in two profiles is one entry, with the better ranking";
    UrlSinkCapture bookmarks;
    EXPECT_TRUE(plugin->getBookmarksIndexer()->read(bookmarks, never));
    EXPECT_EQ(bookmarks.entries, (std::vector<UrlSinkCapture::Entry>{
                                     {"http://mark.example/", "Marked", "Bookmarks Menu/Work", 0}}));
    UrlSinkCapture stopped;
    EXPECT_FALSE(plugin->getHistoryIndexer()->read(stopped, [] { return true; }))
        << "a read cut short counted as whole";
}
