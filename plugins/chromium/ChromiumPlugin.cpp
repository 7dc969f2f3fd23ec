#include "ChromiumPlugin.h"

#include "ChromiumIndexers.h"
#include "ChromiumPrefsDlg.h"
#include "engine/VVerbinoxCore.h"
#include "model/VPreferences.h"
#include "resource.h"
#include "util/ThisModule.h"

VChromiumPlugin::VChromiumPlugin() : settings(chromium::browserKinds().size()) {
    setIcon(vx::loadModuleIcon(IDI_CHROMIUM));
}

VChromiumPlugin::~VChromiumPlugin() {
    for (HICON icon : {getIcon(), urlIcon}) {
        if (icon)
            ::DestroyIcon(icon);
    }
}

bool VChromiumPlugin::startUp() {
    if (!started) {
        for (chromium::Browser& found : chromium::findBrowsers(environment()))
            browsers.push_back(std::make_unique<chromium::Browser>(std::move(found)));
        started = true;
    }
    return !browsers.empty();
}

const chromium::Browser* VChromiumPlugin::findBrowser(std::size_t kind) const {
    for (const auto& browser : browsers) {
        if (browser->kind == kind)
            return browser.get();
    }
    return nullptr;
}

HICON VChromiumPlugin::resultIcon() {
    if (!urlIcon)
        urlIcon = vx::loadModuleIcon(IDI_CHROMIUM_RESULT);
    return urlIcon;
}

const std::vector<VChromiumIndexer*>& VChromiumPlugin::getBookmarksIndexers(std::size_t kind) const {
    return settings[kind].bookmarkIndexers;
}

const std::vector<VChromiumIndexer*>& VChromiumPlugin::getHistoryIndexers(std::size_t kind) const {
    return settings[kind].historyIndexers;
}

template <class Indexer>
void VChromiumPlugin::setSearch(std::size_t kind, std::vector<VChromiumIndexer*>& slot, bool on) {
    VVerbinoxCore* core = VVerbinoxCore::instance();
    if (!on) {
        std::vector<VChromiumIndexer*> gone;
        gone.swap(slot); // forgotten first: unregistering destroys them, after their searches have ended
        for (VChromiumIndexer* indexer : gone)
            core->unregisterIndexer(indexer);
        return;
    }
    const chromium::Browser* browser = findBrowser(kind);
    if (!browser || !slot.empty())
        return;
    for (const chromium::Profile& profile : browser->profiles) {
        auto* created = new Indexer(this, browser, &profile);
        bool registered = false;
        try {
            slot.reserve(slot.size() + 1);
            registered = registerIndexer(created);
        } catch (...) {
            created->deleteThis();
            throw;
        }
        // One the core refuses would never be searched, and nobody else would destroy it.
        if (!registered) {
            created->deleteThis();
            continue;
        }
        slot.push_back(created); // reserved: cannot throw
        // Built on the indexer's own thread, from the table kept since the last run when there is one:
        // the window never waits for a browser's files.
        created->requestRebuild();
    }
}

bool VChromiumPlugin::registerIndexer(VIndexer* created) {
    return VVerbinoxCore::instance()->registerIndexer(created);
}

void VChromiumPlugin::setSearchBookmarks(std::size_t kind, bool on) {
    if (kind >= settings.size())
        return;
    settings[kind].bookmarks = on;
    setSearch<VChromiumBookmarksIndexer>(kind, settings[kind].bookmarkIndexers, on);
}

void VChromiumPlugin::setSearchHistory(std::size_t kind, bool on) {
    if (kind >= settings.size())
        return;
    settings[kind].history = on;
    setSearch<VChromiumHistoryIndexer>(kind, settings[kind].historyIndexers, on);
}

void VChromiumPlugin::editPrefs(HWND parent) {
    ChromiumPrefsDlg dialog(this);
    dialog.run(parent);
}

void VChromiumPlugin::loadPrefs(VPreferencesNode* node) {
    VPreferencesNode* mine = node ? node->getChild("Chromium") : nullptr;
    const std::vector<chromium::BrowserKind>& kinds = chromium::browserKinds();
    for (std::size_t kind = 0; kind < kinds.size(); ++kind) {
        bool bookmarks = true;
        bool history = true;
        if (VPreferencesNode* saved = mine ? mine->getChild(kinds[kind].key) : nullptr) {
            saved->getParam("SearchBookmarks", bookmarks);
            saved->getParam("SearchHistory", history);
        }
        setSearchBookmarks(kind, bookmarks);
        setSearchHistory(kind, history);
    }
}

void VChromiumPlugin::savePrefs(VPreferencesNode* node) {
    if (!node)
        return;
    VPreferencesNode* mine = VPreferencesNode::createInstance("Chromium");
    const std::vector<chromium::BrowserKind>& kinds = chromium::browserKinds();
    for (std::size_t kind = 0; kind < kinds.size(); ++kind) {
        VPreferencesNode* browser = VPreferencesNode::createInstance(kinds[kind].key);
        browser->setParam("SearchBookmarks", settings[kind].bookmarks);
        browser->setParam("SearchHistory", settings[kind].history);
        mine->addChild(browser);
    }
    node->addChild(mine);
}
