#include "FirefoxPlugin.h"

#include "FirefoxBookmarksIndexer.h"
#include "FirefoxHistoryIndexer.h"
#include "util/ThisModule.h"
#include "FirefoxPrefsDlg.h"
#include "engine/VVerbinoxCore.h"
#include "model/VPreferences.h"
#include "resource.h"
#include "util/CRegValue.h"
#include "util/Environment.h"
#include "util/VxText.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

namespace {

const char kMozillaKey[] = "Software\\Mozilla\\Mozilla Firefox\\";

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

// The names of every section, in the file's order.
std::vector<std::string> profileSections(const std::string& iniFile) {
    std::vector<char> buffer(4096);
    for (;;) {
        DWORD n = ::GetPrivateProfileSectionNamesA(buffer.data(), static_cast<DWORD>(buffer.size()),
                                                   iniFile.c_str());
        if (n + 2 < buffer.size()) {
            std::vector<std::string> names;
            for (const char* at = buffer.data(); at < buffer.data() + n && *at; at += std::strlen(at) + 1)
                names.emplace_back(at);
            return names;
        }
        buffer.resize(buffer.size() * 2);
    }
}

// "Profile" and a number, as the browser names them.
bool isProfileSection(const std::string& section) {
    const std::size_t prefix = std::strlen("Profile");
    if (section.size() <= prefix || ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, section.c_str(),
                                                     static_cast<int>(prefix), "Profile", -1) != CSTR_EQUAL)
        return false;
    return std::all_of(section.begin() + prefix, section.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "C:\...", "\\server\..." or "\...": a path that names its own place.
bool isAbsolutePath(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':')
        return true;
    return !path.empty() && (path[0] == '\\' || path[0] == '/');
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
    return vx::environmentVariable("APPDATA");
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
    if (!current.empty())
        browserPath = installedValue(kMozillaKey + current + "\\Main\\PathToExe");
    // A portable copy and a Store install write no key, yet keep their profiles where every other
    // install does: the user's profile list is enough.
    installed = !current.empty() || vx::isFile(profilesListFile());
    return installed;
}

std::string VFirefoxPlugin::profilesListFile() const {
    std::string folder = appDataFolder();
    if (folder.empty())
        return std::string();
    if (folder.back() != '\\')
        folder += '\\';
    return folder + "Mozilla\\Firefox\\profiles.ini";
}

std::vector<std::string> VFirefoxPlugin::profileFolders() const {
    std::vector<std::string> folders;
    const std::string list = profilesListFile();
    if (list.empty())
        return folders;
    const std::string base = list.substr(0, list.size() - std::strlen("profiles.ini"));
    std::set<std::string> seen;
    for (const std::string& section : profileSections(list)) {
        // "[General]", "[Install...]" and the like describe no profile.
        if (!isProfileSection(section))
            continue;
        std::string path = profileString(list, section.c_str(), "Path");
        if (path.empty())
            continue;
        const std::string relative = profileString(list, section.c_str(), "IsRelative");
        if (relative == "1" || (relative.empty() && !isAbsolutePath(path)))
            path = base + path;
        while (path.size() > 1 && (path.back() == '\\' || path.back() == '/'))
            path.pop_back();
        // The browser writes forward slashes into relative paths; both name the same folder.
        std::string key = vx::lowered(path);
        std::replace(key.begin(), key.end(), '/', '\\');
        if (seen.insert(key).second)
            folders.push_back(path);
    }
    return folders;
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
    // One the core refuses would never be searched, and nobody else would destroy it.
    if (!usable || !registerIndexer(created)) {
        created->deleteThis();
        return;
    }
    slot = created;
    // Built on the indexer's own thread, from the table kept since the last run when there is one: the
    // window never waits for a profile's databases.
    created->requestRebuild();
}

bool VFirefoxPlugin::registerIndexer(VIndexer* created) {
    return VVerbinoxCore::instance()->registerIndexer(created);
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
