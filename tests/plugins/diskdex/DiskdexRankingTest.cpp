#include "DiskdexFixture.h"

#include "model/VFileResult.h"
#include "util/CShellLink.h"
#include "util/ComRef.h"

#include <atomic>
#include <string>
#include <vector>

namespace {

using Names = std::set<std::string>;
using Order = std::vector<std::string>;

class DiskdexRanking : public Diskdex {
protected:
    void SetUp() override {
        Diskdex::SetUp();
        core->unregisterResultListener(listener);
        listener->deleteThis();
        counting = new CountingListener();
        listener = counting;
        core->registerResultListener(listener);
    }
    void TearDown() override {
        core->setRankResults(true);
        core->setResultsPerSource(200);
        core->setLiveSearching(false);
        Diskdex::TearDown();
    }
    // The folder holding these files, indexed.
    VDiskdexIndexer* indexed(const std::string& name, const std::vector<std::string>& files) {
        EXPECT_TRUE(folder.makeDir(name));
        for (const std::string& f : files)
            EXPECT_TRUE(folder.writeFile(name + "\\" + f, "x"));
        VDiskdexIndexer* indexer = folderIndexer(name);
        plugin->addIndexer(indexer);
        EXPECT_TRUE(core->waitForCaches(20000));
        return indexer;
    }
    // The results of one search in the order they arrived.
    Order ranked(const std::string& text) {
        counting->overflow = 0;
        listener->clear();
        uint32_t id = 0;
        core->startSeach(text, id);
        EXPECT_TRUE(waitForWorkers());
        core->cancelSearch(id);
        return listener->texts();
    }
    void setLive(bool live) {
        core->setLiveSearching(live);
        EXPECT_TRUE(core->waitForCaches(20000));
    }

    // A real shortcut file, written by the shell's link object, pointing at target.
    void shortcut(const std::string& relative, const std::string& target) {
        vx::CComInitScope com;
        CShellLink link;
        CShellLinkInfo info;
        info.path = target;
        ASSERT_TRUE(link.Create(info));
        ASSERT_TRUE(link.Save(folder.sub(relative))) << relative;
    }

    CountingListener* counting = nullptr;
};

} // namespace

TEST_F(DiskdexRanking, ABroadTextBuildsOnlyTheBestResultsAndCountsTheRest) {
    std::vector<std::string> files;
    for (int i = 0; i < 60; ++i)
        files.push_back("item " + std::to_string(i) + " padding.txt");
    files.push_back("item.txt");
    indexed("broad", files);
    core->setResultsPerSource(5);
    for (bool live : {false, true}) {
        setLive(live);
        const Order order = ranked("item");
        ASSERT_EQ(order.size(), 5u) << live;
        EXPECT_EQ(counting->overflow.load(), 56u) << live;
        EXPECT_EQ(order.front(), "item.txt") << "the whole name is the best match, wherever the walk met it";
    }
}

TEST_F(DiskdexRanking, ANameStartingWithTheTextRanksAboveOneWithItAtALaterWord) {
    indexed("notes", {"meeting notes.doc", "notes-2026.txt", "footnotes.txt"});
    for (bool live : {false, true}) {
        setLive(live);
        EXPECT_EQ(ranked("note"), (Order{"notes-2026.txt", "meeting notes.doc", "footnotes.txt"})) << live;
    }
}

TEST_F(DiskdexRanking, ProgramsAndTheirShortcutsRankAboveOtherFiles) {
    indexed("programs", {"chrome-flags-notes.txt", "Google Chrome.lnk", "chrome.exe"});
    for (bool live : {false, true}) {
        setLive(live);
        const Order order = ranked("chrome");
        ASSERT_EQ(order.size(), 3u);
        EXPECT_EQ(order[2], "chrome-flags-notes.txt") << live;
        EXPECT_EQ(order[0], "Google Chrome") << "the shortcut a user launches first";
        EXPECT_EQ(order[1], "chrome.exe") << "then the program itself";
    }
}

TEST_F(DiskdexRanking, ShortcutsInTheRecentFolderRankAsTheDocumentsTheyOpen) {
    ASSERT_TRUE(folder.makeDir("work"));
    ASSERT_TRUE(folder.makeDir("work\\Recent"));
    ASSERT_TRUE(folder.writeFile("work\\Recent\\meeting notes.lnk", "x"));
    ASSERT_TRUE(folder.writeFile("work\\meeting notes.doc", "x"));
    plugin->addIndexer(folderIndexer("work"));
    ASSERT_TRUE(core->waitForCaches(20000));
    const Order order = ranked("meeting");
    ASSERT_EQ(order.size(), 2u);
    EXPECT_EQ(order[0], "meeting notes.doc") << "no program: the shallower document first";
}

