// The core's settings: the "Core" branch of the preferences tree, fonts and keyword shortcuts.
#include "engine/VPluginManager.h"
#include "engine/VVerbinoxCore.h"
#include "model/VAction.h"
#include "model/VPreferences.h"
#include "util/SystemText.h"
#include "util/VxText.h"

namespace {

struct FontSlot {
    const char* node;
    const char* colorKey;
};
const FontSlot kFontSlots[3] = {{"Font", "Color"}, {"Font1", "Color1"}, {"Font2", "Color2"}};

LOGFONTA defaultGuiFont(bool italic) {
    LOGFONTA lf{};
    vx::fontRecord(static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)), lf);
    if (italic)
        lf.lfItalic = TRUE;
    return lf;
}

void readByte(VPreferencesNode* node, const char* key, BYTE& target) {
    int value = 0;
    if (node->getParam(key, value))
        target = static_cast<BYTE>(value);
}

void readLong(VPreferencesNode* node, const char* key, LONG& target) {
    int value = 0;
    if (node->getParam(key, value))
        target = value;
}

// The shortcuts a first start binds, each only if an action with that keyword is registered.
const char* const kDefaultShortcuts[][2] = {
    {"google", "g"},  {"yahoo", "y"}, {"wiki", "w"},   {"ebay", "e"}, {"imdb", "i"}, {"utube", "u"},
    {"myspace", "m"}, {"msdn", "ms"}, {"amazon", "a"}, {"dict", "d"}, {"thes", "t"}, {"cl", "c"},
};

} // namespace

void VVerbinoxCore::loadPrefs(VPreferencesNode* root) {
    VPreferencesNode* coreNode = root ? root->getChild("Core") : nullptr;
    VPreferencesNode* shortcutNode = nullptr;
    VPreferencesNode* fontsNode = nullptr;
    if (coreNode) {
        bool b = false;
        int n = 0;
        if (coreNode->getParam("LiveSearching", b))
            liveSearching.store(b); // no cache refresh here: the plug-ins build their caches next
        if (coreNode->getParam("MinSearchChars", n))
            searchMinChars.store(n);
        if (coreNode->getParam("SearchCaseSensitive", b))
            searchCaseSensitive.store(b);
        if (coreNode->getParam("SearchStrStart", b))
            searchStringStart.store(b);
        if (coreNode->getParam("SearchURLDescOnly", b))
            searchUrlDescriptionsOnly.store(b);
        if (coreNode->getParam("SearchUrlDomainOnly", b))
            searchUrlDomainOnly.store(b);
        if (coreNode->getParam("RankResults", b))
            rankResults.store(b);
        if (coreNode->getParam("ResultsPerSource", n))
            setResultsPerSource(n);
        if (coreNode->getParam("FoldAccents", b))
            searchFoldAccents.store(b);
        if (coreNode->getParam("LearnChoices", b))
            learnChoices.store(b);
        if (coreNode->getParam("UrlsInPluginBrowser", b))
            openUrlsInPluginsBrowser.store(b);
        if (coreNode->getParam("UrlsInNewWindow", b))
            openUrlsInNewWindow.store(b);
        shortcutNode = coreNode->getChild("ShortcutMgr");
        fontsNode = coreNode->getChild("Fonts");
    }

    if (pluginManager)
        pluginManager->loadPrefs(coreNode);

    loadFonts(fontsNode);

    if (shortcutNode) {
        for (int i = 0; i < shortcutNode->getNumChildren(); ++i) {
            VPreferencesNode* entry = shortcutNode->getChild(i);
            std::string text, keyword;
            if (entry->getName() != "Shortcut" || !entry->getParam("Shortcut", text))
                continue;
            if (!entry->getParam("Action", keyword))
                continue;
            // Entries naming actions that are gone (their plug-in was removed) are dropped.
            VAction* action = getAction(keyword, false);
            if (!text.empty() && action)
                setShortcut(text, action);
        }
    } else {
        applyDefaultShortcuts();
    }
}

void VVerbinoxCore::applyDefaultShortcuts() {
    for (const auto& entry : kDefaultShortcuts) {
        if (VAction* action = getAction(entry[0], false))
            setShortcut(entry[1], action);
    }
}

