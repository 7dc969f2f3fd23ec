#pragma once
// The texts read from one contact item, in reading order.
#include <string>

struct ContactValues {
    enum Field {
        Name1,
        Name2,
        Email1,
        Email2,
        Email3,
        Phone1,
        Phone2,
        Phone3,
        Address1,
        Address2,
        WebPage,
        EmailText1,
        EmailText2,
        EmailText3,
        SearchText1,
        SearchText2,
        EntryId,
        FieldCount
    };
    // The properties shown as the contact's typed values, the rest being texts of its own.
    static constexpr int PropertyFieldCount = WebPage + 1;

    std::string values[FieldCount];
    std::string& operator[](Field field) { return values[field]; }
    const std::string& operator[](Field field) const { return values[field]; }
};
