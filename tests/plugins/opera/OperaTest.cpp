#include "support/CoreFixture.h"
#include "support/RecordingUrlSink.h"
#include "support/ShellCapture.h"
#include "support/TempFolder.h"
#include "support/UrlConfirmCapture.h"
#include "support/Watchdog.h"

#include "OperaBookmarksIndexer.h"
#include "OperaPlugin.h"
#include "model/VFileResult.h"
#include "util/CacheFile.h"
#include "util/VxText.h"
#include "util/Win32Handle.h"

#include <set>

namespace {

// The plug-in with its two look-ups pointed at a temporary folder.
class PointedOperaPlugin : public VOperaPlugin {
public:
    std::string appData, command;
    bool refuse = false; // the core refuses the indexer

protected:
    std::string appDataFolder() const override { return appData; }
    std::string mailClientCommand() const override { return command; }
    bool registerIndexer(VOperaBookmarksIndexer* created) override {
        return !refuse && VOperaPlugin::registerIndexer(created);
    }
};

const char kBookmarks[] = "Opera Hotlist version 2.0\r\n"
                          "Options: encoding = utf8, version=3\r\n"
                          "\r\n"
                          "#FOLDER\r\n"
                          "\tNAME=Folder of news\r\n"
                          "\tURL=http://folder.example/\r\n"
                          "\r\n"
                          "#URL\r\n"
                          "\tID=12\r\n"
                          "\tNAME=Daily News\r\n"
                          "\tURL=http://news.example/today\r\n"
                          "\tCREATED=1100000000\r\n"
                          "\r\n"
                          "  #URL\r\n"
                          "\tNAME=Indented opener\r\n"
                          "\tURL=http://indented.example/\r\n"
                          "\r\n"
                          "#URL\n"
                          "\tURL=http://weather.example/  \n"
                          "\tNAME=Weather report  \n"
                          "\n"
                          "#URL\r\n"
                          "\tNAME=Unfinished news\r\n"
                          "\tURL=http://unfinished.example/";

// Text as a UTF-16 file with its byte-order mark, the way Opera may write it.
std::string utf16File(const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text)
        bytes += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return bytes;
}

class Opera : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        listener = new CollectingListener();
        core->registerResultListener(listener);
        plugin = new PointedOperaPlugin();
        plugin->appData = folder.sub("AppData");
        ASSERT_TRUE(folder.makeDir("AppData"));
        // Caches kept between runs go to a folder of the test's own: one test's never serves the next.
        ASSERT_TRUE(folder.makeDir("cache"));
        vx::setCacheFolder(folder.sub("cache\\"));
    }
    void TearDown() override {
        core->unregisterPlugin(plugin);
        plugin->deleteThis();
        vx::setCacheFolder(std::string());
        CoreTest::TearDown();
    }

    void writeProfileBookmarks(const std::string& bytes) {
        for (const char* dir : {"AppData\\Opera", "AppData\\Opera\\Opera", "AppData\\Opera\\Opera\\Profile"})
            folder.makeDir(dir);
        ASSERT_TRUE(folder.writeFile("AppData\\Opera\\Opera\\Profile\\Opera6.adr", bytes));
    }

    // Starts the plug-in and waits for the indexer's first cache.
    bool startPlugin() { return plugin->startUp() && plugin->getIndexer()->waitForRebuild(10000); }
    // The cache read again from the file as it is now.
    void reread() {
        plugin->getIndexer()->updateCache();
        ASSERT_TRUE(plugin->getIndexer()->waitForRebuild(10000));
    }

    std::set<std::string> search(const std::string& text) {
        listener->clear();
        uint32_t id = 0;
        core->startSeach(text, id);
        EXPECT_TRUE(waitForWorkers());
        core->cancelSearch(id);
        std::vector<std::string> texts = listener->texts();
        return std::set<std::string>(texts.begin(), texts.end());
    }

    TempFolder folder;
    PointedOperaPlugin* plugin = nullptr;
    CollectingListener* listener = nullptr;
};

using Names = std::set<std::string>;

} // namespace

