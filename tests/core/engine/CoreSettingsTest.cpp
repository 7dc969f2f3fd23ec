#include "support/CoreFixture.h"
#include "support/TempFolder.h"

#include "model/VAction.h"
#include "model/VPreferences.h"

#include <cstring>

namespace {

class KeywordAction : public VAction {
public:
    explicit KeywordAction(const std::string& keyword) : VAction(keyword, keyword, "test", nullptr) {}
    bool execute(const std::string&) override { return true; }
};

LOGFONTA fontRecord(const char* face, LONG height, LONG weight, LONG escapement, BYTE italic) {
    LOGFONTA lf{};
    lstrcpynA(lf.lfFaceName, face, LF_FACESIZE);
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfEscapement = escapement;
    lf.lfOrientation = escapement;
    lf.lfItalic = italic;
    return lf;
}

class CoreSettings : public CoreTest {
protected:
    // Writes the core's settings to a real file and loads them into a fresh core.
    void restartThroughFile(const std::vector<std::string>& keywords) {
        const std::string file = folder.sub("Verbinox.xml");
        VPreferencesNode* root = VPreferencesNode::createInstance("Verbinox");
        core->savePrefs(root);
        ASSERT_TRUE(VPreferences::save(file, root));
        root->deleteThis();
        core->shutDown();
        core->deleteThis();

        core = VVerbinoxCore::instance();
        core->setPluginsPath(core->getAppLocation() + "no-plugins-here\\");
        core->startUp();
        for (const std::string& k : keywords)
            core->registerAction(new KeywordAction(k));
        VPreferencesNode* loaded = VPreferences::load(file);
        ASSERT_NE(loaded, nullptr);
        core->loadPrefs(loaded->getChild("Verbinox"));
        loaded->deleteThis();
    }
    TempFolder folder;
};

} // namespace

TEST_F(CoreSettings, OptionsFontsAndShortcutsSurviveARestart) {
    core->registerAction(new KeywordAction("google"));
    core->registerAction(new KeywordAction("mine"));
    core->setSearchMinChars(0);
    core->setSearchCaseSensitive(true);
    core->setSearchStringStart(true);
    core->setSearchUrlDescriptionsOnly(true);
    core->setSearchUrlDomainOnly(false);
    core->setOpenUrlsInPluginsBrowser(true);
    core->setOpenUrlsInNewWindow(true);
    core->setRankResults(false);
    core->setResultsPerSource(37);
    core->setSearchFoldAccents(false);
    core->setLearnChoices(false);
    core->setLiveSearching(true);
    LOGFONTA a = fontRecord("Tahoma", -13, 700, 900, 0), b = fontRecord("Arial", -20, 400, 0, 1),
             c = fontRecord("Courier New", -11, 400, 0, 0);
    core->setFont(&a);
    core->setFont1(&b);
    core->setFont2(&c);
    core->setTextColor(RGB(1, 2, 3));
    core->setTextColor1(RGB(255, 255, 254));
    core->setTextColor2(RGB(0, 128, 255));
    core->setShortcut("gg", core->getAction("google", false));
    core->setShortcut("m", core->getAction("mine", false));

    restartThroughFile({"google", "mine"});

    EXPECT_EQ(core->getSearchMinChars(), 0);
    EXPECT_TRUE(core->getSearchCaseSensitive());
    EXPECT_TRUE(core->getSearchStringStart());
    EXPECT_TRUE(core->getSearchUrlDescriptionsOnly());
    EXPECT_FALSE(core->getSearchUrlDomainOnly());
    EXPECT_TRUE(core->getOpenUrlsInPluginsBrowser());
    EXPECT_TRUE(core->getOpenUrlsInNewWindow());
    EXPECT_FALSE(core->getRankResults());
    EXPECT_EQ(core->getResultsPerSource(), 37);
    EXPECT_FALSE(core->getSearchFoldAccents());
    EXPECT_FALSE(core->getLearnChoices());
    EXPECT_TRUE(core->getLiveSearching());
    LOGFONTA got{};
    ASSERT_TRUE(core->getFont(&got));
    EXPECT_STREQ(got.lfFaceName, "Tahoma");
    EXPECT_EQ(got.lfHeight, -13);
    EXPECT_EQ(got.lfWeight, 700);
    EXPECT_EQ(got.lfEscapement, 900);
    ASSERT_TRUE(core->getFont1(&got));
    EXPECT_STREQ(got.lfFaceName, "Arial");
    EXPECT_EQ(got.lfItalic, 1);
    ASSERT_TRUE(core->getFont2(&got));
    EXPECT_STREQ(got.lfFaceName, "Courier New");
    EXPECT_EQ(core->getTextColor(), RGB(1, 2, 3));
    EXPECT_EQ(core->getTextColor1(), RGB(255, 255, 254));
    EXPECT_EQ(core->getTextColor2(), RGB(0, 128, 255));
    EXPECT_EQ(core->getAction("gg", true), core->getAction("google", false));
    EXPECT_EQ(core->getAction("m", true), core->getAction("mine", false));
    EXPECT_EQ(core->getDefaultAction(VProperty::FileType), core->getAction("run", false));
    EXPECT_EQ(core->getDefaultAction(VProperty::UrlType), core->getAction("run", false));
    EXPECT_EQ(core->getDefaultAction(VProperty::EmailType), core->getAction("email", false));
    EXPECT_EQ(core->getDefaultAction(VProperty::TextType), core->getAction("copy", false));
}

