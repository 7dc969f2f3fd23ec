#pragma once
// The Internet Explorer plug-in: the browser's favorites and its history, each through an indexer of its
// own that the user switches on and off.
#include "engine/VPlugin.h"

#include <string>

class VExplorerFavoritesIndexer;
class VExplorerHistoryIndexer;

class VExplorerPlugin : public VPlugin {
public:
    VExplorerPlugin();
    ~VExplorerPlugin() override;

    std::string getName() override { return name; }
    std::string getDescription() override { return description; }
    std::string getAuthor() override { return author; }
    std::string getVersion() override { return version; }
    bool startUp() override { return true; }
    bool shutDown() override { return true; }
    bool hasEditablePrefs() const override { return true; }
    void editPrefs(HWND parent) override;
    // The "Explorer" child of node: favorites on unless it says otherwise, history off unless it says
    // so. Without the node, favorites on and history off.
    void loadPrefs(VPreferencesNode* node) override;
    // "Explorer" with whether each indexer is on.
    void savePrefs(VPreferencesNode* node) override;

    // On: constructs and registers an indexer, which builds its cache on a thread of its own, unless
    // there is one. Off:
    // unregisters the indexer, which stops its search and destroys it. Window thread.
    void setSearchFavorites(bool on);
    void setSearchHistory(bool on);

    VExplorerFavoritesIndexer* getFavoritesIndexer() const { return favoritesIndexer; }
    VExplorerHistoryIndexer* getHistoryIndexer() const { return historyIndexer; }

private:
    std::string name = "Explorer";
    std::string description = "Explorer extension";
    std::string author = "Ormandel";
    std::string version = "1.0";
    VExplorerFavoritesIndexer* favoritesIndexer = nullptr; // owned by the core while registered
    VExplorerHistoryIndexer* historyIndexer = nullptr;     // likewise
};
