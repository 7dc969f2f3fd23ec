#include "FirefoxPlugin.h"

#include "FirefoxBookmarksIndexer.h"
#include "FirefoxHistoryIndexer.h"
#include "FirefoxModule.h"
#include "util/ThisModule.h"
#include "FirefoxPrefsDlg.h"
#include "engine/VVerbinoxCore.h"
#include "model/VPreferences.h"
#include "resource.h"
#include "util/CRegValue.h"

#include <vector>

namespace {

const char kMozillaKey[] = "Software\\Mozilla\\Mozilla Firefox\\";

std::string environmentVariable(const char* variable) {
    DWORD n = ::GetEnvironmentVariableA(variable, nullptr, 0);
    if (n == 0)
        return std::string();
    std::string value(n, '\0');
    n = ::GetEnvironmentVariableA(variable, &value[0], n);
    if (n == 0 || n >= value.size())
        return std::string();
    value.resize(n);
    return value;
}

// A private-profile string of any length: the reader answers size - 1 when the buffer was too small.
std::string profileString(const std::string& iniFile, const char* section, const char* key) {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        DWORD n = ::GetPrivateProfileStringA(section, key, "", buffer.data(),
                                             static_cast<DWORD>(buffer.size()), iniFile.c_str());
        if (n + 1 < buffer.size())
            return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace

VFirefoxPlugin::VFirefoxPlugin() {
    setIcon(vx::loadModuleIcon(IDI_FIREFOX));
}

VFirefoxPlugin::~VFirefoxPlugin() {
    for (HICON icon : {getIcon(), bookmarkIcon, historyIcon}) {
        if (icon)
            ::DestroyIcon(icon);
    }
}

std::string VFirefoxPlugin::appDataFolder() const {
    return environmentVariable("APPDATA");
}

std::string VFirefoxPlugin::registryString(HKEY root, const std::string& keyText) const {
    return CRegString(keyText, std::string(), false, root);
}

std::string VFirefoxPlugin::installedValue(const std::string& keyText) const {
    std::string value = registryString(HKEY_CURRENT_USER, keyText);
    if (value.empty())
        value = registryString(HKEY_LOCAL_MACHINE, keyText);
    return value;
}

bool VFirefoxPlugin::startUp() {
    const std::string current = installedValue(std::string(kMozillaKey) + "CurrentVersion");
    installed = !current.empty();
    if (installed)
        browserPath = installedValue(kMozillaKey + current + "\\Main\\PathToExe");
    return installed;
}

std::string VFirefoxPlugin::profileFile(const char* fileName) const {
    std::string folder = appDataFolder();
    if (folder.empty())
        return std::string();
    if (folder.back() != '\\')
        folder += '\\';
    folder += "Mozilla\\Firefox\\";
    // Only the first profile, and its path always relative: what the browser's own installer writes.
    const std::string profile = profileString(folder + "profiles.ini", "Profile0", "Path");
    if (profile.empty())
        return std::string();
    return folder + profile + "\\" + fileName;
}

HICON VFirefoxPlugin::resultIcon(bool history) {
    HICON& icon = history ? historyIcon : bookmarkIcon;
    if (!icon)
        icon = vx::loadModuleIcon(IDI_FIREFOX_RESULT);
    return icon;
}

template <class Indexer> void VFirefoxPlugin::setSearch(Indexer*& slot, bool on) {
    if (!on) {
        if (Indexer* gone = slot) {
            // Forgotten first: unregistering destroys it, after its search has ended.
            slot = nullptr;
            VVerbinoxCore::instance()->unregisterIndexer(gone);
        }
        return;
    }
    if (slot)
        return;
    auto* created = new Indexer(this);
    bool usable = false;
    try {
        usable = created->init();
    } catch (...) {
        created->deleteThis();
        throw;
    }
    if (!usable) {
        created->deleteThis();
        return;
    }
    slot = created;
    VVerbinoxCore::instance()->registerIndexer(created);
}

void VFirefoxPlugin::setSearchBookmarks(bool on) {
    setSearch(bookmarksIndexer, on);
}

void VFirefoxPlugin::setSearchHistory(bool on) {
    setSearch(historyIndexer, on);
}

void VFirefoxPlugin::editPrefs(HWND parent) {
    FirefoxPrefsDlg dialog(this);
    dialog.run(parent);
}

void VFirefoxPlugin::loadPrefs(VPreferencesNode* node) {
    VPreferencesNode* mine = node ? node->getChild("Firefox") : nullptr;
    bool bookmarks = true;
    bool history = false;
    if (mine) {
        mine->getParam("SearchFfBookmarks", bookmarks);
        mine->getParam("SearchFfHistory", history);
    }
    setSearchBookmarks(bookmarks);
    setSearchHistory(history);
}

void VFirefoxPlugin::savePrefs(VPreferencesNode* node) {
    if (!node)
        return;
    VPreferencesNode* mine = VPreferencesNode::createInstance("Firefox");
    mine->setParam("SearchFfBookmarks", bookmarksIndexer != nullptr);
    mine->setParam("SearchFfHistory", historyIndexer != nullptr);
    node->addChild(mine);
}