void VVerbinoxCore::loadFonts(VPreferencesNode* fontsNode) {
    HFONT* const targets[3] = {&font, &font1, &font2};
    COLORREF* colors[3] = {&textColor, &textColor1, &textColor2};
    for (int i = 0; i < 3; ++i) {
        // The third font is the two-line mode's lower line: italic by default.
        const LOGFONTA fallback = defaultGuiFont(i == 2);
        VPreferencesNode* node = fontsNode ? fontsNode->getChild(kFontSlots[i].node) : nullptr;
        if (!node) {
            // No "Fonts" at all, or a hand-edited one that lacks this child: the default GUI font.
            replaceFont(i, &fallback);
            continue;
        }
        LOGFONTA lf{};
        std::string face;
        if (node->getParam("Name", face))
            vx::setFaceName(lf, face);
        readLong(node, "Height", lf.lfHeight);
        readLong(node, "Weight", lf.lfWeight);
        readLong(node, "Escapement", lf.lfEscapement);
        readLong(node, "Orientation", lf.lfOrientation);
        readByte(node, "Italic", lf.lfItalic);
        readByte(node, "Underline", lf.lfUnderline);
        readByte(node, "Strikeout", lf.lfStrikeOut);
        replaceFont(i, &lf);
        if (!*targets[i])
            replaceFont(i, &fallback);
        unsigned color = 0;
        if (node->getParam(kFontSlots[i].colorKey, color))
            *colors[i] = color;
    }
}

void VVerbinoxCore::savePrefs(VPreferencesNode* node) {
    if (!node)
        return;
    VPreferencesNode* coreNode = VPreferencesNode::createInstance("Core");
    VPreferencesNode* shortcutNode = VPreferencesNode::createInstance("ShortcutMgr");
    VPreferencesNode* fontsNode = VPreferencesNode::createInstance("Fonts");

    coreNode->setParam("LiveSearching", getLiveSearching());
    coreNode->setParam("MinSearchChars", getSearchMinChars());
    coreNode->setParam("SearchCaseSensitive", getSearchCaseSensitive());
    coreNode->setParam("SearchStrStart", getSearchStringStart());
    coreNode->setParam("SearchURLDescOnly", getSearchUrlDescriptionsOnly());
    coreNode->setParam("SearchUrlDomainOnly", getSearchUrlDomainOnly());
    coreNode->setParam("UrlsInPluginBrowser", getOpenUrlsInPluginsBrowser());
    coreNode->setParam("RankResults", getRankResults());
    coreNode->setParam("ResultsPerSource", getResultsPerSource());
    coreNode->setParam("FoldAccents", getSearchFoldAccents());
    coreNode->setParam("LearnChoices", getLearnChoices());
    coreNode->setParam("UrlsInNewWindow", getOpenUrlsInNewWindow());

    const COLORREF colors[3] = {textColor, textColor1, textColor2};
    for (int i = 0; i < 3; ++i) {
        VPreferencesNode* f = VPreferencesNode::createInstance(kFontSlots[i].node);
        LOGFONTA lf{};
        readFont(i, &lf);
        f->setParam("Name", std::string(lf.lfFaceName));
        f->setParam("Height", static_cast<int>(lf.lfHeight));
        f->setParam("Weight", static_cast<int>(lf.lfWeight));
        f->setParam("Escapement", static_cast<int>(lf.lfEscapement));
        f->setParam("Orientation", static_cast<int>(lf.lfOrientation));
        f->setParam("Italic", static_cast<int>(lf.lfItalic));
        f->setParam("Underline", static_cast<int>(lf.lfUnderline));
        f->setParam("Strikeout", static_cast<int>(lf.lfStrikeOut));
        f->setParam(kFontSlots[i].colorKey, static_cast<unsigned>(colors[i]));
        fontsNode->addChild(f);
    }

    for (const auto& entry : shortcuts) {
        if (entry.first.empty() || !entry.second)
            continue;
        VPreferencesNode* s = VPreferencesNode::createInstance("Shortcut");
        s->setParam("Shortcut", entry.first);
        s->setParam("Action", entry.second->getKeyword());
        shortcutNode->addChild(s);
    }

    if (pluginManager)
        pluginManager->savePrefs(coreNode);
    coreNode->addChild(shortcutNode);
    coreNode->addChild(fontsNode);
    node->addChild(coreNode);
}
