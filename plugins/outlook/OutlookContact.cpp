#include "OutlookContact.h"

#include "OutlookModule.h"
#include "OutlookPlugin.h"

VProperty VOutlookContact::*const VOutlookContact::propertyMembers[15] = {
    &VOutlookContact::name1,    &VOutlookContact::name2,   &VOutlookContact::email1,
    &VOutlookContact::email2,   &VOutlookContact::email3,  &VOutlookContact::phone1,
    &VOutlookContact::phone2,   &VOutlookContact::phone3,  &VOutlookContact::address1,
    &VOutlookContact::address2, &VOutlookContact::webPage, &VOutlookContact::im1,
    &VOutlookContact::im2,      &VOutlookContact::im3,     &VOutlookContact::im4,
};

std::string VOutlookContact::*const
    VOutlookContact::textMembers[ContactValues::FieldCount - ContactValues::PropertyFieldCount] = {
        &VOutlookContact::emailText1,  &VOutlookContact::emailText2,  &VOutlookContact::emailText3,
        &VOutlookContact::searchText1, &VOutlookContact::searchText2, &VOutlookContact::entryId,
};

VOutlookContact::VOutlookContact(VPlugin* plugin) : VResult(plugin) {
    for (VProperty VOutlookContact::*member : propertyMembers)
        addProperty(&(this->*member));
    setIcon(outlook::contactIcon());
}

VOutlookContact::~VOutlookContact() = default;

std::string VOutlookContact::getDisplayText() const {
    std::string text;
    if (name1.isValid())
        text = name1.getValue();
    else if (name2.isValid())
        text = "\"" + name2.getValue() + "\"";
    if (email1.isValid()) {
        if (!text.empty())
            text += ' ';
        text += "(" + email1.getValue() + ")";
    }
    return text;
}

std::string VOutlookContact::getDisplayText1() const {
    return name1.isValid() ? name1.getValue() : getDisplayText();
}

std::string VOutlookContact::getDisplayText2() const {
    return email1.isValid() ? email1.getValue() : getDisplayText();
}

VProperty* VOutlookContact::getDefaultProperty() const {
    auto* self = const_cast<VOutlookContact*>(this);
    if (VOutlookPlugin::getContactAction() == VOutlookPlugin::OpenContact)
        return &self->name1;
    for (VProperty* address : {&self->email1, &self->email2, &self->email3}) {
        if (address->isValid())
            return address;
    }
    return &self->name1;
}

const std::string& VOutlookContact::get(ContactValues::Field field) const {
    if (field < ContactValues::PropertyFieldCount)
        return (this->*propertyMembers[field]).getValue();
    return this->*textMembers[field - ContactValues::PropertyFieldCount];
}

void VOutlookContact::setValues(const ContactValues& values) {
    for (int f = 0; f < ContactValues::FieldCount; ++f) {
        const std::string& value = values.values[f];
        if (f < ContactValues::PropertyFieldCount)
            (this->*propertyMembers[f]).setPropertyValue(value);
        else
            this->*textMembers[f - ContactValues::PropertyFieldCount] = value;
    }
}

void VOutlookContact::copyFrom(const VOutlookContact& other) {
    VResult::copyFrom(other);
    for (std::string VOutlookContact::*member : textMembers)
        this->*member = other.*member;
}
