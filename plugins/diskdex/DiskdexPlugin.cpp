#include "DiskdexPlugin.h"

#include "AppendAction.h"
#include "DiskdexIndexer.h"
#include "util/ThisModule.h"
#include "DiskdexPrefsDlg.h"
#include "engine/VVerbinoxCore.h"
#include "model/VPreferences.h"

#include <algorithm>
#include <vector>

namespace {

struct Preset {
    const char* path;
    const char* include;
    const char* exclude;
    bool recurse;
};

const char* const kMedia = "*.doc;*.pdf;*.xls;*.txt;*.jpg;*.mp3;*.ogg;*.wma;*.avi;*.mpg;*.mov";

} // namespace

VDiskdexPlugin::VDiskdexPlugin() {
    setIcon(vx::loadModuleIcon(5000));
}

VDiskdexPlugin::~VDiskdexPlugin() {
    if (getIcon())
        ::DestroyIcon(getIcon());
}

bool VDiskdexPlugin::startUp() {
    appendAction = new VAppendAction(this);
    if (!VVerbinoxCore::instance()->registerAction(appendAction)) {
        // Another plug-in owns the keyword: ours would never be offered.
        appendAction->deleteThis();
        appendAction = nullptr;
    }
    return true;
}

void VDiskdexPlugin::editPrefs(HWND parent) {
    DiskdexPrefsDlg dialog(this);
    dialog.run(parent);
}

void VDiskdexPlugin::addIndexer(VDiskdexIndexer* indexer) {
    registerIndexer(indexer);
    // Built on the indexer's own builder: the window never waits for a walk.
    indexer->requestRebuild();
}

void VDiskdexPlugin::registerIndexer(VDiskdexIndexer* indexer) {
    indexers.push_back(indexer);
    VVerbinoxCore::instance()->registerIndexer(indexer);
}

void VDiskdexPlugin::addIndexers(const std::vector<VDiskdexIndexer*>& added) {
    // Each builder loads its persisted cache, or walks its folder, side by side with the others; searches
    // meanwhile find what is ready.
    for (VDiskdexIndexer* indexer : added)
        addIndexer(indexer);
}

void VDiskdexPlugin::removeIndexer(VDiskdexIndexer* indexer) {
    auto it = std::find(indexers.begin(), indexers.end(), indexer);
    if (it == indexers.end())
        return;
    indexers.erase(it);
    VVerbinoxCore::instance()->unregisterIndexer(indexer);
}

void VDiskdexPlugin::createPresets() {
    const std::string media = kMedia;
    const Preset presets[] = {
        {"%START_MENU%", "*.lnk", "*uninstall*", true}, {"%START_MENU_ALL%", "*.lnk", "*uninstall*", true},
        {"%MY_DOCUMENTS%", kMedia, "", true},           {"%DESKTOP%", nullptr, "", true},
        {"%DESKTOP_ALL%", nullptr, "", true},           {"%RECENT%", "*.lnk", "", false},
        {"%QUICK_LAUNCH%", "*.lnk", "", false},
    };
    std::vector<VDiskdexIndexer*> created;
    for (int i = 0; i < 7; ++i) {
        const Preset& p = presets[i];
        auto* indexer = new VDiskdexIndexer(this);
        indexer->setPath(p.path);
        std::string include = p.include ? p.include : "";
        if (i == 3)
            include = "*.exe;" + media; // the user's desktop: programs, but no shortcuts
        if (i == 4)
            include = "*.exe;*.lnk;" + media;
        indexer->setFilterString(include, VDiskdexIndexer::IncludeFilters);
        indexer->setFilterString(p.exclude, VDiskdexIndexer::ExcludeFilters);
        indexer->setRecurse(p.recurse);
        indexer->setMatchDirectories(false);
        created.push_back(indexer);
    }
    addIndexers(created);
}

void VDiskdexPlugin::loadPrefs(VPreferencesNode* node) {
    VPreferencesNode* mine = node ? node->getChild("Diskdex") : nullptr;
    if (!mine) {
        createPresets();
        return;
    }
    std::vector<VDiskdexIndexer*> created;
    for (int i = 0; i < mine->getNumChildren(); ++i) {
        VPreferencesNode* child = mine->getChild(i);
        if (child->getName() == "Indexer") {
            auto* indexer = new VDiskdexIndexer(this);
            indexer->loadPrefs(child);
            created.push_back(indexer);
        } else if (child->getName() == "AppendAction") {
            if (appendAction)
                appendAction->loadPrefs(child);
            else {
                std::vector<VAppendAction::AppendFile> read = VAppendAction::readFiles(child);
                keptAppendFiles.insert(keptAppendFiles.end(), read.begin(), read.end());
            }
        }
    }
    addIndexers(created);
}

void VDiskdexPlugin::savePrefs(VPreferencesNode* node) {
    if (!node)
        return;
    VPreferencesNode* mine = VPreferencesNode::createInstance("Diskdex");
    for (VDiskdexIndexer* indexer : indexers) {
        VPreferencesNode* child = VPreferencesNode::createInstance("Indexer");
        indexer->savePrefs(child);
        mine->addChild(child);
    }
    if (appendAction)
        appendAction->savePrefs(mine);
    else
        VAppendAction::writeFiles(mine, keptAppendFiles);
    node->addChild(mine);
}
