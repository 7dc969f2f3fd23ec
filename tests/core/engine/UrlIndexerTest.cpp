#include "support/CoreFixture.h"
#include "support/TempFolder.h"
#include "support/Watchdog.h"

#include "engine/VUrlIndexer.h"
#include "util/CacheFile.h"
#include "util/Environment.h"

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <tuple>

namespace {

struct Entry {
    std::string url, title, folder;
};

// A source whose entries the test sets; it can fail, be slow, or wait at an entry until released.
class ListIndexer : public VUrlIndexer {
public:
    ListIndexer(std::string watched, std::string kind = "test-urls", std::string description = "the list")
        : VUrlIndexer(nullptr, nullptr, std::move(kind)), watched(std::move(watched)),
          description(std::move(description)) {}
    ~ListIndexer() override { stopWorker(); }

    void set(std::vector<Entry> now) {
        std::lock_guard<std::mutex> hold(mutex);
        entries = std::move(now);
    }
    std::string getSourceDescription() const override { return description; }

    mutable std::atomic<int> reads{0};
    std::atomic<bool> unreadable{false};
    std::atomic<int> entryDelayMs{0};
    // The read waits before this entry until opened (or until stopped).
    std::atomic<int> holdAt{-1};
    mutable std::atomic<bool> held{false};
    std::atomic<bool> open{false};
    // makeResult waits at its first call until opened: a cached search is then half-way through.
    mutable std::atomic<bool> holdResults{false};
    mutable std::atomic<bool> resultHeld{false};

protected:
    bool readSource(VUrlSink& sink, const std::function<bool()>& stop) const override {
        ++reads;
        if (unreadable)
            return false;
        std::vector<Entry> now;
        {
            std::lock_guard<std::mutex> hold(mutex);
            now = entries;
        }
        for (std::size_t i = 0; i < now.size(); ++i) {
            if (static_cast<int>(i) == holdAt.load()) {
                held = true;
                while (!open && !stop())
                    ::Sleep(2);
            }
            if (entryDelayMs > 0)
                ::Sleep(entryDelayMs);
            if (stop() || !sink.add(now[i].url, now[i].title, now[i].folder, static_cast<uint32_t>(i)))
                return false;
        }
        return true;
    }
    std::vector<std::string> watchedFiles() const override { return {watched}; }
    VResult* makeResult(std::string_view url, std::string_view title,
                        std::string_view folder) const override {
        if (holdResults.exchange(false)) {
            resultHeld = true;
            while (!open)
                ::Sleep(2);
        }
        return VUrlIndexer::makeResult(url, title, folder);
    }

private:
    std::string watched;
    std::string description;
    mutable std::mutex mutex;
    std::vector<Entry> entries;
};

class UrlIndexerTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        vx::setCacheFolder(folder.sub("cache\\"));
        folder.makeDir("cache");
        ASSERT_TRUE(folder.writeFile("source.txt", "one"));
        listener = counting = new CountingListener();
        core->registerResultListener(listener);
    }
    void TearDown() override {
        for (ListIndexer* indexer : registered)
            core->unregisterIndexer(indexer);
        vx::setCacheFolder(std::string());
        CoreTest::TearDown();
    }
    ListIndexer* add(std::vector<Entry> entries, std::string description = "the list") {
        auto* indexer = new ListIndexer(folder.sub("source.txt"), "test-urls", std::move(description));
        indexer->set(std::move(entries));
        EXPECT_TRUE(core->registerIndexer(indexer));
        registered.push_back(indexer);
        indexer->requestRebuild();
        EXPECT_TRUE(indexer->waitForRebuild(10000));
        return indexer;
    }
    void remove(ListIndexer* indexer) {
        registered.erase(std::find(registered.begin(), registered.end(), indexer));
        core->unregisterIndexer(indexer);
    }
    // Each result as display text, second line.
    std::vector<std::pair<std::string, std::string>> search(const std::string& text) {
        listener->clear();
        counting->overflow = 0;
        uint32_t id = 0;
        core->startSeach(text, id);
        EXPECT_TRUE(waitForWorkers());
        core->cancelSearch(id);
        std::vector<std::pair<std::string, std::string>> out;
        for (VResult* result : listener->results())
            out.emplace_back(result->getDisplayText1(), result->getDisplayText2());
        return out;
    }
    std::set<std::pair<std::string, std::string>> lines(const std::string& text) {
        const auto got = search(text);
        return std::set<std::pair<std::string, std::string>>(got.begin(), got.end());
    }
    std::set<std::string> found(const std::string& text) {
        std::set<std::string> out;
        for (const auto& result : search(text))
            out.insert(result.first);
        return out;
    }

    TempFolder folder;
    CollectingListener* listener = nullptr;
    CountingListener* counting = nullptr;
    std::vector<ListIndexer*> registered;
};

