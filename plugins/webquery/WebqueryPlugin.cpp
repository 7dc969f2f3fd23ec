#include "WebqueryPlugin.h"

#include "SearchAction.h"
#include "WebqueryModule.h"
#include "util/ThisModule.h"
#include "WebqueryPrefs.h"
#include "engine/VVerbinoxCore.h"
#include "model/VPreferences.h"
#include "resource.h"
#include "util/VxText.h"

#include <algorithm>

namespace {

struct DefaultSearch {
    const char* name;
    const char* keyword;
    const char* description;
    const char* icon;
    const char* url;
    const char* suffix;
};

const DefaultSearch kDefaults[] = {
    {"Google", "google", "Google search", "google.ico",
     "https://www.google.com/search?q=", "&sourceid=Verbinox"},
    {"Google Maps", "gmaps", "Google Maps search", "google.ico",
     "https://maps.google.com/maps?f=q&hl=en&q=", "&sourceid=Verbinox"},
    {"Yahoo", "yahoo", "Yahoo search", "yahoo.ico", "https://search.yahoo.com/search?p=", ""},
    {"Wikipedia", "wiki", "Wikipedia search", "wiki.ico", "https://en.wikipedia.org/wiki/", ""},
    {"craigslist", "cl", "craigslist.org search", "craigslist.ico",
     "https://losangeles.craigslist.org/cgi-bin/search?areaID=7&subAreaID=&query=", "&catAbbreviation=sss"},
    {"eBay", "ebay", "eBay search", "ebay.ico", "https://search.ebay.com/", ""},
    {"IMDb", "imdb", "IMDb.com search", "imdb.ico", "https://www.imdb.com/find?q=", ""},
    {"YouTube", "utube", "YouTube.com search", "youtube.ico",
     "https://www.youtube.com/results?search_query=", ""},
    {"MySpace", "myspace", "MySpace.com search", "myspace.ico",
     "https://searchservice.myspace.com/index.cfm?fuseaction=advancedFind.results&searchtype=myspace&get=1"
     "&websearch=1&searchBoxID=HeaderWebResults&searchrequest=",
     ""},
    {"MSDN", "msdn", "MSDN search", "msdn.ico",
     "https://search.msdn.microsoft.com/search/default.aspx?siteId=0&tab=0&query=", ""},
    {"Amazon", "amazon", "Amazon.com search", "amazon.ico",
     "https://www.amazon.com/gp/search/?keywords=", ""},
    {"Dictionary", "dict", "Dictionary.com search", "dictionary.ico",
     "https://dictionary.reference.com/browse/", ""},
    {"AccuWeather", "accu", "AccuWeather.com search", "accuweather.ico",
     "https://www.accuweather.com/index-forecast.asp?&zipcode=", ""},
    {"Thesaurus", "thes", "Thesaurus.com search", "dictionary.ico", "https://thesaurus.reference.com/browse/",
     ""},
    {"CodeProject", "cp", "Code Project search", "codeproject.ico",
     "https://www.codeproject.com/info/search.asp?cats=2&searchkw=", "&Submit1"},
};

// A transparent 16 x 16 icon: the image list's place for a file that does not load, so that every
// later file keeps the index of its entry in the file list.
HICON createBlankIcon() {
    BYTE andMask[32];
    BYTE xorMask[32] = {};
    std::fill(std::begin(andMask), std::end(andMask), BYTE(0xFF));
    return ::CreateIcon(vx::thisModule(), 16, 16, 1, 1, andMask, xorMask);
}

} // namespace

VWebqueryPlugin::VWebqueryPlugin() : VWebqueryPlugin(webquery::moduleFolder() + "images\\") {}

VWebqueryPlugin::VWebqueryPlugin(const std::string& folder) : imagesFolder(folder) {
    findIconFiles();
    setIcon(vx::loadModuleIcon(IDI_WEBQUERY));
}

VWebqueryPlugin::~VWebqueryPlugin() {
    for (VSearchAction* action : refused)
        action->deleteThis();
    if (getIcon())
        ::DestroyIcon(getIcon());
}

void VWebqueryPlugin::findIconFiles() {
    WIN32_FIND_DATAW data;
    vx::CFindHandle find(::FindFirstFileW(vx::widened(imagesFolder + "*.ico").c_str(), &data));
    if (find.IsValid()) {
        do {
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                continue; // ".", ".." and any folder whose name ends in ".ico"
            iconFiles.push_back(imagesFolder + vx::narrowed(data.cFileName));
        } while (::FindNextFileW(find.Get(), &data));
    }
}

