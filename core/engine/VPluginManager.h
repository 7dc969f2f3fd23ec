#pragma once
// Finds, loads, starts, stops and unloads the plug-in libraries (".vll") of a folder and its subfolders.
#include "VxApi.h"

#include <string>
#include <vector>

class VPlugin;
class VPreferencesNode;

class VX_CORE_API VPluginManager {
public:
    VPluginManager() = default;
    VPluginManager(const VPluginManager&) = delete;
    VPluginManager& operator=(const VPluginManager&) = delete;
    // For each plug-in in load order: unregister what it registered, destroy it, unload its library.
    ~VPluginManager();

    void startUp();
    // Loads the folder's own ".vll" files in listing order, then its subfolders, depth-first.
    void loadPlugins(const std::string& folder);
    void shutDown();
    // Hands the "PluginMgr" child of the core's node (or null) to every plug-in.
    void loadPrefs(VPreferencesNode* coreNode);
    // Adds one "PluginMgr" node to coreNode, filled by every plug-in.
    void savePrefs(VPreferencesNode* coreNode);
    int getNumPlugins() const { return static_cast<int>(plugins.size()); }
    // Throws std::invalid_argument for an index outside 0..count-1.
    VPlugin* getPlugin(int index) const;

private:
    void loadLibrary(const std::string& path);

    std::vector<VPlugin*> plugins;
};
