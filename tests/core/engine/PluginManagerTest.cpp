#include "support/CoreFixture.h"
#include "support/FolderLink.h"
#include "support/TempFolder.h"

#include "engine/VPluginManager.h"
#include "model/VPreferences.h"

#include <algorithm>

namespace {

class PluginLoading : public ::testing::Test {
protected:
    void SetUp() override {
        FakeCounters::reset();
        const std::string plugin = programFolder() + "vx_test_plugin.vll";
        ASSERT_TRUE(folder.makeDir("Plugins"));
        ASSERT_TRUE(folder.makeDir("Plugins\\sub"));
        for (const char* name : {"Plugins\\alpha.vll", "Plugins\\beta.vll", "Plugins\\sub\\gamma.vll",
                                 "Plugins\\fail_one.vll", "Plugins\\null_one.vll"})
            ASSERT_TRUE(::CopyFileA(plugin.c_str(), folder.sub(name).c_str(), FALSE)) << name;
        // A library without pluginInit, and a file that is no library at all.
        ASSERT_TRUE(::CopyFileA((programFolder() + "vx_test_fakes.dll").c_str(),
                                folder.sub("Plugins\\noinit.vll").c_str(), FALSE));
        ASSERT_TRUE(folder.writeFile("Plugins\\notalib.vll", "this is text, not a library"));
    }

    VVerbinoxCore* startCore() {
        VVerbinoxCore* core = VVerbinoxCore::instance();
        core->setPluginsPath(folder.sub("Plugins\\"));
        core->startUp();
        return core;
    }

    std::vector<std::string> pluginNames(VVerbinoxCore* core) {
        std::vector<std::string> names;
        VPluginManager* mgr = core->getPluginManager();
        for (int i = 0; i < mgr->getNumPlugins(); ++i)
            names.push_back(mgr->getPlugin(i)->getName());
        return names;
    }

    TempFolder folder;
};

bool loaded(const std::string& moduleName) {
    return ::GetModuleHandleA(moduleName.c_str()) != nullptr;
}

} // namespace

TEST_F(PluginLoading, FolderPluginsLoadBeforeSubfolderPluginsAndBadFilesAreSkipped) {
    VVerbinoxCore* core = startCore();
    std::vector<std::string> names = pluginNames(core);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[2], "gamma") << "a subfolder's plug-ins load after the folder's own";
    std::sort(names.begin(), names.begin() + 2);
    EXPECT_EQ(names[0], "alpha");
    EXPECT_EQ(names[1], "beta");
    EXPECT_THROW(core->getPluginManager()->getPlugin(3), std::invalid_argument);
    EXPECT_NE(core->getAction("kw_alpha", false), nullptr);
    EXPECT_NE(core->getAction("kw_gamma", false), nullptr);
    core->shutDown();
    core->deleteThis();
}

TEST_F(PluginLoading, APluginThatFailsStartUpLeavesNothingRegisteredAndIsUnloaded) {
    VVerbinoxCore* core = startCore();
    EXPECT_EQ(core->getAction("kw_fail_one", false), nullptr);
    EXPECT_EQ(core->getNumIndexers(), 0) << "the failed plug-in's indexer was unregistered";
    std::vector<std::string> events = FakeCounters::events();
    EXPECT_NE(std::find(events.begin(), events.end(), "destroy:fail_one"), events.end());
    EXPECT_FALSE(loaded("fail_one.vll"));
    EXPECT_FALSE(loaded("null_one.vll")) << "a library that yields no plug-in is unloaded again";
    EXPECT_FALSE(loaded("noinit.vll"));
    EXPECT_EQ(FakeCounters::plugins.load(), 3);
    EXPECT_EQ(FakeCounters::indexers.load(), 0);
    core->shutDown();
    core->deleteThis();
}

TEST_F(PluginLoading, ShutdownDestroysEverythingThePluginsCreatedAndUnloadsThem) {
    VVerbinoxCore* core = startCore();
    core->loadPrefs(nullptr);
    EXPECT_EQ(core->getNumIndexers(), 3);
    EXPECT_TRUE(loaded("alpha.vll"));
    core->shutDown();
    core->deleteThis();
    EXPECT_EQ(FakeCounters::plugins.load(), 0);
    EXPECT_EQ(FakeCounters::actions.load(), 0);
    EXPECT_EQ(FakeCounters::indexers.load(), 0);
    EXPECT_EQ(FakeCounters::results.load(), 0);
    EXPECT_FALSE(loaded("alpha.vll"));
    EXPECT_FALSE(loaded("gamma.vll"));
    std::vector<std::string> events = FakeCounters::events();
    auto at = [&](const std::string& e) {
        return std::find(events.begin(), events.end(), e) - events.begin();
    };
    EXPECT_LT(at("shutdown:alpha"), at("destroy:alpha"));
    EXPECT_LT(at("shutdown:gamma"), at("destroy:alpha"))
        << "every plug-in shuts down before any is destroyed";
}

TEST_F(PluginLoading, PreferencesWithoutPluginMgrPassNullToEveryPlugin) {
    VVerbinoxCore* core = startCore();
    VPreferencesNode* root = VPreferencesNode::createInstance("Verbinox");
    root->addChild(VPreferencesNode::createInstance("Core"));
    core->loadPrefs(root);
    root->deleteThis();
    std::vector<std::string> events = FakeCounters::events();
    EXPECT_EQ(
        std::count_if(events.begin(), events.end(),
                      [](const std::string& e) { return e.size() > 5 && e.substr(e.size() - 5) == ":null"; }),
        3);
    core->shutDown();
    core->deleteThis();
}

