#include "support/CacheSettle.h"
#include "support/CoreFixture.h"
#include "support/ShellCapture.h"
#include "support/TempFolder.h"
#include "support/UrlConfirmCapture.h"
#include "support/Watchdog.h"

#include "FirefoxBookmarksIndexer.h"
#include "FirefoxHistoryIndexer.h"
#include "FirefoxPlugin.h"
#include "util/CacheFile.h"
#include "FirefoxPrefsDlg.h"
#include "model/VAction.h"
#include "model/VFileResult.h"
#include "model/VPreferences.h"
#include "resource.h"

#include <map>
#include <set>

namespace {

// The plug-in with its two look-ups pointed at a temporary folder and a table of registry strings.
class PointedFirefoxPlugin : public VFirefoxPlugin {
public:
    std::string appData;
    std::map<std::pair<HKEY, std::string>, std::string> registry;
    bool refuse = false; // the core refuses every indexer

protected:
    std::string appDataFolder() const override { return appData; }
    std::string registryString(HKEY root, const std::string& keyText) const override {
        auto it = registry.find({root, keyText});
        return it == registry.end() ? std::string() : it->second;
    }
    bool registerIndexer(VIndexer* created) override {
        return !refuse && VFirefoxPlugin::registerIndexer(created);
    }
};

const char kBookmarks[] =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
    "<!-- This is an automatically generated file.\n     It will be read and overwritten. -->\n"
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
    "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n"
    "    <DT><A HREF=\"http://fish.example/menu?a=1&amp;b=2\" ADD_DATE=\"1\">Fish &#38; Chips</A>\n"
    "    <DT><H3>Caf\xC3\xA9s</H3>\n"
    "    <DL><p>\n"
    "        <DT><A href=\"http://coffee.example/\">Caf\xC3\xA9 Noir</A>\n"
    "        <DD>Strong coffee, not a link\n"
    "    </DL><p>\n"
    "    <DT><a HREF=\"http://lower.example/\">Lower-case tag</a>\n"
    "    <DT><A HREF=\"http://left.example/\">Left &#38;#60; Right</A>\n"
    "    <DT><A HREF=\"http://open.example/\">Unclosed<DT><H3>Folder heading</H3>\n"
    "</DL><p>\n";

const char kHistory[] = "// <!-- <mdb:mork:z v=\"1.4\"/> -->\n"
                        "< <(a=c)> // (f=iso-8859-1)\n"
                        "  (B8=Typed)(B9=LastPageVisited)(82=URL)(83=Referrer)(87=Name)>\n"
                        "<(80=LE)(8E=http://news.example/today)(8F=1162481349556250)\n"
                        "  (90=https://secure.example/login)(91=news.example)\n"
                        "  (92=http://very.long.example/a/b/\\\n"
                        "c/d.html)(93=http://news.example/today)>\n"
                        "\n"
                        "{1:^80 {(k^81:c)(s=9)} [1(^82^8E)(^83=http://ref.example/)]}\n";

// Links a crafted file may hold: a program, shares, a plain word and switches, one in fullwidth hyphens.
const char kRiskyBookmarks[] = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n"
                               "<DT><A HREF=\"C:\\Windows\\System32\\calc.exe\">Risky program</A>\n"
                               "<DT><A HREF=\"\\\\host\\share\\x.exe\">Risky share</A>\n"
                               "<DT><A HREF=\"file://host/x.exe\">Risky file share</A>\n"
                               "<DT><A HREF=\"calc\">Risky word</A>\n"
                               "<DT><A HREF=\"--gpu-launcher=x\">Risky switch</A>\n"
                               "<DT><A HREF=\"\xEF\xBC\x8D\xEF\xBC\x8Dgpu-launcher=x\">Risky fullwidth</A>\n"
                               "</DL><p>\n";
const char kFullwidthSwitch[] = "%EF%BC%8D%EF%BC%8Dgpu-launcher=x";

class Firefox : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        listener = new CollectingListener();
        core->registerResultListener(listener);
        ASSERT_TRUE(folder.makeDir("Cache"));
        vx::setCacheFolder(folder.sub("Cache\\"));
        plugin = new PointedFirefoxPlugin();
        plugin->appData = folder.sub("AppData");
        for (const char* dir :
             {"AppData", "AppData\\Mozilla", "AppData\\Mozilla\\Firefox",
              "AppData\\Mozilla\\Firefox\\Profiles", "AppData\\Mozilla\\Firefox\\Profiles\\abc.default"})
            ASSERT_TRUE(folder.makeDir(dir));
        writeProfiles("[General]\r\nStartWithLastProfile=1\r\n\r\n[Profile0]\r\nName=default\r\n"
                      "IsRelative=1\r\nPath=Profiles/abc.default\r\n");
    }
    void TearDown() override {
        core->unregisterPlugin(plugin);
        plugin->deleteThis();
        vx::setCacheFolder(std::string());
        CoreTest::TearDown();
    }

    void writeProfiles(const std::string& text) {
        ASSERT_TRUE(folder.writeFile("AppData\\Mozilla\\Firefox\\profiles.ini", text));
    }
    void writeProfileFile(const char* name, const std::string& text) {
        // The indexers follow their files and copy them now and then: a write that meets a copy waits.
        bool written = false;
        for (int tries = 0; !written && tries < 500; ++tries) {
            written = folder.writeFile(
                std::string("AppData\\Mozilla\\Firefox\\Profiles\\abc.default\\") + name, text);
            if (!written)
                ::Sleep(10);
        }
        ASSERT_TRUE(written);
    }
    std::set<std::string> search(const std::string& text) {
        EXPECT_TRUE(settleCaches(core));
        listener->clear();
        uint32_t id = 0;
        core->startSeach(text, id);
        EXPECT_TRUE(waitForWorkers());
        core->cancelSearch(id);
        std::vector<std::string> texts = listener->texts();
        return std::set<std::string>(texts.begin(), texts.end());
    }
    // Loads a "Firefox" node with the keys given (none for null), and tells what the plug-in then saves.
    std::string loadThenSave(const char* bookmarks, const char* history) {
        VPreferencesNode* root = VPreferencesNode::createInstance("PluginMgr");
        VPreferencesNode* mine = VPreferencesNode::createInstance("Firefox");
        for (auto key :
             {std::make_pair("SearchFfBookmarks", bookmarks), std::make_pair("SearchFfHistory", history)})
            if (key.second)
                mine->setParam(key.first, key.second);
        root->addChild(mine);
        plugin->loadPrefs(root);
        root->deleteThis();
        root = VPreferencesNode::createInstance("PluginMgr");
        plugin->savePrefs(root);
        std::string saved[2];
        root->getChild("Firefox")->getParam("SearchFfBookmarks", saved[0]);
        root->getChild("Firefox")->getParam("SearchFfHistory", saved[1]);
        root->deleteThis();
        return saved[0] + " " + saved[1];
    }

    TempFolder folder;
    PointedFirefoxPlugin* plugin = nullptr;
    CollectingListener* listener = nullptr;
};

