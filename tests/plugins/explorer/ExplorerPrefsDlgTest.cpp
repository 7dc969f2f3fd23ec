// The preferences dialog, driven by messages on a hidden dialog on a real (Xvfb) display.
#include "ExplorerFixture.h"

#include "ExplorerPrefsDlg.h"
#include "resource.h"
#include "support/Watchdog.h"

#include <memory>

namespace {

void pump() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

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
        HWND window = dialog->create(nullptr, false);
        pump();
        return window;
    }
    HWND item(int id) const { return ::GetDlgItem(dialog->getHwnd(), id); }
    bool checked(int id) const { return ::IsDlgButtonChecked(dialog->getHwnd(), id) == BST_CHECKED; }
    void click(int id) {
        ::SendMessageA(item(id), BM_CLICK, 0, 0);
        pump();
    }
    // Opens the dialog, sets both boxes and presses OK.
    void choose(bool favorites, bool history) {
        open();
        if (checked(IDC_SEARCH_FAVORITES) != favorites)
            click(IDC_SEARCH_FAVORITES);
        if (checked(IDC_SEARCH_HISTORY) != history)
            click(IDC_SEARCH_HISTORY);
        click(IDOK);
    }
    // Waits until the history's search thread is inside its listing.
    static bool historyIsBeingListed() {
        const int before = FakeHistory::state().recordsHandedOut.load();
        for (int waited = 0; waited < 10000; waited += 5) {
            if (FakeHistory::state().recordsHandedOut.load() > before + 10)
                return true;
            ::Sleep(5);
        }
        return false;
    }

    std::unique_ptr<ExplorerPrefsDlg> dialog;
};

} // namespace

TEST_F(ExplorerPrefsDlgTest, TheBoxesShowWhichIndexersRunAndOkSwitchesThemAsTheySay) {
    plugin->loadPrefs(nullptr);
    HWND window = open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(windowText(window), "Explorer Preferences");
    EXPECT_EQ(windowText(item(IDC_SEARCH_FAVORITES)), "Search Explorer Favorites");
    EXPECT_EQ(windowText(item(IDC_SEARCH_HISTORY)), "Search Explorer history");
    EXPECT_TRUE(checked(IDC_SEARCH_FAVORITES));
    EXPECT_FALSE(checked(IDC_SEARCH_HISTORY));

    click(IDC_SEARCH_FAVORITES);
    click(IDC_SEARCH_HISTORY);
    EXPECT_NE(plugin->getFavoritesIndexer(), nullptr) << "nothing changes before OK";
    EXPECT_EQ(plugin->getHistoryIndexer(), nullptr);
    click(IDOK);
    EXPECT_EQ(dialog->getHwnd(), nullptr) << "OK closes the dialog";
    EXPECT_EQ(plugin->getFavoritesIndexer(), nullptr);
    EXPECT_NE(plugin->getHistoryIndexer(), nullptr);
    EXPECT_EQ(core->getNumIndexers(), 1);
}

TEST_F(ExplorerPrefsDlgTest, CancelChangesNothing) {
    plugin->loadPrefs(nullptr);
    auto* favorites = plugin->getFavoritesIndexer();
    open();
    click(IDC_SEARCH_FAVORITES);
    click(IDC_SEARCH_HISTORY);
    click(IDCANCEL);
    EXPECT_EQ(dialog->getHwnd(), nullptr);
    EXPECT_EQ(plugin->getFavoritesIndexer(), favorites);
    EXPECT_EQ(plugin->getHistoryIndexer(), nullptr);
}

TEST_F(ExplorerPrefsDlgTest, IndexersAreSwitchedOffAndOnSafelyWhileASearchRuns) {
    for (const char* name : {"One.url", "Two.url", "Three.url"})
        ASSERT_TRUE(writeFavorite(name, std::string("http://") + name + ".example/"));
    // A history without end: only a cancelled search leaves its listing.
    FakeHistory::state().endless = true;
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
        EXPECT_EQ(plugin->getFavoritesIndexer(), nullptr);
        ASSERT_NE(plugin->getHistoryIndexer(), nullptr);
        EXPECT_EQ(core->getNumIndexers(), 1);
        EXPECT_TRUE(waitForWorkers());

        // The fresh indexer searches, and a cancelled search ends its listing.
        listener->clear();
        core->startSeach("example", id);
        ASSERT_TRUE(historyIsBeingListed());
        core->cancelSearch(id);
        EXPECT_TRUE(waitForWorkers());
        EXPECT_TRUE(listener->texts().empty()) << "a cancelled search posts nothing";
    });
}
