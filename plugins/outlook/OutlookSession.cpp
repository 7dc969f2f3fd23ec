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

// The component's objects, touched on the apartment thread only.
struct COutlookSession::Objects {
    vx::CComRef<IDispatch> profile;
    vx::CComRef<IDispatch> utils;
    // Released on the apartment thread (log-off, or the thread's farewell). Any still held here could
    // only be released from the wrong thread, into an apartment that may be gone: they are let go of.
    ~Objects() {
        profile.Detach();
        utils.Detach();
    }
};

COutlookSession::COutlookSession(outlook::Component component, Log log)
    : component(std::move(component)), log(std::move(log)), objects(std::make_shared<Objects>()) {}

COutlookSession::~COutlookSession() {
    stop();
}

bool COutlookSession::start() {
    if (!thread.start())
        return false;
    // Whatever log-off could not do is done as the thread ends, on the thread, even when nobody waits.
    std::shared_ptr<Objects> held = objects;
    thread.setFarewell([held] { logOffObjects(*held); });
    return true;
}

void COutlookSession::stop() {
    if (!thread.isRunning())
        return;
    logOff();
    thread.stop(component.callLimitMs);
}

bool COutlookSession::run(const char* what, CApartmentThread::Work work,
                          const std::function<bool()>& giveUp) {
    CApartmentThread::Outcome outcome = CApartmentThread::Outcome::Failed;
    try {
        outcome = thread.call(std::move(work), component.callLimitMs, giveUp);
    } catch (...) {
        // No memory to hand the work over: it did not run.
    }
    if (outcome == CApartmentThread::Outcome::TimedOut && log) {
        try {
            log(std::string("Outlook did not answer while ") + what + " (waited " +
                std::to_string((component.callLimitMs + 999) / 1000) + " s); going on without it");
        } catch (...) {
        }
    }
    return outcome == CApartmentThread::Outcome::Done;
}

bool COutlookSession::create(const std::string& progId, vx::CComRef<IDispatch> Objects::*object) {
    auto created = std::make_shared<bool>(false);
    std::shared_ptr<Objects> held = objects;
    outlook::ObjectFactory factory = component.create;
    const bool ran =
        run("creating its objects", [held, created, factory, progId, object](const std::atomic<bool>&) {
            IDispatch* made = nullptr;
            HRESULT hr = factory ? factory(progId, &made) : E_NOINTERFACE;
            ((*held).*object).Attach(made);
            *created = SUCCEEDED(hr) && made;
        });
    return ran && *created;
}

bool COutlookSession::createProfile() {
    return create(component.sessionProgId, &Objects::profile);
}

bool COutlookSession::createUtils() {
    return create(component.utilsProgId, &Objects::utils);
}

bool COutlookSession::logOn() {
    auto loggedOn = std::make_shared<bool>(false);
    std::shared_ptr<Objects> held = objects;
    const bool ran = run("logging on", [held, loggedOn](const std::atomic<bool>&) {
        // The default profile: an empty name and password, then every option off.
        Arguments args;
        args.push_back(CVariant::text(""));
        args.push_back(CVariant::text(""));
        args.push_back(CVariant::boolean(false));
        args.push_back(CVariant::int16(0));
        args.push_back(CVariant::int16(0));
        args.push_back(CVariant::int16(0));
        *loggedOn = SUCCEEDED(outlook::callMethod(held->profile.Get(), kLogOn, std::move(args)));
    });
    return ran && *loggedOn;
}

void COutlookSession::logOff() {
    std::shared_ptr<Objects> held = objects;
    run("logging off", [held](const std::atomic<bool>&) { logOffObjects(*held); });
}

void COutlookSession::logOffObjects(Objects& objects) {
    if (objects.profile) {
        outlook::callMethod(objects.profile.Get(), kLogOff, Arguments());
        objects.profile.Release();
    }
    if (objects.utils) {
        outlook::callMethod(objects.utils.Get(), kCleanUp, Arguments());
        objects.utils.Release();
    }
}