using Texts = std::set<std::string>;

} // namespace

TEST_F(Firefox, StartsOnlyWhereAVersionIsRegisteredTheUsersFirst) {
    ASSERT_TRUE(::DeleteFileA(folder.sub("AppData\\Mozilla\\Firefox\\profiles.ini").c_str()));
    EXPECT_FALSE(plugin->startUp()) << "neither a registered version nor a profile list";
    const std::string key = "Software\\Mozilla\\Mozilla Firefox\\";
    plugin->registry[{HKEY_LOCAL_MACHINE, key + "CurrentVersion"}] = "2.0 (en-US)";
    plugin->registry[{HKEY_LOCAL_MACHINE, key + "2.0 (en-US)\\Main\\PathToExe"}] = "C:\\Machine\\firefox.exe";
    plugin->registry[{HKEY_CURRENT_USER, key + "3.0 (de)\\Main\\PathToExe"}] = "C:\\User\\firefox.exe";
    ASSERT_TRUE(plugin->startUp());
    EXPECT_EQ(plugin->getBrowserPath(), "C:\\Machine\\firefox.exe");
    plugin->registry[{HKEY_CURRENT_USER, key + "CurrentVersion"}] = "3.0 (de)";
    ASSERT_TRUE(plugin->startUp());
    EXPECT_EQ(plugin->getBrowserPath(), "C:\\User\\firefox.exe");
}

