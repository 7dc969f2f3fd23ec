#pragma once
// The Firefox plug-in: the bookmarks and the browsing history of the user's Firefox profiles made
// searchable, each through an indexer of its own that can be switched on and off. The browser is only
// read, never started: its files in the profile, and where it is installed from the registry. Without an
// installed Firefox or a profile list the plug-in declines to start and is unloaded.
#include "engine/VPlugin.h"

#include <windows.h>

#include <string>
#include <vector>

class VFirefoxBookmarksIndexer;
class VFirefoxHistoryIndexer;
class VIndexer;

class VFirefoxPlugin : public VPlugin {
public:
    VFirefoxPlugin();
    ~VFirefoxPlugin() override;

    std::string getName() override { return name; }
    std::string getDescription() override { return description; }
    std::string getAuthor() override { return author; }
    std::string getVersion() override { return version; }
    // Finds the installed version and its program in the registry, or else the user's profile list;
    // false when there is neither.
    bool startUp() override;
    bool shutDown() override { return true; }
    bool hasEditablePrefs() const override { return true; }
    void editPrefs(HWND parent) override;
    std::string getBrowserPath() const override { return browserPath; }
    // The "Firefox" child of node: bookmarks on unless saved off, history off unless saved on.
    void loadPrefs(VPreferencesNode* node) override;
    void savePrefs(VPreferencesNode* node) override;

    // On: creates and registers the indexer unless it exists, and asks for its table, built on its own
    // thread; an indexer whose file is missing, or that the core refuses, is destroyed at once, so the
    // setting reads as off. Off: unregisters (and so destroys) it.
    void setSearchBookmarks(bool on);
    void setSearchHistory(bool on);
    VFirefoxBookmarksIndexer* getBookmarksIndexer() const { return bookmarksIndexer; }
    VFirefoxHistoryIndexer* getHistoryIndexer() const { return historyIndexer; }
    bool isInstalled() const { return installed; }

    // "profiles.ini" in the Firefox folder under "APPDATA"; empty without "APPDATA".
    std::string profilesListFile() const;
    // The folder of every profile that file lists, in its order, each once, without a trailing
    // backslash: "Path" of each "[ProfileN]" section, relative to the Firefox folder when "IsRelative"
    // is 1 (or missing, for a path without a drive or a leading backslash), as given otherwise.
    std::vector<std::string> profileFolders() const;
    // The icon drawn beside the results of one indexer kind: loaded at the first call for that kind and
    // destroyed with the plug-in, after every result (the core destroys plug-ins last).
    HICON resultIcon(bool history);

protected:
    // Where the plug-in looks; tests point it elsewhere. The "APPDATA" environment variable (empty when
    // unset), and a registry string under root (empty when missing).
    virtual std::string appDataFolder() const;
    virtual std::string registryString(HKEY root, const std::string& keyText) const;
    // Hands an indexer to the core; false when the core refuses it.
    virtual bool registerIndexer(VIndexer* created);

private:
    // The current user's value, else the machine's.
    std::string installedValue(const std::string& keyText) const;
    template <class Indexer> void setSearch(Indexer*& slot, bool on);

    std::string name = "Firefox";
    std::string description = "Firefox extension";
    std::string author = "Ormandel";
    std::string version = "1.0";
    std::string browserPath;
    bool installed = false;
    VFirefoxBookmarksIndexer* bookmarksIndexer = nullptr; // owned by the core once registered
    VFirefoxHistoryIndexer* historyIndexer = nullptr;     // likewise
    HICON bookmarkIcon = nullptr;
    HICON historyIcon = nullptr;
};
