#include "Dispatch.h"

#include "util/VxText.h"

#include <new>

namespace outlook {

CVariant& CVariant::operator=(CVariant&& other) noexcept {
    if (this != &other) {
        ::VariantClear(&value_);
        value_ = other.value_;
        ::VariantInit(&other.value_);
    }
    return *this;
}

CVariant CVariant::text(const std::string& value) {
    std::wstring wide = vx::widened(value);
    CVariant v;
    v.value_.bstrVal = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!v.value_.bstrVal)
        throw std::bad_alloc();
    v.value_.vt = VT_BSTR;
    return v;
}

CVariant CVariant::boolean(bool value) {
    CVariant v;
    v.value_.vt = VT_BOOL;
    v.value_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

CVariant CVariant::int16(short value) {
    CVariant v;
    v.value_.vt = VT_I2;
    v.value_.iVal = value;
    return v;
}

CVariant CVariant::int32(long value) {
    CVariant v;
    v.value_.vt = VT_I4;
    v.value_.lVal = value;
    return v;
}

HRESULT invoke(IDispatch* object, DISPID id, WORD kind, Arguments& args, VARIANT* result) {
    if (!object)
        return E_POINTER;
    // IDispatch takes the arguments last to first. The copies are shallow: the callee only reads them,
    // and args still owns what they point to.
    std::vector<VARIANTARG> reversed;
    reversed.reserve(args.size());
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        reversed.push_back(it->ref());
    DISPPARAMS params{};
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    params.cArgs = static_cast<UINT>(reversed.size());
    EXCEPINFO info{};
    UINT badArgument = 0;
    HRESULT hr =
        object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, result, &info, &badArgument);
    if (hr == DISP_E_EXCEPTION) {
        if (info.pfnDeferredFillIn)
            info.pfnDeferredFillIn(&info);
        ::SysFreeString(info.bstrSource);
        ::SysFreeString(info.bstrDescription);
        ::SysFreeString(info.bstrHelpFile);
        if (FAILED(info.scode))
            hr = info.scode;
    }
    // A callee that filled the result and then failed must not leave it to leak.
    if (FAILED(hr) && result)
        ::VariantClear(result);
    return hr;
}

HRESULT getString(IDispatch* object, DISPID id, std::string& value) {
    value.clear();
    Arguments none;
    CVariant result;
    HRESULT hr = invoke(object, id, DISPATCH_PROPERTYGET, none, result.get());
    if (FAILED(hr))
        return hr;
    if (result.ref().vt == VT_EMPTY || result.ref().vt == VT_NULL)
        return S_OK;
    if (result.ref().vt != VT_BSTR) {
        CVariant converted;
        hr = ::VariantChangeType(converted.get(), result.get(), 0, VT_BSTR);
        if (FAILED(hr))
            return hr;
        result = std::move(converted);
    }
    BSTR text = result.ref().bstrVal;
    if (text)
        value = vx::narrowed(std::wstring_view(text, ::SysStringLen(text)));
    return S_OK;
}

HRESULT getNamedString(IDispatch* object, const wchar_t* name, std::string& value) {
    value.clear();
    if (!object)
        return E_POINTER;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    const HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    return FAILED(hr) ? hr : getString(object, id, value);
}

HRESULT getObject(IDispatch* object, DISPID id, WORD kind, Arguments args, vx::CComRef<IDispatch>& result) {
    result.Release();
    CVariant answer;
    HRESULT hr = invoke(object, id, kind, args, answer.get());
    if (FAILED(hr))
        return hr;
    VARIANT& v = *answer.get();
    switch (v.vt) {
    case VT_EMPTY:
    case VT_NULL:
        return S_OK;
    case VT_DISPATCH:
        // The reference moves to result; the variant is left empty so that clearing it releases nothing.
        result.Attach(v.pdispVal);
        v.vt = VT_EMPTY;
        return S_OK;
    case VT_UNKNOWN:
        if (!v.punkVal)
            return S_OK;
        return v.punkVal->QueryInterface(IID_IDispatch, result.PutVoid());
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

HRESULT callMethod(IDispatch* object, DISPID id, Arguments args) {
    CVariant ignored;
    return invoke(object, id, DISPATCH_METHOD, args, ignored.get());
}

} // namespace outlook
