#include "SearchAction.h"

#include "SearchEditDlg.h"
#include "WebqueryPlugin.h"
#include "engine/VVerbinoxCore.h"
#include "model/VPreferences.h"
#include "model/XTokenString.h"
#include "util/VxText.h"

#include <vector>

namespace {

const char kHex[] = "0123456789ABCDEF";

void appendEscaped(std::string& out, unsigned char c) {
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 0x0F];
}

// Narrow text is in the active code page; addresses carry UTF-8.
std::string utf8Of(const std::string& text) {
    return vx::narrowed(vx::widened(text), CP_UTF8);
}

// The user's own base address and suffix keep their reserved characters and escapes ("%20" stays);
// only what may never stand in an address is escaped: blanks, controls, quotes, angle brackets and the
// like, and non-ASCII bytes.
std::string unsafeEscaped(const std::string& part) {
    static const std::string unsafe = "\"<>\\^`{|}";
    std::string out;
    for (char ch : utf8Of(part)) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c >= 0x7F || unsafe.find(ch) != std::string::npos)
            appendEscaped(out, c);
        else
            out += ch;
    }
    return out;
}

} // namespace

VSearchAction::VSearchAction(VWebqueryPlugin* plugin) : VAction(plugin), owner(plugin) {
    addSupportedType(VProperty::TextType);
}

VSearchAction::~VSearchAction() {
    if (icon)
        ::DestroyIcon(icon);
}

HICON VSearchAction::getIcon() const {
    if (!iconLoaded) {
        iconLoaded = true;
        icon = static_cast<HICON>(
            ::LoadImageW(nullptr, vx::widened(iconPath).c_str(), IMAGE_ICON, 16, 16, LR_LOADFROMFILE));
    }
    return icon;
}

std::string VSearchAction::getActionText(VProperty* property) const {
    if (!property || !isTypeSupported(property->getPropertyType()))
        return std::string();
    return getName() + " search:" + property->getValue();
}

bool VSearchAction::execute(VResult* result, VProperty* property, const std::string& searchText) {
    if (!property || !isTypeSupported(property->getPropertyType()))
        return false;
    return execute(property->getValue());
}

std::string VSearchAction::percentEncoded(const std::string& text) {
    std::string out;
    for (char ch : utf8Of(text)) {
        const auto c = static_cast<unsigned char>(ch);
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                c == '-' || c == '_' || c == '.' || c == '~';
        if (unreserved)
            out += ch;
        else
            appendEscaped(out, c);
    }
    return out;
}

std::string VSearchAction::buildUrl(const std::string& text) const {
    if (text.empty())
        return std::string();
    std::vector<std::string> tokens;
    XTokenString(text.c_str(), " \n\r\t", tokens, 0, true, false, true, false);
    std::string terms;
    for (const std::string& token : tokens) {
        const std::string term = vx::trimmed(token);
        if (term.empty())
            continue; // a pair of quotes with nothing between them
        if (!terms.empty())
            terms += '+';
        terms += percentEncoded(term);
    }
    if (terms.empty())
        return std::string();
    std::string address = unsafeEscaped(url) + terms + unsafeEscaped(suffix);
    if (address.size() > kMaxUrlLength)
        return std::string();
    return address;
}

bool VSearchAction::execute(const std::string& text) {
    const std::string address = buildUrl(text);
    if (address.empty())
        return false;
    return VVerbinoxCore::instance()->openUrl(address, std::string(), VVerbinoxCore::UrlOrigin::UserText);
}

void VSearchAction::setIconPath(const std::string& path) {
    if (icon) {
        ::DestroyIcon(icon);
        icon = nullptr;
    }
    iconPath = path;
    iconLoaded = path.empty();
}

bool VSearchAction::edit(HWND parent) {
    SearchEditDlg dialog(owner, this);
    return dialog.run(parent) == IDOK;
}

void VSearchAction::loadPrefs(const VPreferencesNode* node) {
    if (!node)
        return;
    std::string value;
    if (node->getParam("SearchName", value))
        setName(value);
    if (node->getParam("SearchKeyword", value))
        setKeyword(value);
    if (node->getParam("SearchDescription", value))
        setDescription(value);
    if (node->getParam("SearchIcon", value))
        setIconPath(value);
    node->getParam("SearchUrl", url);
    node->getParam("SearchSuffix", suffix);
}

void VSearchAction::savePrefs(VPreferencesNode* node) const {
    if (!node)
        return;
    node->setParam("SearchName", getName());
    node->setParam("SearchKeyword", getKeyword());
    node->setParam("SearchDescription", getDescription());
    node->setParam("SearchIcon", iconPath);
    node->setParam("SearchUrl", url);
    node->setParam("SearchSuffix", suffix);
}
