#pragma once
// The object a plug-in library hands to the core through its exported pluginInit.
#include "VxApi.h"

#include <windows.h>

#include <string>

class VPreferencesNode;

class VX_CORE_API VPlugin {
public:
    VPlugin() = default;
    VPlugin(const VPlugin&) = delete;
    VPlugin& operator=(const VPlugin&) = delete;
    virtual ~VPlugin();

    // Destroys the plug-in inside its own library.
    virtual void deleteThis();
    virtual std::string getName() = 0;
    virtual std::string getDescription() = 0;
    virtual std::string getAuthor() = 0;
    virtual std::string getVersion() = 0;
    virtual bool startUp() { return true; }
    virtual bool shutDown() { return true; }
    virtual bool hasEditablePrefs() const { return false; }
    virtual void editPrefs(HWND parent) {}
    virtual std::string getBrowserPath() const { return std::string(); }
    virtual void loadPrefs(VPreferencesNode* node) {}
    virtual void savePrefs(VPreferencesNode* node) {}

    HICON getIcon() const { return icon; }
    void setIcon(HICON newIcon) { icon = newIcon; }
    HMODULE getModule() const { return module; }
    void setModule(HMODULE newModule) { module = newModule; }

private:
    HMODULE module = nullptr;
    HICON icon = nullptr;
};

// The one export of every plug-in library.
extern "C" {
typedef VPlugin* (*PluginInitFunc)();
}
