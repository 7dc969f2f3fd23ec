#pragma once
// The file-system plug-in: its search folders, their presets, and the append action.
#include "AppendAction.h"
#include "engine/VPlugin.h"

#include <vector>

class VDiskdexIndexer;
class VAppendAction;

class VDiskdexPlugin : public VPlugin {
public:
    VDiskdexPlugin();
    ~VDiskdexPlugin() override;

    std::string getName() override { return name; }
    std::string getDescription() override { return description; }
    std::string getAuthor() override { return author; }
    std::string getVersion() override { return version; }
    // Creates and registers the append action.
    bool startUp() override;
    bool shutDown() override { return true; }
    bool hasEditablePrefs() const override { return true; }
    void editPrefs(HWND parent) override;
    // The "Diskdex" child of node, or the seven presets on a first run.
    void loadPrefs(VPreferencesNode* node) override;
    void savePrefs(VPreferencesNode* node) override;

    // Keeps the indexer, registers it with the core and asks its builder for a cache: returns at once.
    void addIndexer(VDiskdexIndexer* indexer);
    // addIndexer for each, in their order; their caches are built side by side.
    void addIndexers(const std::vector<VDiskdexIndexer*>& added);
    // Forgets the indexer and unregisters it, which stops its worker and then destroys it.
    void removeIndexer(VDiskdexIndexer* indexer);
    void createPresets();
    const std::vector<VDiskdexIndexer*>& getIndexers() const { return indexers; }
    VAppendAction* getAppendAction() const { return appendAction; }

private:
    void registerIndexer(VDiskdexIndexer* indexer);
    std::vector<VDiskdexIndexer*> indexers; // registered with the core, which owns them
    VAppendAction* appendAction = nullptr;  // likewise
    // The append records read while the action is not registered (another plug-in took its keyword):
    // kept, so that saving never erases them.
    std::vector<VAppendAction::AppendFile> keptAppendFiles;
    std::string name = "Diskdex";
    std::string description = "Diskdex extension";
    std::string author = "Ormandel";
    std::string version = "1.0";
};