HIMAGELIST VWebqueryPlugin::getImageList() {
    if (imageList)
        return imageList.Get();
    imageList.Reset(::ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 0, 1));
    if (!imageList)
        return nullptr;
    for (std::size_t i = 0; i < iconFiles.size(); ++i) {
        HICON icon = static_cast<HICON>(
            ::LoadImageW(nullptr, vx::widened(iconFiles[i]).c_str(), IMAGE_ICON, 16, 16, LR_LOADFROMFILE));
        // A file that does not load, or an icon the list refuses, still takes its place.
        const bool added = icon && addIcon(imageList.Get(), icon) >= 0;
        if (icon)
            ::DestroyIcon(icon);
        if (!added) {
            HICON blank = createBlankIcon();
            if (blank) {
                addIcon(imageList.Get(), blank);
                ::DestroyIcon(blank);
            }
        }
        const int slots = static_cast<int>(i) + 1;
        if (::ImageList_GetImageCount(imageList.Get()) < slots)
            ::ImageList_SetImageCount(imageList.Get(), static_cast<UINT>(slots));
    }
    return imageList.Get();
}

int VWebqueryPlugin::addIcon(HIMAGELIST list, HICON icon) {
    return ::ImageList_AddIcon(list, icon);
}

void VWebqueryPlugin::editPrefs(HWND parent) {
    WebqueryPrefs dialog(this);
    dialog.run(parent);
}

void VWebqueryPlugin::addAction(VSearchAction* action) {
    if (!action)
        return;
    actions.push_back(action);
    if (!VVerbinoxCore::instance()->registerAction(action))
        refused.push_back(action);
}

void VWebqueryPlugin::removeAction(VSearchAction* action) {
    auto it = std::find(actions.begin(), actions.end(), action);
    if (it == actions.end())
        return;
    actions.erase(it);
    auto mine = std::find(refused.begin(), refused.end(), action);
    if (mine != refused.end())
        refused.erase(mine);
    else
        VVerbinoxCore::instance()->unregisterAction(action);
    action->deleteThis();
}

void VWebqueryPlugin::actionEdited(VSearchAction* action) {
    VVerbinoxCore* core = VVerbinoxCore::instance();
    auto it = std::find(refused.begin(), refused.end(), action);
    if (it != refused.end()) {
        if (core->registerAction(action))
            refused.erase(it);
        return;
    }
    if (std::find(actions.begin(), actions.end(), action) == actions.end())
        return;
    // A keyword changed to one another action has: the core would hold two actions for one keyword,
    // and the typed keyword would reach whichever it lists first. Refused as an added search would be.
    for (int i = 0; i < core->getNumActions(); ++i) {
        VAction* other = core->getAction(i);
        if (other != action && other && other->getKeyword() == action->getKeyword()) {
            refused.reserve(refused.size() + 1);
            core->unregisterAction(action);
            refused.push_back(action); // reserved: cannot throw
            return;
        }
    }
}

bool VWebqueryPlugin::isRegistered(const VSearchAction* action) const {
    return std::find(actions.begin(), actions.end(), action) != actions.end() &&
           std::find(refused.begin(), refused.end(), action) == refused.end();
}

void VWebqueryPlugin::createDefaults() {
    for (const DefaultSearch& d : kDefaults) {
        auto* action = new VSearchAction(this);
        action->setName(d.name);
        action->setKeyword(d.keyword);
        action->setDescription(d.description);
        action->setIconPath(imagesFolder + d.icon);
        action->setUrl(d.url);
        action->setSuffix(d.suffix);
        addAction(action);
    }
}

int VWebqueryPlugin::findIcon(const std::string& path) const {
    const std::string wanted = vx::lowered(path);
    for (std::size_t i = 0; i < iconFiles.size(); ++i) {
        if (vx::lowered(iconFiles[i]) == wanted)
            return static_cast<int>(i);
    }
    return -1;
}

void VWebqueryPlugin::loadPrefs(VPreferencesNode* node) {
    VPreferencesNode* mine = node ? node->getChild("Webquery") : nullptr;
    if (!mine) {
        createDefaults();
        return;
    }
    for (int i = 0; i < mine->getNumChildren(); ++i) {
        VPreferencesNode* child = mine->getChild(i);
        if (child->getName() != "SearchAction")
            continue;
        auto* action = new VSearchAction(this);
        action->loadPrefs(child);
        addAction(action);
    }
}

void VWebqueryPlugin::savePrefs(VPreferencesNode* node) {
    if (!node)
        return;
    VPreferencesNode* mine = VPreferencesNode::createInstance("Webquery");
    for (VSearchAction* action : actions) {
        VPreferencesNode* child = VPreferencesNode::createInstance("SearchAction");
        action->savePrefs(child);
        mine->addChild(child);
    }
    node->addChild(mine);
}
