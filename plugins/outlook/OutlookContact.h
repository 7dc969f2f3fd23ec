#pragma once
// One contact of the Contacts folder: fifteen typed values (names, e-mail addresses, telephone numbers,
// addresses, web page, messaging addresses), so that the core's default actions apply to them, and the
// texts used for matching and for opening the contact.
#include "ContactValues.h"
#include "model/VResult.h"

class VOutlookContact : public VResult {
public:
    explicit VOutlookContact(VPlugin* plugin);
    // The property list points into this object: a copy would point into the original.
    VOutlookContact(const VOutlookContact&) = delete;
    VOutlookContact& operator=(const VOutlookContact&) = delete;
    ~VOutlookContact() override;

    // The name (or the second name in double quotes), then the first address in parentheses.
    std::string getDisplayText() const override;
    std::string getDisplayText1() const override;
    std::string getDisplayText2() const override;
    // The search window applies the default action of the default property instead.
    bool select() override { return false; }
    // The first name when choosing a contact opens it; otherwise the first address there is, or the name.
    VProperty* getDefaultProperty() const override;

    void setValues(const ContactValues& values);
    const std::string& get(ContactValues::Field field) const;
    // The values of the result, then its own texts.
    void copyFrom(const VOutlookContact& other);

private:
    VProperty name1{VProperty::NameType, ""};
    VProperty name2{VProperty::NameType, ""};
    VProperty email1{VProperty::EmailType, ""};
    VProperty email2{VProperty::EmailType, ""};
    VProperty email3{VProperty::EmailType, ""};
    VProperty phone1{VProperty::PhoneType, ""};
    VProperty phone2{VProperty::PhoneType, ""};
    VProperty phone3{VProperty::PhoneType, ""};
    VProperty address1{VProperty::AddressType, ""};
    VProperty address2{VProperty::AddressType, ""};
    VProperty webPage{VProperty::UrlType, ""};
    VProperty im1{VProperty::ImType, ""};
    VProperty im2{VProperty::ImType, ""};
    VProperty im3{VProperty::ImType, ""};
    VProperty im4{VProperty::ImType, ""};
    std::string emailText1, emailText2, emailText3;
    std::string searchText1, searchText2;
    std::string entryId;

    static VProperty VOutlookContact::*const propertyMembers[15];
    static std::string VOutlookContact::*const
        textMembers[ContactValues::FieldCount - ContactValues::PropertyFieldCount];
};