TEST_F(Opera, OnlyCompleteUrlEntriesOpenedAtTheLineStartAreFoundInBothModes) {
    writeProfileBookmarks(kBookmarks);
    ASSERT_TRUE(startPlugin());
    EXPECT_EQ(plugin->getIndexer()->getCachedCount(), 2u);
    for (bool live : {false, true}) {
        core->setLiveSearching(live);
        EXPECT_EQ(search("news"), (Names{"Daily News"}))
            << "folder, indented and unfinished entries are not read";
        EXPECT_EQ(search("weather.example"), (Names{"Weather report"})) << "URL after NAME, both trimmed";
        EXPECT_EQ(search("indented"), Names{});
    }
}

TEST_F(Opera, WithUrlDescriptionsOnlyTheNamesAreMatched) {
    writeProfileBookmarks(kBookmarks);
    ASSERT_TRUE(startPlugin());
    core->setSearchUrlDescriptionsOnly(true);
    EXPECT_EQ(search("today"), Names{});
    EXPECT_EQ(search("daily"), (Names{"Daily News"}));
}

TEST_F(Opera, TheFileIsReadInItsOwnEncoding) {
    writeProfileBookmarks(
        utf16File(L"#URL\r\n\tNAME=Caf\xE9 \x6771\x4EAC\r\n\tURL=http://cafe.example/\r\n\r\n"));
    ASSERT_TRUE(startPlugin());
    EXPECT_EQ(search("caf"), (Names{"Caf\xE9 ??"})) << "converted to the active code page, 1252 here";
}

TEST_F(Opera, ABookmarkOpensInTheProgramOfTheRegisteredCommandWithoutItsArguments) {
    ASSERT_TRUE(folder.makeDir("Opera Browser"));
    ASSERT_TRUE(folder.makeDir("Opera Browser\\Profile"));
    ASSERT_TRUE(folder.writeFile("Opera Browser\\opera.exe", "MZ"));
    ASSERT_TRUE(folder.writeFile("Opera Browser\\Profile\\Opera6.adr", kBookmarks));
    plugin->command = "\"" + folder.sub("Opera Browser\\opera.exe") + "\" -mail \"%1\"";
    ASSERT_TRUE(startPlugin()) << "no profile file: the bookmarks beside the program are used";
    EXPECT_EQ(plugin->getIndexer()->getBookmarkFile(), folder.sub("Opera Browser\\Profile\\Opera6.adr"));
    EXPECT_EQ(plugin->getBrowserPath(), folder.sub("Opera Browser\\opera.exe"));

    core->setOpenUrlsInPluginsBrowser(true);
    ShellCapture shell;
    VUrlResult* result = VUrlResult::createInstance(plugin);
    result->setUrl("http://news.example/today");
    EXPECT_TRUE(result->select());
    result->deleteThis();
    ASSERT_EQ(ShellCapture::requests().size(), 1u);
    EXPECT_EQ(ShellCapture::requests()[0].file, folder.sub("Opera Browser\\opera.exe"));
    EXPECT_EQ(ShellCapture::requests()[0].parameters, "\"http://news.example/today\"");
}

TEST_F(Opera, WithoutABookmarkFileThePluginDeclinesToStart) {
    EXPECT_FALSE(plugin->startUp()) << "no profile file and no command";
    plugin->command = "opera.exe -mail";
    ASSERT_TRUE(folder.makeDir("Profile"));
    ASSERT_TRUE(folder.writeFile("Profile\\Opera6.adr", kBookmarks));
    ASSERT_TRUE(::SetCurrentDirectoryA(folder.path().c_str()));
    EXPECT_FALSE(plugin->startUp()) << "a program without a folder says nothing about where its files are";
    ::SetCurrentDirectoryA(programFolder().c_str());
    plugin->appData.clear();
    writeProfileBookmarks(kBookmarks);
    EXPECT_FALSE(plugin->startUp()) << "no application-data folder";
    EXPECT_EQ(plugin->getIndexer(), nullptr);
}