using Texts = std::set<std::string>;
using Lines = std::vector<std::pair<std::string, std::string>>;
using LineSet = std::set<std::pair<std::string, std::string>>;

const std::vector<Entry> kEntries = {
    {"http://fish.example/menu", "Fish & Chips", "Food"},
    {"https://news.example/today", "Daily News", ""},
    {"http://fish.example/menu", "Second fish entry", "Elsewhere"},
    {"http://only.example/", "Plain page", ""},
    {"http://only.example/", "A later chips entry", ""},
};

} // namespace

TEST_F(UrlIndexerTest, CachedAndLiveSearchGiveOneResultPerAddressTheFirstTheSourceGave) {
    ListIndexer* indexer = add(kEntries);
    EXPECT_EQ(indexer->getCachedCount(), 3u);
    for (bool live : {false, true}) {
        core->setLiveSearching(live);
        indexer->requestRebuild();
        ASSERT_TRUE(indexer->waitForRebuild(10000));
        // Ranked: the shorter titles first, so compared whatever the order.
        EXPECT_EQ(lines("example"), (LineSet{{"Fish & Chips", "Food"},
                                             {"Daily News", "https://news.example/today"},
                                             {"Plain page", "http://only.example/"}}))
            << live;
        EXPECT_EQ(found("chips"), (Texts{"Fish & Chips"})) << "a later entry of an address is not its result";
        core->setSearchUrlDescriptionsOnly(true);
        EXPECT_EQ(found("news.example"), Texts{}) << live;
        core->setSearchUrlDescriptionsOnly(false);
        core->setSearchUrlDomainOnly(true);
        EXPECT_EQ(found("menu"), Texts{}) << live;
        EXPECT_EQ(found("FISH.EX"), (Texts{"Fish & Chips"})) << live;
        core->setSearchUrlDomainOnly(false);
    }
}

TEST_F(UrlIndexerTest, ABuildThatFailsOrIsStoppedKeepsTheOldTable) {
    ListIndexer* indexer = add({{"http://first.example/", "First", ""}});
    indexer->set({{"http://first.example/", "First", ""}, {"http://second.example/", "Second", ""}});
    ASSERT_TRUE(folder.writeFile("source.txt", "changed"));
    indexer->unreadable = true;
    indexer->requestRebuild();
    ASSERT_TRUE(indexer->waitForRebuild(10000));
    EXPECT_EQ(found("example"), (Texts{"First"})) << "an unreadable source emptied the table";
    EXPECT_TRUE(indexer->isCacheStale()) << "a failed build counted as done";

    indexer->unreadable = false;
    indexer->holdAt = 1;
    indexer->requestRebuild();
    for (int waited = 0; !indexer->held && waited < 10000; waited += 5)
        ::Sleep(5);
    ASSERT_TRUE(indexer->held);
    indexer->stopWorker();
    EXPECT_EQ(indexer->getCachedCount(), 1u) << "a build cut short replaced the table";
    EXPECT_TRUE(indexer->isCacheStale());
    indexer->holdAt = -1;
    indexer->requestRebuild();
    ASSERT_TRUE(indexer->waitForRebuild(10000));
    EXPECT_EQ(found("example"), (Texts{"First", "Second"}));
}

TEST_F(UrlIndexerTest, ASlowRebuildNeverHoldsUpASearch) {
    ListIndexer* indexer = add({{"http://first.example/", "First", ""}});
    indexer->set({{"http://first.example/", "First", ""}, {"http://second.example/", "Second", ""}});
    indexer->holdAt = 0;
    indexer->requestRebuild();
    for (int waited = 0; !indexer->held && waited < 10000; waited += 5)
        ::Sleep(5);
    ASSERT_TRUE(indexer->held);
    Texts during;
    mustFinishWithin(3000, "a search while the table is rebuilt", [&] { during = found("example"); });
    EXPECT_EQ(during, (Texts{"First"})) << "the search did not deliver from the table there was";
    indexer->open = true;
    ASSERT_TRUE(indexer->waitForRebuild(10000));
    EXPECT_EQ(found("example"), (Texts{"First", "Second"}));
}

