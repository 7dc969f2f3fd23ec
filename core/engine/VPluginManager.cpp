#include "engine/VPluginManager.h"

#include "engine/VPlugin.h"
#include "engine/VVerbinoxCore.h"
#include "model/VPreferences.h"
#include "util/Win32Handle.h"

#include <windows.h>

#include <cstring>
#include <stdexcept>

#ifndef LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
#define LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR 0x00000100
#define LOAD_LIBRARY_SEARCH_DEFAULT_DIRS 0x00001000
#endif

namespace {

// Unloads a library when it yields no plug-in.
struct LibraryGuard {
    HMODULE module;
    ~LibraryGuard() {
        if (module)
            ::FreeLibrary(module);
    }
};

HMODULE loadPluginLibrary(const std::string& path) {
    // By full path, with the plug-in's own folder and the system folders only: never a DLL from the
    // current directory. Systems without the safe search flags (Windows 7 without KB2533623) refuse
    // them with ERROR_INVALID_PARAMETER; the altered search path is the next best there.
    HMODULE module = ::LoadLibraryExA(path.c_str(), nullptr,
                                      LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (!module && ::GetLastError() == ERROR_INVALID_PARAMETER)
        module = ::LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    return module;
}

} // namespace

VPluginManager::~VPluginManager() {
    std::vector<VPlugin*> loaded;
    loaded.swap(plugins);
    for (VPlugin* plugin : loaded)
        unload(plugin, plugin->getModule());
}

void VPluginManager::unload(VPlugin* plugin, HMODULE module) {
    // Nothing of a library that is about to be unloaded may stay registered or alive: its code and
    // its virtual tables go with it.
    core->unregisterPlugin(plugin);
    try {
        plugin->deleteThis();
    } catch (...) {
        // A destructor that throws has done what it could; the library goes all the same.
    }
    if (module)
        ::FreeLibrary(module);
}

void VPluginManager::startUp() {
    loadPlugins(core->getPluginsPath());
}

VPlugin* VPluginManager::getPlugin(int index) const {
    if (index < 0 || index >= getNumPlugins())
        throw std::invalid_argument("plug-in index out of range");
    return plugins[static_cast<std::size_t>(index)];
}

void VPluginManager::loadPlugins(const std::string& folderIn) {
    std::string folder = folderIn;
    if (!folder.empty() && folder.back() != '\\')
        folder += '\\';
    DWORD attributes = ::GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return;

    std::vector<std::string> subfolders;
    WIN32_FIND_DATAA data;
    {
        vx::CFindHandle find(::FindFirstFileA((folder + "*.*").c_str(), &data));
        if (!find.IsValid())
            return;
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                continue;
            // A junction or symbolic link may point back up the tree: never follow one.
            if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                continue;
            if (std::strcmp(data.cFileName, ".") == 0 || std::strcmp(data.cFileName, "..") == 0)
                continue;
            subfolders.push_back(data.cFileName);
        } while (::FindNextFileA(find.Get(), &data));
    }
    {
        vx::CFindHandle find(::FindFirstFileA((folder + "*.vll").c_str(), &data));
        if (find.IsValid()) {
            do {
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    loadLibrary(folder + data.cFileName);
            } while (::FindNextFileA(find.Get(), &data));
        }
    }

    for (const std::string& sub : subfolders)
        loadPlugins(folder + sub);
}

void VPluginManager::loadLibrary(const std::string& path) {
    LibraryGuard library{loadPluginLibrary(path)};
    if (!library.module)
        return;
    auto init = reinterpret_cast<PluginInitFunc>(::GetProcAddress(library.module, "pluginInit"));
    if (!init)
        return;
    VPlugin* plugin = nullptr;
    bool started = false;
    try {
        plugin = init();
        started = plugin && plugin->startUp();
    } catch (...) {
        started = false;
    }
    // The exception object, if any, is gone by now: its code may live in the library.
    if (!plugin)
        return;
    if (!started) {
        // It may have registered actions or indexers before it gave up.
        unload(plugin, nullptr);
        return;
    }
    try {
        plugins.push_back(plugin);
    } catch (...) {
        unload(plugin, nullptr);
        return;
    }
    plugin->setModule(library.module);
    library.module = nullptr;
}

void VPluginManager::shutDown() {
    for (VPlugin* plugin : plugins) {
        try {
            plugin->shutDown();
        } catch (...) {
            // It is unregistered, destroyed and unloaded with the others when the manager goes.
        }
    }
}

void VPluginManager::loadPrefs(VPreferencesNode* coreNode) {
    VPreferencesNode* node = coreNode ? coreNode->getChild("PluginMgr") : nullptr;
    for (std::size_t i = 0; i < plugins.size();) {
        VPlugin* plugin = plugins[i];
        bool loaded = false;
        try {
            plugin->loadPrefs(node);
            loaded = true;
        } catch (...) {
        }
        if (loaded) {
            ++i;
            continue;
        }
        // Half-loaded settings may have left indexers or actions in any state: the plug-in goes.
        plugins.erase(plugins.begin() + static_cast<std::ptrdiff_t>(i));
        unload(plugin, plugin->getModule());
    }
}

void VPluginManager::savePrefs(VPreferencesNode* coreNode) {
    if (!coreNode)
        return;
    VPreferencesNode* node = VPreferencesNode::createInstance("PluginMgr");
    for (VPlugin* plugin : plugins) {
        try {
            plugin->savePrefs(node);
        } catch (...) {
            // What it added before it threw is kept; the other plug-ins' settings must be saved anyway.
        }
    }
    coreNode->addChild(node);
}