TEST_F(Opera, TheProgramOfACommandLineIsFoundAsWindowsFindsIt) {
    ASSERT_TRUE(folder.makeDir("Program Files"));
    ASSERT_TRUE(folder.makeDir("Program Files\\Opera"));
    ASSERT_TRUE(folder.writeFile("Program Files\\Opera\\opera.exe", "MZ"));
    const std::string exe = folder.sub("Program Files\\Opera\\opera.exe");
    EXPECT_EQ(VOperaPlugin::programOfCommand("  \"" + exe + "\" -mail"), exe);
    EXPECT_EQ(VOperaPlugin::programOfCommand("\"C:\\No Such\\opera.exe"), "C:\\No Such\\opera.exe");
    EXPECT_EQ(VOperaPlugin::programOfCommand(exe + " -mail \"%1\""), exe) << "unquoted, with blanks";
    EXPECT_EQ(VOperaPlugin::programOfCommand(folder.sub("Program Files\\Opera\\opera -mail")), exe);
    EXPECT_EQ(VOperaPlugin::programOfCommand("C:\\Nowhere\\x.exe /a /b"), "C:\\Nowhere\\x.exe");
    ::SetEnvironmentVariableA("VX_OPERA_TEST_HOME", folder.sub("Program Files").c_str());
    EXPECT_EQ(VOperaPlugin::programOfCommand("\"%VX_OPERA_TEST_HOME%\\Opera\\opera.exe\" -mail"), exe);
    ::SetEnvironmentVariableA("VX_OPERA_TEST_HOME", nullptr);
    EXPECT_EQ(VOperaPlugin::programOfCommand("   "), "");
}

TEST_F(Opera, CutMutatedAndHugeBookmarkFilesAreReadInBoundedTime) {
    writeProfileBookmarks(kBookmarks);
    ASSERT_TRUE(startPlugin());
    VOperaBookmarksIndexer* indexer = plugin->getIndexer();
    // Each encoding the reader tells apart: plain bytes, UTF-16 with its mark (whose cuts leave odd byte
    // counts), and UTF-8 without a mark that ends in half a character.
    std::wstring wide(kBookmarks, kBookmarks + sizeof(kBookmarks) - 1);
    wide.replace(wide.find(L"Daily"), 5, L"D\x00E4ily \xD83D\xDCF0");
    const std::string files[] = {kBookmarks, utf16File(wide),
                                 vx::narrowed(wide, CP_UTF8) + "\r\n\r\n#URL\r\n\tNAME=Half \xE2\x82"};
    mustFinishWithin(90000, "cut, mutated and huge Opera6.adr files", [&] {
        for (const std::string& whole : files) {
            // Every cut-short length: a cut that ends in a line end closes the unfinished last entry, so
            // at most the three entries that open at a line start.
            for (std::size_t length = 0; length <= whole.size(); ++length) {
                writeProfileBookmarks(whole.substr(0, length));
                reread();
                EXPECT_LE(indexer->getCachedCount(), 3u) << length;
            }
            // Bytes replaced by the ones the reader cares about, and by NUL and high bytes.
            const char alphabet[] = "#\r\n=URLNAME \x00\xFF\xFE\xEF\xBB\xBF\xD8\xDC\x80";
            unsigned seed = 12345;
            for (int round = 0; round < 300; ++round) {
                std::string bytes = whole;
                for (int k = 0; k < 6; ++k) {
                    seed = seed * 1103515245u + 12345u;
                    bytes[(seed >> 8) % bytes.size()] = alphabet[(seed >> 20) % (sizeof(alphabet) - 1)];
                }
                writeProfileBookmarks(bytes);
                reread();
                EXPECT_LE(indexer->getCachedCount(), 3u);
                if (round % 50 == 0)
                    search("a");
            }
        }
        writeProfileBookmarks(files[1]);
        reread();
        const std::size_t whole = indexer->getCachedCount();
        EXPECT_GE(whole, 2u);
        writeProfileBookmarks(files[1] + "\r");
        reread();
        EXPECT_EQ(indexer->getCachedCount(), whole) << "a stray last byte of a UTF-16 file loses no entry";
        writeProfileBookmarks("#URL\r\n\tNAME=No address\r\n\r\n");
        reread();
        EXPECT_EQ(indexer->getCachedCount(), 0u) << "an entry without an address opens nothing";
        // A 4 MB line with no line end, then 20,000 entries.
        std::string huge = "Opera Hotlist version 2.0\r\n" + std::string(4 << 20, 'x') + "\r\n";
        for (int i = 0; i < 20000; ++i)
            huge += "#URL\r\n\tNAME=entry" + std::to_string(i) + "\r\n\tURL=http://e" + std::to_string(i) +
                    ".example/\r\n\r\n";
        writeProfileBookmarks(huge);
        reread();
        EXPECT_EQ(indexer->getCachedCount(), 20000u);
        EXPECT_EQ(search("entry19999"), (Names{"entry19999"}));
    });
}