TEST_F(DiskdexRanking, AShortcutIsFoundAndRankedByWhatItStarts) {
    ASSERT_TRUE(folder.makeDir("menu"));
    ASSERT_TRUE(folder.makeDir("menu\\Programs"));
    ASSERT_TRUE(folder.makeDir("menu\\Programs\\Terminal"));
    ASSERT_TRUE(folder.writeFile("menu\\Programs\\Terminal\\wt.exe", "x"));
    shortcut("menu\\Command Prompt.lnk", "C:\\Windows\\System32\\cmd.exe");
    shortcut("menu\\Git CMD.lnk", folder.sub("menu\\Programs\\git-cmd.exe"));
    shortcut("menu\\Windows Terminal.lnk", folder.sub("menu\\Programs\\Terminal\\wt.exe"));
    // Named like programs, pointing at a help file and a folder: neither is a program shortcut.
    shortcut("menu\\7-Zip Help.lnk", folder.sub("menu\\Programs\\7-zip.chm"));
    shortcut("menu\\7-Zip File Manager.lnk", folder.sub("menu\\Programs\\7zFM.exe"));
    shortcut("menu\\Terminal settings.lnk", folder.sub("menu\\Programs\\Terminal\\"));
    // A file that only looks like a shortcut is ranked by its name, as before.
    ASSERT_TRUE(folder.writeFile("menu\\Notepad.lnk", "not a shortcut"));
    plugin->addIndexer(folderIndexer("menu"));
    ASSERT_TRUE(core->waitForCaches(20000));
    core->setSearchMinChars(2);
    for (bool live : {false, true}) {
        setLive(live);
        const Order cmd = ranked("cmd");
        ASSERT_EQ(cmd.size(), 2u) << live;
        EXPECT_EQ(cmd[0], "Command Prompt") << "found by the program it starts, whose whole name is the text";
        EXPECT_EQ(cmd[1], "Git CMD") << live;
        const Order wt = ranked("wt");
        ASSERT_EQ(wt.size(), 2u) << live;
        EXPECT_EQ(wt[0], "Windows Terminal") << "the shortcut above the program it starts: " << live;
        EXPECT_EQ(wt[1], "wt.exe") << live;
        EXPECT_EQ(ranked("7-z").front(), "7-Zip File Manager") << "a help file's shortcut is a document's";
        EXPECT_EQ(ranked("term"), (Order{"Windows Terminal", "Terminal settings"})) << live;
        EXPECT_EQ(ranked("notep"), (Order{"Notepad"})) << live;
    }
    core->setSearchMinChars(3);
}

TEST_F(DiskdexRanking, WordsInAnyOrderInitialsPhrasesAndFoldedAccentsAreFoundCachedAndLive) {
    // Names that folding shortens sit among ASCII ones: each keeps its own place in the prepared names.
    indexed("words",
            {"New York Pizza.txt", "Visual Studio Code.lnk", "Tom & Jerry Fan Club.txt",
             "Caf\xC3\xA9 Menu.txt", "Cafe Plan.txt", "\xC3\xA9t\xC3\xA9 notes.txt", "plain notes.txt"});
    for (bool live : {false, true}) {
        setLive(live);
        EXPECT_EQ(search("york pizza"), (Names{"New York Pizza.txt"})) << live;
        EXPECT_EQ(search("vsc"), (Names{"Visual Studio Code"})) << live;
        EXPECT_EQ(search("\"tom & jerry\""), (Names{"Tom & Jerry Fan Club.txt"})) << live;
        EXPECT_EQ(search("\"jerry tom\""), Names{}) << "a quoted phrase is not words in any order";
        EXPECT_EQ(search("cafe"), (Names{"Caf\xC3\xA9 Menu.txt", "Cafe Plan.txt"})) << live;
        EXPECT_EQ(search("caf\xC3\xA9"), (Names{"Caf\xC3\xA9 Menu.txt", "Cafe Plan.txt"})) << live;
        EXPECT_EQ(search("ete"), (Names{"\xC3\xA9t\xC3\xA9 notes.txt"})) << live;
        EXPECT_EQ(search("plain"), (Names{"plain notes.txt"})) << live;
        EXPECT_EQ(search("menu"), (Names{"Caf\xC3\xA9 Menu.txt"})) << live;
    }
}

TEST_F(DiskdexRanking, RankingOffKeepsTheWalkOrderAndStillCaps) {
    indexed("walk", {"zz match.txt", "a match.txt", "match.txt", "mm match.txt", "b match.txt"});
    core->setRankResults(false);
    for (bool live : {false, true}) {
        setLive(live);
        const Order all = ranked("match");
        ASSERT_EQ(all.size(), 5u);
        core->setResultsPerSource(2);
        EXPECT_EQ(ranked("match"), (Order{all[0], all[1]})) << live;
        EXPECT_EQ(counting->overflow.load(), 3u) << live;
        for (VResult* r : listener->results())
            EXPECT_EQ(r->getRankKey(), 0u);
        core->setResultsPerSource(200);
    }
}

TEST_F(DiskdexRanking, AFileOrFolderChosenBeforeForTheTextRanksFirst) {
    core->setChoiceFile(folder.sub("choices.txt"));
    VDiskdexIndexer* indexer = indexed("chosen", {"report.txt", "old report archive.txt"});
    ASSERT_TRUE(folder.makeDir("chosen\\old reports"));
    ASSERT_TRUE(folder.makeDir("elsewhere"));
    ASSERT_TRUE(folder.writeFile("elsewhere\\old report archive.txt", "x"));
    indexer->setMatchDirectories(true);
    indexer->updateCache();
    ASSERT_TRUE(core->waitForCaches(20000));
    EXPECT_EQ(ranked("rep").front(), "report.txt");

    // A file of the same name elsewhere was chosen: it is not this one.
    VFileResult* other = VFileResult::createInstance(plugin);
    other->setFile(folder.sub("elsewhere\\old report archive.txt"));
    core->recordChoice("rep", other);
    other->deleteThis();
    EXPECT_EQ(ranked("rep").front(), "report.txt");

    VFileResult* chosen = VFileResult::createInstance(plugin);
    chosen->setFile(folder.sub("chosen\\old reports\\"));
    core->recordChoice("report", chosen);
    chosen->deleteThis();
    for (bool live : {false, true}) {
        setLive(live);
        EXPECT_EQ(ranked("rep").front(), "old reports") << "chosen for a text it begins: " << live;
    }
    core->forgetChoices();
}
