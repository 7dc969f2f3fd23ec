#include "ChromiumFixture.h"

#include "ChromiumFiles.h"
#include "ChromiumHistory.h"
#include "ChromiumPrefsDlg.h"
#include "resource.h"
#include "ChromiumResult.h"
#include "support/ShellCapture.h"
#include "support/UrlConfirmCapture.h"
#include "support/Watchdog.h"
#include "model/VPreferences.h"
#include "util/Win32Handle.h"

#include <atomic>

namespace {

const std::string kBar = folderNode("Food", link("Fish & Chips", "http://fish.example/menu")) + "," +
                         link("Daily News", "https://news.example/today");
const std::string kOther = link("Caf\\u00e9 Noir", "http://coffee.example/");

// Each file's bytes under a folder, by relative name, folders included: what "untouched" means.
std::map<std::string, std::string> contents(const std::string& root, const std::string& below = "") {
    std::map<std::string, std::string> all;
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((root + below + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return all;
    do {
        const std::string name = data.cFileName;
        if (name == "." || name == "..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            all[below + name + "\\"] = "";
            for (const auto& entry : contents(root, below + name + "\\"))
                all.insert(entry);
        } else {
            std::string bytes;
            chromium::readWholeFile(root + below + name, bytes, 1u << 30);
            all[below + name] = bytes;
        }
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
    return all;
}

} // namespace

TEST_F(ChromiumTest, FindsEachInstalledBrowserWithItsProfilesNamedAsTheBrowserNamesThem) {
    EXPECT_FALSE(plugin->startUp()) << "no browser, no plug-in";
    delete plugin;
    plugin = new PointedChromiumPlugin();
    for (const char* name : {"Profile 10", "Default", "Profile 2", "System Profile", "Work"})
        chromeProfile(name);
    ASSERT_TRUE(
        write(folder.sub("Local\\Google\\Chrome\\User Data\\Local State"),
              R"({"profile":{"info_cache":{"Default":{"name":"Person 1"},"Profile 2":{"name":"Caf\u00e9"},)"
              R"("Work":{"name":"Office"},"Gone":{"name":"x"}}},"other":[{"name":"no"}]})"));
    edgeProfile();
    makeDirs("Roaming\\Opera Software\\Opera Stable");
    ASSERT_TRUE(plugin->startUp());
    ASSERT_EQ(plugin->getBrowsers().size(), 3u);
    const chromium::Browser* chrome = plugin->findBrowser(Chrome);
    ASSERT_NE(chrome, nullptr);
    std::vector<std::string> names;
    for (const chromium::Profile& profile : chrome->profiles)
        names.push_back(profile.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Person 1", "Caf\xE9", "Profile 10", "Office"}));
    EXPECT_EQ(chrome->profiles[2].folder, folder.sub("Local\\Google\\Chrome\\User Data\\Profile 10\\"));
    ASSERT_NE(plugin->findBrowser(Opera), nullptr);
    EXPECT_EQ(plugin->findBrowser(Opera)->profiles.size(), 1u) << "one profile, the data folder itself";
    EXPECT_EQ(plugin->findBrowser(Vivaldi), nullptr);
}

TEST_F(ChromiumTest, TheProgramComesFromAppPathsThenTheInstallFoldersElseNone) {
    chromeProfile();
    edgeProfile();
    makeDirs("Local\\Chromium\\User Data\\Default");
    makeDirs("Programs\\Microsoft\\Edge\\Application");
    ASSERT_TRUE(write(folder.sub("Programs\\Microsoft\\Edge\\Application\\msedge.exe"), "MZ"));
    ASSERT_TRUE(write(folder.sub("chrome.exe"), "MZ"));
    const std::string appPaths = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
    plugin->registry[{false, appPaths + "chrome.exe"}] = "\"" + folder.sub("chrome.exe") + "\"";
    plugin->registry[{true, appPaths + "msedge.exe"}] = folder.sub("missing\\msedge.exe");
    ASSERT_TRUE(plugin->startUp());
    EXPECT_EQ(plugin->findBrowser(Chrome)->program, folder.sub("chrome.exe"));
    EXPECT_EQ(plugin->findBrowser(Edge)->program,
              folder.sub("Programs\\Microsoft\\Edge\\Application\\msedge.exe"))
        << "an entry naming a missing file is passed over";
    EXPECT_EQ(plugin->findBrowser(Chromium)->program, "") << "Chrome's chrome.exe is not Chromium's";
}

TEST_F(ChromiumTest, BookmarksAreFoundWithTheirFolderPathInBothModes) {
    ASSERT_TRUE(write(chromeProfile() + "Bookmarks", bookmarksFile(kBar, kOther)));
    start();
    ASSERT_EQ(plugin->getBookmarksIndexers(Chrome).size(), 1u);
    EXPECT_EQ(plugin->getBookmarksIndexers(Chrome)[0]->getCachedCount(), 3u);
    for (bool live : {false, true}) {
        core->setLiveSearching(live);
        core->updateCache();
        EXPECT_EQ(found("chips"), (Texts{"Fish & Chips"})) << live;
        EXPECT_EQ(found("caf\xE9"), (Texts{"Caf\xE9 Noir"})) << "UTF-8 and escapes, shown in code page 1252";
        EXPECT_EQ(found("fish.example"), (Texts{"Fish & Chips"}));
        std::map<std::string, std::string> lines;
        search("example");
        for (VResult* result : listener->results())
            lines[result->getDisplayText1()] = result->getDisplayText2();
        EXPECT_EQ(lines, (std::map<std::string, std::string>{{"Fish & Chips", "Bookmarks bar > Food"},
                                                             {"Daily News", "Bookmarks bar"},
                                                             {"Caf\xE9 Noir", "Other bookmarks"}}));
    }
}

TEST_F(ChromiumTest, HistoryComesBestFirstOnceForEachAddressWithoutHiddenOnes) {
    // The source's own order: ranking would put the shortest addresses first.
    core->setRankResults(false);
    const std::string profile = chromeProfile();
    {
        ChromiumHistoryDb db(profile + "History");
        ASSERT_TRUE(db.ok());
        ASSERT_TRUE(db.add("http://once.example/", "Once today", 1, ChromiumHistoryDb::daysAgo(0.1)));
        ASSERT_TRUE(db.add("http://often.example/", "Often lately", 20, ChromiumHistoryDb::daysAgo(1)));
        ASSERT_TRUE(db.add("http://old.example/", "Often long ago", 20, ChromiumHistoryDb::daysAgo(400)));
        ASSERT_TRUE(db.add("http://often.example/", "Often twice", 2, ChromiumHistoryDb::daysAgo(2)));
        ASSERT_TRUE(db.add("http://frame.example/", "Hidden frame", 50, ChromiumHistoryDb::daysAgo(1), true));
    }
    start();
    for (bool live : {false, true}) {
        core->setLiveSearching(live);
        core->updateCache();
        EXPECT_EQ(search("example"),
                  (std::vector<std::string>{"Often lately", "Often long ago", "Once today"}))
            << live;
    }
}

TEST_F(ChromiumTest, PreferencesSwitchEachBrowserAndKeepThoseOfBrowsersNotInstalled) {
    chromeProfile();
    chromeProfile("Profile 1");
    edgeProfile();
    ASSERT_TRUE(plugin->startUp());
    VPreferencesNode* root = VPreferencesNode::createInstance("PluginMgr");
    VPreferencesNode* mine = VPreferencesNode::createInstance("Chromium");
    for (const char* name : {"Edge", "Vivaldi"}) {
        VPreferencesNode* browser = VPreferencesNode::createInstance(name);
        browser->setParam("SearchHistory", false);
        mine->addChild(browser);
    }
    root->addChild(mine);
    plugin->loadPrefs(root);
    root->deleteThis();
    EXPECT_EQ(plugin->getBookmarksIndexers(Chrome).size(), 2u) << "one per profile";
    EXPECT_EQ(plugin->getHistoryIndexers(Chrome).size(), 2u) << "history is on unless saved off";
    EXPECT_EQ(plugin->getBookmarksIndexers(Edge).size(), 1u);
    EXPECT_TRUE(plugin->getHistoryIndexers(Edge).empty());
    EXPECT_EQ(core->getNumIndexers(), 5);

    plugin->setSearchBookmarks(Chrome, false);
    root = VPreferencesNode::createInstance("PluginMgr");
    plugin->savePrefs(root);
    std::string saved;
    for (const char* name : {"Chrome", "Edge", "Vivaldi", "Opera"}) {
        std::string bookmarks, history;
        root->getChild("Chromium")->getChild(name)->getParam("SearchBookmarks", bookmarks);
        root->getChild("Chromium")->getChild(name)->getParam("SearchHistory", history);
        saved += std::string(name) + " " + bookmarks + " " + history + ";";
    }
    root->deleteThis();
    EXPECT_EQ(saved, "Chrome false true;Edge true false;Vivaldi true false;Opera true true;");
    EXPECT_EQ(core->getNumIndexers(), 3);
}

TEST_F(ChromiumTest, ResultsOpenInTheirOwnBrowserWhenTheOptionIsOn) {
    ASSERT_TRUE(
        write(chromeProfile() + "Bookmarks", bookmarksFile(link("In Chrome", "http://chrome.example/"))));
    ASSERT_TRUE(write(edgeProfile() + "Bookmarks", bookmarksFile(link("In Edge", "http://edge.example/"))));
    ASSERT_TRUE(write(folder.sub("chrome.exe"), "MZ"));
    plugin->registry[{true, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\chrome.exe"}] =
        folder.sub("chrome.exe");
    start();
    ShellCapture shell;
    core->setOpenUrlsInPluginsBrowser(true);
    search("example");
    for (VResult* result : listener->results())
        EXPECT_TRUE(result->select());
    core->setOpenUrlsInPluginsBrowser(false);
    search("chrome.example");
    ASSERT_EQ(listener->results().size(), 1u);
    EXPECT_TRUE(listener->results()[0]->select());
    std::set<std::pair<std::string, std::string>> opened;
    for (const ShellCapture::Request& request : shell.requests())
        opened.insert({request.file, request.parameters});
    EXPECT_EQ(opened, (std::set<std::pair<std::string, std::string>>{
                          {folder.sub("chrome.exe"), "-- \"http://chrome.example/\""},
                          {"http://edge.example/", ""}, // Edge's program was not found: the default browser
                          {"http://chrome.example/", ""}}));
}

TEST_F(ChromiumTest, AddressesThatRunCodeAreListedButOpenOnlyOnceConfirmed) {
    ASSERT_TRUE(
        write(chromeProfile() + "Bookmarks", bookmarksFile(link("Bookmarklet", "javascript:alert(1)") + "," +
                                                           link("Inline page", "data:text/html,<b>x</b>"))));
    start();
    ShellCapture shell;
    static bool allow = false;
    auto previous = VVerbinoxCore::setUrlConfirmHook([](const std::string&) { return allow; });
    core->setSearchUrlDomainOnly(false);
    EXPECT_EQ(found("alert"), (Texts{"Bookmarklet"}));
    EXPECT_FALSE(listener->results()[0]->select());
    EXPECT_EQ(found("inline"), (Texts{"Inline page"}));
    EXPECT_FALSE(listener->results()[0]->select());
    EXPECT_TRUE(shell.requests().empty()) << "refused without a Yes";
    allow = true;
    EXPECT_TRUE(listener->results()[0]->select());
    ASSERT_EQ(shell.requests().size(), 1u);
    EXPECT_EQ(shell.requests()[0].file, "data:text/html,<b>x</b>");
    VVerbinoxCore::setUrlConfirmHook(previous);
}

TEST_F(ChromiumTest, SwitchesAndTheirLookAlikesReachTheBrowserOnlyAfterItsMarker) {
    const std::string profile = chromeProfile();
    ASSERT_TRUE(write(profile + "Bookmarks",
                      bookmarksFile(link("Switch mark", "--gpu-launcher=x") + "," +
                                    link("Fullwidth mark", "\xEF\xBC\x8D\xEF\xBC\x8Dgpu-launcher=x"))));
    {
        ChromiumHistoryDb db(profile + "History");
        ASSERT_TRUE(db.ok());
        ASSERT_TRUE(db.add("\xEF\xBC\x8D\xEF\xBC\x8Drenderer-cmd-prefix=x", "Fullwidth visit mark", 1,
                           ChromiumHistoryDb::daysAgo(1)));
    }
    ASSERT_TRUE(write(folder.sub("chrome.exe"), "MZ"));
    plugin->registry[{true, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\chrome.exe"}] =
        folder.sub("chrome.exe");
    start();
    ShellCapture shell;
    UrlConfirmCapture user;
    UrlConfirmCapture::answer() = true;
    core->setOpenUrlsInPluginsBrowser(true);
    EXPECT_EQ(found("mark"), (Texts{"Switch mark", "Fullwidth mark", "Fullwidth visit mark"}));
    for (VResult* result : listener->results())
        EXPECT_TRUE(result->select());
    EXPECT_EQ(UrlConfirmCapture::asked().size(), 3u) << "no scheme: asked first";
    std::set<std::string> parameters;
    for (const ShellCapture::Request& request : shell.requests()) {
        EXPECT_EQ(request.file, folder.sub("chrome.exe"));
        parameters.insert(request.parameters);
    }
    EXPECT_EQ(parameters,
              (std::set<std::string>{"-- \"--gpu-launcher=x\"", "-- \"%EF%BC%8D%EF%BC%8Dgpu-launcher=x\"",
                                     "-- \"%EF%BC%8D%EF%BC%8Drenderer-cmd-prefix=x\""}));
}

TEST_F(ChromiumTest, ACachedSearchRebuildsOnceTheFilesChanged) {
    const std::string profile = chromeProfile();
    ASSERT_TRUE(write(profile + "Bookmarks", bookmarksFile(link("First", "http://first.example/"))));
    start();
    EXPECT_EQ(found("example"), (Texts{"First"}));
    EXPECT_FALSE(plugin->getBookmarksIndexers(Chrome)[0]->isCacheStale());
    ASSERT_TRUE(write(profile + "Bookmarks", bookmarksFile(link("First", "http://first.example/") + "," +
                                                           link("Added later", "http://added.example/"))));
    EXPECT_EQ(found("example"), (Texts{"First", "Added later"})) << "no Update Cache needed";
    EXPECT_FALSE(plugin->getHistoryIndexers(Chrome)[0]->isCacheStale());
    ChromiumHistoryDb db(profile + "History", true);
    ASSERT_TRUE(db.add("http://visited.example/", "Visited", 1, ChromiumHistoryDb::daysAgo(0)));
    EXPECT_EQ(found("visited"), (Texts{"Visited"})) << "a history that appeared, read through its log";
}

TEST_F(ChromiumTest, AHistoryLockedByTheBrowserStillGivesItsAddresses) {
    const std::string profile = chromeProfile();
    ChromiumHistoryDb db(profile + "History");
    ASSERT_TRUE(db.add("http://locked.example/", "Locked away", 3, ChromiumHistoryDb::daysAgo(1)));
    ASSERT_TRUE(db.exec("PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;"));
    ASSERT_TRUE(db.add("http://pending.example/", "Not committed", 3, ChromiumHistoryDb::daysAgo(1)));
    start();
    for (bool live : {false, true}) {
        core->setLiveSearching(live);
        core->updateCache();
        EXPECT_EQ(found("example"), (Texts{"Locked away"})) << live;
    }
    EXPECT_TRUE(db.exec("COMMIT;"));
}

TEST_F(ChromiumTest, BadHistoryDatabasesGiveNothingAndLeaveTheProfileUntouched) {
    const std::string good = folder.sub("good.db");
    {
        ChromiumHistoryDb db(good);
        for (int i = 0; i < 400; ++i)
            ASSERT_TRUE(db.add("http://row" + std::to_string(i) + ".example/", "Row", 1,
                               ChromiumHistoryDb::daysAgo(1)));
    }
    const std::string bytes = folder.readFile("good.db");
    ASSERT_GT(bytes.size(), 8192u);
    std::string corrupt = bytes, random(bytes.size(), '\0');
    for (std::size_t at = 4096; at < corrupt.size(); at += 7)
        corrupt[at] = static_cast<char>(at * 31);
    for (std::size_t at = 0; at < random.size(); ++at)
        random[at] = static_cast<char>((at * 2654435761u) >> 13);
    const std::string profile = chromeProfile();
    ASSERT_TRUE(write(profile + "Bookmarks", bookmarksFile(link("Still here", "http://row1.example/"))));
    start();
    for (const std::string& history :
         {bytes.substr(0, bytes.size() / 2), corrupt, random, std::string("x")}) {
        ASSERT_TRUE(write(profile + "History", history));
        const auto before = contents(profile);
        for (bool live : {false, true}) {
            core->setLiveSearching(live);
            core->updateCache();
            EXPECT_EQ(found("row"), (Texts{"Still here"})) << live;
        }
        EXPECT_EQ(contents(profile), before) << "the profile folder is never written to";
    }
    ::DeleteFileA((profile + "History").c_str());
    {
        ChromiumHistoryDb db(profile + "History");
        ASSERT_TRUE(db.exec(
            "DROP TABLE urls; CREATE TABLE urls(id INTEGER PRIMARY KEY, url LONGVARCHAR, title "
            "LONGVARCHAR, hidden INTEGER); INSERT INTO urls VALUES(1, 'http://row2.example/', 'Row', 0);"));
    }
    core->setLiveSearching(false);
    const auto before = contents(profile);
    core->updateCache();
    EXPECT_EQ(found("row"), (Texts{"Still here"})) << "a schema without the columns read";
    EXPECT_EQ(contents(profile), before);
}

TEST_F(ChromiumTest, BookmarksCutShortKeepEveryEntryBeforeTheCut) {
    const std::string text = bookmarksFile(kBar, kOther);
    const std::size_t coffee = text.find("coffee");
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        const std::vector<chromium::Bookmark> read = chromium::parseBookmarks(text.substr(0, cut));
        ASSERT_LE(read.size(), 3u);
        if (cut > coffee + 40) {
            EXPECT_EQ(read.size(), 3u) << cut;
        }
    }
    const auto cutInOther = chromium::parseBookmarks(text.substr(0, coffee));
    ASSERT_EQ(cutInOther.size(), 2u);
    EXPECT_EQ(cutInOther[0].folder, "Bookmarks bar > Food");
}

TEST_F(ChromiumTest, DeeplyNestedBookmarksAreSkippedAndTheRestIsRead) {
    std::string nested;
    for (int i = 0; i < 10000; ++i)
        nested += R"({"type":"folder","name":"n","children":[)";
    nested += link("Deep", "http://deep.example/");
    for (int i = 0; i < 10000; ++i)
        nested += "]}";
    const std::string text = bookmarksFile(nested + "," + link("After", "http://after.example/"));
    mustFinishWithin(30000, "reading 10,000 levels", [&] {
        const std::vector<chromium::Bookmark> read = chromium::parseBookmarks(text);
        ASSERT_EQ(read.size(), 1u);
        EXPECT_EQ(read[0].title, "After");
        EXPECT_EQ(read[0].folder, "Bookmarks bar");
        EXPECT_TRUE(chromium::parseBookmarks(std::string(100000, '[')).empty());
    });
}

TEST_F(ChromiumTest, MutatedAndHugeJsonFilesEndInTimeAndKeepWhatTheyCan) {
    const std::string bookmarks = bookmarksFile(kBar, kOther);
    const std::string localState =
        R"({"profile":{"info_cache":{"Default":{"name":"Person 1"},"Profile 2":{"name":"Caf\u00e9"}}}})";
    const std::string statePath = folder.sub("Local State");
    const char swaps[] = {'{', '}', '[', ']', '"', '\\', ':', ',', '\0', '\xFF'};
    mustFinishWithin(90000, "mutated, cut-short and huge JSON", [&] {
        unsigned seed = 12345;
        const auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
        for (int round = 0; round < 300; ++round) {
            std::string mutated = bookmarks;
            for (int n = 1 + round % 8; n > 0; --n)
                mutated[next() % mutated.size()] = swaps[next() % sizeof(swaps)];
            ASSERT_LE(chromium::parseBookmarks(mutated).size(), 3u);
        }
        for (std::size_t cut = 0; cut <= localState.size(); ++cut) {
            ASSERT_TRUE(write(statePath, localState.substr(0, cut)));
            ASSERT_LE(chromium::readProfileNames(statePath).size(), 2u);
        }
        for (int round = 0; round < 100; ++round) {
            std::string mutated = localState;
            for (int n = 1 + round % 4; n > 0; --n)
                mutated[next() % mutated.size()] = swaps[next() % sizeof(swaps)];
            ASSERT_TRUE(write(statePath, mutated));
            ASSERT_LE(chromium::readProfileNames(statePath).size(), 2u);
        }

        std::string many = link(std::string(4 << 20, 'x'), "http://huge.example/");
        for (int i = 0; i < 20000; ++i)
            many += "," + link("Entry " + std::to_string(i), "http://e" + std::to_string(i) + ".example/");
        const std::string hugePath = folder.sub("Bookmarks");
        ASSERT_TRUE(write(hugePath, bookmarksFile(many)));
        const std::vector<chromium::Bookmark> read = chromium::readBookmarks(hugePath);
        ASSERT_EQ(read.size(), 20001u);
        EXPECT_EQ(read[0].title.size(), static_cast<std::size_t>(4 << 20));
        EXPECT_EQ(read.back().url, "http://e19999.example/");
    });
}

TEST_F(ChromiumTest, BytesThatAreNotUtf8AreReplacedAndEveryEntryIsRead) {
    std::string text = bookmarksFile(link("Bad \xFF\xC0\xAF byte", "http://bad.example/") + "," +
                                     link("Cut \xE2\x82", "http://cut.example/") + "," +
                                     link("Surrogate \xED\xA0\x80 and \xE2\x82\xAC", "http://fine.example/"));
    const std::vector<chromium::Bookmark> read = chromium::parseBookmarks(text);
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[0].title, "Bad ??? byte");
    EXPECT_EQ(read[1].title, "Cut ??");
    EXPECT_EQ(read[2].title, "Surrogate ??? and \xE2\x82\xAC");
}

TEST_F(ChromiumTest, TheDialogSwitchesEachInstalledBrowserAndGreysTheOthers) {
    chromeProfile();
    edgeProfile();
    start();
    ChromiumPrefsDlg dialog(plugin);
    HWND window = dialog.create(nullptr, false);
    ASSERT_NE(window, nullptr);
    const auto checked = [&](int id) { return ::IsDlgButtonChecked(window, id) == BST_CHECKED; };
    char label[64] = {};
    ::GetDlgItemTextA(window, IDC_BROWSER_NAME_FIRST + Vivaldi, label, sizeof(label));
    EXPECT_STREQ(label, "Vivaldi (not installed)");
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(window, IDC_SEARCH_HISTORY_FIRST + Vivaldi)));
    EXPECT_TRUE(checked(IDC_SEARCH_BOOKMARKS_FIRST + Chrome));
    EXPECT_TRUE(checked(IDC_SEARCH_HISTORY_FIRST + Edge));
    ::SendDlgItemMessageA(window, IDC_SEARCH_HISTORY_FIRST + Edge, BM_CLICK, 0, 0);
    ::SendDlgItemMessageA(window, IDC_SEARCH_BOOKMARKS_FIRST + Chrome, BM_CLICK, 0, 0);
    ::SendMessageA(window, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(dialog.getHwnd(), nullptr) << "OK closes the dialog";
    EXPECT_TRUE(plugin->getHistoryIndexers(Edge).empty());
    EXPECT_TRUE(plugin->getBookmarksIndexers(Chrome).empty());
    EXPECT_EQ(plugin->getHistoryIndexers(Chrome).size(), 1u);
    EXPECT_TRUE(plugin->getSearchHistory(Vivaldi)) << "greyed rows keep their setting";
    window = dialog.create(nullptr, false);
    ::SendDlgItemMessageA(window, IDC_SEARCH_BOOKMARKS_FIRST + Chrome, BM_CLICK, 0, 0);
    ::SendMessageA(window, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(plugin->getBookmarksIndexers(Chrome).empty()) << "Cancel changes nothing";
}

namespace {

// A history indexer whose searches on its worker count as cancelled while told so: a rebuild that the
// next keystroke cuts short, at the first point it looks.
// The history read with a stop that answers true while cutShort is set, as when the indexer is stopped.
class CutShortHistoryIndexer : public VChromiumHistoryIndexer {
public:
    using VChromiumHistoryIndexer::VChromiumHistoryIndexer;
    std::atomic<bool> cutShort{false};

protected:
    bool readSource(VUrlSink& sink, const std::function<bool()>& stop) const override {
        return VChromiumHistoryIndexer::readSource(sink, [&] { return cutShort.load() || stop(); });
    }
};

// Writes over a file that another handle holds open with full sharing, as the browser does.
bool overwriteShared(const std::string& path, const std::string& bytes) {
    HANDLE h =
        ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD written = 0;
    const bool ok = h != INVALID_HANDLE_VALUE &&
                    ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    if (h != INVALID_HANDLE_VALUE)
        ::CloseHandle(h);
    return ok;
}

} // namespace

TEST_F(ChromiumTest, ARebuildCutShortKeepsTheCacheAndStaysStale) {
    const std::string profile = chromeProfile();
    ChromiumHistoryDb db(profile + "History");
    ASSERT_TRUE(db.add("http://first.example/", "First", 1, ChromiumHistoryDb::daysAgo(1)));
    ASSERT_TRUE(plugin->startUp());
    const chromium::Browser* chrome = plugin->findBrowser(Chrome);
    ASSERT_NE(chrome, nullptr);
    auto* indexer = new CutShortHistoryIndexer(plugin, chrome, &chrome->profiles.at(0));
    ASSERT_TRUE(core->registerIndexer(indexer));
    EXPECT_EQ(found("example"), (Texts{"First"}));

    ASSERT_TRUE(db.add("http://second.example/", "Second", 1, ChromiumHistoryDb::daysAgo(1)));
    ASSERT_TRUE(indexer->isCacheStale());
    indexer->cutShort = true;
    EXPECT_EQ(found("example"), (Texts{"First"}));
    EXPECT_EQ(indexer->getCachedCount(), 1u) << "the cut-short rebuild replaced the cache";
    EXPECT_TRUE(indexer->isCacheStale()) << "the cut-short rebuild counted as done";
    indexer->cutShort = false;
    EXPECT_EQ(found("example"), (Texts{"First", "Second"}));
}

TEST_F(ChromiumTest, AHistoryThatCannotBeCopiedKeepsItsCacheUntilACopySucceeds) {
    const std::string profile = chromeProfile();
    {
        ChromiumHistoryDb db(profile + "History");
        ASSERT_TRUE(db.add("http://first.example/", "First", 1, ChromiumHistoryDb::daysAgo(1)));
    }
    start();
    EXPECT_EQ(found("example"), (Texts{"First"}));
    {
        ChromiumHistoryDb db(profile + "History");
        ASSERT_TRUE(db.add("http://second.example/", "Second", 1, ChromiumHistoryDb::daysAgo(1)));
    }
    {
        // Held without sharing, as by a program that copies or scans it: no copy can be taken.
        vx::CHandle held;
        held.Attach(::CreateFileA((profile + "History").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                  nullptr));
        ASSERT_TRUE(held.IsValid());
        EXPECT_EQ(found("example"), (Texts{"First"})) << "a failed copy emptied the history";
    }
    EXPECT_EQ(found("example"), (Texts{"First", "Second"})) << "not tried again before the next write";
}

TEST_F(ChromiumTest, AHistoryCopiedWhileTheBrowserWroteItIsCopiedAgain) {
    const std::string path = chromeProfile() + "History";
    std::string before, after;
    for (const char* url : {"http://old.example/", "http://new.example/"}) {
        ::DeleteFileA(folder.sub("version.db").c_str());
        {
            ChromiumHistoryDb db(folder.sub("version.db"));
            ASSERT_TRUE(db.add(url, "Page", 1, ChromiumHistoryDb::daysAgo(1)));
        }
        (before.empty() ? before : after) = folder.readFile("version.db");
    }
    ASSERT_EQ(before.size(), after.size());
    ASSERT_TRUE(write(path, before));
    // The copy asks whether to stop before each block it reads: the second time, the whole file has
    // been read, and the browser writes its new state before the copy is done.
    int asked = 0;
    auto browserWrites = [&] {
        if (++asked == 2) {
            EXPECT_TRUE(overwriteShared(path, after));
        }
        return false;
    };
    chromium::VisitedList visited;
    ASSERT_TRUE(chromium::readHistory(path, visited, browserWrites));
    ASSERT_EQ(visited.size(), 1u);
    EXPECT_EQ(visited.url(0), "http://new.example/") << "a copy of a file that changed meanwhile was kept";
}

TEST_F(ChromiumTest, AHistoryWhoseSchemaRunsTheDatabasesOwnPragmasGivesNothing) {
    const std::string profile = chromeProfile();
    {
        // A file shaped to make its reader list something of the reader's own: where its copy lies.
        ChromiumHistoryDb db(profile + "History");
        ASSERT_TRUE(
            db.exec("DROP TABLE urls; CREATE VIEW urls AS SELECT 'http://leak.example/' || file AS url, "
                    "'Leak' AS title, 1 AS visit_count, 1 AS last_visit_time, 0 AS hidden "
                    "FROM pragma_database_list;"));
    }
    chromium::VisitedList visited;
    chromium::readHistory(profile + "History", visited);
    EXPECT_EQ(visited.size(), 0u) << "the schema's own SQL ran";
}

TEST_F(ChromiumTest, AHistoryRowWithoutAnAddressDoesNotEndTheRows) {
    const std::string profile = chromeProfile();
    {
        ChromiumHistoryDb db(profile + "History");
        ASSERT_TRUE(db.add("http://before.example/", "Before", 1, ChromiumHistoryDb::daysAgo(1)));
        ASSERT_TRUE(db.add("", "No address", 1, ChromiumHistoryDb::daysAgo(1)));
        ASSERT_TRUE(
            db.exec("INSERT INTO urls (url, title, last_visit_time) VALUES (NULL, 'Null address', 1)"));
        ASSERT_TRUE(db.add("http://after.example/", "After", 1, ChromiumHistoryDb::daysAgo(1)));
    }
    start();
    for (bool live : {false, true}) {
        core->setLiveSearching(live);
        core->updateCache();
        EXPECT_EQ(found("example"), (Texts{"Before", "After"})) << live;
        EXPECT_EQ(found("address"), Texts{}) << live;
    }
}

TEST_F(ChromiumTest, AnIndexerTheCoreRefusesIsDestroyedAndTheOthersStay) {
    chromeProfile();
    chromeProfile("Profile 1");
    ASSERT_TRUE(plugin->startUp());
    ASSERT_EQ(plugin->findBrowser(Chrome)->profiles.size(), 2u);
    plugin->refusals = 1;
    const long before = VIndexer::getLiveIndexerCount();
    plugin->setSearchBookmarks(Chrome, true);
    EXPECT_EQ(plugin->getBookmarksIndexers(Chrome).size(), 1u) << "the refused one is not kept";
    EXPECT_EQ(VIndexer::getLiveIndexerCount(), before + 1) << "the refused indexer was left alive";
    EXPECT_EQ(core->getNumIndexers(), 1);
}
