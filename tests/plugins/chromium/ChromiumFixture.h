#pragma once
// The plug-in against browsers "installed" in a private folder: LOCALAPPDATA, APPDATA and the program
// folders of this process point into it, the registry's "App Paths" is a table of the test's.
#include "support/CacheSettle.h"
#include "support/ChromiumHistoryDb.h"
#include "support/CoreFixture.h"
#include "support/TempFolder.h"

#include "ChromiumIndexers.h"
#include "ChromiumPlugin.h"
#include "util/CacheFile.h"

#include <map>
#include <set>

class PointedChromiumPlugin : public VChromiumPlugin {
public:
    std::map<std::pair<bool, std::string>, std::string> registry; // (user, key) -> default value
    int refusals = 0;                                             // the core refuses this many indexers

protected:
    chromium::Environment environment() const override {
        chromium::Environment pointed = chromium::systemEnvironment();
        pointed.registryDefault = [this](bool user, const std::string& key) {
            auto it = registry.find({user, key});
            return it == registry.end() ? std::string() : it->second;
        };
        return pointed;
    }
    bool registerIndexer(VIndexer* created) override {
        if (refusals > 0) {
            --refusals;
            return false;
        }
        return VChromiumPlugin::registerIndexer(created);
    }
};

// A bookmark as the browser writes it, keys in its alphabetical order.
inline std::string link(const std::string& title, const std::string& url) {
    return R"({"date_added":"13300000000000000","guid":"0","id":"9","meta_info":{"name":"x"},"name":")" +
           title + R"(","type":"url","url":")" + url + R"("})";
}
inline std::string folderNode(const std::string& title, const std::string& children) {
    return R"({"children":[)" + children + R"(],"date_added":"1","id":"2","name":")" + title +
           R"(","type":"folder"})";
}
inline std::string bookmarksFile(const std::string& bar, const std::string& other = "") {
    return R"({"checksum":"0","roots":{"bookmark_bar":)" + folderNode("Bookmarks bar", bar) + R"(,"other":)" +
           folderNode("Other bookmarks", other) + R"(,"synced":)" + folderNode("Mobile bookmarks", "") +
           R"(},"version":1})";
}

enum Kind : std::size_t { Chrome = 0, Edge = 1, Brave = 2, Vivaldi = 3, Chromium = 4, Opera = 5 };

class ChromiumTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        for (const char* name :
             {"LOCALAPPDATA", "APPDATA", "ProgramW6432", "ProgramFiles", "ProgramFiles(x86)"}) {
            char value[MAX_PATH] = {};
            saved[name] = ::GetEnvironmentVariableA(name, value, MAX_PATH) ? value : "";
        }
        for (const char* dir : {"Local", "Roaming", "Programs", "Cache"})
            ASSERT_TRUE(folder.makeDir(dir));
        vx::setCacheFolder(folder.sub("Cache\\"));
        ::SetEnvironmentVariableA("LOCALAPPDATA", folder.sub("Local").c_str());
        ::SetEnvironmentVariableA("APPDATA", folder.sub("Roaming").c_str());
        for (const char* name : {"ProgramW6432", "ProgramFiles", "ProgramFiles(x86)"})
            ::SetEnvironmentVariableA(name, folder.sub("Programs").c_str());
        listener = new CollectingListener();
        core->registerResultListener(listener);
        plugin = new PointedChromiumPlugin();
    }
    void TearDown() override {
        core->unregisterPlugin(plugin);
        plugin->deleteThis();
        vx::setCacheFolder(std::string());
        for (const auto& variable : saved)
            ::SetEnvironmentVariableA(variable.first.c_str(),
                                      variable.second.empty() ? nullptr : variable.second.c_str());
        CoreTest::TearDown();
    }

    // Makes every folder of a relative path; the path, ending in a backslash.
    std::string makeDirs(const std::string& relative) {
        std::string made;
        for (std::size_t at = 0; at <= relative.size();) {
            std::size_t end = relative.find('\\', at);
            if (end == std::string::npos)
                end = relative.size();
            made += relative.substr(at, end - at) + "\\";
            folder.makeDir(made);
            at = end + 1;
        }
        return folder.sub(made);
    }
    std::string chromeProfile(const std::string& name = "Default") {
        return makeDirs("Local\\Google\\Chrome\\User Data\\" + name);
    }
    std::string edgeProfile(const std::string& name = "Default") {
        return makeDirs("Local\\Microsoft\\Edge\\User Data\\" + name);
    }
    static bool write(const std::string& path, const std::string& text) {
        HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        // The indexers follow their files and copy them now and then: a write that meets a copy waits.
        for (int tries = 0;
             h == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_SHARING_VIOLATION && tries < 500;
             ++tries) {
            ::Sleep(10);
            h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        }
        DWORD written = 0;
        const bool ok = h != INVALID_HANDLE_VALUE &&
                        ::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                        written == text.size();
        if (h != INVALID_HANDLE_VALUE)
            ::CloseHandle(h);
        return ok;
    }
    // The display texts of a search, in the order delivered, once every cache follows its files.
    std::vector<std::string> search(const std::string& text) {
        EXPECT_TRUE(settleCaches(core));
        listener->clear();
        uint32_t id = 0;
        core->startSeach(text, id);
        EXPECT_TRUE(waitForWorkers());
        core->cancelSearch(id);
        return listener->texts();
    }
    std::set<std::string> found(const std::string& text) {
        const std::vector<std::string> texts = search(text);
        return std::set<std::string>(texts.begin(), texts.end());
    }
    // Starts the plug-in and loads its defaults: every installed browser's bookmarks and history on.
    void start() {
        ASSERT_TRUE(plugin->startUp());
        plugin->loadPrefs(nullptr);
        ASSERT_TRUE(settleCaches(core));
    }

    TempFolder folder;
    std::map<std::string, std::string> saved;
    PointedChromiumPlugin* plugin = nullptr;
    CollectingListener* listener = nullptr;
};

using Texts = std::set<std::string>;