TEST_F(Firefox, AProfileListIsEnoughWhereNoVersionIsRegistered) {
    // A portable copy, a Store install, or a key in the registry view this build does not see.
    writeProfileFile("bookmarks.html", kBookmarks);
    ASSERT_TRUE(plugin->startUp());
    EXPECT_EQ(plugin->getBrowserPath(), "") << "the default browser opens the results";
    plugin->loadPrefs(nullptr);
    EXPECT_EQ(search("chips"), (Texts{"Fish & Chips"}));
}

TEST_F(Firefox, AnIndexerTheCoreRefusesIsDestroyedAndReadsAsOff) {
    writeProfileFile("bookmarks.html", kBookmarks);
    writeProfileFile("history.dat", kHistory);
    plugin->refuse = true;
    const long before = VIndexer::getLiveIndexerCount();
    plugin->setSearchBookmarks(true);
    plugin->setSearchHistory(true);
    EXPECT_EQ(plugin->getBookmarksIndexer(), nullptr);
    EXPECT_EQ(plugin->getHistoryIndexer(), nullptr);
    EXPECT_EQ(VIndexer::getLiveIndexerCount(), before) << "a refused indexer was left alive";
    plugin->refuse = false;
    plugin->setSearchBookmarks(true);
    EXPECT_NE(plugin->getBookmarksIndexer(), nullptr) << "switching it on again works";
}

TEST_F(Firefox, PreferencesSwitchOnOnlyIndexersWhoseFilesExist) {
    writeProfileFile("bookmarks.html", kBookmarks);
    plugin->loadPrefs(nullptr);
    EXPECT_NE(plugin->getBookmarksIndexer(), nullptr) << "bookmarks are on by default";
    EXPECT_EQ(plugin->getHistoryIndexer(), nullptr) << "history is off by default";
    EXPECT_EQ(plugin->getBookmarksIndexer()->getFile(),
              folder.sub("AppData\\Mozilla\\Firefox\\Profiles/abc.default\\bookmarks.html"));

    EXPECT_EQ(loadThenSave("false", "true"), "false false") << "no history.dat";
    writeProfileFile("history.dat", kHistory);
    plugin->appData += "\\"; // with or without the trailing backslash
    EXPECT_EQ(loadThenSave(nullptr, "true"), "true true");
    EXPECT_EQ(core->getNumIndexers(), 2);

    writeProfiles("[Profile0]\r\nName=default\r\n");
    plugin->setSearchBookmarks(false);
    plugin->setSearchHistory(false);
    EXPECT_EQ(loadThenSave("true", "true"), "false false") << "no Path, no profile";
    plugin->appData.clear();
    EXPECT_EQ(loadThenSave("true", "true"), "false false") << "no APPDATA";
}

TEST_F(Firefox, LinksAreFoundByTitleAndAddressInBothModes) {
    writeProfileFile("bookmarks.html", kBookmarks);
    plugin->setSearchBookmarks(true);
    ASSERT_NE(plugin->getBookmarksIndexer(), nullptr);
    ASSERT_TRUE(settleCaches(core));
    EXPECT_EQ(plugin->getBookmarksIndexer()->getCachedCount(), 3u)
        << "the lower-case tag is no link, the unclosed one lost its address to the tags after it";
    for (bool live : {false, true}) {
        core->setLiveSearching(live);
        EXPECT_EQ(search("chips"), (Texts{"Fish & Chips"})) << live;
        EXPECT_EQ(search("fish & chips"), (Texts{"Fish & Chips"})) << "the decoded title is matched";
        EXPECT_EQ(search("coffee.example"), (Texts{"Caf\xE9 Noir"})) << "UTF-8, shown in code page 1252";
        EXPECT_EQ(search("strong coffee"), Texts{});
        EXPECT_EQ(search("lower"), Texts{});
        EXPECT_EQ(search("&#60;"), (Texts{"Left &#60; Right"})) << "decoded once, not twice";
        EXPECT_EQ(search("folder heading"), Texts{});
    }
}

