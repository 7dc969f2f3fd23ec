#include "DiskdexFixture.h"
#include "support/FolderLink.h"

#include "AppendAction.h"
#include "model/VFileResult.h"
#include "model/VPreferences.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <set>

namespace {

using Names = std::set<std::string>;

} // namespace

TEST_F(Diskdex, FiltersCompareInLowerCaseAndEmptyIncludeAcceptsAll) {
    VDiskdexIndexer indexer(plugin);
    EXPECT_TRUE(indexer.passesIncludeFilters("anything.bin"));
    indexer.addIncludeFilter("*.lnk");
    EXPECT_TRUE(indexer.passesIncludeFilters("Notepad.lnk"));
    EXPECT_FALSE(indexer.passesIncludeFilters("readme.txt"));
    indexer.addIncludeFilter("*.PDF");
    EXPECT_TRUE(indexer.passesIncludeFilters("report.pdf")) << "typed in capitals by the user";
    EXPECT_FALSE(indexer.matchesExcludeFilter("Uninstall Foo.lnk"));
    indexer.addExcludeFilter("*uninstall*");
    EXPECT_TRUE(indexer.matchesExcludeFilter("Uninstall Foo.lnk"));
    indexer.replaceIncludeFilter("*.PDF", "*.doc");
    indexer.removeIncludeFilter("*.nothing");
    EXPECT_EQ(indexer.getFilterString(VDiskdexIndexer::IncludeFilters), "*.lnk;*.doc");
    indexer.setFilterString(";*.a;;*.B;", VDiskdexIndexer::IncludeFilters);
    EXPECT_EQ(indexer.getIncludeFilters(), (std::vector<std::string>{"*.a", "*.B"}));
}

TEST_F(Diskdex, OlderExtensionKeysLoadAndAreSavedInTheNewForm) {
    VPreferencesNode* node = VPreferencesNode::createInstance("Indexer");
    node->setParam("Path", std::string("%DESKTOP%"));
    node->setParam("IncludeFilters", std::string("*.txt"));
    node->setParam("Extensions", std::string("doc;pdf"));
    node->setParam("ExcludedExtensions", std::string("tmp"));
    node->setParam("Recurse", false);
    node->setParam("MatchDirectories", true);
    VDiskdexIndexer indexer(plugin);
    indexer.loadPrefs(node);
    node->deleteThis();
    EXPECT_EQ(indexer.getIncludeFilters(), (std::vector<std::string>{"*.doc", "*.pdf"}));
    EXPECT_EQ(indexer.getExcludeFilters(), (std::vector<std::string>{"*.tmp"}));
    EXPECT_FALSE(indexer.getRecurse());
    EXPECT_TRUE(indexer.getMatchDirectories());

    VPreferencesNode* saved = VPreferencesNode::createInstance("Indexer");
    indexer.savePrefs(saved);
    std::string text;
    EXPECT_TRUE(saved->getParam("IncludeFilters", text));
    EXPECT_EQ(text, "*.doc;*.pdf");
    EXPECT_FALSE(saved->getParam("Extensions", text));
    EXPECT_TRUE(saved->getParam("Path", text));
    EXPECT_EQ(text, "%DESKTOP%") << "placeholders are kept as written";
    saved->deleteThis();
}

TEST_F(Diskdex, PlaceholdersResolveToTheUsersFolders) {
    VDiskdexIndexer indexer(plugin);
    indexer.setPath("%MY_DOCUMENTS%Letters");
    const std::string documents = VDiskdexIndexer::folderForPlaceholder("%MY_DOCUMENTS%");
    ASSERT_FALSE(documents.empty());
    EXPECT_EQ(documents.back(), '\\');
    EXPECT_EQ(indexer.resolvePath(), documents + "Letters");
}

