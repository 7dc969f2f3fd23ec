#include "OutlookPlugin.h"

#include "ContactIndexer.h"
#include "OutlookModule.h"
#include "util/ThisModule.h"
#include "OutlookPrefsDlg.h"
#include "engine/VVerbinoxCore.h"
#include "model/VPreferences.h"
#include "resource.h"

#include <cstdio>

std::atomic<int> VOutlookPlugin::contactAction{VOutlookPlugin::NewEmail};
std::atomic<int> VOutlookPlugin::instances{0};

VOutlookPlugin::VOutlookPlugin(outlook::Component component) : component(std::move(component)) {
    ++instances;
    setIcon(vx::loadModuleIcon(IDI_OUTLOOK));
}

VOutlookPlugin::~VOutlookPlugin() {
    if (session)
        session->stop();
    if (getIcon())
        ::DestroyIcon(getIcon());
    if (--instances == 0)
        outlook::releaseContactIcon();
}

bool VOutlookPlugin::startUp() {
    VContactIndexer* created = nullptr;
    bool registered = false;
    try {
        // Most machines have no component. Asking the registry first spares them the apartment thread
        // and its OLE set-up, which cost every start 5 to 9 ms under Wine only to fail at the first object.
        if (!component.installed || !component.installed(component.sessionProgId) ||
            !component.installed(component.utilsProgId))
            return false;
        session = std::make_shared<COutlookSession>(component, &VOutlookPlugin::log);
        if (session->start()) {
            created = new VContactIndexer(this, session);
            if (created->init())
                registered = VVerbinoxCore::instance()->registerIndexer(created);
        }
    } catch (...) {
        registered = false;
    }
    if (registered) {
        indexer = created;
        // Read on the indexer's own thread: a mail server slow to answer never holds the window.
        created->requestRebuild();
        return true;
    }
    // The indexer logs off as it goes; then the thread ends, with OLE released on it.
    if (created)
        created->deleteThis();
    if (session)
        session->stop();
    session.reset();
    return false;
}

void VOutlookPlugin::editPrefs(HWND parent) {
    OutlookPrefsDlg dialog(getContactAction());
    if (dialog.run(parent) == IDOK)
        setContactAction(dialog.getContactAction());
}

void VOutlookPlugin::loadPrefs(VPreferencesNode* node) {
    try {
        VPreferencesNode* mine = node ? node->getChild("Outlook") : nullptr;
        int value = 0;
        if (mine && mine->getParam("ContactAction", value))
            setContactAction(value);
    } catch (...) {
        // No memory to read the setting: the one in effect stays.
    }
}

void VOutlookPlugin::savePrefs(VPreferencesNode* node) {
    if (!node)
        return;
    VPreferencesNode* mine = nullptr;
    try {
        mine = VPreferencesNode::createInstance("Outlook");
        mine->setParam("ContactAction", getContactAction());
        node->addChild(mine);
    } catch (...) {
        // Adding it is the last step: the node is not in the tree, and nobody else would free it.
        if (mine)
            mine->deleteThis();
    }
}

void VOutlookPlugin::log(const std::string& message) {
    const std::string path = VVerbinoxCore::instance()->getAppLocation() + "outlook.log";
    // Text mode: the line break is written as CR LF.
    FILE* file = std::fopen(path.c_str(), "a");
    if (!file)
        return;
    std::fputs(message.c_str(), file);
    std::fputc('\n', file);
    std::fclose(file);
}
