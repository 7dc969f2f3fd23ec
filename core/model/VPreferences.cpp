#include "model/VPreferences.h"

#include "util/SafeFile.h"
#include "util/VxText.h"
#include "util/XmlTree.h"

#include <windows.h>

#include <climits>
#include <cstdlib>
#include <stdexcept>

namespace {

// atoi's reading (leading blanks, an optional sign, digits up to the first other character, 0 without
// any), but without its undefined behaviour on overflow: the number saturates instead.
long long parseDecimal(const std::string& text) {
    return std::strtoll(text.c_str(), nullptr, 10);
}

} // namespace

VPreferencesNode::VPreferencesNode(const char* nodeName) : name(nodeName ? nodeName : "") {}

VPreferencesNode::~VPreferencesNode() {
    for (VPreferencesNode* child : children)
        child->deleteThis();
}

VPreferencesNode* VPreferencesNode::createInstance(const char* name) {
    return new VPreferencesNode(name);
}

void VPreferencesNode::deleteThis() {
    delete this;
}

void VPreferencesNode::addChild(VPreferencesNode* child) {
    if (child)
        children.push_back(child);
}

VPreferencesNode* VPreferencesNode::getChild(int index) const {
    if (index < 0 || index >= getNumChildren())
        throw std::invalid_argument("VPreferencesNode::getChild: index out of range");
    return children[static_cast<std::size_t>(index)];
}

VPreferencesNode* VPreferencesNode::getChild(const char* childName) const {
    if (!childName)
        return nullptr;
    for (VPreferencesNode* child : children) {
        if (child->name == childName)
            return child;
    }
    return nullptr;
}

void VPreferencesNode::setParam(const char* key, bool value) {
    setParam(key, std::string(value ? "true" : "false"));
}

void VPreferencesNode::setParam(const char* key, int value) {
    setParam(key, std::to_string(value));
}

void VPreferencesNode::setParam(const char* key, unsigned int value) {
    // Written as a signed number, as files of earlier versions hold them; reading takes the bits back.
    setParam(key, std::to_string(static_cast<int>(value)));
}

void VPreferencesNode::setParam(const char* key, const std::string& value) {
    if (key)
        params[key] = value;
}

void VPreferencesNode::setParam(const char* key, const char* value) {
    setParam(key, std::string(value ? value : ""));
}

void VPreferencesNode::setParam(const char* key, const unsigned char* data, unsigned int length) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    if (data) {
        text.reserve(static_cast<std::size_t>(length) * 2);
        for (unsigned int i = 0; i < length; ++i) {
            text += digits[data[i] >> 4];
            text += digits[data[i] & 0x0F];
        }
    }
    setParam(key, text);
}

bool VPreferencesNode::getParam(const char* key, bool& value) const {
    std::string text;
    if (!getParam(key, text))
        return false;
    value = text == "true";
    return true;
}

bool VPreferencesNode::getParam(const char* key, int& value) const {
    std::string text;
    if (!getParam(key, text))
        return false;
    long long number = parseDecimal(text);
    value = number > INT_MAX ? INT_MAX : number < INT_MIN ? INT_MIN : static_cast<int>(number);
    return true;
}

bool VPreferencesNode::getParam(const char* key, unsigned int& value) const {
    // A missing key reads as the empty text would: 0.
    std::string text;
    bool found = getParam(key, text);
    long long number = parseDecimal(text);
    // Negative numbers are the written form of the upper half; a hand-written 4294967295 means the
    // same. Anything outside both ranges saturates.
    if (number < INT_MIN)
        number = INT_MIN;
    else if (number > UINT_MAX)
        number = UINT_MAX;
    value = static_cast<unsigned int>(number);
    return found;
}

bool VPreferencesNode::getParam(const char* key, std::string& value) const {
    if (!key)
        return false;
    auto it = params.find(key);
    if (it == params.end())
        return false;
    value = it->second;
    return true;
}

bool VPreferencesNode::getParam(const char* key, unsigned char** data, unsigned int* length) const {
    std::string text;
    if (!data || !length || !getParam(key, text) || text.size() % 2 != 0)
        return false;
    std::size_t count = text.size() / 2;
    if (count > UINT_MAX)
        return false;
    // Every digit is checked before anything is allocated or handed out.
    for (char c : text) {
        if (vx::hexDigitValue(c) < 0)
            return false;
    }
    unsigned char* bytes = new unsigned char[count];
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<unsigned char>(vx::hexDigitValue(text[2 * i]) << 4 |
                                              vx::hexDigitValue(text[2 * i + 1]));
    *data = bytes;
    *length = static_cast<unsigned int>(count);
    return true;
}

bool VPreferencesNode::save(vx::XmlElement& parent) const {
    vx::XmlElement element(name);
    element.attributes.reserve(params.size());
    for (const auto& param : params)
        element.attributes.emplace_back(param.first, param.second);
    for (const VPreferencesNode* child : children)
        child->save(element);
    parent.children.push_back(std::move(element));
    return true;
}

bool VPreferencesNode::load(const vx::XmlElement& element) {
    params.clear();
    if (element.name != name)
        return false;
    for (const auto& attribute : element.attributes)
        params[attribute.first] = attribute.second;
    for (const vx::XmlElement& childElement : element.children) {
        VPreferencesNode* child = createInstance(childElement.name.c_str());
        if (!child->load(childElement)) {
            child->deleteThis();
            return false;
        }
        addChild(child);
    }
    return true;
}

VPreferencesNode* VPreferences::load(const std::string& path) {
    unsigned long ignored = 0;
    return load(path, ignored);
}

VPreferencesNode* VPreferences::load(const std::string& path, unsigned long& readError) {
    vx::XmlElement document;
    if (!vx::readXmlFile(path, document, &readError))
        return nullptr;
    VPreferencesNode* root = VPreferencesNode::createInstance("Verbinox");
    if (!document.children.empty()) {
        for (const vx::XmlElement& childElement : document.children.front().children) {
            VPreferencesNode* child = VPreferencesNode::createInstance(childElement.name.c_str());
            root->addChild(child);
            child->load(childElement);
        }
    }
    return root;
}

bool VPreferences::save(const std::string& path, const VPreferencesNode* root) {
    if (!root) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    vx::XmlElement outer(root->getName());
    root->save(outer);
    std::string text;
    // Printed in full before the file is touched: a tree that cannot be written leaves the old file.
    if (!vx::printXml(outer, text)) {
        ::SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    return vx::writeFileReplacing(path, text);
}