TEST_F(Diskdex, AnEmptyFolderWalksNothingNotTheCurrentDirectory) {
    ASSERT_TRUE(folder.writeFile("here.txt", "x"));
    ASSERT_TRUE(::SetCurrentDirectoryA(folder.path().c_str()));
    auto* indexer = new VDiskdexIndexer(plugin);
    indexer->setPath("   ");
    EXPECT_EQ(indexer->resolvePath(), "");
    plugin->addIndexer(indexer);
    EXPECT_TRUE(indexer->waitForRebuild(20000));
    EXPECT_EQ(indexer->getCachedCount(), 0u);
    EXPECT_EQ(search("here"), Names{});
    ::SetCurrentDirectoryA(programFolder().c_str());
}

TEST_F(Diskdex, CachedSearchAppliesFiltersRecursionAndFolderMatching) {
    for (const char* d : {"a", "a\\Notes Dir", "a\\Notes Dir\\deeper"})
        ASSERT_TRUE(folder.makeDir(d));
    for (const char* f : {"a\\notes.txt", "a\\NOTES.lnk", "a\\notes.bin", "a\\Uninstall notes.lnk",
                          "a\\Notes Dir\\deeper\\notes-deep.txt"})
        ASSERT_TRUE(folder.writeFile(f, "x"));
    auto* indexer = folderIndexer("a", "*.txt;*.LNK", "*uninstall*");
    plugin->addIndexer(indexer);
    EXPECT_EQ(search("notes"), (Names{"notes.txt", "NOTES", "notes-deep.txt"}));
    indexer->setMatchDirectories(true);
    indexer->updateCache();
    EXPECT_EQ(search("notes"), (Names{"notes.txt", "NOTES", "notes-deep.txt", "Notes Dir"}))
        << "folders are results regardless of the filters";
    indexer->setRecurse(false);
    indexer->updateCache();
    EXPECT_EQ(search("notes"), (Names{"notes.txt", "NOTES", "Notes Dir"}));
}

// A folder is read in batches of a few dozen long names; a subfolder met half-way is walked before the
// rest of its parent, whose reading must pick up where it stopped.
TEST_F(Diskdex, AFolderOfManyBatchesIsReadWholeAroundTheSubfolderInItsMiddle) {
    ASSERT_TRUE(folder.makeDir("big"));
    ASSERT_TRUE(folder.makeDir("big\\m subfolder"));
    ASSERT_TRUE(folder.writeFile("big\\m subfolder\\inner longname.txt", "x"));
    const std::string padding(70, 'p');
    Names expected{"inner longname.txt"};
    for (int i = 0; i < 600; ++i) {
        // Names before and after "m subfolder" in the folder's order.
        const std::string name =
            std::string(i % 2 ? "a" : "z") + std::to_string(i) + " longname " + padding + ".txt";
        ASSERT_TRUE(folder.writeFile("big\\" + name, "x"));
        expected.insert(name);
    }
    plugin->addIndexer(folderIndexer("big", "*.txt"));
    core->setResultsPerSource(1000); // every name, not only the best
    EXPECT_EQ(search("longname"), expected);
}

TEST_F(Diskdex, FolderResultsEndWithABackslash) {
    ASSERT_TRUE(folder.makeDir("b"));
    ASSERT_TRUE(folder.makeDir("b\\Projects"));
    auto* indexer = folderIndexer("b");
    indexer->setMatchDirectories(true);
    plugin->addIndexer(indexer);
    ASSERT_TRUE(core->waitForCaches(20000));
    uint32_t id = 0;
    listener->clear();
    core->startSeach("project", id);
    EXPECT_TRUE(waitForWorkers());
    ASSERT_EQ(listener->texts().size(), 1u);
    core->cancelSearch(id);
}

