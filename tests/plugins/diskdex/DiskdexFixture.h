#pragma once
// A started core with the file-system plug-in, a listener, a private folder for the files searched and
// another for the persisted caches.
#include "support/CoreFixture.h"
#include "support/TempFolder.h"

#include "DiskdexIndexer.h"
#include "DiskdexPlugin.h"
#include "util/CacheFile.h"

#include <set>
#include <string>

class Diskdex : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        vx::setCacheFolder(caches.path());
        plugin = new VDiskdexPlugin();
        ASSERT_TRUE(plugin->startUp());
        listener = new CollectingListener();
        core->registerResultListener(listener);
    }
    void TearDown() override {
        core->unregisterPlugin(plugin);
        plugin->deleteThis();
        CoreTest::TearDown();
        vx::setCacheFolder(std::string());
    }

    VDiskdexIndexer* folderIndexer(const std::string& relative, const std::string& include = "",
                                   const std::string& exclude = "") {
        auto* indexer = new VDiskdexIndexer(plugin);
        indexer->setPath(folder.sub(relative));
        indexer->setFilterString(include, VDiskdexIndexer::IncludeFilters);
        indexer->setFilterString(exclude, VDiskdexIndexer::ExcludeFilters);
        return indexer;
    }

    // Once the caches are built, runs one search and returns the display texts of what arrived.
    std::set<std::string> search(const std::string& text) {
        EXPECT_TRUE(core->waitForCaches(20000));
        return searchAsIs(text);
    }
    // The same without waiting for a build under way: what the cache holds now.
    std::set<std::string> searchAsIs(const std::string& text) {
        listener->clear();
        uint32_t id = 0;
        core->startSeach(text, id);
        EXPECT_TRUE(waitForWorkers());
        core->cancelSearch(id);
        std::set<std::string> out;
        for (const std::string& t : listener->texts())
            out.insert(t);
        return out;
    }

    TempFolder folder;
    TempFolder caches;
    VDiskdexPlugin* plugin = nullptr;
    CollectingListener* listener = nullptr;
};
