#pragma once
// Caches are built on each indexer's own thread and follow their sources about once a second. Tests of
// what a source holds wait for that instead of sleeping: stale caches are asked for a rebuild at once,
// and every build asked for is waited for.
#include "engine/VIndexer.h"
#include "engine/VVerbinoxCore.h"

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