TEST_F(Diskdex, LiveModeEmptiesTheCacheAndSeesANewFileAtOnce) {
    ASSERT_TRUE(folder.makeDir("c"));
    ASSERT_TRUE(folder.writeFile("c\\old.txt", "x"));
    auto* indexer = folderIndexer("c");
    plugin->addIndexer(indexer);
    EXPECT_EQ(search("old"), (Names{"old.txt"}));
    core->setLiveSearching(true);
    EXPECT_TRUE(core->waitForCaches(20000));
    EXPECT_EQ(indexer->getCachedCount(), 0u);
    ASSERT_TRUE(folder.writeFile("c\\older.txt", "x"));
    EXPECT_EQ(searchAsIs("old"), (Names{"old.txt", "older.txt"}));
    core->setLiveSearching(false);
}

TEST_F(Diskdex, ACancelledLiveWalkPostsNothingAndRemovingAnIndexerStopsItsWorker) {
    ASSERT_TRUE(folder.makeDir("d"));
    for (int dir = 0; dir < 40; ++dir) {
        const std::string sub = "d\\" + std::to_string(dir);
        ASSERT_TRUE(folder.makeDir(sub));
        for (int f = 0; f < 50; ++f)
            ASSERT_TRUE(folder.writeFile(sub + "\\match" + std::to_string(f) + ".txt", ""));
    }
    core->setLiveSearching(true);
    auto* indexer = folderIndexer("d");
    plugin->addIndexer(indexer);
    uint32_t id = 0;
    core->startSeach("match", id);
    core->cancelSearch(id);
    EXPECT_TRUE(waitForWorkers());
    EXPECT_TRUE(listener->texts().empty());

    core->startSeach("match", id);
    plugin->removeIndexer(indexer); // joins the running walk, then destroys the indexer
    EXPECT_EQ(VIndexer::getRunningWorkerCount(), 0);
    EXPECT_EQ(core->getNumIndexers(), 0);
    core->cancelSearch(id);
    core->setLiveSearching(false);
}

TEST_F(Diskdex, FirstRunCreatesTheSevenPresetsWhichSurviveTheSettingsFile) {
    plugin->loadPrefs(nullptr);
    // A copy: the first plug-in, and with it its list, is destroyed halfway through.
    const std::vector<VDiskdexIndexer*> presets = plugin->getIndexers();
    ASSERT_EQ(presets.size(), 7u);
    const char* paths[] = {"%START_MENU%",  "%START_MENU_ALL%", "%MY_DOCUMENTS%", "%DESKTOP%",
                           "%DESKTOP_ALL%", "%RECENT%",         "%QUICK_LAUNCH%"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(presets[i]->getPath(), paths[i]);
        EXPECT_FALSE(presets[i]->getMatchDirectories());
        EXPECT_EQ(presets[i]->getRecurse(), i < 5);
    }
    EXPECT_EQ(presets[0]->getFilterString(VDiskdexIndexer::ExcludeFilters), "*uninstall*");
    EXPECT_EQ(presets[3]->getIncludeFilters().size(), 12u);
    EXPECT_EQ(presets[3]->getIncludeFilters()[0], "*.exe");
    EXPECT_EQ(presets[4]->getIncludeFilters().size(), 13u);
    EXPECT_EQ(presets[4]->getIncludeFilters()[1], "*.lnk");

    const std::string file = folder.sub("Verbinox.xml");
    VPreferencesNode* root = VPreferencesNode::createInstance("Verbinox");
    plugin->savePrefs(root);
    VPreferencesNode* diskdex = root->getChild("Diskdex");
    ASSERT_NE(diskdex, nullptr);
    ASSERT_EQ(diskdex->getNumChildren(), 8);
    EXPECT_EQ(diskdex->getChild(7)->getName(), "AppendAction");
    EXPECT_EQ(diskdex->getChild(7)->getNumChildren(), 0);
    ASSERT_TRUE(VPreferences::save(file, root));
    root->deleteThis();

    core->unregisterPlugin(plugin);
    plugin->deleteThis();
    plugin = new VDiskdexPlugin();
    plugin->startUp();
    VPreferencesNode* loaded = VPreferences::load(file);
    ASSERT_NE(loaded, nullptr);
    plugin->loadPrefs(loaded->getChild("Verbinox"));
    loaded->deleteThis();
    ASSERT_EQ(plugin->getIndexers().size(), 7u);
    EXPECT_EQ(plugin->getIndexers()[6]->getPath(), "%QUICK_LAUNCH%");
    EXPECT_EQ(plugin->getIndexers()[2]->getFilterString(VDiskdexIndexer::IncludeFilters),
              "*.doc;*.pdf;*.xls;*.txt;*.jpg;*.mp3;*.ogg;*.wma;*.avi;*.mpg;*.mov");
    EXPECT_FALSE(plugin->getIndexers()[5]->getRecurse());
}

