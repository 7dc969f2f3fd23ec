#include "ExplorerPlugin.h"

#include "ExplorerFavoritesIndexer.h"
#include "ExplorerHistoryIndexer.h"
#include "ExplorerPrefsDlg.h"
#include "engine/VVerbinoxCore.h"
#include "model/VPreferences.h"
#include "resource.h"
#include "util/ThisModule.h"

namespace {

// Constructs and registers an indexer in slot, then has it build its cache, or unregisters and forgets the
// one there.
template <class Indexer> void switchIndexer(VPlugin* plugin, Indexer*& slot, bool on) {
    VVerbinoxCore* core = VVerbinoxCore::instance();
    if (on && !slot) {
        auto* created = new Indexer(plugin);
        if (!core->registerIndexer(created)) {
            created->deleteThis();
            return;
        }
        slot = created;
        // Read on the indexer's own thread: the window (and the preferences dialog) never waits for it,
        // and searches go on over the cache kept from the last run meanwhile.
        created->requestRebuild();
    } else if (!on && slot) {
        // Forgotten first: the core destroys it, after its search has ended.
        Indexer* gone = slot;
        slot = nullptr;
        core->unregisterIndexer(gone);
    }
}

} // namespace

VExplorerPlugin::VExplorerPlugin() {
    setIcon(vx::loadModuleIcon(IDI_EXPLORER));
}

VExplorerPlugin::~VExplorerPlugin() {
    if (getIcon())
        ::DestroyIcon(getIcon());
}

void VExplorerPlugin::editPrefs(HWND parent) {
    ExplorerPrefsDlg dialog(this);
    dialog.run(parent);
}

void VExplorerPlugin::setSearchFavorites(bool on) {
    switchIndexer(this, favoritesIndexer, on);
}

void VExplorerPlugin::setSearchHistory(bool on) {
    switchIndexer(this, historyIndexer, on);
}

void VExplorerPlugin::loadPrefs(VPreferencesNode* node) {
    VPreferencesNode* mine = node ? node->getChild("Explorer") : nullptr;
    bool favorites = true;
    bool history = false;
    if (mine) {
        mine->getParam("SearchFavorites", favorites);
        mine->getParam("SearchHistory", history);
    }
    setSearchFavorites(favorites);
    setSearchHistory(history);
}

void VExplorerPlugin::savePrefs(VPreferencesNode* node) {
    if (!node)
        return;
    VPreferencesNode* mine = VPreferencesNode::createInstance("Explorer");
    mine->setParam("SearchFavorites", favoritesIndexer != nullptr);
    mine->setParam("SearchHistory", historyIndexer != nullptr);
    node->addChild(mine);
}