// Firefox writes a bare "&" where an address or a title holds one: it ends no attribute and swallows
// no tag, so the link keeps its whole address and the title after it is read as written.
TEST_F(Firefox, ABareAmpersandEndsNeitherTheAddressNorTheTitle) {
    writeProfileFile("bookmarks.html", "<DL><p>\n"
                                       "    <DT><A HREF=\"http://lab.example/?a=1&b=2&\">R&D</A>\n"
                                       "    <DT><A HREF=\"http://next.example/\">Next & last</A>\n"
                                       "</DL><p>\n");
    plugin->setSearchBookmarks(true);
    ASSERT_NE(plugin->getBookmarksIndexer(), nullptr);
    for (bool live : {false, true}) {
        core->setLiveSearching(live);
        EXPECT_EQ(search("lab.example"), (Texts{"R&D"})) << live;
        ASSERT_EQ(listener->results().size(), 1u);
        EXPECT_EQ(static_cast<VUrlResult*>(listener->results()[0])->getUrl(), "http://lab.example/?a=1&b=2&");
        EXPECT_EQ(search("next.example"), (Texts{"Next & last"})) << "the link after it is whole" << live;
    }
}

TEST_F(Firefox, AFinishedSearchLeavesTheCacheWhole) {
    writeProfileFile("bookmarks.html", kBookmarks);
    writeProfileFile("history.dat", kHistory);
    plugin->setSearchBookmarks(true);
    plugin->setSearchHistory(true);
    EXPECT_EQ(search("example"), (Texts{"Fish & Chips", "Caf\xE9 Noir", "Left &#60; Right",
                                        "http://news.example/today", "https://secure.example/login",
                                        "http://very.long.example/a/b/c/d.html", "http://ref.example/"}));
    // Rebuilding stops the last worker, which raises its cancel flag: the rebuild must read on anyway.
    core->updateCache();
    EXPECT_TRUE(settleCaches(core));
    plugin->getBookmarksIndexer()->cancelSearch();
    plugin->getHistoryIndexer()->cancelSearch();
    plugin->getBookmarksIndexer()->updateCache();
    EXPECT_TRUE(settleCaches(core));
    plugin->getHistoryIndexer()->updateCache();
    EXPECT_TRUE(settleCaches(core));
    EXPECT_EQ(plugin->getBookmarksIndexer()->getCachedCount(), 3u);
    EXPECT_EQ(plugin->getHistoryIndexer()->getCachedCount(), 4u);
}

TEST_F(Firefox, HistoryGivesEachAddressOnceWithContinuedLinesJoined) {
    writeProfileFile("history.dat", kHistory);
    plugin->setSearchHistory(true);
    ASSERT_NE(plugin->getHistoryIndexer(), nullptr);
    ASSERT_TRUE(settleCaches(core));
    EXPECT_EQ(plugin->getHistoryIndexer()->getCachedCount(), 4u);
    core->setSearchUrlDomainOnly(false);
    for (bool live : {false, true}) {
        core->setLiveSearching(live);
        EXPECT_EQ(search("news"), (Texts{"http://news.example/today"})) << "listed three times, found once";
        EXPECT_EQ(search("secure"), (Texts{"https://secure.example/login"}));
        EXPECT_EQ(search("d.html"), (Texts{"http://very.long.example/a/b/c/d.html"}));
        EXPECT_EQ(listener->texts().size(), 1u);
    }
}