TEST_F(Diskdex, FoldersFromTheSettingsAreAllCachedAtLoadAndKeepTheirOrder) {
    // More folders than processors, so the threads that build the caches each take several.
    VPreferencesNode* root = VPreferencesNode::createInstance("Verbinox");
    VPreferencesNode* mine = VPreferencesNode::createInstance("Diskdex");
    root->addChild(mine);
    Names expected;
    for (int i = 0; i < 9; ++i) {
        const std::string dir = "f" + std::to_string(i);
        ASSERT_TRUE(folder.makeDir(dir));
        for (int j = 0; j < 30; ++j)
            ASSERT_TRUE(folder.writeFile(dir + "\\shared-" + dir + "-" + std::to_string(j) + ".txt", "x"));
        for (int j = 0; j < 30; ++j)
            expected.insert("shared-" + dir + "-" + std::to_string(j) + ".txt");
        VPreferencesNode* node = VPreferencesNode::createInstance("Indexer");
        node->setParam("Path", folder.sub(dir));
        mine->addChild(node);
    }
    plugin->loadPrefs(root);
    root->deleteThis();
    ASSERT_EQ(plugin->getIndexers().size(), 9u);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(plugin->getIndexers()[static_cast<std::size_t>(i)]->getPath(),
                  folder.sub("f" + std::to_string(i)));
    EXPECT_EQ(search("shared"), expected) << "every folder's cache is complete before the first search";
}

TEST_F(Diskdex, ASettingsNodeWithOnlyAppendFilesGivesNoFolders) {
    VPreferencesNode* root = VPreferencesNode::createInstance("PluginMgr");
    VPreferencesNode* diskdex = VPreferencesNode::createInstance("Diskdex");
    VPreferencesNode* append = VPreferencesNode::createInstance("AppendAction");
    VPreferencesNode* file = VPreferencesNode::createInstance("File");
    file->setParam("shortcutname", std::string("notes"));
    file->setParam("filename", std::string("C:\\notes.txt"));
    append->addChild(file);
    diskdex->addChild(append);
    root->addChild(diskdex);
    plugin->loadPrefs(root);
    root->deleteThis();
    EXPECT_TRUE(plugin->getIndexers().empty());
    ASSERT_EQ(plugin->getAppendAction()->getFiles().size(), 1u);
    EXPECT_EQ(plugin->getAppendAction()->getFiles()[0].fileName, "C:\\notes.txt");
}

namespace {
std::vector<std::string> messages;
void captureMessage(const char* text) {
    messages.push_back(text);
}
} // namespace

