// Runs the real vxsearch.exe with the real Diskdex, Webquery, Opera, Firefox and Explorer plug-ins against
// generated folders and files.
#include "support/FavoritesFolder.h"
#include "support/PlacesDatabase.h"
#include "support/TempFolder.h"
#include "support/VxsearchRun.h"
#include "util/CRegValue.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <sstream>

namespace {

using Outcome = VxsearchOutcome;

class Vxsearch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(makeVxsearchFolder(folder, {"Plugins\\Diskdex.vll", "Plugins\\Webquery.vll"}));

        for (const char* dir : {"tree", "tree\\docs", "tree\\docs\\deep", "tree\\docs\\deep\\nested",
                                "tree\\docs\\Notes Folder", "tree\\flat", "tree\\flat\\sub", "prog\\rel"})
            ASSERT_TRUE(folder.makeDir(dir)) << dir;
        for (const char* file :
             {"tree\\docs\\notes.txt", "tree\\docs\\Report 2024.TXT",
              "tree\\docs\\deep\\nested\\notes-deep.md", "tree\\docs\\Editor.lnk",
              "tree\\docs\\Uninstall Notes.lnk", "tree\\docs\\notes.bin", "tree\\flat\\top.txt",
              "tree\\flat\\sub\\below.txt", "prog\\rel\\relnote.txt"})
            ASSERT_TRUE(folder.writeFile(file, "x")) << file;
        writePrefs("");
    }

    // The settings file beside the program: three folders, the given "Core" attributes and further
    // plug-in nodes.
    void writePrefs(const std::string& coreAttributes, const std::string& pluginNodes = "") {
        std::ostringstream xml;
        xml << "<Verbinox>\n    <Verbinox>\n        <Core" << coreAttributes << ">\n"
            << "            <PluginMgr>\n                <Diskdex>\n"
            << "                    <Indexer Path=\"" << folder.sub("tree\\docs")
            << "\" IncludeFilters=\"*.TXT;*.lnk;*.md\" ExcludeFilters=\"*uninstall*\" Recurse=\"true\""
               " MatchDirectories=\"true\" />\n"
            << "                    <Indexer Path=\"" << folder.sub("tree\\flat")
            << "\" IncludeFilters=\"\" ExcludeFilters=\"\" Recurse=\"false\" MatchDirectories=\"false\" />\n"
            << "                    <Indexer Path=\"rel\" Extensions=\"txt\" Recurse=\"true\" />\n"
            << "                </Diskdex>\n"
            << pluginNodes
            << "            </PluginMgr>\n        </Core>\n    "
               "</Verbinox>\n</Verbinox>\n";
        ASSERT_TRUE(folder.writeFile("prog\\Verbinox.xml", xml.str()));
    }

    Outcome vxsearch(const std::string& arguments) { return runVxsearch(folder, arguments, ++runs); }

    // The default properties (paths) of the result rows, relative to the temporary folder.
    std::set<std::string> paths(const Outcome& run) {
        std::set<std::string> out;
        for (const auto& row : run.rows) {
            if (row.size() == 3 && row[0] != "action")
                out.insert(row[2].compare(0, folder.path().size(), folder.path()) == 0
                               ? row[2].substr(folder.path().size())
                               : row[2]);
        }
        return out;
    }

    TempFolder folder;
    int runs = 0;
};

using Paths = std::set<std::string>;

} // namespace

TEST_F(Vxsearch, FindsFilesAndMatchingFoldersThroughFiltersAndRecursion) {
    Outcome run = vxsearch("notes");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(paths(run), (Paths{"tree\\docs\\notes.txt", "tree\\docs\\deep\\nested\\notes-deep.md",
                                 "tree\\docs\\Notes Folder\\"}))
        << "notes.bin fails the include filters, Uninstall Notes.lnk the exclude filter\n"
        << run.out << run.err;
}

