#include "WindowSettings.h"
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

TEST(WindowSettings, APositionOffEveryMonitorIsMovedOntoTheNearestOne) {
    RECT work{};
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    const SIZE size{400, 30};
    POINT inside{work.left + 10, work.top + 10};
    POINT kept = placeWindow(true, inside, size);
    EXPECT_EQ(kept.x, inside.x);
    EXPECT_EQ(kept.y, inside.y);
    POINT moved = placeWindow(true, POINT{work.right + 5000, work.bottom + 5000}, size);
    EXPECT_EQ(moved.x, work.right - size.cx);
    EXPECT_EQ(moved.y, work.bottom - size.cy);
    POINT fresh = placeWindow(false, POINT{}, size);
    EXPECT_EQ(fresh.x, (work.left + work.right) / 2 - size.cx / 2) << "centred";
    EXPECT_EQ(fresh.y, work.top) << "at the top of the work area";
}
