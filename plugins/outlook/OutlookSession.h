#pragma once
// The mail component's two objects - the session logged on to the default profile and its helper - and
// every call the plug-in makes on them. They live on an apartment thread of their own: the operations
// here hand their work to it and wait, from whichever thread they are called.
#include "ApartmentThread.h"
#include "ContactValues.h"
#include "util/ComRef.h"

#include <oaidl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace outlook {

// Creates the object of a programmatic identifier, on the apartment thread. createByProgId is the real
// one; tests hand in their own object model.
using ObjectFactory = std::function<HRESULT(const std::string& progId, IDispatch** object)>;
HRESULT createByProgId(const std::string& progId, IDispatch** object);

// Whether a programmatic identifier names a registered class. isRegisteredProgId is the real one.
using InstalledTest = std::function<bool(const std::string& progId)>;
bool isRegisteredProgId(const std::string& progId);

// What the plug-in creates, and how.
struct Component {
    std::string sessionProgId = "Redemption.RDOSession";
    std::string utilsProgId = "Redemption.MAPIUtils";
    ObjectFactory create = &createByProgId;
    InstalledTest installed = &isRegisteredProgId;
    // How long a caller waits for one call on the component (a log-on to a mail server that does not
    // answer, say) before it gives up and goes on without it.
    DWORD callLimitMs = 15000;
};

} // namespace outlook

class COutlookSession {
public:
    // Where the session reports a call it stopped waiting for.
    using Log = std::function<void(const std::string& message)>;
    // The fields that an item test looks at, and the test itself (run on the apartment thread).
    using ItemTest = std::function<bool(const ContactValues& values)>;
    struct OpenOutcome {
        bool shown = false;
        std::vector<std::string> problems; // for the log, in the order they happened
    };

    explicit COutlookSession(outlook::Component component, Log log = nullptr);
    // Logs off and stops the thread if that was not done.
    ~COutlookSession();
    COutlookSession(const COutlookSession&) = delete;
    COutlookSession& operator=(const COutlookSession&) = delete;

    // Starts the apartment thread. False when it or OLE on it cannot start.
    bool start();
    // Logs off, releases both objects and ends the thread; every later operation fails. A thread that
    // hangs in the component is not waited for: it releases the objects when the component returns.
    void stop();

    // The steps of logging on; each false when it failed.
    bool createProfile();
    bool logOn();
    bool createUtils();
    // Profile method 18 and utils method 9, each object then released; a missing one is skipped.
    void logOff();

    // Every contact of the default Contacts folder, in the folder's order; an item that cannot be read is
    // skipped, and a folder, list or next item that cannot be had ends the walk with what was read. With
    // giveUp (see CApartmentThread::call) the walk stops at its next item once the caller has gone; false
    // then, and whenever the walk did not run.
    bool readContacts(std::vector<ContactValues>& contacts, const std::function<bool()>& giveUp = {});
    // A text that changes when the Contacts folder's content does, read without walking it: the number
    // of its items and the folder's last modification time, each asked for by name. A part the component
    // does not know is left out; empty when it knows neither or the folder cannot be had. False (token
    // empty) when the call did not run to its end; giveUp as for readContacts.
    bool readChangeToken(std::string& token, const std::function<bool()>& giveUp = {});
    // Walks the Contacts folder, reading the given fields of each item, and shows the first item that
    // passes the test in the mail program.
    OpenOutcome showFirst(const std::vector<ContactValues::Field>& fields, ItemTest passes);

private:
    struct Objects;
    // Runs work on the thread, waiting at most the component's limit; false unless it ran to its end.
    // A call that timed out is logged. The work may outlive the call: it must share what it touches.
    bool run(const char* what, CApartmentThread::Work work, const std::function<bool()>& giveUp = {});
    bool create(const std::string& progId, vx::CComRef<IDispatch> Objects::*object);
    // On the apartment thread: profile method 18 and utils method 9, each object then released.
    static void logOffObjects(Objects& objects);

    outlook::Component component;
    Log log;
    CApartmentThread thread;
    // The component's objects: kept alive by the session and by every work that uses them, touched and
    // released on the apartment thread only.
    std::shared_ptr<Objects> objects;
};