TEST_F(Vxsearch, LiveModeFindsTheSameAsTheCache) {
    Outcome cached = vxsearch("notes");
    Outcome live = vxsearch("--live notes");
    EXPECT_EQ(live.exitCode, 0u) << live.err;
    EXPECT_EQ(paths(live), paths(cached));
    // A file created after the cache was built is seen live; a fresh process rebuilds its cache anyway.
    ASSERT_TRUE(folder.writeFile("tree\\docs\\notes-new.txt", "x"));
    EXPECT_EQ(paths(vxsearch("--live notes-new")), (Paths{"tree\\docs\\notes-new.txt"}));
}

TEST_F(Vxsearch, AWarmRunLoadsTheCacheTheColdOneBuiltAndSaysNothingAboutIt) {
    Outcome cold = vxsearch("notes");
    EXPECT_EQ(cold.exitCode, 0u) << cold.err;
    EXPECT_NE(cold.err.find("vxsearch: built the cache of " + folder.sub("tree\\docs") + ": "),
              std::string::npos)
        << cold.err;
    // Made while nothing ran, in a folder that was already cached: the check of folder times finds it.
    ASSERT_TRUE(folder.writeFile("tree\\docs\\deep\\notes-later.txt", "x"));
    Outcome warm = vxsearch("notes");
    EXPECT_EQ(warm.exitCode, 0u) << warm.err;
    EXPECT_EQ(warm.err.find("built the cache"), std::string::npos) << warm.err;
    EXPECT_EQ(paths(warm), (Paths{"tree\\docs\\notes.txt", "tree\\docs\\deep\\nested\\notes-deep.md",
                                  "tree\\docs\\Notes Folder\\", "tree\\docs\\deep\\notes-later.txt"}))
        << warm.out << warm.err;
}

TEST_F(Vxsearch, CaseSensitiveSearchComparesTheStoredNamesInBothModes) {
    writePrefs(" SearchCaseSensitive=\"true\"");
    EXPECT_EQ(paths(vxsearch("Notes")), (Paths{"tree\\docs\\Notes Folder\\"}));
    EXPECT_EQ(paths(vxsearch("--live Notes")), (Paths{"tree\\docs\\Notes Folder\\"}));
    EXPECT_EQ(paths(vxsearch("--live notes")),
              (Paths{"tree\\docs\\notes.txt", "tree\\docs\\deep\\nested\\notes-deep.md"}));
}

TEST_F(Vxsearch, StartOfStringOptionNeedsTheTextAtTheStart) {
    writePrefs(" SearchStrStart=\"true\"");
    EXPECT_EQ(paths(vxsearch("otes")), Paths{});
    EXPECT_EQ(vxsearch("otes").exitCode, 1u);
    EXPECT_EQ(paths(vxsearch("report")), (Paths{"tree\\docs\\Report 2024.TXT"}));
}

TEST_F(Vxsearch, NonRecursiveFoldersIgnoreTheirSubfolders) {
    EXPECT_EQ(paths(vxsearch("top")), (Paths{"tree\\flat\\top.txt"}));
    EXPECT_EQ(paths(vxsearch("below")), Paths{});
}

TEST_F(Vxsearch, ShortcutsShowTheirNameWithoutExtension) {
    Outcome run = vxsearch("editor");
    ASSERT_EQ(run.rows.size(), 1u) << run.out;
    ASSERT_EQ(run.rows[0].size(), 3u);
    EXPECT_EQ(run.rows[0][0], "Editor");
    EXPECT_EQ(run.rows[0][1], folder.sub("tree\\docs\\Editor"));
    EXPECT_EQ(run.rows[0][2], folder.sub("tree\\docs\\Editor.lnk"));
    Outcome report = vxsearch("report");
    ASSERT_EQ(report.rows.size(), 1u);
    EXPECT_EQ(report.rows[0][0], "Report 2024.TXT");
}

TEST_F(Vxsearch, RelativeFoldersAreTakenFromTheProgramsFolder) {
    EXPECT_EQ(paths(vxsearch("relnote")), (Paths{"prog\\rel\\relnote.txt"}));
    EXPECT_EQ(paths(vxsearch("--live relnote")), (Paths{"prog\\rel\\relnote.txt"}));
}

