#pragma once
// Something the user can do with a result's property or with typed text.
#include "model/VElement.h"
#include "model/VProperty.h"

class VResult;

class VX_CORE_API VAction : public VElement {
public:
    explicit VAction(VPlugin* plugin) : VElement(plugin) {}
    VAction(const std::string& name, const std::string& keyword, const std::string& description,
            VPlugin* plugin)
        : VElement(plugin), name(name), keyword(keyword), description(description) {}
    VAction(const VAction&) = default;
    VAction& operator=(const VAction&) = default;
    ~VAction() override;

    ElementType getElementType() const override { return ActionElement; }
    std::string getDisplayText() const override { return name; }
    std::string getDisplayText1() const override { return name; }
    std::string getDisplayText2() const override { return description; }
    virtual bool isResultSupported(VResult* result) const { return true; }
    // The line the action list shows for this action applied to the property.
    virtual std::string getActionText(VProperty* property) const { return std::string(); }
    // Applies the action to a property of a result; searchText is the search box's text.
    virtual bool execute(VResult* result, VProperty* property, const std::string& searchText) {
        return false;
    }
    // Applies the action to the text typed after its keyword.
    virtual bool execute(const std::string& text) = 0;

    void setName(const std::string& value) { name = value; }
    void setKeyword(const std::string& value) { keyword = value; }
    void setDescription(const std::string& value) { description = value; }
    const std::string& getName() const { return name; }
    const std::string& getKeyword() const { return keyword; }
    const std::string& getDescription() const { return description; }
    void addSupportedType(unsigned types) { supportedTypes |= types; }
    bool isTypeSupported(unsigned types) const { return (supportedTypes & types) != 0; }

private:
    std::string name;
    std::string keyword;
    std::string description;
    unsigned supportedTypes = 0;
};