TEST_F(Firefox, TheDialogShowsTheIndexersAndAppliesOnlyOnOk) {
    writeProfileFile("bookmarks.html", kBookmarks);
    writeProfileFile("history.dat", kHistory);
    plugin->setSearchBookmarks(true);
    FirefoxPrefsDlg dialog(plugin);
    HWND window = dialog.create(nullptr, false);
    ASSERT_NE(window, nullptr);
    char title[64] = {};
    ::GetWindowTextA(window, title, sizeof(title));
    EXPECT_STREQ(title, "Firefox Preferences");
    EXPECT_EQ(::IsDlgButtonChecked(window, IDC_SEARCH_BOOKMARKS), BST_CHECKED);
    EXPECT_EQ(::IsDlgButtonChecked(window, IDC_SEARCH_HISTORY), BST_UNCHECKED);

    ::SendDlgItemMessageA(window, IDC_SEARCH_HISTORY, BM_CLICK, 0, 0);
    ::SendDlgItemMessageA(window, IDCANCEL, BM_CLICK, 0, 0);
    EXPECT_EQ(dialog.getHwnd(), nullptr);
    EXPECT_EQ(plugin->getHistoryIndexer(), nullptr) << "Cancel changes nothing";

    window = dialog.create(nullptr, false);
    ::SendDlgItemMessageA(window, IDC_SEARCH_HISTORY, BM_CLICK, 0, 0);
    ::SendDlgItemMessageA(window, IDC_SEARCH_BOOKMARKS, BM_CLICK, 0, 0);
    ::SendDlgItemMessageA(window, IDOK, BM_CLICK, 0, 0);
    EXPECT_EQ(dialog.getHwnd(), nullptr);
    EXPECT_EQ(plugin->getBookmarksIndexer(), nullptr);
    ASSERT_NE(plugin->getHistoryIndexer(), nullptr);
    EXPECT_EQ(core->getNumIndexers(), 1);
}

TEST_F(Firefox, TheDialogSwitchesIndexersDuringARunningSearch) {
    // Big enough that a live search of it is still running when the dialog is used.
    std::string many = "<DL><p>\n";
    for (int i = 0; i < 60000; ++i)
        many += "<DT><A HREF=\"http://site" + std::to_string(i) + ".example/page\">Page number " +
                std::to_string(i) + " of many</A>\n";
    writeProfileFile("bookmarks.html", many);
    writeProfileFile("history.dat", kHistory);
    plugin->setSearchBookmarks(true);
    core->setLiveSearching(true);
    for (int round = 0; round < 4; ++round) {
        const bool bookmarksOn = plugin->getBookmarksIndexer() != nullptr;
        uint32_t id = 0;
        core->startSeach("page number", id);
        if (bookmarksOn) {
            EXPECT_TRUE(plugin->getBookmarksIndexer()->isWorkerRunning())
                << "the search ended before the switch: the file is too small";
        }
        // The dialog lives on the watched thread, which is its window thread.
        mustFinishWithin(20000, "switching indexers during a search", [&] {
            FirefoxPrefsDlg switcher(plugin);
            HWND window = switcher.create(nullptr, false);
            ASSERT_NE(window, nullptr);
            ::SendDlgItemMessageA(window, IDC_SEARCH_BOOKMARKS, BM_CLICK, 0, 0);
            ::SendDlgItemMessageA(window, IDC_SEARCH_HISTORY, BM_CLICK, 0, 0);
            ::SendDlgItemMessageA(window, IDOK, BM_CLICK, 0, 0);
            EXPECT_EQ(switcher.getHwnd(), nullptr);
        });
        EXPECT_EQ(plugin->getBookmarksIndexer() != nullptr, !bookmarksOn) << round;
        EXPECT_EQ(plugin->getHistoryIndexer() != nullptr, bookmarksOn) << round;
        EXPECT_EQ(core->getNumIndexers(), 1);
        EXPECT_TRUE(waitForWorkers());
        core->cancelSearch(id);
    }
}

