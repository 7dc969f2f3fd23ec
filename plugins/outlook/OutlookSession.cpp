#include "OutlookSession.h"

#include "Dispatch.h"
#include "util/VxText.h"

#include <memory>

using outlook::Arguments;
using outlook::CVariant;

namespace {

// Dispatch ids of the component's members that the plug-in uses.
const DISPID kLogOn = 4;
const DISPID kDefaultFolder = 7;
const DISPID kLogOff = 18;
const DISPID kCleanUp = 9;
const DISPID kFolderItems = 17;
const DISPID kFirstItem = 5;
const DISPID kNextItem = 7;
const DISPID kDisplay = 84;
const long kContactsFolder = 10;

// The id read for each field of ContactValues, in its order.
const DISPID kFieldIds[ContactValues::FieldCount] = {
    0x60040051, 0x6004009e, 0x60040035, 0x6004003b, 0x60040043, 0x6004006d,
    0x6004001e, 0x60040098, 0x6004005d, 0x6004000c, 0x600400d8, 0x60040037,
    0x6004003d, 0x60040045, 0x6004004d, 0x60040083, 201,
};

// The entry id first, then the sixteen values.
const std::vector<ContactValues::Field>& allFields() {
    static const std::vector<ContactValues::Field> fields = [] {
        std::vector<ContactValues::Field> out{ContactValues::EntryId};
        for (int f = 0; f < ContactValues::EntryId; ++f)
            out.push_back(static_cast<ContactValues::Field>(f));
        return out;
    }();
    return fields;
}

} // namespace

HRESULT outlook::createByProgId(const std::string& progId, IDispatch** object) {
    *object = nullptr;
    CLSID clsid;
    HRESULT hr = ::CLSIDFromProgID(vx::widened(progId).c_str(), &clsid);
    if (FAILED(hr))
        return hr;
    return ::CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_IDispatch, reinterpret_cast<void**>(object));
}

bool outlook::isRegisteredProgId(const std::string& progId) {
    CLSID clsid;
    return SUCCEEDED(::CLSIDFromProgID(vx::widened(progId).c_str(), &clsid));
}

COutlookSession::COutlookSession(outlook::Component component) : component(std::move(component)) {}

COutlookSession::~COutlookSession() {
    stop();
}

bool COutlookSession::start() {
    return thread.start();
}

void COutlookSession::stop() {
    if (!thread.isRunning())
        return;
    logOff();
    thread.stop();
    // Still held only when logOff could not even hand its work over (no memory). Released here they would
    // call into an apartment that is gone, which may crash: they are let go of instead.
    profile.Detach();
    utils.Detach();
}

bool COutlookSession::create(const std::string& progId, vx::CComRef<IDispatch>& object) {
    bool created = false;
    try {
        thread.call([&](const std::atomic<bool>&) {
            IDispatch* made = nullptr;
            HRESULT hr = component.create ? component.create(progId, &made) : E_NOINTERFACE;
            object.Attach(made);
            created = SUCCEEDED(hr) && object;
        });
    } catch (...) {
        // No memory to hand the work over: the object was not made.
    }
    return created;
}

bool COutlookSession::createProfile() {
    return create(component.sessionProgId, profile);
}

bool COutlookSession::createUtils() {
    return create(component.utilsProgId, utils);
}

bool COutlookSession::logOn() {
    bool loggedOn = false;
    try {
        thread.call([&](const std::atomic<bool>&) {
            // The default profile: an empty name and password, then every option off.
            Arguments args;
            args.push_back(CVariant::text(""));
            args.push_back(CVariant::text(""));
            args.push_back(CVariant::boolean(false));
            args.push_back(CVariant::int16(0));
            args.push_back(CVariant::int16(0));
            args.push_back(CVariant::int16(0));
            loggedOn = SUCCEEDED(outlook::callMethod(profile.Get(), kLogOn, std::move(args)));
        });
    } catch (...) {
    }
    return loggedOn;
}

