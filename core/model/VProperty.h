#pragma once
// One typed value of a result: a path, a URL, an e-mail address, ...
#include "VxApi.h"

#include <windows.h>

#include <string>

class VX_CORE_API VProperty {
public:
    // One bit per kind, so a set of kinds is a mask.
    enum PropertyType : unsigned {
        TextType = 2,
        FileType = 4,
        UrlType = 8,
        NameType = 16,
        EmailType = 32,
        AddressType = 64,
        PhoneType = 128,
        ImType = 256,
        AllTypes = 0xFFFFFFFFu,
    };

    VProperty(PropertyType type, const std::string& value);
    VProperty(const VProperty&) = default;
    VProperty& operator=(const VProperty&) = default;
    VProperty& operator=(const std::string& newValue) {
        value = newValue;
        return *this;
    }
    virtual ~VProperty();

    void setPropertyValue(const std::string& newValue) { value = newValue; }
    const std::string& getValue() const { return value; }
    std::string& getValue() { return value; }
    operator const std::string&() const { return value; }
    operator std::string&() { return value; }
    PropertyType getPropertyType() const { return type; }
    HICON getIcon() const { return iconForPropertyType(type); }
    bool isValid() const { return !value.empty(); }
    bool operator==(const VProperty& other) const { return type == other.type && value == other.value; }
    bool operator!=(const VProperty& other) const { return !(*this == other); }
    void deleteThis();

    // The shared 16 x 16 icon of exactly one kind; null for anything else, masks included.
    static HICON iconForPropertyType(PropertyType type);

    static HICON s_textTypeIcon;
    static HICON s_fileTypeIcon;
    static HICON s_urlTypeIcon;
    static HICON s_nameTypeIcon;
    static HICON s_emailTypeIcon;
    static HICON s_addressTypeIcon;
    static HICON s_phoneTypeIcon;
    static HICON s_imTypeIcon;

private:
    PropertyType type;
    std::string value;
};

using PropertyType = VProperty::PropertyType;
