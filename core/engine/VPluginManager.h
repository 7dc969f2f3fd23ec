#pragma once
// Finds, loads, starts, stops and unloads the plug-in libraries (".vll") of a folder and its subfolders.
// Whatever a plug-in throws from pluginInit, startUp, loadPrefs, savePrefs or shutDown stops here: a
// plug-in that throws while starting or loading its settings is unregistered, destroyed and its library
// unloaded, and the others go on.
#include "VxApi.h"

#include <windows.h>

#include <string>
#include <vector>

class VPlugin;
class VPreferencesNode;
class VVerbinoxCore;

class VX_CORE_API VPluginManager {
public:
    // The manager works for the core that owns it, never for whatever instance() answers: the core may
    // be in its destructor when the manager is destroyed.
    explicit VPluginManager(VVerbinoxCore* core) : core(core) {}
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
    // Unregisters what the plug-in registered, destroys it and unloads its library.
    void unload(VPlugin* plugin, HMODULE module);

    VVerbinoxCore* core;
    std::vector<VPlugin*> plugins;
};