TEST_F(Opera, StoredProgramsAndSwitchesStartNothingUnasked) {
    writeProfileBookmarks(
        utf16File(L"#URL\r\n\tNAME=Hidden program\r\n\tURL=C:\\Windows\\System32\\calc.exe\r\n\r\n"
                  L"#URL\r\n\tNAME=Hidden search\r\n\tURL=\"search-ms:query=x\"\r\n\r\n"
                  L"#URL\r\n\tNAME=Hidden switch\r\n\tURL=--gpu-launcher=x\r\n\r\n"
                  L"#URL\r\n\tNAME=Hidden fullwidth\r\n\tURL=\xFF0D\xFF0Dgpu-launcher=x\r\n\r\n"));
    plugin->command = "\"C:\\Program Files\\Opera\\opera.exe\" -mail";
    ASSERT_TRUE(startPlugin());
    ShellCapture shell;
    UrlConfirmCapture user;
    EXPECT_EQ(search("hidden").size(), 4u);
    std::set<std::string> addresses;
    for (VResult* result : listener->results()) {
        addresses.insert(static_cast<VUrlResult*>(result)->getUrl());
        EXPECT_FALSE(result->select());
    }
    EXPECT_EQ(addresses, (std::set<std::string>{"C:\\Windows\\System32\\calc.exe", "\"search-ms:query=x\"",
                                                "--gpu-launcher=x", "%EF%BC%8D%EF%BC%8Dgpu-launcher=x"}));
    EXPECT_EQ(UrlConfirmCapture::asked().size(), 4u) << "the quoted scheme too";

    // Opera's switches have no end marker here: an address that could pass for one is refused, and
    // nobody is asked a question no answer would make safe.
    core->setOpenUrlsInPluginsBrowser(true);
    UrlConfirmCapture::answer() = true;
    UrlConfirmCapture::asked().clear();
    for (const char* title : {"switch", "fullwidth"}) {
        search(title);
        ASSERT_EQ(listener->results().size(), 1u) << title;
        EXPECT_FALSE(listener->results()[0]->select()) << title;
    }
    EXPECT_TRUE(UrlConfirmCapture::asked().empty());
    EXPECT_TRUE(ShellCapture::requests().empty());
}

TEST_F(Opera, AFileWithoutAMarkThatIsValidUtf8IsReadAsUtf8) {
    writeProfileBookmarks("Opera Hotlist version 2.0\r\nOptions: encoding = utf8, version=3\r\n\r\n"
                          "#URL\r\n\tNAME=Caf\xC3\xA9 cr\xC3\xA8me\r\n\tURL=http://cafe.example/\r\n\r\n");
    ASSERT_TRUE(startPlugin());
    EXPECT_EQ(search("cafe.example"), (Names{"Caf\xE9 cr\xE8me"})) << "in the active code page, 1252 here";
    writeProfileBookmarks("#URL\r\n\tNAME=Caf\xE9 cr\xE8me\r\n\tURL=http://cafe.example/\r\n\r\n");
    reread();
    EXPECT_EQ(search("cafe.example"), (Names{"Caf\xE9 cr\xE8me"}))
        << "a file that is no UTF-8 keeps its bytes";
}

TEST_F(Opera, AnEntryWithoutANameDoesNotTakeTheNameOfTheOneBefore) {
    writeProfileBookmarks("#URL\r\n\tNAME=Named page\r\n\tURL=http://named.example/\r\n\r\n"
                          "#URL\r\n\tURL=http://nameless.example/\r\n\r\n");
    ASSERT_TRUE(startPlugin());
    for (bool live : {false, true}) {
        core->setLiveSearching(live);
        EXPECT_EQ(search("nameless"), (Names{"http://nameless.example/"})) << live;
        EXPECT_EQ(search("named page"), (Names{"Named page"})) << live;
    }
}