TEST_F(CoreSettings, ShortcutsOfMissingActionsAreDroppedAndGoneFromTheNextSave) {
    core->registerAction(new KeywordAction("gone"));
    core->setShortcut("x", core->getAction("gone", false));
    restartThroughFile({});
    EXPECT_EQ(core->getAction("x", true), nullptr);
    VPreferencesNode* root = VPreferencesNode::createInstance("Verbinox");
    core->savePrefs(root);
    EXPECT_EQ(root->getChild("Core")->getChild("ShortcutMgr")->getNumChildren(), 0);
    root->deleteThis();
}

TEST_F(CoreSettings, FirstStartAppliesTheDefaultShortcutsOfRegisteredKeywords) {
    for (const char* k : {"google", "dict", "thes", "cl"})
        core->registerAction(new KeywordAction(k));
    core->loadPrefs(nullptr);
    EXPECT_EQ(core->getAction("g", true), core->getAction("google", false));
    EXPECT_EQ(core->getAction("d", true), core->getAction("dict", false));
    EXPECT_EQ(core->getAction("t", true), core->getAction("thes", false));
    EXPECT_EQ(core->getAction("c", true), core->getAction("cl", false));
    EXPECT_EQ(core->getAction("y", true), nullptr) << "no action has the keyword yahoo";
    LOGFONTA f2{};
    ASSERT_TRUE(core->getFont2(&f2));
    EXPECT_TRUE(f2.lfItalic) << "the lower line's default font is italic";
}

TEST_F(CoreSettings, AnEmptyShortcutMgrMeansNoShortcuts) {
    core->registerAction(new KeywordAction("google"));
    VPreferencesNode* root = VPreferencesNode::createInstance("Verbinox");
    VPreferencesNode* coreNode = VPreferencesNode::createInstance("Core");
    coreNode->addChild(VPreferencesNode::createInstance("ShortcutMgr"));
    root->addChild(coreNode);
    core->loadPrefs(root);
    root->deleteThis();
    EXPECT_EQ(core->getAction("g", true), nullptr);
}

TEST_F(CoreSettings, FontsNodeLackingAChildGetsTheDefaultGuiFontForIt) {
    VPreferencesNode* root = VPreferencesNode::createInstance("Verbinox");
    VPreferencesNode* coreNode = VPreferencesNode::createInstance("Core");
    VPreferencesNode* fonts = VPreferencesNode::createInstance("Fonts");
    VPreferencesNode* font = VPreferencesNode::createInstance("Font");
    const std::string longFace(40, 'W');
    font->setParam("Name", longFace);
    font->setParam("Height", -12);
    fonts->addChild(font);
    coreNode->addChild(fonts);
    root->addChild(coreNode);
    core->loadPrefs(root);
    root->deleteThis();

    ASSERT_NE(core->getFont1(), nullptr);
    ASSERT_NE(core->getFont2(), nullptr);
    LOGFONTA f{}, f2{};
    ASSERT_TRUE(core->getFont(&f));
    EXPECT_EQ(std::strlen(f.lfFaceName), 31u) << "a long face name is cut to what the record holds";
    ASSERT_TRUE(core->getFont2(&f2));
    EXPECT_TRUE(f2.lfItalic);
}

TEST_F(CoreSettings, ShortcutsMoveBetweenActionsAndEmptyTextRemoves) {
    auto* a = new KeywordAction("aa");
    auto* b = new KeywordAction("bb");
    core->registerAction(a);
    core->registerAction(b);
    core->setShortcut("g", a);
    core->setShortcut("g", b);
    EXPECT_EQ(core->getAction("g", true), b);
    EXPECT_EQ(core->getShortcut(a), "");
    core->setShortcut("h", b);
    EXPECT_EQ(core->getAction("g", true), nullptr) << "an action has at most one shortcut";
    core->setShortcut("", b);
    EXPECT_EQ(core->getShortcut(b), "");
}