TEST_F(Diskdex, AppendWritesTheExpandedLineToTheNamedFile) {
    VAppendAction* append = plugin->getAppendAction();
    ASSERT_NE(append, nullptr);
    EXPECT_EQ(core->getAction("Append", false), append);
    append->addFile("notes", folder.sub("notes.txt"));
    messages.clear();
    VAppendAction::MessageHook previous = VAppendAction::setMessageHook(&captureMessage);

    EXPECT_TRUE(append->execute("notes buy milk %d"));
    EXPECT_TRUE(append->execute("notes   two\\tcolumns\\nand a line"));
    EXPECT_TRUE(append->execute("notes"));
    EXPECT_TRUE(messages.empty()) << "nothing after the name: nothing written, nothing said";
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char date[16];
    std::snprintf(date, sizeof(date), "%02u/%02u/%02u", now.wMonth, now.wDay, now.wYear % 100);
    EXPECT_EQ(folder.readFile("notes.txt"),
              std::string("buy milk ") + date + "\r\ntwo\tcolumns\r\nand a line\r\n");

    EXPECT_TRUE(append->execute("diary dear diary"));
    EXPECT_EQ(messages, std::vector<std::string>{"No File Exists with Given Shortcut"});
    VAppendAction::setMessageHook(previous);
}

TEST_F(Diskdex, AppendReportsAFileThatCannotBeOpened) {
    VAppendAction* append = plugin->getAppendAction();
    append->addFile("gone", folder.sub("no such folder\\x.txt"));
    EXPECT_FALSE(append->execute("gone some text"));
    const std::string longLine(5000, 'L');
    append->addFile("long", folder.sub("long.txt"));
    EXPECT_TRUE(append->execute("long " + longLine));
    EXPECT_EQ(folder.readFile("long.txt"), longLine + "\r\n") << "no fixed buffers";
}

TEST_F(Diskdex, FiltersWrittenByHandWithBlanksAreTrimmed) {
    VPreferencesNode* node = VPreferencesNode::createInstance("Indexer");
    node->setParam("Path", folder.sub("f"));
    node->setParam("IncludeFilters", std::string(" *.doc;  *.PDF ;; "));
    node->setParam("ExcludeFilters", std::string("*draft* ; "));
    auto* indexer = new VDiskdexIndexer(plugin);
    indexer->loadPrefs(node);
    node->deleteThis();
    EXPECT_EQ(indexer->getIncludeFilters(), (std::vector<std::string>{"*.doc", "*.PDF"}));
    EXPECT_EQ(indexer->getExcludeFilters(), std::vector<std::string>{"*draft*"});
    ASSERT_TRUE(folder.makeDir("f"));
    for (const char* f : {"f\\plan.pdf", "f\\plan draft.pdf", "f\\plan.txt"})
        ASSERT_TRUE(folder.writeFile(f, "x"));
    plugin->addIndexer(indexer);
    EXPECT_EQ(search("plan"), Names{"plan.pdf"});
}

TEST_F(Diskdex, AppendRecordsSurviveWhileAnotherPluginOwnsTheKeyword) {
    core->unregisterPlugin(plugin);
    plugin->deleteThis();
    struct Taken : VAction {
        Taken() : VAction("Append", "Append", "someone else's", nullptr) {}
        bool execute(const std::string&) override { return true; }
    };
    ASSERT_TRUE(core->registerAction(new Taken()));
    plugin = new VDiskdexPlugin();
    ASSERT_TRUE(plugin->startUp());
    ASSERT_EQ(plugin->getAppendAction(), nullptr);

    VPreferencesNode* mgr = VPreferencesNode::createInstance("PluginMgr");
    VPreferencesNode* diskdex = VPreferencesNode::createInstance("Diskdex");
    VPreferencesNode* append = VPreferencesNode::createInstance("AppendAction");
    VPreferencesNode* file = VPreferencesNode::createInstance("File");
    file->setParam("shortcutname", std::string("todo"));
    file->setParam("filename", std::string("C:\\todo.txt"));
    append->addChild(file);
    diskdex->addChild(append);
    mgr->addChild(diskdex);
    plugin->loadPrefs(mgr);
    mgr->deleteThis();

    VPreferencesNode* saved = VPreferencesNode::createInstance("PluginMgr");
    plugin->savePrefs(saved);
    VPreferencesNode* savedAppend = saved->getChild("Diskdex")->getChild("AppendAction");
    ASSERT_NE(savedAppend, nullptr);
    ASSERT_EQ(savedAppend->getNumChildren(), 1) << "the user's append records were erased";
    std::string text;
    EXPECT_TRUE(savedAppend->getChild(0)->getParam("filename", text));
    EXPECT_EQ(text, "C:\\todo.txt");
    saved->deleteThis();
}

