#include "model/VProperty.h"

#include "util/CoreModule.h"

#include <mutex>

HICON VProperty::s_textTypeIcon = nullptr;
HICON VProperty::s_fileTypeIcon = nullptr;
HICON VProperty::s_urlTypeIcon = nullptr;
HICON VProperty::s_nameTypeIcon = nullptr;
HICON VProperty::s_emailTypeIcon = nullptr;
HICON VProperty::s_addressTypeIcon = nullptr;
HICON VProperty::s_phoneTypeIcon = nullptr;
HICON VProperty::s_imTypeIcon = nullptr;

namespace {
// Properties are first built on indexer workers, several at once: load the shared icons exactly once.
std::once_flag iconsLoaded;

void loadIcons() {
    VProperty::s_textTypeIcon = vx::loadCoreIcon(102);
    VProperty::s_fileTypeIcon = vx::loadCoreIcon(104);
    VProperty::s_urlTypeIcon = vx::loadCoreIcon(103);
    VProperty::s_nameTypeIcon = vx::loadCoreIcon(105);
    VProperty::s_emailTypeIcon = vx::loadCoreIcon(101);
    VProperty::s_addressTypeIcon = vx::loadCoreIcon(106);
    VProperty::s_phoneTypeIcon = vx::loadCoreIcon(107);
    VProperty::s_imTypeIcon = vx::loadCoreIcon(108);
}
} // namespace

VProperty::VProperty(PropertyType type, const std::string& value) : type(type), value(value) {
    std::call_once(iconsLoaded, loadIcons);
}

VProperty::~VProperty() = default;

void VProperty::deleteThis() {
    delete this;
}

HICON VProperty::iconForPropertyType(PropertyType type) {
    switch (type) {
    case TextType:
        return s_textTypeIcon;
    case FileType:
        return s_fileTypeIcon;
    case UrlType:
        return s_urlTypeIcon;
    case NameType:
        return s_nameTypeIcon;
    case EmailType:
        return s_emailTypeIcon;
    case AddressType:
        return s_addressTypeIcon;
    case PhoneType:
        return s_phoneTypeIcon;
    case ImType:
        return s_imTypeIcon;
    default:
        return nullptr;
    }
}