TEST_F(UrlIndexerTest, ASearchKeepsTheTableItStartedWithWhileARebuildSwapsIt) {
    std::vector<Entry> old;
    for (int i = 0; i < 200; ++i)
        old.push_back({"http://old" + std::to_string(i) + ".example/", "Old " + std::to_string(i), ""});
    ListIndexer* indexer = add(old);
    indexer->holdResults = true;
    uint32_t id = 0;
    listener->clear();
    core->startSeach("example", id);
    for (int waited = 0; !indexer->resultHeld && waited < 10000; waited += 5)
        ::Sleep(5);
    ASSERT_TRUE(indexer->resultHeld);
    // The search holds at its first result; meanwhile a new table, of other entries, takes its place.
    indexer->set({{"http://new.example/", "New", ""}});
    indexer->requestRebuild();
    ASSERT_TRUE(indexer->waitForRebuild(10000));
    ASSERT_EQ(indexer->getCachedCount(), 1u);
    indexer->open = true;
    ASSERT_TRUE(waitForWorkers());
    core->cancelSearch(id);
    // Ranked (shorter titles first), so compared whatever the order.
    const std::vector<std::string> texts = listener->texts();
    ASSERT_EQ(texts.size(), 200u);
    const Texts got(texts.begin(), texts.end());
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(got.count("Old " + std::to_string(i)), 1u) << i;
}

TEST_F(UrlIndexerTest, ACachedSearchOfAChangedSourceAsksForARebuildAndDeliversTheOldTable) {
    ListIndexer* indexer = add({{"http://first.example/", "First", ""}});
    EXPECT_FALSE(indexer->isCacheStale());
    indexer->set({{"http://first.example/", "First", ""}, {"http://second.example/", "Second", ""}});
    ASSERT_TRUE(folder.writeFile("source.txt", "a longer text"));
    EXPECT_TRUE(indexer->isCacheStale());
    indexer->entryDelayMs = 200;
    EXPECT_EQ(found("example"), (Texts{"First"}));
    ASSERT_TRUE(indexer->waitForRebuild(10000));
    EXPECT_FALSE(indexer->isCacheStale());
    EXPECT_EQ(found("example"), (Texts{"First", "Second"}));
}

TEST_F(UrlIndexerTest, AChangedFileIsFollowedWithoutASearch) {
    ListIndexer* indexer = add({{"http://first.example/", "First", ""}});
    indexer->set({{"http://first.example/", "First", ""}, {"http://second.example/", "Second", ""}});
    ASSERT_TRUE(::DeleteFileA(folder.sub("source.txt").c_str()));
    int waited = 0;
    for (; indexer->getCachedCount() != 2 && waited < 5000; waited += 20)
        ::Sleep(20);
    EXPECT_EQ(indexer->getCachedCount(), 2u) << "a file that went was not noticed";
    EXPECT_LT(waited, 2500);
}

TEST_F(UrlIndexerTest, TheKeptTableServesTheNextStartWithoutReadingAnUnchangedSource) {
    ListIndexer* first = add(kEntries);
    ASSERT_EQ(first->reads.load(), 1);
    EXPECT_EQ(first->getCacheNote().rfind("built the cache of the list: 3 addresses in ", 0), 0u)
        << first->getCacheNote();
    const std::string kept = first->getCacheFile();
    ASSERT_EQ(kept.rfind(folder.sub("cache\\"), 0), 0u) << kept;
    EXPECT_TRUE(vx::isFile(kept));
    remove(first);

    ListIndexer* second = add({});
    EXPECT_EQ(second->reads.load(), 0) << "an unchanged source was read again";
    EXPECT_EQ(second->getCacheNote(), "") << "loading the kept table is no build";
    EXPECT_EQ(second->getCachedCount(), 3u);
    EXPECT_EQ(lines("example"), (LineSet{{"Fish & Chips", "Food"},
                                         {"Daily News", "https://news.example/today"},
                                         {"Plain page", "http://only.example/"}}));
    remove(second);

    ASSERT_TRUE(folder.writeFile("source.txt", "changed since"));
    ListIndexer* third = add({{"http://fresh.example/", "Fresh", ""}});
    EXPECT_EQ(third->reads.load(), 1) << "a changed source was not read";
    EXPECT_EQ(found("example"), (Texts{"Fresh"}));
}

