// The preferences dialog, driven by messages on a hidden dialog on a real (Xvfb) display.
#include "ExplorerFixture.h"

#include "ExplorerPrefsDlg.h"
#include "resource.h"
#include "support/Watchdog.h"

namespace {

std::string windowText(HWND window) {
    char text[256] = {};
    ::GetWindowTextA(window, text, sizeof(text));
    return text;
}

class ExplorerPrefsDlgTest : public ExplorerTest {
protected:
    void TearDown() override {
        dialog.reset();
        ExplorerTest::TearDown();
    }
    HWND open() {
        dialog = std::make_unique<ExplorerPrefsDlg>(plugin);
        return dialog->create(nullptr, false);
    }
    HWND item(int id) const { return ::GetDlgItem(dialog->getHwnd(), id); }
    bool checked(int id) const { return ::IsDlgButtonChecked(dialog->getHwnd(), id) == BST_CHECKED; }
    void click(int id) { ::SendMessageA(item(id), BM_CLICK, 0, 0); }
    // Opens the dialog, sets both boxes and presses the button.
    void choose(bool favorites, bool history, int button = IDOK) {
        open();
        if (checked(IDC_SEARCH_FAVORITES) != favorites)
            click(IDC_SEARCH_FAVORITES);
        if (checked(IDC_SEARCH_HISTORY) != history)
            click(IDC_SEARCH_HISTORY);
        click(button);
        EXPECT_EQ(dialog->getHwnd(), nullptr) << "the button closes the dialog";
    }
    // Waits until a search thread is busy listing the history.
    static bool historyIsBeingListed() {
        const int before = fakeHistory->recordsHandedOut.load();
        for (int waited = 0; waited < 10000 && fakeHistory->recordsHandedOut.load() < before + 10;
             waited += 5)
            ::Sleep(5);
        return fakeHistory->recordsHandedOut.load() >= before + 10;
    }

    std::unique_ptr<ExplorerPrefsDlg> dialog;
};

} // namespace

TEST_F(ExplorerPrefsDlgTest, TheBoxesShowWhichIndexersRunAndOnlyOkSwitchesThem) {
    plugin->loadPrefs(nullptr);
    auto* favorites = plugin->getFavoritesIndexer();
    HWND window = open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(windowText(window), "Explorer Preferences");
    EXPECT_EQ(windowText(item(IDC_SEARCH_FAVORITES)), "Search Explorer Favorites");
    EXPECT_EQ(windowText(item(IDC_SEARCH_HISTORY)), "Search Explorer history");
    EXPECT_TRUE(checked(IDC_SEARCH_FAVORITES));
    EXPECT_FALSE(checked(IDC_SEARCH_HISTORY));

    choose(false, true, IDCANCEL);
    EXPECT_EQ(plugin->getFavoritesIndexer(), favorites);
    EXPECT_EQ(plugin->getHistoryIndexer(), nullptr);
    choose(false, true);
    EXPECT_EQ(plugin->getFavoritesIndexer(), nullptr);
    EXPECT_NE(plugin->getHistoryIndexer(), nullptr);
    EXPECT_EQ(core->getNumIndexers(), 1);
}

TEST_F(ExplorerPrefsDlgTest, IndexersAreSwitchedOffAndOnSafelyWhileASearchRuns) {
    for (const char* name : {"One.url", "Two.url", "Three.url"})
        ASSERT_TRUE(writeFavorite(name, std::string("http://") + name + ".example/"));
    // A history without end: only a cancelled search leaves its listing.
    fakeHistory->endless = true;
    core->setLiveSearching(true);
    plugin->setSearchFavorites(true);
    plugin->setSearchHistory(true);

    mustFinishWithin(60000, "switching the indexers during a search", [&] {
        uint32_t id = 0;
        core->startSeach("example", id);
        ASSERT_TRUE(historyIsBeingListed());
        choose(true, false);
        EXPECT_EQ(plugin->getHistoryIndexer(), nullptr) << "its search was stopped and it went";
        EXPECT_TRUE(waitForWorkers());
        EXPECT_EQ(search("example"), (Names{"One", "Two", "Three"})) << "nothing of the stopped listing";

        // On again in the middle of a search, favorites off at the same time.
        core->startSeach("example", id);
        choose(false, true);
        ASSERT_NE(plugin->getHistoryIndexer(), nullptr);
        EXPECT_EQ(core->getNumIndexers(), 1);
        EXPECT_TRUE(waitForWorkers());

        // The fresh indexer searches, and a cancelled search ends its listing and posts nothing.
        listener->clear();
        core->startSeach("example", id);
        ASSERT_TRUE(historyIsBeingListed());
        core->cancelSearch(id);
        EXPECT_TRUE(waitForWorkers());
        EXPECT_TRUE(listener->texts().empty());
    });
}