TEST_F(Opera, AListedResultKeepsItsIconAfterItsIndexerIsGone) {
    writeProfileBookmarks(kBookmarks);
    ASSERT_TRUE(startPlugin());
    ASSERT_EQ(search("daily"), (Names{"Daily News"}));
    const HICON icon = listener->results().at(0)->getIcon();
    ASSERT_NE(icon, nullptr);
    // As when the core refreshes or drops its sources while the list still shows the result.
    core->unregisterIndexer(plugin->getIndexer());
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(icon, &info)) << "the icon was destroyed with the indexer";
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
}

TEST_F(Opera, AnIndexerTheCoreRefusesIsDestroyedAndThePluginDeclines) {
    writeProfileBookmarks(kBookmarks);
    plugin->refuse = true;
    const long before = VIndexer::getLiveIndexerCount();
    EXPECT_FALSE(plugin->startUp());
    EXPECT_EQ(plugin->getIndexer(), nullptr);
    EXPECT_EQ(VIndexer::getLiveIndexerCount(), before) << "the refused indexer was left alive";
    EXPECT_EQ(core->getNumIndexers(), 0);
}

TEST_F(Opera, TheReaderHandsOnEntriesInFileOrderUntilStoppedOrFull) {
    writeProfileBookmarks(kBookmarks);
    const std::string file = folder.sub("AppData\\Opera\\Opera\\Profile\\Opera6.adr");
    RecordingUrlSink all;
    EXPECT_TRUE(VOperaBookmarksIndexer::readBookmarkFile(file, all, [] { return false; }));
    EXPECT_EQ(all.entries,
              (std::vector<RecordingUrlSink::Entry>{{"http://news.example/today", "Daily News", "", 0},
                                                    {"http://weather.example/", "Weather report", "", 0}}));
    RecordingUrlSink stopped;
    StopAfter stop{1};
    EXPECT_FALSE(VOperaBookmarksIndexer::readBookmarkFile(file, stopped, stop.get()));
    EXPECT_EQ(stopped.urls(), std::vector<std::string>{"http://news.example/today"});
    RecordingUrlSink full;
    full.room = 1;
    EXPECT_FALSE(VOperaBookmarksIndexer::readBookmarkFile(file, full, [] { return false; }));
    EXPECT_EQ(full.entries.size(), 1u);
    RecordingUrlSink none;
    EXPECT_TRUE(VOperaBookmarksIndexer::readBookmarkFile(folder.sub("nothing.adr"), none, [] {
        return false;
    })) << "a file that is not there has no bookmarks";
    EXPECT_TRUE(none.entries.empty());
}

TEST_F(Opera, AFileOperaHoldsWhileWritingItKeepsTheCacheItHad) {
    writeProfileBookmarks(kBookmarks);
    ASSERT_TRUE(startPlugin());
    const std::string file = plugin->getIndexer()->getBookmarkFile();
    // No sharing at all, as a program holds a file it rewrites.
    vx::CHandle held;
    held.Attach(
        ::CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.IsValid());
    RecordingUrlSink sink;
    EXPECT_FALSE(VOperaBookmarksIndexer::readBookmarkFile(file, sink, [] { return false; }));
    reread();
    EXPECT_EQ(plugin->getIndexer()->getCachedCount(), 2u) << "an unreadable file is no empty one";
    EXPECT_EQ(search("daily"), (Names{"Daily News"}));
}

TEST_F(Opera, ABookmarkAddedInOperaIsFoundWithoutAskingForTheCache) {
    writeProfileBookmarks(kBookmarks);
    ASSERT_TRUE(startPlugin());
    ASSERT_EQ(search("recipes"), Names{});
    writeProfileBookmarks(std::string(kBookmarks) +
                          "\r\n\r\n#URL\r\n\tNAME=Recipes\r\n\tURL=http://recipes.example/\r\n\r\n");
    Names found;
    for (int waited = 0; waited < 5000 && found.empty(); waited += 100) {
        ::Sleep(100);
        found = search("recipes");
    }
    EXPECT_EQ(found, (Names{"Recipes"}));
}
