#pragma once
// A started core without plug-ins, and a Webquery plug-in object reading the icons the build put beside
// Webquery.vll.
#include "support/CoreFixture.h"
#include "support/TempFolder.h"

#include "model/VPreferences.h"

#include "SearchAction.h"
#include "WebqueryPlugin.h"

#include <atomic>

// A search that counts its own destruction, so a test sees who destroys it and that someone does.
class CountedSearch : public VSearchAction {
public:
    CountedSearch(VWebqueryPlugin* plugin, const std::string& keyword) : VSearchAction(plugin) {
        setName(keyword);
        setKeyword(keyword);
        setUrl("https://find.example/?q=");
    }
    ~CountedSearch() override { ++destroyed(); }
    static std::atomic<int>& destroyed() {
        static std::atomic<int> count{0};
        return count;
    }
};

class WebqueryTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        CountedSearch::destroyed() = 0;
        plugin = new VWebqueryPlugin(imagesFolder());
    }
    void TearDown() override {
        dropPlugin();
        CoreTest::TearDown();
    }
    // As the plug-in manager unloads a plug-in: the core destroys what it registered, then the plug-in.
    void dropPlugin() {
        if (!plugin)
            return;
        core->unregisterPlugin(plugin);
        plugin->deleteThis();
        plugin = nullptr;
    }
    static std::string imagesFolder() { return programFolder() + "Plugins\\images\\"; }
    std::vector<std::string> keywords() const {
        std::vector<std::string> out;
        for (VSearchAction* action : plugin->getActions())
            out.push_back(action->getKeyword());
        return out;
    }
    // What the plug-in saves, under a "PluginMgr" node the caller destroys.
    VPreferencesNode* saved() const {
        VPreferencesNode* root = VPreferencesNode::createInstance("PluginMgr");
        plugin->savePrefs(root);
        return root;
    }
    // As a restart does: the searches go to a file, and a new plug-in reads them from it.
    void reloadThroughFile() {
        TempFolder temp;
        VPreferencesNode* root = saved();
        ASSERT_TRUE(VPreferences::save(temp.sub("Verbinox.xml"), root));
        root->deleteThis();
        dropPlugin();
        VPreferencesNode* loaded = VPreferences::load(temp.sub("Verbinox.xml"));
        ASSERT_NE(loaded, nullptr);
        plugin = new VWebqueryPlugin(imagesFolder());
        plugin->loadPrefs(loaded->getChild("PluginMgr"));
        loaded->deleteThis();
    }
    // The six saved fields of a search: name, keyword, description, icon path, address and suffix.
    static std::vector<std::string> fields(const VSearchAction* a) {
        return {a->getName(),     a->getKeyword(), a->getDescription(),
                a->getIconPath(), a->getUrl(),     a->getSuffix()};
    }

    VWebqueryPlugin* plugin = nullptr;
};
