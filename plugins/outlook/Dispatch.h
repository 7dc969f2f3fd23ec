#pragma once
// Late-bound calls on a component's objects: a dispatch id, a call kind, a result type and arguments.
// Every VARIANT, BSTR and interface that passes through here has one owner that releases it.
#include "util/ComRef.h"

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

namespace outlook {

// One VARIANT, cleared when it goes: a BSTR is freed, an interface released.
class CVariant {
public:
    CVariant() { ::VariantInit(&value_); }
    ~CVariant() { ::VariantClear(&value_); }
    CVariant(CVariant&& other) noexcept : value_(other.value_) { ::VariantInit(&other.value_); }
    CVariant& operator=(CVariant&& other) noexcept;
    CVariant(const CVariant&) = delete;
    CVariant& operator=(const CVariant&) = delete;

    // Throw std::bad_alloc when the string cannot be allocated.
    static CVariant text(const std::string& value);
    static CVariant boolean(bool value);
    static CVariant int16(short value);
    static CVariant int32(long value);

    VARIANT* get() { return &value_; }
    const VARIANT& ref() const { return value_; }

private:
    VARIANT value_;
};

using Arguments = std::vector<CVariant>;

// Invokes a member with the arguments in their natural order (result may be null). A failure reported
// through an exception record answers the record's own code, and the record's strings are freed.
HRESULT invoke(IDispatch* object, DISPID id, WORD kind, Arguments& args, VARIANT* result);
// A property that answers a string; empty and null values are empty strings, other types are converted.
HRESULT getString(IDispatch* object, DISPID id, std::string& value);
// getString for a property asked for by its name (through GetIDsOfNames) rather than its id.
HRESULT getNamedString(IDispatch* object, const wchar_t* name, std::string& value);
// A property or method that answers an object. Success with an empty reference means "none".
HRESULT getObject(IDispatch* object, DISPID id, WORD kind, Arguments args, vx::CComRef<IDispatch>& result);
// A method whose result is not wanted.
HRESULT callMethod(IDispatch* object, DISPID id, Arguments args);

} // namespace outlook
