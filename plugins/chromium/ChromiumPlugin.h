#pragma once
// The Chromium plug-in: the bookmarks and the history of every profile of every installed browser of
// the Chromium family (Chrome, Edge, Brave, Vivaldi, Chromium, Opera) made searchable, one indexer per
// profile and source. Each browser's bookmarks and history can be switched on and off; both are on
// until the user says otherwise. The browsers are only read, never started, and their folders are
// never written to. Without any of them installed the plug-in declines to start and is unloaded.
#include "ChromiumBrowsers.h"
#include "engine/VPlugin.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

class VChromiumIndexer;
class VIndexer;

class VChromiumPlugin : public VPlugin {
public:
    VChromiumPlugin();
    ~VChromiumPlugin() override;

    std::string getName() override { return name; }
    std::string getDescription() override { return description; }
    std::string getAuthor() override { return author; }
    std::string getVersion() override { return version; }
    // Finds the installed browsers and their profiles; false when there is none.
    bool startUp() override;
    bool shutDown() override { return true; }
    bool hasEditablePrefs() const override { return true; }
    void editPrefs(HWND parent) override;
    // The "Chromium" child of node: one child per browser ("Chrome", "Edge", ...) with "SearchBookmarks"
    // and "SearchHistory", both on unless saved off. Settings of browsers that are not installed are
    // kept as they were saved.
    void loadPrefs(VPreferencesNode* node) override;
    void savePrefs(VPreferencesNode* node) override;

    // The installed browser of that kind (an index into chromium::browserKinds()), or null.
    const chromium::Browser* findBrowser(std::size_t kind) const;
    const std::vector<std::unique_ptr<chromium::Browser>>& getBrowsers() const { return browsers; }
    // On: creates and registers the indexers of every profile of the browser unless they exist, and
    // asks each for its table, built on its own thread; one the core refuses is destroyed at once. Off:
    // unregisters (and so destroys) them. For a browser that is not installed only the setting changes.
    void setSearchBookmarks(std::size_t kind, bool on);
    void setSearchHistory(std::size_t kind, bool on);
    bool getSearchBookmarks(std::size_t kind) const { return settings[kind].bookmarks; }
    bool getSearchHistory(std::size_t kind) const { return settings[kind].history; }
    // The registered indexers of a browser, one per profile.
    const std::vector<VChromiumIndexer*>& getBookmarksIndexers(std::size_t kind) const;
    const std::vector<VChromiumIndexer*>& getHistoryIndexers(std::size_t kind) const;

    // The icon drawn beside every result: loaded at the first call, destroyed with the plug-in, after
    // every result (the core destroys plug-ins last).
    HICON resultIcon();

protected:
    // Where the browsers are looked for; tests point it elsewhere.
    virtual chromium::Environment environment() const { return chromium::systemEnvironment(); }
    // Hands an indexer to the core; false when the core refuses it.
    virtual bool registerIndexer(VIndexer* created);

private:
    struct Setting {
        bool bookmarks = true;
        bool history = true;
        std::vector<VChromiumIndexer*> bookmarkIndexers; // owned by the core once registered
        std::vector<VChromiumIndexer*> historyIndexers;
    };
    template <class Indexer> void setSearch(std::size_t kind, std::vector<VChromiumIndexer*>& slot, bool on);

    std::string name = "Chromium";
    std::string description = "Chrome, Edge, Brave, Vivaldi, Chromium and Opera bookmarks and history";
    std::string author = "Ormandel";
    std::string version = "1.0";
    std::vector<std::unique_ptr<chromium::Browser>> browsers; // addresses stay put: results point here
    std::vector<Setting> settings;                            // one per browser kind
    bool started = false;
    HICON urlIcon = nullptr;
};