TEST_F(Vxsearch, KeywordActionsAreListedAndJsonLinesAreWellFormed) {
    Outcome run = vxsearch("--json cop");
    EXPECT_EQ(run.exitCode, 0u);
    ASSERT_EQ(run.rows.size(), 1u) << run.out;
    EXPECT_EQ(run.rows[0][0], "{\"kind\":\"action\",\"keyword\":\"copy\",\"name\":\"Copy\",\"description\":"
                              "\"Copy text to clipboard\"}");
    Outcome limited = vxsearch("--limit 1 notes");
    EXPECT_EQ(limited.rows.size(), 1u);
    Outcome engine = vxsearch("goo");
    ASSERT_EQ(engine.rows.size(), 1u) << engine.out;
    EXPECT_EQ(engine.rows[0], (std::vector<std::string>{"action", "google", "Google", "Google search"}));
}

TEST_F(Vxsearch, BadArgumentsExitWithTwoAndAMessage) {
    Outcome run = vxsearch("--frobnicate notes");
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_NE(run.err.find("unknown option --frobnicate"), std::string::npos) << run.err;
    EXPECT_EQ(vxsearch("").exitCode, 2u);
    Outcome help = vxsearch("--help");
    EXPECT_EQ(help.exitCode, 0u);
    EXPECT_NE(help.out.find("Usage: vxsearch"), std::string::npos);
}

TEST_F(Vxsearch, AMissingSettingsFileMeansThePluginDefaults) {
    ASSERT_TRUE(::DeleteFileA(folder.sub("prog\\Verbinox.xml").c_str()));
    Outcome run = vxsearch("zzqqxx-nothing-has-this-name");
    EXPECT_EQ(run.exitCode, 1u) << run.err;
    EXPECT_EQ(run.err.find("cannot be read"), std::string::npos) << run.err;
    char documents[MAX_PATH] = {};
    ASSERT_TRUE(::SHGetSpecialFolderPathA(nullptr, documents, CSIDL_PERSONAL, FALSE));
    EXPECT_NE(run.err.find(std::string("  ") + documents), std::string::npos)
        << "the presets' folders are listed\n"
        << run.err;
}

