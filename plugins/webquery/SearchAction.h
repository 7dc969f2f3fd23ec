#pragma once
// One search engine: its keyword followed by search terms opens the engine's address for them.
#include "model/VAction.h"

#include <windows.h>

#include <string>

class VPreferencesNode;
class VWebqueryPlugin;

class VSearchAction : public VAction {
public:
    // The longest address handed on: a longer one fails rather than reaching the browser cut short.
    static constexpr std::size_t kMaxUrlLength = 6251;

    explicit VSearchAction(VWebqueryPlugin* plugin);
    VSearchAction(const VSearchAction&) = delete;
    VSearchAction& operator=(const VSearchAction&) = delete;
    // Destroys the icon it loaded.
    ~VSearchAction() override;

    // "<name> search:<value>" for a text property, otherwise empty.
    std::string getActionText(VProperty* property) const override;
    // Searches for the value of a text property.
    bool execute(VResult* result, VProperty* property, const std::string& searchText) override;
    // Opens the address for the typed terms through the core. False for no terms, an address that would
    // be too long, or a refusal to open it.
    bool execute(const std::string& text) override;
    // The base address, the terms and the suffix: each term percent-encoded as UTF-8, terms joined by
    // "+", a double-quoted phrase one term. Empty when there is no term or the result is too long.
    std::string buildUrl(const std::string& text) const;

    // Destroys the icon held and takes the file of a 16 x 16 icon (none for an empty path or a file
    // that does not load). The icon is loaded the first time it is asked for: reading a dozen icon
    // files took about 13 ms of every start under Wine, and most engines' icons are never shown.
    void setIconPath(const std::string& path);
    HICON getIcon() const override;
    const std::string& getIconPath() const { return iconPath; }
    void setUrl(const std::string& value) { url = value; }
    const std::string& getUrl() const { return url; }
    void setSuffix(const std::string& value) { suffix = value; }
    const std::string& getSuffix() const { return suffix; }
    VWebqueryPlugin* getWebqueryPlugin() const { return owner; }

    // Runs the search editor on this action; true when the user left it with OK.
    bool edit(HWND parent);
    // The keys of a "SearchAction" node; a key missing from the node leaves its field as it was.
    void loadPrefs(const VPreferencesNode* node);
    void savePrefs(VPreferencesNode* node) const;

    // Every byte of the text's UTF-8 form but A-Z a-z 0-9 - _ . ~ as %XX.
    static std::string percentEncoded(const std::string& text);

private:
    VWebqueryPlugin* owner;
    std::string url;
    std::string suffix;
    std::string iconPath;
    // Loaded on the first getIcon, by the window thread, the only one that asks for icons.
    mutable HICON icon = nullptr;
    mutable bool iconLoaded = true;
};