TEST_F(UrlIndexerTest, ADamagedOrForeignKeptFileIsIgnoredAndTheSourceRead) {
    remove(add(kEntries));
    const std::string kept = ListIndexer(folder.sub("source.txt")).getCacheFile();
    const std::string bytes = folder.readFile(kept.substr(folder.path().size()));
    ASSERT_GT(bytes.size(), 40u);
    std::vector<std::string> damaged;
    for (std::size_t cut = 0; cut < bytes.size(); cut += bytes.size() / 23 + 1)
        damaged.push_back(bytes.substr(0, cut));
    for (std::size_t at = 0; at < bytes.size(); at += bytes.size() / 17 + 1) {
        std::string flipped = bytes;
        flipped[at] = static_cast<char>(flipped[at] ^ 0x5A);
        damaged.push_back(flipped);
    }
    mustFinishWithin(60000, "reading damaged kept tables", [&] {
        for (const std::string& content : damaged) {
            ASSERT_TRUE(folder.writeFile(kept.substr(folder.path().size()), content));
            ListIndexer* indexer = add({{"http://fresh.example/", "Fresh", ""}});
            EXPECT_EQ(indexer->reads.load(), 1);
            EXPECT_EQ(found("example"), (Texts{"Fresh"})) << content.size();
            remove(indexer);
        }
    });

    // The same file kept for another source (its description differs) is not this one's table.
    remove(add(kEntries, "one list"));
    ListIndexer* other = add({{"http://fresh.example/", "Fresh", ""}}, "another list");
    EXPECT_EQ(other->reads.load(), 1);
    EXPECT_EQ(found("example"), (Texts{"Fresh"}));
}

namespace {
// Both modes, each after the table (or its absence) was built for it.
template <class Check> void inBothModes(VVerbinoxCore* core, ListIndexer* indexer, Check check) {
    for (bool live : {false, true}) {
        core->setLiveSearching(live);
        indexer->requestRebuild();
        ASSERT_TRUE(indexer->waitForRebuild(10000));
        check(live);
    }
    core->setLiveSearching(false);
}
std::vector<std::string> titles(const Lines& lines) {
    std::vector<std::string> out;
    for (const auto& line : lines)
        out.push_back(line.first);
    return out;
}
} // namespace

TEST_F(UrlIndexerTest, ABroadTextBuildsOnlyTheBestAddressesAndCountsTheRest) {
    std::vector<Entry> many;
    for (int i = 0; i < 30; ++i)
        many.push_back(
            {"http://site" + std::to_string(i) + ".example/", "Page number " + std::to_string(i), ""});
    ListIndexer* indexer = add(many);
    core->setResultsPerSource(4);
    inBothModes(core, indexer, [&](bool live) {
        // The shorter titles, and among them the higher ranks (the later entries here).
        EXPECT_EQ(titles(search("page")), (std::vector<std::string>{"Page number 9", "Page number 8",
                                                                    "Page number 7", "Page number 6"}))
            << live;
        EXPECT_EQ(counting->overflow.load(), 26u) << live;
    });
}

TEST_F(UrlIndexerTest, ATitleMatchRanksByFrecencyAmongEquals) {
    ListIndexer* indexer = add({{"http://a.example/", "Best pizza", ""},
                                {"http://b.example/", "Pizza Roma", ""},
                                {"http://c.example/", "Pizza Nova", ""},
                                {"http://d.example/", "Pizza Bari", ""}});
    inBothModes(core, indexer, [&](bool live) {
        EXPECT_EQ(titles(search("pizza")),
                  (std::vector<std::string>{"Pizza Bari", "Pizza Nova", "Pizza Roma", "Best pizza"}))
            << live;
    });
}

TEST_F(UrlIndexerTest, ASitesFrontPageRanksAboveItsDeeperPagesWhateverTheirTitles) {
    ListIndexer* indexer = add({{"https://www.shop.example/gp/item/12345", "Shop item", ""},
                                {"https://www.shop.example/help", "Shop help", ""},
                                {"https://www.shop.example/", "Shop: online shopping for everything you need", ""}});
    inBothModes(core, indexer, [&](bool live) {
        EXPECT_EQ(titles(search("shop")),
                  (std::vector<std::string>{"Shop: online shopping for everything you need", "Shop help", "Shop item"}))
            << live;
    });
}