void COutlookSession::logOff() {
    try {
        thread.call([this](const std::atomic<bool>&) {
            if (profile) {
                outlook::callMethod(profile.Get(), kLogOff, Arguments());
                profile.Release();
            }
            if (utils) {
                outlook::callMethod(utils.Get(), kCleanUp, Arguments());
                utils.Release();
            }
        });
    } catch (...) {
        // No memory to hand the work over: stop() lets go of them.
    }
}

vx::CComRef<IDispatch> COutlookSession::contactItems(const char** problem) {
    vx::CComRef<IDispatch> folder, items;
    Arguments which;
    which.push_back(CVariant::int32(kContactsFolder));
    if (FAILED(
            outlook::getObject(profile.Get(), kDefaultFolder, DISPATCH_METHOD, std::move(which), folder)) ||
        !folder) {
        *problem = "Couldn't open Contacts folder";
        return items;
    }
    if (FAILED(outlook::getObject(folder.Get(), kFolderItems, DISPATCH_PROPERTYGET, Arguments(), items)) ||
        !items) {
        *problem = "Couldn't get Contact items";
        items.Release();
    }
    return items;
}

template <class Visit>
void COutlookSession::forEachItem(IDispatch* items, const std::atomic<bool>& stop, Visit visit) {
    vx::CComRef<IDispatch> item;
    if (FAILED(outlook::getObject(items, kFirstItem, DISPATCH_METHOD, Arguments(), item)))
        return;
    while (item) {
        if (stop.load() || !visit(item.Get()))
            return;
        // A list that cannot go on ends here; what was visited stands.
        if (FAILED(outlook::getObject(items, kNextItem, DISPATCH_METHOD, Arguments(), item)))
            return;
    }
}

bool COutlookSession::readFields(IDispatch* item, const std::vector<ContactValues::Field>& fields,
                                 ContactValues& values) {
    for (ContactValues::Field field : fields) {
        if (FAILED(outlook::getString(item, kFieldIds[field], values[field])))
            return false;
    }
    return true;
}

bool COutlookSession::readContacts(std::vector<ContactValues>& contacts,
                                   const std::function<bool()>& giveUp) {
    contacts.clear();
    // The walk may outlive a caller that gives up: it fills a list that it shares with the work.
    auto read = std::make_shared<std::vector<ContactValues>>();
    bool ran = thread.call(
        [this, read](const std::atomic<bool>& abandoned) {
            const char* problem = nullptr;
            vx::CComRef<IDispatch> items = contactItems(&problem);
            if (!items)
                return;
            forEachItem(items.Get(), abandoned, [&](IDispatch* item) {
                ContactValues values;
                if (readFields(item, allFields(), values))
                    read->push_back(std::move(values));
                return true;
            });
        },
        giveUp);
    if (ran)
        contacts.swap(*read);
    return ran;
}

COutlookSession::OpenOutcome COutlookSession::showFirst(const std::vector<ContactValues::Field>& fields,
                                                        ItemTest passes) {
    OpenOutcome outcome;
    bool ran = thread.call([&](const std::atomic<bool>& abandoned) {
        const char* problem = nullptr;
        vx::CComRef<IDispatch> items = contactItems(&problem);
        if (!items) {
            outcome.problems.push_back(problem);
            return;
        }
        forEachItem(items.Get(), abandoned, [&](IDispatch* item) {
            ContactValues values;
            if (!readFields(item, fields, values) || !passes(values))
                return true;
            Arguments flags; // both false
            flags.push_back(CVariant::boolean(false));
            flags.push_back(CVariant::boolean(false));
            if (SUCCEEDED(outlook::callMethod(item, kDisplay, std::move(flags)))) {
                outcome.shown = true;
                return false;
            }
            outcome.problems.push_back("Unknown error displaying contact");
            return true;
        });
        if (!outcome.shown)
            outcome.problems.push_back("Couldn't find contact");
    });
    if (!ran && outcome.problems.empty())
        outcome.problems.push_back("Couldn't open Contacts folder");
    return outcome;
}