TEST_F(PluginLoading, PluginPreferencesSurviveAFileRoundTrip) {
    const std::string file = folder.sub("Verbinox.xml");
    {
        // The program's tree: root "Verbinox" holding "Core"; the file wraps it in one more element.
        VPreferencesNode* root = VPreferencesNode::createInstance("Verbinox");
        VPreferencesNode* coreNode = VPreferencesNode::createInstance("Core");
        VPreferencesNode* mgr = VPreferencesNode::createInstance("PluginMgr");
        VPreferencesNode* alpha = VPreferencesNode::createInstance("alpha");
        alpha->setParam("Greeting", std::string("hi & <bye>"));
        mgr->addChild(alpha);
        coreNode->addChild(mgr);
        root->addChild(coreNode);
        ASSERT_TRUE(VPreferences::save(file, root));
        root->deleteThis();
    }
    for (int round = 0; round < 2; ++round) {
        VVerbinoxCore* core = startCore();
        VPreferencesNode* loadedRoot = VPreferences::load(file);
        ASSERT_NE(loadedRoot, nullptr);
        core->loadPrefs(loadedRoot->getChild("Verbinox"));
        loadedRoot->deleteThis();

        auto* listener = new CollectingListener();
        core->registerResultListener(listener);
        uint32_t id = 0;
        core->startSeach("<bye>", id);
        ASSERT_TRUE(waitForWorkers());
        EXPECT_EQ(listener->texts(), std::vector<std::string>{"hi & <bye>-alpha"}) << "round " << round;

        VPreferencesNode* root = VPreferencesNode::createInstance("Verbinox");
        core->savePrefs(root);
        ASSERT_TRUE(VPreferences::save(file, root));
        root->deleteThis();
        core->shutDown();
        core->deleteThis();
    }
    EXPECT_EQ(FakeCounters::plugins.load(), 0);
}

TEST_F(PluginLoading, PluginsThatThrowAreUnloadedWithWhatTheyRegisteredAndTheOthersWork) {
    const std::string plugin = programFolder() + "vx_test_plugin.vll";
    for (const char* name : {"Plugins\\throwinit_x.vll", "Plugins\\throwstart_x.vll",
                             "Plugins\\throwload_x.vll", "Plugins\\throwshut_x.vll"})
        ASSERT_TRUE(::CopyFileA(plugin.c_str(), folder.sub(name).c_str(), FALSE)) << name;
    VVerbinoxCore* core = startCore();
    EXPECT_EQ(pluginNames(core).size(), 5u) << "alpha, beta, gamma and the two that start well";
    EXPECT_FALSE(loaded("throwinit_x.vll"));
    EXPECT_FALSE(loaded("throwstart_x.vll"));
    EXPECT_EQ(core->getAction("kw_throwstart_x", false), nullptr);

    core->loadPrefs(nullptr);
    std::vector<std::string> names = pluginNames(core);
    EXPECT_EQ(std::count(names.begin(), names.end(), "throwload_x"), 0);
    EXPECT_FALSE(loaded("throwload_x.vll"));
    EXPECT_EQ(core->getAction("kw_throwload_x", false), nullptr);
    EXPECT_EQ(core->getNumIndexers(), 4) << "the thrower's indexer went with it";

    auto* listener = new CollectingListener();
    core->registerResultListener(listener);
    uint32_t id = 0;
    core->startSeach("hello-al", id);
    ASSERT_TRUE(waitForWorkers());
    EXPECT_EQ(listener->texts(), std::vector<std::string>{"hello-alpha"});

    core->shutDown(); // throwshut_x throws here
    core->deleteThis();
    EXPECT_FALSE(loaded("throwshut_x.vll"));
    EXPECT_EQ(FakeCounters::plugins.load(), 0);
    EXPECT_EQ(FakeCounters::actions.load(), 0);
    EXPECT_EQ(FakeCounters::indexers.load(), 0);
}

TEST_F(PluginLoading, DestroyingACoreThatWasNeverShutDownReachesOnlyThatCore) {
    VVerbinoxCore* core = startCore();
    core->loadPrefs(nullptr);
    core->deleteThis();
    std::vector<std::string> events = FakeCounters::events();
    EXPECT_EQ(std::count(events.begin(), events.end(), "shutdown-core:same"), 3);
    EXPECT_EQ(std::count(events.begin(), events.end(), "destroy-core:same"), 4) << "fail_one's at start-up too";
    EXPECT_EQ(std::count(events.begin(), events.end(), "shutdown-core:other"), 0)
        << "a second core was built";
    EXPECT_EQ(std::count(events.begin(), events.end(), "destroy-core:other"), 0) << "a second core was built";
    EXPECT_EQ(FakeCounters::plugins.load(), 0);
    EXPECT_EQ(FakeCounters::indexers.load(), 0);
    EXPECT_FALSE(loaded("alpha.vll"));
}

TEST_F(PluginLoading, ALinkBackUpTheTreeIsNotFollowed) {
    // A directory symbolic link inside "Plugins\sub" that points at "Plugins" itself.
    const FolderLink loop(folder.sub("Plugins\\sub\\loop"), folder.sub("Plugins"));
    if (!loop.made())
        GTEST_SKIP() << "no symbolic links here";
    VVerbinoxCore* core = startCore();
    EXPECT_EQ(core->getPluginManager()->getNumPlugins(), 3) << "each plug-in loads once";
    core->shutDown();
    core->deleteThis();
}