TEST_F(UrlIndexerTest, FoldedTitlesWordsInitialsAndPhrasesAreFoundCachedLiveAndFromTheKeptTable) {
    const std::vector<Entry> entries = {{"http://rouge.example/", "Caf\xE9 Rouge", ""},
                                        {"http://slice.example/", "New York Pizza", ""},
                                        {"http://toons.example/", "Tom & Jerry Fan Club", ""},
                                        {"http://editor.example/", "Visual Studio Code", ""}};
    ListIndexer* indexer = add(entries);
    inBothModes(core, indexer, [&](bool live) {
        EXPECT_EQ(found("cafe"), (Texts{"Caf\xE9 Rouge"})) << live;
        EXPECT_EQ(found("CAF\xC9"), (Texts{"Caf\xE9 Rouge"})) << live;
        EXPECT_EQ(found("york pizza"), (Texts{"New York Pizza"})) << live;
        EXPECT_EQ(found("vsc"), (Texts{"Visual Studio Code"})) << live;
        EXPECT_EQ(found("\"tom & jerry\""), (Texts{"Tom & Jerry Fan Club"})) << live;
        EXPECT_EQ(found("code"), (Texts{"Visual Studio Code"})) << "an entry after a folded one: " << live;
    });
    remove(indexer);
    ListIndexer* again = add({});
    ASSERT_EQ(again->reads.load(), 0);
    EXPECT_EQ(found("cafe"), (Texts{"Caf\xE9 Rouge"})) << "the kept table keeps its texts prepared";
    EXPECT_EQ(found("code"), (Texts{"Visual Studio Code"}));
}

TEST_F(UrlIndexerTest, RankingOffKeepsTheSourceOrderAndStillCaps) {
    ListIndexer* indexer = add({{"http://a.example/", "A rather long page title", ""},
                                {"http://b.example/", "Page", ""},
                                {"http://c.example/", "Another page", ""},
                                {"http://d.example/", "Pages", ""}});
    core->setRankResults(false);
    core->setResultsPerSource(2);
    inBothModes(core, indexer, [&](bool live) {
        EXPECT_EQ(titles(search("page")), (std::vector<std::string>{"A rather long page title", "Page"}))
            << live;
        EXPECT_EQ(counting->overflow.load(), 2u) << live;
    });
}

TEST(UrlTable, ReadsBackWhatItWroteAndRefusesEveryCut) {
    VUrlTable table;
    EXPECT_EQ(table.add("http://a.example/", "\xC9t\xE9", "Bar > Food", 7), VUrlTable::Added::Yes);
    EXPECT_EQ(table.add("http://b.example/", "", "", 0), VUrlTable::Added::Yes);
    EXPECT_EQ(table.add("http://a.example/", "Again", "", 9), VUrlTable::Added::Duplicate);
    EXPECT_EQ(table.add("http://c.example/", "C", "Bar > Food", 1), VUrlTable::Added::Yes);
    table.finish();
    EXPECT_EQ(table.add("http://b.example/", "Again after finishing", "", 0), VUrlTable::Added::Duplicate);
    vx::CacheWriter writer;
    table.write(writer);
    const std::string bytes = writer.bytes();

    VUrlTable back;
    vx::CacheReader reader(bytes);
    ASSERT_TRUE(back.read(reader));
    EXPECT_TRUE(reader.atEnd());
    ASSERT_EQ(back.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(back.url(i), table.url(i));
        EXPECT_EQ(back.title(i), table.title(i));
        EXPECT_EQ(back.title(i, true), table.title(i, true));
        EXPECT_EQ(back.folder(i), table.folder(i));
        EXPECT_EQ(back.rank(i), table.rank(i));
    }
    EXPECT_EQ(back.title(0, true), "ete") << "prepared: lower-cased and folded";
    EXPECT_EQ(back.url(2, true), "http://c.example/") << "a text after a shortened one keeps its place";
    EXPECT_EQ(back.title(2, true), "c");
    EXPECT_EQ(back.folder(2), "Bar > Food");
    EXPECT_EQ(back.add("http://c.example/", "C again", "", 0), VUrlTable::Added::Duplicate);

    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        VUrlTable partial;
        vx::CacheReader cutReader(std::string_view(bytes).substr(0, cut));
        EXPECT_FALSE(partial.read(cutReader) && cutReader.atEnd()) << cut;
    }
}
