#include "FakeOutlook.h"

#include <objbase.h>

#include <atomic>
#include <stdexcept>

namespace {

std::atomic<long> live{0};
// The fake's own ids for the members asked for by name.
const DISPID kCountId = 0x7001, kModifiedId = 0x7002;
const CLSID kSessionClsid = {0xB0B5F3C1, 0x6A53, 0x4B8E, {0x9D, 0x0A, 0x3F, 0x1E, 0x2C, 0x4D, 0x5A, 0x61}};
const CLSID kUtilsClsid = {0xB0B5F3C1, 0x6A53, 0x4B8E, {0x9D, 0x0A, 0x3F, 0x1E, 0x2C, 0x4D, 0x5A, 0x62}};

std::string describe(const DISPPARAMS* params) {
    std::string out;
    for (UINT i = params ? params->cArgs : 0; i-- > 0;) {
        const VARIANT& v = params->rgvarg[i];
        out += out.empty() ? "" : ",";
        out += v.vt == VT_BSTR   ? "s:" + std::string(v.bstrVal, v.bstrVal + ::SysStringLen(v.bstrVal))
               : v.vt == VT_BOOL ? "b:" + std::to_string(v.boolVal ? 1 : 0)
               : v.vt == VT_I2   ? "i2:" + std::to_string(v.iVal)
               : v.vt == VT_I4   ? "i4:" + std::to_string(v.lVal)
                                 : "vt:" + std::to_string(v.vt);
    }
    return out;
}

// Sees OLE leave the thread that created the first object.
class InitSpy : public IInitializeSpy {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = (iid == IID_IUnknown || iid == IID_IInitializeSpy) ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE PreInitialize(DWORD, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostInitialize(HRESULT hr, DWORD, DWORD) override { return hr; }
    HRESULT STDMETHODCALLTYPE PreUninitialize(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostUninitialize(DWORD refsLeft) override {
        FakeOutlook& f = FakeOutlook::get();
        ++f.uninitialisations;
        f.uninitialisedThread = ::GetCurrentThreadId();
        f.apartmentRefsLeft = refsLeft;
        return S_OK;
    }
};
InitSpy spy;

void watchThisThread() {
    static thread_local bool watched = false;
    ULARGE_INTEGER cookie;
    if (!watched && SUCCEEDED(::CoRegisterInitializeSpy(&spy, &cookie)))
        watched = true;
}

class FakeObject : public IDispatch {
public:
    FakeObject(std::string name, int index = 0) : name(std::move(name)), index(index) { ++live; }
    virtual ~FakeObject() { --live; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = (iid == IID_IUnknown || iid == IID_IDispatch) ? this : nullptr;
        return *out ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        long left = --refs;
        if (left == 0) {
            FakeOutlook::get().record("release:" + name, 0, "");
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        FakeOutlook& f = FakeOutlook::get();
        if (count != 1)
            return DISP_E_UNKNOWNNAME;
        if (name == "items" && f.countKnown && _wcsicmp(names[0], L"Count") == 0)
            return *ids = kCountId, S_OK;
        if (name == "folder" && f.modifiedKnown && _wcsicmp(names[0], L"LastModificationTime") == 0)
            return *ids = kModifiedId, S_OK;
        *ids = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* info, UINT*) override {
        FakeOutlook& f = FakeOutlook::get();
        f.record(name, id, describe(params));
        auto fail = [&] {
            if (!info)
                return E_FAIL;
            info->scode = E_FAIL;
            for (BSTR* text : {&info->bstrSource, &info->bstrDescription, &info->bstrHelpFile}) {
                *text = ::SysAllocStringLen(nullptr, static_cast<UINT>(f.exceptionTextSize));
                for (size_t i = 0; i < f.exceptionTextSize; ++i)
                    (*text)[i] = L'x';
            }
            return DISP_E_EXCEPTION;
        };
        auto answer = [&](FakeObject* object) {
            if (result) {
                result->vt = VT_DISPATCH;
                result->pdispVal = object;
            } else {
                object->Release();
            }
            return S_OK;
        };
        auto answerIfPresent = [&](FakeOutlook::Fault fault, FakeObject* (*make)()) {
            return fault == FakeOutlook::Fails     ? fail()
                   : fault == FakeOutlook::Missing ? S_OK
                                                   : answer(make());
        };
        auto item = [&](int at) {
            return at < int(f.contacts.size()) ? answer(new FakeObject("item" + std::to_string(at), at))
                                               : S_OK;
        };

        if (name == "session" && id == 4) {
            if (f.holdLogOn) {
                ::SetEvent(f.held);
                ::WaitForSingleObject(f.holdLogOn, INFINITE);
            }
            return f.failLogOn ? fail() : S_OK;
        }
        if (name == "session" && id == 7)
            return answerIfPresent(f.folder, [] { return new FakeObject("folder"); });
        if (name == "folder" && id == 17)
            return answerIfPresent(f.items, [] { return new FakeObject("items"); });
        if (name == "items" && id == kCountId && result) {
            result->vt = VT_I4;
            result->lVal = static_cast<long>(f.contacts.size());
            return S_OK;
        }
        if (name == "folder" && id == kModifiedId && result) {
            result->vt = VT_DATE;
            result->date = f.folderModified;
            return S_OK;
        }
        if (name == "items" && id == 5)
            return item(index = 0);
        if (name == "items" && id == 7)
            return ++index == f.failNextAt ? fail() : item(index);
        if (name.compare(0, 4, "item") != 0 || name == "items")
            return (id == 18 || id == 9) ? S_OK : DISP_E_MEMBERNOTFOUND;

        const FakeContact& contact = f.contacts.at(index);
        if (contact.holdRead && id == 201) {
            ::SetEvent(f.held);
            ::WaitForSingleObject(contact.holdRead, INFINITE);
        }
        if (contact.throwOnRead)
            throw std::runtime_error("the fake broke");
        if (id == 84)
            return contact.failDisplay ? fail() : S_OK;
        if (contact.failRead)
            return fail();
        auto it = contact.values.find(id);
        std::string text = it == contact.values.end() ? std::string() : it->second;
        if (!result)
            return S_OK;
        if (text == "<object>")
            return answer(new FakeObject("value"));
        std::wstring wide(text.begin(), text.end());
        result->vt = VT_BSTR;
        result->bstrVal = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
        return S_OK;
    }

private:
    std::atomic<long> refs{1};
    std::string name;
    int index;
};

class Factory : public IClassFactory {
public:
    explicit Factory(const char* progId) : progId(progId) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = (iid == IID_IUnknown || iid == IID_IClassFactory) ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        *out = nullptr;
        IDispatch* object = nullptr;
        HRESULT hr = outer ? CLASS_E_NOAGGREGATION : fakeCreate(progId, &object);
        if (FAILED(hr))
            return hr;
        hr = object->QueryInterface(iid, out);
        object->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    const char* progId;
};
Factory sessionFactory(FAKE_SESSION_PROGID), utilsFactory(FAKE_UTILS_PROGID);

} // namespace

FakeOutlook& FakeOutlook::get() {
    static FakeOutlook instance;
    return instance;
}

void FakeOutlook::reset() {
    std::lock_guard<std::mutex> hold(lock);
    contacts.clear();
    folder = items = Present;
    failNextAt = -1;
    failSession = failUtils = failLogOn = false;
    exceptionTextSize = 8;
    countKnown = modifiedKnown = true;
    folderModified = 45000.5;
    held = nullptr;
    holdLogOn = nullptr;
    uninitialisations = 0;
    uninitialisedThread = 0;
    apartmentRefsLeft = ~0u;
    log.clear();
}

void FakeOutlook::record(const std::string& object, DISPID id, const std::string& args) {
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    bool sta = SUCCEEDED(::CoGetApartmentType(&type, &qualifier)) &&
               (type == APTTYPE_STA || type == APTTYPE_MAINSTA);
    std::lock_guard<std::mutex> hold(lock);
    log.push_back({object, id, args, ::GetCurrentThreadId(), sta});
}

std::vector<FakeCall> FakeOutlook::calls() {
    std::lock_guard<std::mutex> hold(lock);
    return log;
}

std::vector<FakeCall> FakeOutlook::callsTo(const std::string& object, DISPID id) {
    std::vector<FakeCall> out;
    for (const FakeCall& call : calls()) {
        if (call.object == object && call.id == id)
            out.push_back(call);
    }
    return out;
}

long FakeOutlook::liveObjects() const {
    return live.load();
}

HRESULT fakeCreate(const std::string& progId, IDispatch** object) {
    *object = nullptr;
    FakeOutlook& f = FakeOutlook::get();
    watchThisThread();
    const bool session = progId == "Redemption.RDOSession" || progId == FAKE_SESSION_PROGID;
    const bool utils = progId == "Redemption.MAPIUtils" || progId == FAKE_UTILS_PROGID;
    f.record("create:" + progId, 0, "");
    if ((!session && !utils) || (session && f.failSession) || (utils && f.failUtils))
        return REGDB_E_CLASSNOTREG;
    *object = new FakeObject(session ? "session" : "utils");
    return S_OK;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE
    DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    *out = nullptr;
    IClassFactory* factory = clsid == kSessionClsid ? &sessionFactory
                             : clsid == kUtilsClsid ? &utilsFactory
                                                    : nullptr;
    return factory ? factory->QueryInterface(iid, out) : CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return live.load() == 0 ? S_OK : S_FALSE;
}
