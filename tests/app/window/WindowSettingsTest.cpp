#include "window/WindowSettings.h"
#include "model/VPreferences.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

TEST(WindowSettings, EveryKeySurvivesTheFileAndAbsentKeysKeepTheirDefaults) {
    VWindowSettings defaults;
    defaults.load(nullptr);
    EXPECT_EQ(defaults.hotKey, static_cast<UINT>(VK_SPACE));
    EXPECT_EQ(defaults.hotKeyModifier, static_cast<UINT>(MOD_CONTROL));
    EXPECT_TRUE(defaults.autoHide);
    EXPECT_TRUE(defaults.hideOnDeactivate);
    EXPECT_FALSE(defaults.hasPosition);
    EXPECT_EQ(defaults.boxFontSize, 14);

    VWindowSettings changed;
    changed.autoHide = false;
    changed.hideOnDeactivate = false;
    changed.alwaysOnTop = false;
    changed.alwaysShowList = true;
    changed.hotKey = 'K';
    changed.hotKeyModifier = MOD_ALT | MOD_SHIFT;
    changed.checkForUpdates = false;
    changed.boxFontSize = 20;
    VPreferencesNode* root = VPreferencesNode::createInstance("Verbinox");
    VPreferencesNode* window = VPreferencesNode::createInstance("Window");
    changed.save(window, true, false, POINT{-1200, 40});
    root->addChild(window);
    TempFolder folder;
    ASSERT_TRUE(VPreferences::save(folder.sub("Verbinox.xml"), root));
    root->deleteThis();

    VPreferencesNode* loaded = VPreferences::load(folder.sub("Verbinox.xml"));
    ASSERT_NE(loaded, nullptr);
    VWindowSettings read;
    read.load(loaded->getChild("Verbinox")->getChild("Window"));
    loaded->deleteThis();
    EXPECT_FALSE(read.autoHide);
    EXPECT_FALSE(read.hideOnDeactivate);
    EXPECT_FALSE(read.alwaysOnTop) << "written back as read";
    EXPECT_TRUE(read.alwaysShowList);
    EXPECT_EQ(read.hotKey, static_cast<UINT>('K'));
    EXPECT_EQ(read.hotKeyModifier, static_cast<UINT>(MOD_ALT | MOD_SHIFT));
    EXPECT_FALSE(read.checkForUpdates);
    EXPECT_EQ(read.boxFontSize, 20);
    EXPECT_TRUE(read.hasPosition);
    EXPECT_EQ(read.position.x, -1200);
    EXPECT_EQ(read.position.y, 40);
    EXPECT_TRUE(read.hasStartWithWindows && read.startWithWindows);
    EXPECT_TRUE(read.hasQuickLaunchIcon && !read.quickLaunchIcon);
}

TEST(WindowSettings, ABoxFontSizeTooSmallOrTooLargeToUseIsBroughtWithinBounds) {
    VPreferencesNode* window = VPreferencesNode::createInstance("Window");
    VWindowSettings read;
    window->setParam("BoxFontSize", 0);
    read.load(window);
    EXPECT_EQ(read.boxFontSize, VWindowSettings::kMinBoxFontSize);
    window->setParam("BoxFontSize", 5000);
    read.load(window);
    window->deleteThis();
    EXPECT_EQ(read.boxFontSize, VWindowSettings::kMaxBoxFontSize);
}

TEST(WindowSettings, APositionNeedsBothKeys) {
    VPreferencesNode* window = VPreferencesNode::createInstance("Window");
    window->setParam("PosX", 10);
    VWindowSettings read;
    read.load(window);
    window->deleteThis();
    EXPECT_FALSE(read.hasPosition);
}

namespace {

// A second monitor right of a primary one, with the taskbar along its bottom; the pointer is on it.
const RECT kPointerMonitor{1920, 0, 3840, 1080};
const RECT kPointerWork{1920, 0, 3840, 1040};
bool pointerOnTheSecondMonitor(RECT& monitor, RECT& work) {
    monitor = kPointerMonitor;
    work = kPointerWork;
    return true;
}

class PointerMonitor : public ::testing::Test {
protected:
    void SetUp() override { previous = setPointerMonitorQuery(&pointerOnTheSecondMonitor); }
    void TearDown() override { setPointerMonitorQuery(previous); }
    PointerMonitorQuery previous = nullptr;
};

} // namespace

TEST_F(PointerMonitor, ASavedPositionIsKeptOnlyOnThePointersMonitorElseTheWindowIsCentredInItsUpperThird) {
    const SIZE size{400, 30};
    const POINT centred{(1920 + 3840) / 2 - 200, (1040 - 30) / 3};
    POINT kept = placeWindow(true, POINT{2500, 700}, size);
    EXPECT_EQ(kept.x, 2500);
    EXPECT_EQ(kept.y, 700);
    POINT moved = placeWindow(true, POINT{100, 100}, size);
    EXPECT_EQ(moved.x, centred.x) << "saved on the other monitor";
    EXPECT_EQ(moved.y, centred.y);
    moved = placeWindow(true, POINT{1920 - 300, 100}, size);
    EXPECT_EQ(moved.x, centred.x) << "mostly on the other monitor";
    moved = placeWindow(true, POINT{9000, 9000}, size);
    EXPECT_EQ(moved.x, centred.x) << "off every monitor";
    EXPECT_EQ(moved.y, centred.y);
    POINT fresh = placeWindow(false, POINT{2500, 700}, size);
    EXPECT_EQ(fresh.x, centred.x) << "no saved position";
    EXPECT_EQ(fresh.y, centred.y);
    POINT wide = placeWindow(false, POINT{}, SIZE{2500, 30});
    EXPECT_EQ(wide.x, 1920) << "wider than the work area, its left edge stays on it";
}

TEST(WindowSettings, OnTheTestScreenASavedPositionOnItIsKeptAndOneOffItIsCentred) {
    RECT work{};
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    const SIZE size{400, 30};
    POINT inside{work.left + 10, work.top + 10};
    POINT kept = placeWindow(true, inside, size);
    EXPECT_EQ(kept.x, inside.x);
    EXPECT_EQ(kept.y, inside.y);
    POINT moved = placeWindow(true, POINT{work.right + 5000, work.bottom + 5000}, size);
    EXPECT_EQ(moved.x, (work.left + work.right) / 2 - size.cx / 2) << "centred";
    EXPECT_EQ(moved.y, work.top + (work.bottom - work.top - size.cy) / 3) << "in the upper third";
}