TEST_F(Diskdex, ThePluginAndItsAppendActionDestroyTheIconsTheyLoaded) {
    HICON pluginIcon = plugin->getIcon();
    HICON actionIcon = plugin->getAppendAction()->getIcon();
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(pluginIcon, &info));
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    core->unregisterPlugin(plugin);
    plugin->deleteThis();
    plugin = new VDiskdexPlugin(); // for TearDown
    EXPECT_FALSE(::GetIconInfo(pluginIcon, &info)) << "the plug-in's icon outlived it";
    EXPECT_FALSE(::GetIconInfo(actionIcon, &info)) << "the append action's icon outlived it";
}

namespace {
// Throws from the walk itself, as a bad_alloc would halfway through a large tree: the cancel check
// runs at every entry of a live walk.
class ThrowingWalk : public VDiskdexIndexer {
public:
    explicit ThrowingWalk(VPlugin* plugin) : VDiskdexIndexer(plugin) {}
    bool isCancelled() const override {
        if (armed && ++checks > 30)
            throw std::bad_alloc();
        return VDiskdexIndexer::isCancelled();
    }
    std::atomic<bool> armed{false};
    mutable std::atomic<int> checks{0};
};
} // namespace

TEST_F(Diskdex, AWalkThatThrowsClosesEveryFolderItHadOpen) {
    std::string deep = "g";
    ASSERT_TRUE(folder.makeDir(deep));
    for (int level = 0; level < 6; ++level) {
        for (int f = 0; f < 4; ++f)
            ASSERT_TRUE(folder.writeFile(
                deep + "\\walk" + std::to_string(level) + "-" + std::to_string(f) + ".txt", "x"));
        deep += "\\level" + std::to_string(level);
        ASSERT_TRUE(folder.makeDir(deep));
    }
    core->setLiveSearching(true);
    auto* indexer = new ThrowingWalk(plugin);
    indexer->setPath(folder.sub("g"));
    plugin->addIndexer(indexer);
    EXPECT_EQ(search("walk").size(), 24u);
    // Counted with the first worker's thread handle still open, as it is after the second search.
    DWORD before = 0, after = 0;
    ASSERT_TRUE(::GetProcessHandleCount(::GetCurrentProcess(), &before));
    indexer->armed = true;
    EXPECT_TRUE(search("walk").empty());
    EXPECT_GT(indexer->checks.load(), 30) << "the walk reached the throw";
    ASSERT_TRUE(::GetProcessHandleCount(::GetCurrentProcess(), &after));
    EXPECT_EQ(after, before) << "find handles of the walk were left open";
    core->setLiveSearching(false);
}

TEST_F(Diskdex, WalksDoNotFollowALinkBackUpTheTree) {
    ASSERT_TRUE(folder.makeDir("e"));
    ASSERT_TRUE(folder.makeDir("e\\inner"));
    ASSERT_TRUE(folder.writeFile("e\\inner\\once.txt", "x"));
    const FolderLink loop(folder.sub("e\\inner\\loop"), folder.sub("e"));
    if (!loop.made())
        GTEST_SKIP() << "no symbolic links here";
    auto* indexer = folderIndexer("e");
    plugin->addIndexer(indexer);
    EXPECT_TRUE(indexer->waitForRebuild(20000));
    EXPECT_EQ(indexer->getCachedCount(), 1u);
    core->setLiveSearching(true);
    EXPECT_EQ(search("once"), (Names{"once.txt"})) << "the live walk does not loop either";
    core->setLiveSearching(false);
}