namespace {

// On the thread: the default Contacts folder, with the problem when it cannot be had.
vx::CComRef<IDispatch> contactsFolder(IDispatch* profile, const char** problem) {
    vx::CComRef<IDispatch> folder;
    Arguments which;
    which.push_back(CVariant::int32(kContactsFolder));
    if (FAILED(outlook::getObject(profile, kDefaultFolder, DISPATCH_METHOD, std::move(which), folder)) ||
        !folder) {
        *problem = "Couldn't open Contacts folder";
        folder.Release();
    }
    return folder;
}

// On the thread: the items of a folder, with the problem when they cannot be had.
vx::CComRef<IDispatch> folderItems(IDispatch* folder, const char** problem) {
    vx::CComRef<IDispatch> items;
    if (FAILED(outlook::getObject(folder, kFolderItems, DISPATCH_PROPERTYGET, Arguments(), items)) ||
        !items) {
        *problem = "Couldn't get Contact items";
        items.Release();
    }
    return items;
}

// On the thread: the items of the default Contacts folder, with the problem that stopped the way there.
vx::CComRef<IDispatch> contactItems(IDispatch* profile, const char** problem) {
    vx::CComRef<IDispatch> folder = contactsFolder(profile, problem);
    if (!folder)
        return vx::CComRef<IDispatch>();
    return folderItems(folder.Get(), problem);
}

template <class Visit> void forEachItem(IDispatch* items, const std::atomic<bool>& stop, Visit visit) {
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

bool readFields(IDispatch* item, const std::vector<ContactValues::Field>& fields, ContactValues& values) {
    for (ContactValues::Field field : fields) {
        if (FAILED(outlook::getString(item, kFieldIds[field], values[field])))
            return false;
    }
    return true;
}

} // namespace

bool COutlookSession::readContacts(std::vector<ContactValues>& contacts,
                                   const std::function<bool()>& giveUp) {
    contacts.clear();
    // The walk may outlive a caller that gives up: it fills a list that it shares with the work.
    auto read = std::make_shared<std::vector<ContactValues>>();
    std::shared_ptr<Objects> held = objects;
    const bool ran = run(
        "reading the contacts",
        [held, read](const std::atomic<bool>& abandoned) {
            const char* problem = nullptr;
            vx::CComRef<IDispatch> items = contactItems(held->profile.Get(), &problem);
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

bool COutlookSession::readChangeToken(std::string& token, const std::function<bool()>& giveUp) {
    token.clear();
    auto read = std::make_shared<std::string>();
    std::shared_ptr<Objects> held = objects;
    const bool ran = run(
        "checking the contacts for changes",
        [held, read](const std::atomic<bool>&) {
            const char* problem = nullptr;
            vx::CComRef<IDispatch> folder = contactsFolder(held->profile.Get(), &problem);
            if (!folder)
                return;
            vx::CComRef<IDispatch> items = folderItems(folder.Get(), &problem);
            if (!items)
                return;
            std::string count, modified;
            if (SUCCEEDED(outlook::getNamedString(items.Get(), L"Count", count)))
                *read += "items " + count + ";";
            if (SUCCEEDED(outlook::getNamedString(folder.Get(), L"LastModificationTime", modified)))
                *read += "modified " + modified + ";";
        },
        giveUp);
    if (ran)
        token.swap(*read);
    return ran;
}

COutlookSession::OpenOutcome COutlookSession::showFirst(const std::vector<ContactValues::Field>& fields,
                                                        ItemTest passes) {
    // Shared with the work, which may outlive this call.
    auto outcome = std::make_shared<OpenOutcome>();
    std::shared_ptr<Objects> held = objects;
    const bool ran =
        run("opening a contact", [held, outcome, fields, passes](const std::atomic<bool>& abandoned) {
            const char* problem = nullptr;
            vx::CComRef<IDispatch> items = contactItems(held->profile.Get(), &problem);
            if (!items) {
                outcome->problems.push_back(problem);
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
                    outcome->shown = true;
                    return false;
                }
                outcome->problems.push_back("Unknown error displaying contact");
                return true;
            });
            if (!outcome->shown)
                outcome->problems.push_back("Couldn't find contact");
        });
    if (!ran) {
        // What a work that did not end wrote is the thread's alone now.
        OpenOutcome failed;
        failed.problems.push_back("Couldn't open Contacts folder");
        return failed;
    }
    return *outcome;
}
