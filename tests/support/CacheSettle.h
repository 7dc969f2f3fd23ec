#pragma once
// Caches are built on each indexer's own thread and follow their sources about once a second. Tests of
// what a source holds wait for that instead of sleeping: stale caches are asked for a rebuild at once,
// and every build asked for is waited for.
#include "engine/VIndexer.h"
#include "engine/VVerbinoxCore.h"
#include "support/TempFolder.h"

#include <string>

inline bool settleCaches(VVerbinoxCore* core, DWORD ms = 30000) {
    for (int i = 0; i < core->getNumIndexers(); ++i) {
        VIndexer* indexer = core->getIndexer(i);
        if (!core->getLiveSearching() && indexer->isCacheStale())
            indexer->requestRebuild();
    }
    bool settled = true;
    for (int i = 0; i < core->getNumIndexers(); ++i)
        settled = core->getIndexer(i)->waitForRebuild(ms) && settled;
    return settled;
}

// Writes a file that indexers follow. They open it now and then to read or copy it, and TempFolder
// writes without sharing: a write that meets such a read is tried again, for five seconds at most.
inline bool writeFollowedFile(const TempFolder& folder, const std::string& relative,
                              const std::string& text) {
    for (int tries = 0; tries < 500; ++tries) {
        if (folder.writeFile(relative, text))
            return true;
        ::Sleep(10);
    }
    return false;
}
