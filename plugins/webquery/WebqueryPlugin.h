#pragma once
// The web-search plug-in: one keyword action per search engine, fifteen of them on a first run.
#include "engine/VPlugin.h"
#include "util/Win32Handle.h"

#include <string>
#include <vector>

class VSearchAction;

class VWebqueryPlugin : public VPlugin {
public:
    // The engines' icons are the ".ico" files of the folder "images" beside the library.
    VWebqueryPlugin();
    // The icons of another folder (ending in a backslash).
    explicit VWebqueryPlugin(const std::string& imagesFolder);
    // Destroys the searches the core refused, which stay ours; the core destroys the others.
    ~VWebqueryPlugin() override;

    std::string getName() override { return name; }
    std::string getDescription() override { return description; }
    std::string getAuthor() override { return author; }
    std::string getVersion() override { return version; }
    bool startUp() override { return true; }
    bool shutDown() override { return true; }
    bool hasEditablePrefs() const override { return true; }
    void editPrefs(HWND parent) override;
    // The "Webquery" child of node, or the default searches when there is none. A "Webquery" node
    // without searches leaves the plug-in without any.
    void loadPrefs(VPreferencesNode* node) override;
    void savePrefs(VPreferencesNode* node) override;

    // Appends the search and registers it. One whose keyword another action has is refused by the
    // core: it stays listed and saved, is never offered, and is destroyed with the plug-in.
    void addAction(VSearchAction* action);
    // Forgets the search, unregisters it (its shortcut and default-action entries go with it) and
    // destroys it. Nothing for a search not in the list.
    void removeAction(VSearchAction* action);
    // After an edit: a search refused for its keyword is offered to the core again; a registered one
    // whose keyword now is another action's is unregistered and kept as refused.
    void actionEdited(VSearchAction* action);
    bool isRegistered(const VSearchAction* action) const;
    void createDefaults();
    // The index in getIconFiles() of the path, compared ignoring case; -1 when absent.
    int findIcon(const std::string& path) const;

    const std::vector<VSearchAction*>& getActions() const { return actions; }
    const std::string& getImagesFolder() const { return imagesFolder; }
    const std::vector<std::string>& getIconFiles() const { return iconFiles; }
    // 16 x 16 icons, one per entry of getIconFiles(), in the same order (a blank for a file that does
    // not load or an icon the list refuses); owned by the plug-in. Made the first time it is asked for
    // (only the editing dialogs show it): reading a dozen icon files took about 35 ms of every start
    // under Wine.
    HIMAGELIST getImageList();

protected:
    // Adds an icon to the image list: its index, or -1 when the list refuses it (a format it cannot
    // take, no memory to grow). Tests stand in for a list that refuses.
    virtual int addIcon(HIMAGELIST list, HICON icon);

private:
    void findIconFiles();

    std::vector<VSearchAction*> actions;
    std::vector<VSearchAction*> refused; // in actions but not registered: owned here
    std::string imagesFolder;
    std::vector<std::string> iconFiles;
    vx::CImageListHandle imageList;
    std::string name = "Webquery";
    std::string description = "Webquery extension";
    std::string author = "Ormandel";
    std::string version = "1.0";
};
