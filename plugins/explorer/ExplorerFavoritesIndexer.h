#pragma once
// Internet Explorer's favorites as a source: every Internet shortcut in the user's Favorites folder and
// its sub-folders becomes a URL result titled with the file's name, matched by its address and title.
// The cache follows the folder tree: a shortcut added, removed, renamed or rewritten at any depth is read
// again on the indexer's builder thread.
#include "engine/VUrlIndexer.h"

#include <functional>
#include <string>

class VExplorerFavoritesIndexer : public VUrlIndexer {
public:
    explicit VExplorerFavoritesIndexer(VPlugin* plugin);
    ~VExplorerFavoritesIndexer() override;

    std::string getSourceDescription() const override { return favoritesFolder(); }

    // The user's Favorites folder as the shell names it; empty when it cannot.
    static std::string favoritesFolder();
    // The address of an Internet shortcut file: what the shell's Internet shortcut object reads, or,
    // when the object cannot load the file, the "URL=" value of its "[InternetShortcut]" section. Empty
    // when neither gives one. Its icon is never looked at. COM must be held on the calling thread.
    static std::string readShortcutUrl(const std::string& file);
    // Hands every shortcut under folder to sink, depth first in the order the file system lists them,
    // titled with the file's name; links and junctions are not entered. Holds COM on the calling thread
    // for the walk. A folder that cannot be listed has no shortcuts; false when stop answered true or
    // the sink stopped taking them.
    static bool readFavorites(const std::string& folder, VUrlSink& sink, const std::function<bool()>& stop);
    // What every folder and file under folder is (names, sizes, last-write times), boiled down to a text
    // that changes when any of them does. Listing only, nothing is opened: cheap enough to ask every
    // second. Empty when the folder cannot be listed.
    static std::string treeToken(const std::string& folder);

protected:
    bool readSource(VUrlSink& sink, const std::function<bool()>& stop) const override;
    // A folder's last-write time changes only when its own entries do, and a shortcut rewritten in place
    // changes no folder at all: the token covers every entry of the tree.
    std::string changeToken() const override { return treeToken(favoritesFolder()); }
};
