// A real plug-in library for the tests. Its behaviour follows its own file name, so one build serves
// as several plug-ins: "fail..." registers an action and an indexer and then refuses to start,
// "null..." returns no plug-in. Everything it creates is counted in the fakes DLL, which outlives it.
#include "FakeIndexer.h"
#include "engine/VPlugin.h"
#include "engine/VVerbinoxCore.h"
#include "model/VAction.h"
#include "model/VPreferences.h"

#include <windows.h>

namespace {

std::string ownTitle() {
    HMODULE self = nullptr;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&ownTitle), &self);
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(self, path, MAX_PATH);
    std::string name = path;
    name = name.substr(name.find_last_of('\\') + 1);
    return name.substr(0, name.find('.'));
}

class TestAction : public VAction {
public:
    TestAction(const std::string& keyword, VPlugin* plugin)
        : VAction("Test " + keyword, keyword, "test", plugin) {
        ++FakeCounters::actions;
    }
    ~TestAction() override { --FakeCounters::actions; }
    bool execute(const std::string&) override { return true; }
};

class TestPlugin : public VPlugin {
public:
    TestPlugin() : title(ownTitle()) { ++FakeCounters::plugins; }
    ~TestPlugin() override {
        FakeCounters::log("destroy:" + title);
        --FakeCounters::plugins;
    }
    std::string getName() override { return title; }
    std::string getDescription() override { return title + " extension"; }
    std::string getAuthor() override { return "Tests"; }
    std::string getVersion() override { return "1.0"; }

    bool startUp() override {
        FakeCounters::log("start:" + title);
        VVerbinoxCore* core = VVerbinoxCore::instance();
        core->registerAction(new TestAction("kw_" + title, this));
        if (title.compare(0, 4, "fail") == 0) {
            auto* indexer = new NameIndexer(this, {"x"});
            core->registerIndexer(indexer);
            return false;
        }
        return true;
    }
    bool shutDown() override {
        FakeCounters::log("shutdown:" + title);
        return true;
    }
    void loadPrefs(VPreferencesNode* node) override {
        FakeCounters::log(std::string("load:") + title + (node ? "" : ":null"));
        VPreferencesNode* mine = node ? node->getChild(title.c_str()) : nullptr;
        if (mine)
            mine->getParam("Greeting", greeting);
        auto* indexer = new NameIndexer(this, {greeting + "-" + title});
        indexer->updateCache();
        VVerbinoxCore::instance()->registerIndexer(indexer);
    }
    void savePrefs(VPreferencesNode* node) override {
        VPreferencesNode* mine = VPreferencesNode::createInstance(title.c_str());
        mine->setParam("Greeting", greeting);
        node->addChild(mine);
    }

private:
    std::string title;
    std::string greeting = "hello";
};

} // namespace

extern "C" __declspec(dllexport) VPlugin* pluginInit() {
    if (ownTitle().compare(0, 4, "null") == 0)
        return nullptr;
    return new TestPlugin();
}
