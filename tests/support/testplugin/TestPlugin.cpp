// A real plug-in library for the tests. Its behaviour follows its own file name, so one build serves
// as several plug-ins: "fail..." registers an action and an indexer and then refuses to start,
// "null..." returns no plug-in, "throwinit...", "throwstart...", "throwload..." and "throwshut..."
// throw from pluginInit, startUp (after registering), loadPrefs (after registering an indexer) and
// shutDown; "recreate..." has preferences whose dialog destroys its action and registers a new one, as a
// plug-in's own dialog may. Everything it creates is counted in the fakes DLL, which outlives it. It logs
// whether the core it reaches through instance() while shutting down and while being destroyed is the one it
// started with ("shutdown-core:same" / ":other"). When VX_TEST_PLUGIN_REPORT names a file, it appends
// the number of caches built in its process to that file when it is destroyed. "ranked..." finds the
// text results its "Items" setting lists ("name=key;..."), in that order, each with its rank key, raised
// above all others when the user chose it before for the text searched.
#include "FakeIndexer.h"
#include "engine/VChoiceMemory.h"
#include "engine/VPlugin.h"
#include "engine/VVerbinoxCore.h"
#include "model/VAction.h"
#include "model/VPreferences.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

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

class RankedIndexer : public VIndexer {
public:
    RankedIndexer(VPlugin* plugin, std::vector<std::pair<std::string, VRankKey>> items)
        : VIndexer(plugin), items(std::move(items)) {
        ++FakeCounters::indexers;
    }
    ~RankedIndexer() override {
        stopWorker();
        --FakeCounters::indexers;
    }
    bool reservedFlag() override { return false; }

    // "alpha one=5;alpha two=9": names and keys in the order they are delivered.
    static std::vector<std::pair<std::string, VRankKey>> parse(const std::string& setting) {
        std::vector<std::pair<std::string, VRankKey>> out;
        std::size_t start = 0;
        while (start < setting.size()) {
            std::size_t end = setting.find(';', start);
            if (end == std::string::npos)
                end = setting.size();
            const std::string item = setting.substr(start, end - start);
            const std::size_t eq = item.rfind('=');
            if (eq != std::string::npos)
                out.emplace_back(item.substr(0, eq), std::stoull(item.substr(eq + 1)));
            start = end + 1;
        }
        return out;
    }

protected:
    void search() override {
        const auto learned =
            VVerbinoxCore::instance()->getChoiceMemory().lookup(searchString, VChoiceMemory::currentTime());
        VResultBatch found;
        for (const auto& item : items) {
            if (isCancelled())
                return;
            if (!match(item.first, false))
                continue;
            auto* result = new FakeResult(getPlugin(), item.first);
            VRankKey key = item.second;
            for (const VLearnedItem& chosen : learned) {
                if (chosen.type == VProperty::TextType && chosen.value == item.first)
                    key += VRankKey(1) << 40;
            }
            result->setRankKey(key);
            found.add(result);
        }
        found.deliver(searchId);
    }

private:
    std::vector<std::pair<std::string, VRankKey>> items;
};

class TestPlugin : public VPlugin {
public:
    TestPlugin() : title(ownTitle()) { ++FakeCounters::plugins; }
    ~TestPlugin() override {
        FakeCounters::log("destroy:" + title);
        FakeCounters::log(std::string("destroy-core:") +
                          (VVerbinoxCore::instance() == core ? "same" : "other"));
        --FakeCounters::plugins;
        report();
    }
    std::string getName() override { return title; }
    std::string getDescription() override { return title + " extension"; }
    std::string getAuthor() override { return "Tests"; }
    std::string getVersion() override { return "1.0"; }

    bool startUp() override {
        FakeCounters::log("start:" + title);
        core = VVerbinoxCore::instance();
        action = new TestAction("kw_" + title, this);
        core->registerAction(action);
        if (is("throwstart"))
            throw std::runtime_error("cannot start");
        if (title.compare(0, 4, "fail") == 0) {
            auto* indexer = new NameIndexer(this, {"x"});
            core->registerIndexer(indexer);
            return false;
        }
        return true;
    }
    bool shutDown() override {
        FakeCounters::log("shutdown:" + title);
        FakeCounters::log(std::string("shutdown-core:") +
                          (VVerbinoxCore::instance() == core ? "same" : "other"));
        if (is("throwshut"))
            throw std::runtime_error("cannot shut down");
        return true;
    }
    bool hasEditablePrefs() const override { return is("recreate"); }
    void editPrefs(HWND) override {
        if (!is("recreate"))
            return;
        // Made before the old one goes, so it cannot take the old one's address; registered after, as
        // the core refuses a second action with the same keyword.
        VAction* replacement = new TestAction("kw_" + title, this);
        if (core->unregisterAction(action))
            action->deleteThis();
        action = replacement;
        core->registerAction(action);
    }
    void loadPrefs(VPreferencesNode* node) override {
        FakeCounters::log(std::string("load:") + title + (node ? "" : ":null"));
        VPreferencesNode* mine = node ? node->getChild(title.c_str()) : nullptr;
        if (mine)
            mine->getParam("Greeting", greeting);
        if (is("ranked")) {
            std::string items;
            if (mine)
                mine->getParam("Items", items);
            VVerbinoxCore::instance()->registerIndexer(new RankedIndexer(this, RankedIndexer::parse(items)));
            return;
        }
        auto* indexer = new NameIndexer(this, {greeting + "-" + title});
        indexer->updateCache();
        VVerbinoxCore::instance()->registerIndexer(indexer);
        if (is("throwload"))
            throw std::bad_alloc();
    }
    void savePrefs(VPreferencesNode* node) override {
        VPreferencesNode* mine = VPreferencesNode::createInstance(title.c_str());
        mine->setParam("Greeting", greeting);
        node->addChild(mine);
    }

private:
    bool is(const char* prefix) const { return title.compare(0, std::strlen(prefix), prefix) == 0; }
    void report() const {
        char path[MAX_PATH] = {};
        DWORD n = ::GetEnvironmentVariableA("VX_TEST_PLUGIN_REPORT", path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH)
            return;
        if (FILE* out = std::fopen(path, "ab")) {
            std::fprintf(out, "cache-builds=%ld\n", FakeCounters::cacheBuilds.load());
            std::fclose(out);
        }
    }

    VVerbinoxCore* core = nullptr;
    VAction* action = nullptr;
    std::string title;
    std::string greeting = "hello";
};

} // namespace

extern "C" __declspec(dllexport) VPlugin* pluginInit() {
    if (ownTitle().compare(0, 4, "null") == 0)
        return nullptr;
    if (ownTitle().compare(0, 9, "throwinit") == 0)
        throw std::runtime_error("cannot make a plug-in");
    return new TestPlugin();
}
