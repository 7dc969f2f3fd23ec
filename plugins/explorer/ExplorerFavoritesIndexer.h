#pragma once
// Internet Explorer's favorites as a source: every Internet shortcut in the user's Favorites folder and
// its sub-folders becomes a URL result titled with the file's name, matched by its address and title.
#include "engine/VIndexer.h"

#include <string>

class VExplorerFavoritesIndexer : public VIndexer {
public:
    // Builds the cache at once (nothing in live mode).
    explicit VExplorerFavoritesIndexer(VPlugin* plugin);
    ~VExplorerFavoritesIndexer() override;

    bool reservedFlag() override { return false; }
    // Walks the folder into the cache (cached mode); in live mode only empties the cache.
    void updateCache() override;
    std::string getSourceDescription() const override { return favoritesFolder(); }

    std::size_t getCachedCount() const { return cache.size(); }
    // The user's Favorites folder as the shell names it; empty when it cannot.
    static std::string favoritesFolder();
    // The address of an Internet shortcut file: what the shell's Internet shortcut object reads, or,
    // when the object cannot load the file, the "URL=" value of its "[InternetShortcut]" section. Empty
    // when neither gives one. Its icon is never looked at. COM must be held on the calling thread.
    static std::string readShortcutUrl(const std::string& file);

protected:
    void search() override;

private:
    // Calls found(url, title) for each shortcut under folder, depth first; with matching, only for those
    // the search matches, stopping once the search is cancelled.
    template <class Found> void walk(const std::string& folder, bool matching, Found& found) const;
};