TEST_F(Firefox, CutMutatedAndHugeHistoryFilesAreReadInBoundedTime) {
    writeProfileFile("history.dat", kHistory);
    plugin->setSearchHistory(true);
    VFirefoxHistoryIndexer* indexer = plugin->getHistoryIndexer();
    ASSERT_NE(indexer, nullptr);
    const std::string whole = kHistory;
    mustFinishWithin(90000, "cut, mutated and huge history.dat files", [&] {
        for (std::size_t length = 0; length <= whole.size(); ++length) {
            writeProfileFile("history.dat", whole.substr(0, length));
            indexer->updateCache();
            EXPECT_TRUE(settleCaches(core));
            EXPECT_LE(indexer->getCachedCount(), 5u) << length;
        }
        // Bytes replaced by the ones the reader cares about: parentheses, line ends, continuations.
        const char alphabet[] = "()\\\r\n=http:/s\x00\xFF";
        unsigned seed = 4321;
        for (int round = 0; round < 300; ++round) {
            std::string bytes = whole;
            for (int k = 0; k < 6; ++k) {
                seed = seed * 1103515245u + 12345u;
                bytes[(seed >> 8) % bytes.size()] = alphabet[(seed >> 20) % (sizeof(alphabet) - 1)];
            }
            writeProfileFile("history.dat", bytes);
            indexer->updateCache();
            EXPECT_TRUE(settleCaches(core));
            if (round % 50 == 0)
                search("example");
        }
        // An address that never closes and goes on over continued lines for 4 MB, then 20,000 cells.
        std::string huge = "<(80=http://open.example/";
        for (int i = 0; i < 4096; ++i)
            huge += std::string(1023, 'x') + "\\\n";
        huge += ")>\n<";
        for (int i = 0; i < 20000; ++i)
            huge += "(A" + std::to_string(i) + "=http://h" + std::to_string(i) + ".example/)\n";
        huge += ">\n";
        writeProfileFile("history.dat", huge);
        indexer->updateCache();
        EXPECT_TRUE(settleCaches(core));
        EXPECT_GE(indexer->getCachedCount(), 20000u);
        EXPECT_EQ(search("h19999.example"), (Texts{"http://h19999.example/"}));
    });
}

TEST_F(Firefox, BookmarksNamingProgramsSharesOrWordsStartNothingWithoutAYes) {
    writeProfileFile("bookmarks.html", kRiskyBookmarks);
    plugin->setSearchBookmarks(true);
    ShellCapture shell;
    UrlConfirmCapture user;
    VAction* run = core->getDefaultAction(VProperty::UrlType);
    ASSERT_NE(run, nullptr);
    EXPECT_EQ(search("risky").size(), 6u);
    Texts addresses;
    for (VResult* result : listener->results()) {
        addresses.insert(static_cast<VUrlResult*>(result)->getUrl());
        EXPECT_FALSE(run->execute(result, result->getDefaultProperty(), "risky"));
        EXPECT_FALSE(result->select());
    }
    EXPECT_EQ(addresses, (Texts{"C:\\Windows\\System32\\calc.exe", "\\\\host\\share\\x.exe",
                                "file://host/x.exe", "calc", "--gpu-launcher=x", kFullwidthSwitch}))
        << "no look-alike became a hyphen";
    EXPECT_TRUE(ShellCapture::requests().empty());
    EXPECT_EQ(UrlConfirmCapture::asked().size(), 12u);

    UrlConfirmCapture::answer() = true;
    EXPECT_EQ(search("word"), (Texts{"Risky word"}));
    EXPECT_TRUE(listener->results()[0]->select());
    ASSERT_EQ(ShellCapture::requests().size(), 1u);
    EXPECT_EQ(ShellCapture::requests()[0].file, "calc");
}

TEST_F(Firefox, ASwitchInABookmarkReachesTheBrowserOnlyAsTheAddressAfterItsMarker) {
    const std::string key = "Software\\Mozilla\\Mozilla Firefox\\";
    plugin->registry[{HKEY_CURRENT_USER, key + "CurrentVersion"}] = "115.0";
    plugin->registry[{HKEY_CURRENT_USER, key + "115.0\\Main\\PathToExe"}] =
        "C:\\Mozilla Firefox\\firefox.exe";
    ASSERT_TRUE(plugin->startUp());
    writeProfileFile("bookmarks.html", kRiskyBookmarks);
    plugin->setSearchBookmarks(true);
    core->setOpenUrlsInPluginsBrowser(true);
    ShellCapture shell;
    UrlConfirmCapture user;
    UrlConfirmCapture::answer() = true;
    for (const char* title : {"switch", "fullwidth"}) {
        search(title);
        ASSERT_EQ(listener->results().size(), 1u) << title;
        EXPECT_TRUE(listener->results()[0]->select()) << title;
    }
    ASSERT_EQ(ShellCapture::requests().size(), 2u);
    EXPECT_EQ(ShellCapture::requests()[0].file, "C:\\Mozilla Firefox\\firefox.exe");
    EXPECT_EQ(ShellCapture::requests()[0].parameters, "-osint -url \"--gpu-launcher=x\"");
    EXPECT_EQ(ShellCapture::requests()[1].parameters,
              std::string("-osint -url \"") + kFullwidthSwitch + "\"");
}