TEST_F(Vxsearch, NothingFoundIsExplainedWithTheFoldersSearched) {
    Outcome run = vxsearch("zzqqxx");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_NE(run.err.find("nothing found for \"zzqqxx\" in:"), std::string::npos) << run.err;
    // Standard error is in text mode: each line ends in CR LF.
    EXPECT_NE(run.err.find("  " + folder.sub("tree\\docs") + "\r\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("  " + folder.sub("prog\\rel") + "\r\n"), std::string::npos)
        << "relative folders are shown as searched\n"
        << run.err;
}

TEST_F(Vxsearch, ALiveSearchBuildsNoCacheFirst) {
    ASSERT_TRUE(::CopyFileA((programFolder() + "vx_test_plugin.vll").c_str(),
                            folder.sub("prog\\Plugins\\probe.vll").c_str(), FALSE));
    const std::string report = folder.sub("report.txt");
    ::SetEnvironmentVariableA("VX_TEST_PLUGIN_REPORT", report.c_str());
    Outcome live = vxsearch("--live hello-probe");
    Outcome cached = vxsearch("hello-probe");
    ::SetEnvironmentVariableA("VX_TEST_PLUGIN_REPORT", nullptr);
    EXPECT_EQ(live.rows.size(), 1u) << live.out << live.err;
    EXPECT_EQ(cached.rows.size(), 1u) << cached.out << cached.err;
    EXPECT_EQ(folder.readFile("report.txt"), "cache-builds=0\ncache-builds=1\n")
        << "the live run built a cache it then threw away";
}

TEST_F(Vxsearch, FindsOperaBookmarksBesideTheProgramRegisteredAsOperasMailClient) {
    // The local-machine key Opera registers; this throwaway prefix has no Opera of its own.
    const std::string command = "SOFTWARE\\Clients\\Mail\\Opera\\shell\\open\\command\\";
    CRegString registered(command, "", false, HKEY_LOCAL_MACHINE);
    ASSERT_EQ(std::string(registered), "") << "an Opera is registered in this prefix";
    struct RemoveKey {
        ~RemoveKey() { CRegBase("SOFTWARE\\Clients\\Mail\\Opera\\", HKEY_LOCAL_MACHINE).removeKey(); }
    } removeKey;
    for (const char* dir : {"Opera Web", "Opera Web\\Profile"})
        ASSERT_TRUE(folder.makeDir(dir));
    ASSERT_TRUE(folder.writeFile("Opera Web\\opera.exe", "MZ"));
    ASSERT_TRUE(folder.writeFile("Opera Web\\Profile\\Opera6.adr",
                                 "Opera Hotlist version 2.0\r\n\r\n#URL\r\n\tNAME=Daily News\r\n"
                                 "\tURL=http://news.example/today\r\n\r\n"));
    registered = "\"" + folder.sub("Opera Web\\opera.exe") + "\" -mail";
    ASSERT_TRUE(::CopyFileA((programFolder() + "Plugins\\Opera.vll").c_str(),
                            folder.sub("prog\\Plugins\\Opera.vll").c_str(), FALSE));

    Outcome run = vxsearch("daily");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    ASSERT_EQ(run.rows.size(), 1u) << run.out << run.err;
    EXPECT_EQ(run.rows[0], (std::vector<std::string>{"Daily News", "http://news.example/today",
                                                     "http://news.example/today"}));
}

namespace {

using Bookmark = std::pair<std::string, std::string>; // title and address
using Bookmarks = std::set<Bookmark>;
const Bookmark kNews{"Daily News", "http://news.example/today/Weather"};
const Bookmark kRadar{"Weather Radar", "https://radar.example/maps"};

// The real Explorer plug-in beside the program, and Favorites written where the shell is told they are.
class VxsearchExplorer : public Vxsearch {
protected:
    void SetUp() override {
        Vxsearch::SetUp();
        ASSERT_TRUE(::CopyFileA((programFolder() + "Plugins\\Explorer.vll").c_str(),
                                folder.sub("prog\\Plugins\\Explorer.vll").c_str(), FALSE));
        ASSERT_TRUE(folder.makeDir("Favorites"));
        ASSERT_TRUE(folder.makeDir("Favorites\\Media"));
        ASSERT_TRUE(
            folder.writeFile("Favorites\\Media\\Daily News.url", FavoritesFolder::shortcut(kNews.second)));
        ASSERT_TRUE(
            folder.writeFile("Favorites\\Weather Radar.URL", FavoritesFolder::shortcut(kRadar.second)));
        favorites = std::make_unique<FavoritesFolder>(folder.sub("Favorites"));
    }
    void TearDown() override { favorites.reset(); }

    // The URL results.
    static Bookmarks bookmarks(const Outcome& run) {
        Bookmarks out;
        for (const auto& row : run.rows) {
            if (row.size() == 3 && row[0] != "action" && row[1] == row[2])
                out.insert({row[0], row[2]});
        }
        return out;
    }

    std::unique_ptr<FavoritesFolder> favorites;
};

// A Firefox "installed" in the prefix's registry, with a profile under a private "APPDATA". The keys are
// the whole prefix's: tests of other processes that write them wait their turn.
class VxsearchFirefox : public Vxsearch {
protected:
    void SetUp() override {
        Vxsearch::SetUp();
        turn = ::CreateMutexA(nullptr, FALSE, "VxTestFirefoxRegistry");
        ASSERT_NE(turn, nullptr);
        ASSERT_NE(::WaitForSingleObject(turn, 120000), WAIT_TIMEOUT);
        owned = true;
        CRegString version(kKey + std::string("CurrentVersion"));
        ASSERT_EQ(std::string(version), "") << "a Firefox is registered in this prefix";
        version = "3.0 (en-US)";
        CRegString(kKey + std::string("3.0 (en-US)\\Main\\PathToExe")) = folder.sub("Firefox\\firefox.exe");

        char previous[MAX_PATH] = {};
        hadAppData = ::GetEnvironmentVariableA("APPDATA", previous, MAX_PATH) > 0;
        previousAppData = previous;
        ::SetEnvironmentVariableA("APPDATA", folder.sub("AppData").c_str());
        for (const char* dir :
             {"AppData", "AppData\\Mozilla", "AppData\\Mozilla\\Firefox",
              "AppData\\Mozilla\\Firefox\\Profiles", "AppData\\Mozilla\\Firefox\\Profiles\\x1.default"})
            ASSERT_TRUE(folder.makeDir(dir));
        const std::string profile = "AppData\\Mozilla\\Firefox\\";
        ASSERT_TRUE(
            folder.writeFile(profile + "profiles.ini",
                             "[Profile0]\r\nName=default\r\nIsRelative=1\r\nPath=Profiles/x1.default\r\n"));
        ASSERT_TRUE(folder.writeFile(profile + "Profiles\\x1.default\\bookmarks.html",
                                     "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n"
                                     "<DT><A HREF=\"http://fish.example/menu\">Fish &#38; Chips</A>\n"
                                     "<DT><A HREF=\"http://cafe.example/?a=1&b=2\">Coffee &amp; Cake</A>\n"
                                     "</DL><p>\n"));
        ASSERT_TRUE(folder.writeFile(profile + "Profiles\\x1.default\\history.dat",
                                     "<(80=LE)(8E=http://news.example/today)(8F=1162481349556250)\n"
                                     "  (90=https://secure.example/login)(91=http://news.example/today)>\n"));
        ASSERT_TRUE(::CopyFileA((programFolder() + "Plugins\\Firefox.vll").c_str(),
                                folder.sub("prog\\Plugins\\Firefox.vll").c_str(), FALSE));
    }
    void TearDown() override {
        if (owned) {
            CRegBase(kKey, HKEY_CURRENT_USER).removeKey();
            ::SetEnvironmentVariableA("APPDATA", hadAppData ? previousAppData.c_str() : nullptr);
            ::ReleaseMutex(turn);
        }
        if (turn)
            ::CloseHandle(turn);
    }
    // Searches in cached and in live mode; both must give the same URLs, which are returned.
    Paths urls(const std::string& text) {
        Paths cached = paths(vxsearch(text));
        EXPECT_EQ(paths(vxsearch("--live " + text)), cached) << text;
        return cached;
    }
    void writeOptions(const std::string& coreAttributes) {
        writePrefs(coreAttributes,
                   "                <Firefox SearchFfBookmarks=\"true\" SearchFfHistory=\"true\" />\n");
    }

    static constexpr const char* kKey = "Software\\Mozilla\\Mozilla Firefox\\";
    HANDLE turn = nullptr;
    bool owned = false;
    bool hadAppData = false;
    std::string previousAppData;
};

} // namespace

TEST_F(VxsearchExplorer, FavoritesAreFoundInSubFoldersFromTheCacheAndLive) {
    for (const char* live : {"", "--live "}) {
        Outcome run = vxsearch(std::string(live) + "news");
        EXPECT_EQ(run.exitCode, 0u) << run.err;
        EXPECT_EQ(bookmarks(run), (Bookmarks{kNews})) << run.out << run.err;
        EXPECT_EQ(bookmarks(vxsearch(std::string(live) + "radar.exa")), (Bookmarks{kRadar})) << "by domain";
        EXPECT_EQ(bookmarks(vxsearch(std::string(live) + "maps")), Bookmarks{}) << "the path is not matched";
    }
}

TEST_F(VxsearchExplorer, FavoritesFollowTheAddressAndCaseOptions) {
    writePrefs(" SearchUrlDomainOnly=\"false\"");
    EXPECT_EQ(bookmarks(vxsearch("maps")), (Bookmarks{kRadar})) << "the whole address";
    EXPECT_EQ(bookmarks(vxsearch("--live maps")), (Bookmarks{kRadar}));
    writePrefs(" SearchURLDescOnly=\"true\"");
    EXPECT_EQ(bookmarks(vxsearch("radar.exa")), Bookmarks{}) << "titles only";
    EXPECT_EQ(bookmarks(vxsearch("--live radar")), (Bookmarks{kRadar}));
    writePrefs(" SearchCaseSensitive=\"true\" SearchUrlDomainOnly=\"false\"");
    for (const char* live : {"", "--live "}) {
        EXPECT_EQ(bookmarks(vxsearch(std::string(live) + "Weather")), (Bookmarks{kNews, kRadar}));
        EXPECT_EQ(bookmarks(vxsearch(std::string(live) + "weather")), Bookmarks{});
        EXPECT_EQ(bookmarks(vxsearch(std::string(live) + "NEWS")), Bookmarks{});
    }
}

TEST_F(VxsearchExplorer, HistorySwitchedOnAddsNothingWhereThereIsNoHistoryService) {
    // Wine's history service cannot list anything; favorites are searched as before.
    writePrefs("", "                <Explorer SearchFavorites=\"true\" SearchHistory=\"true\" />\n");
    Outcome run = vxsearch("news");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(bookmarks(run), (Bookmarks{kNews}));
    writePrefs("", "                <Explorer SearchFavorites=\"false\" SearchHistory=\"true\" />\n");
    EXPECT_EQ(bookmarks(vxsearch("--live news")), Bookmarks{});
}

TEST_F(VxsearchFirefox, FindsBookmarksAndHistoryOfTheFirstProfile) {
    writeOptions("");
    Outcome run = vxsearch("chips");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    ASSERT_EQ(run.rows.size(), 1u) << run.out << run.err;
    EXPECT_EQ(run.rows[0], (std::vector<std::string>{"Fish & Chips", "http://fish.example/menu",
                                                     "http://fish.example/menu"}));
    EXPECT_EQ(urls("news.example"), (Paths{"http://news.example/today"})) << "listed twice, found once";
    EXPECT_EQ(urls("secure"), (Paths{"https://secure.example/login"}));
    EXPECT_EQ(urls("coffee & cake"), (Paths{"http://cafe.example/?a=1&b=2"}));

    writePrefs("");
    EXPECT_EQ(urls("news.example"), Paths{}) << "history is off unless switched on";
    EXPECT_EQ(urls("fish"), (Paths{"http://fish.example/menu"}));
}

TEST_F(VxsearchFirefox, TheUrlAndCaseOptionsAreHonouredInBothModes) {
    writeOptions("");
    EXPECT_EQ(urls("menu"), Paths{}) << "by default only the domain of an address is matched";
    EXPECT_EQ(urls("fish.example"), (Paths{"http://fish.example/menu"}));
    writeOptions(" SearchUrlDomainOnly=\"false\"");
    EXPECT_EQ(urls("menu"), (Paths{"http://fish.example/menu"}));
    EXPECT_EQ(urls("today"), (Paths{"http://news.example/today"}));
    writeOptions(" SearchURLDescOnly=\"true\"");
    EXPECT_EQ(urls("fish.example"), Paths{});
    EXPECT_EQ(urls("news"), Paths{});
    EXPECT_EQ(urls("fish"), (Paths{"http://fish.example/menu"}));
    writeOptions(" SearchCaseSensitive=\"true\"");
    EXPECT_EQ(urls("chips"), Paths{});
    EXPECT_EQ(urls("Chips"), (Paths{"http://fish.example/menu"}));
}

TEST_F(VxsearchFirefox, PlacesDatabasesOfEveryProfileAreSearchedWithTheOptionsInBothModes) {
    // A second profile outside the Firefox folder, kept the way the browser of today keeps it.
    ASSERT_TRUE(folder.makeDir("Today"));
    ASSERT_TRUE(
        folder.writeFile("AppData\\Mozilla\\Firefox\\profiles.ini",
                         "[Profile0]\r\nName=default\r\nIsRelative=1\r\nPath=Profiles/x1.default\r\n\r\n"
                         "[Profile1]\r\nName=today\r\nIsRelative=0\r\nPath=" +
                             folder.sub("Today") + "\r\n"));
    {
        PlacesDatabase places(folder.sub("Today\\places.sqlite"));
        places.addBookmark(places.addFolder(PlacesDatabase::Menu, "Food"),
                           "http://market.example/fish/stalls", "Fish Market");
        places.addPage("https://weather.example/today", "Rain Radar", 4, PlacesDatabase::nowMicroseconds(),
                       800);
    }
    writeOptions("");
    Outcome run = vxsearch("market");
    ASSERT_EQ(run.rows.size(), 1u) << run.out << run.err;
    EXPECT_EQ(run.rows[0], (std::vector<std::string>{"Fish Market", "Bookmarks Menu/Food",
                                                     "http://market.example/fish/stalls"}));
    EXPECT_EQ(urls("chips"), (Paths{"http://fish.example/menu"})) << "the other profile's bookmarks.html";
    EXPECT_EQ(urls("stalls"), Paths{}) << "by default only the domain of an address is matched";
    EXPECT_EQ(urls("radar"), (Paths{"https://weather.example/today"}));
    writeOptions(" SearchUrlDomainOnly=\"false\"");
    EXPECT_EQ(urls("stalls"), (Paths{"http://market.example/fish/stalls"}));
    writeOptions(" SearchURLDescOnly=\"true\"");
    EXPECT_EQ(urls("weather.example"), Paths{});
    EXPECT_EQ(urls("radar"), (Paths{"https://weather.example/today"}));
    writeOptions(" SearchCaseSensitive=\"true\"");
    EXPECT_EQ(urls("radar"), Paths{});
    EXPECT_EQ(urls("Radar"), (Paths{"https://weather.example/today"}));
}

namespace {

// vxsearch over a source whose results carry the rank keys its settings give, and Diskdex over a file
// no program opens.
class VxsearchRanked : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(makeVxsearchFolder(folder, {"Plugins\\Diskdex.vll"}));
        ASSERT_TRUE(::CopyFileA((programFolder() + "vx_test_plugin.vll").c_str(),
                                folder.sub("prog\\Plugins\\ranked.vll").c_str(), FALSE));
        ASSERT_TRUE(folder.makeDir("tree"));
        ASSERT_TRUE(folder.writeFile("tree\\orphan.zzqx", "x"));
        writePrefs("");
    }

    void writePrefs(const std::string& coreAttributes) {
        std::ostringstream xml;
        xml << "<Verbinox>\n    <Verbinox>\n        <Core" << coreAttributes << ">\n"
            << "            <PluginMgr>\n"
            << "                <ranked Items=\"alpha low=1;alpha top=9;alpha mid a=5;alpha mid b=5\" />\n"
            << "                <Diskdex>\n"
            << "                    <Indexer Path=\"" << folder.sub("tree")
            << "\" IncludeFilters=\"\" ExcludeFilters=\"\" Recurse=\"false\" MatchDirectories=\"false\" />\n"
            << "                </Diskdex>\n"
            << "            </PluginMgr>\n        </Core>\n    </Verbinox>\n</Verbinox>\n";
        ASSERT_TRUE(folder.writeFile("prog\\Verbinox.xml", xml.str()));
    }

    Outcome vxsearch(const std::string& arguments) {
        return runVxsearch(folder, "--choices \"" + choices() + "\" " + arguments, ++runs);
    }
    std::string choices() const { return folder.sub("Choices.vxc"); }

    static std::vector<std::string> texts(const Outcome& run) {
        std::vector<std::string> out;
        for (const auto& row : run.rows)
            out.push_back(row.at(0));
        return out;
    }

    TempFolder folder;
    int runs = 0;
};

using Texts = std::vector<std::string>;

bool setClipboardText(const std::wstring& text) {
    if (!::OpenClipboard(nullptr))
        return false;
    ::EmptyClipboard();
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    bool ok = false;
    if (block) {
        std::memcpy(::GlobalLock(block), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        ::GlobalUnlock(block);
        ok = ::SetClipboardData(CF_UNICODETEXT, block) != nullptr;
        if (!ok)
            ::GlobalFree(block);
    }
    ::CloseClipboard();
    return ok;
}

std::wstring clipboardText() {
    std::wstring text;
    if (!::OpenClipboard(nullptr))
        return text;
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const wchar_t* chars = static_cast<const wchar_t*>(::GlobalLock(data))) {
            text = chars;
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    return text;
}

} // namespace

TEST_F(VxsearchRanked, ResultsArePrintedBestFirstAndEqualKeysKeepTheOrderTheyCameIn) {
    Outcome run = vxsearch("alpha");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(texts(run), (Texts{"alpha top", "alpha mid a", "alpha mid b", "alpha low"})) << run.out;
}

TEST_F(VxsearchRanked, LimitKeepsTheBestResults) {
    Outcome run = vxsearch("--limit 2 alpha");
    EXPECT_EQ(texts(run), (Texts{"alpha top", "alpha mid a"})) << run.out;
}

TEST_F(VxsearchRanked, WithRankingOffResultsKeepTheOrderTheyCameIn) {
    writePrefs(" RankResults=\"false\"");
    Outcome run = vxsearch("alpha");
    EXPECT_EQ(texts(run), (Texts{"alpha low", "alpha top", "alpha mid a", "alpha mid b"})) << run.out;
}

TEST_F(VxsearchRanked, RunOpensTheNthResultAndTheNextSearchForItsTextRanksItFirst) {
    ASSERT_TRUE(setClipboardText(L"before"));
    Outcome run = vxsearch("--run 3 alpha");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(clipboardText(), L"alpha mid b") << "a text result's default action copies it";
    EXPECT_EQ(texts(vxsearch("alpha")), (Texts{"alpha mid b", "alpha top", "alpha mid a", "alpha low"}));
    EXPECT_EQ(texts(vxsearch("alp")).at(0), "alpha mid b") << "a text the chosen one starts with";
    EXPECT_EQ(texts(vxsearch("alpha mid")).at(0), "alpha mid a") << "chosen for a shorter text only";
}

TEST_F(VxsearchRanked, RunWithLearningOffOpensTheResultAndRemembersNothing) {
    writePrefs(" LearnChoices=\"false\"");
    ASSERT_TRUE(setClipboardText(L"before"));
    Outcome run = vxsearch("--run 2 alpha");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(clipboardText(), L"alpha mid a");
    EXPECT_EQ(::GetFileAttributesA(choices().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(texts(vxsearch("alpha")).at(0), "alpha top");
}

TEST_F(VxsearchRanked, RunOfAResultThatWasNotPrintedFailsWithAMessageAndRemembersNothing) {
    Outcome beyond = vxsearch("--run 5 alpha");
    EXPECT_EQ(beyond.exitCode, 2u);
    EXPECT_NE(beyond.err.find("there is no result 5; 4 were printed"), std::string::npos) << beyond.err;
    EXPECT_EQ(texts(beyond).size(), 4u) << "the results are still listed";
    Outcome limited = vxsearch("--limit 1 --run 2 alpha");
    EXPECT_EQ(limited.exitCode, 2u);
    EXPECT_NE(limited.err.find("there is no result 2; 1 was printed"), std::string::npos) << limited.err;
    for (const char* bad : {"--run 0 alpha", "--run x alpha", "--run -1 alpha", "alpha --run"}) {
        Outcome run = vxsearch(bad);
        EXPECT_EQ(run.exitCode, 2u) << bad;
        EXPECT_NE(run.err.find("--run needs the number of a result"), std::string::npos) << bad << run.err;
    }
    EXPECT_EQ(::GetFileAttributesA(choices().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(VxsearchRanked, ARunThatFailsExitsWithTwoAndRemembersNothing) {
    Outcome run = vxsearch("--run 1 orphan");
    ASSERT_EQ(texts(run).size(), 1u) << run.out << run.err;
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_NE(run.err.find("orphan.zzqx\" could not be run"), std::string::npos) << run.err;
    EXPECT_EQ(::GetFileAttributesA(choices().c_str()), INVALID_FILE_ATTRIBUTES);
}
