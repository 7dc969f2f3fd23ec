#pragma once
// A fake of the mail component's object model (session, helper, folder, item list, items) that records
// every call with its thread, and fails where a test asks. The same library serves the tests directly,
// through the plug-in's object factory, and as an in-process COM server registered under test-only
// identifiers.
#include <windows.h>
#include <oaidl.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#ifdef VX_FAKE_OUTLOOK_BUILD
#define FAKE_OUTLOOK_API __declspec(dllexport)
#else
#define FAKE_OUTLOOK_API __declspec(dllimport)
#endif

#define FAKE_SESSION_PROGID "Verbinox.TestSession"
#define FAKE_UTILS_PROGID "Verbinox.TestUtils"
#define FAKE_SESSION_CLSID "{B0B5F3C1-6A53-4B8E-9D0A-3F1E2C4D5A61}"
#define FAKE_UTILS_CLSID "{B0B5F3C1-6A53-4B8E-9D0A-3F1E2C4D5A62}"

struct FakeContact {
    std::map<DISPID, std::string> values; // a value of "<object>" answers an object instead of a string
    bool failRead = false;                // every read fails with an exception record
    bool throwOnRead = false;             // a C++ exception leaves Invoke
    bool failDisplay = false;
    HANDLE holdRead = nullptr; // reading its entry id waits for this event, after setting FakeOutlook::held
};

struct FakeCall {
    std::string object; // "session", "utils", "folder", "items", "item<n>"; "release:<object>" at its end
    DISPID id;
    std::string args; // "s:text", "b:0", "i2:0", "i4:10", comma-separated in natural order
    DWORD thread;
    bool sta; // the caller's apartment was single-threaded
};

class FAKE_OUTLOOK_API FakeOutlook {
public:
    enum Fault { Present, Missing, Fails };
    static FakeOutlook& get();
    // Empties the model, clears every fault and the call log.
    void reset();

    std::vector<FakeContact> contacts;
    Fault folder = Present, items = Present;
    int failNextAt = -1; // the next-item call that would reach this index fails
    bool failSession = false, failUtils = false, failLogOn = false;
    size_t exceptionTextSize = 8; // characters in each string of an exception record
    HANDLE held = nullptr;        // set when a read starts waiting on holdRead, or log-on on holdLogOn
    HANDLE holdLogOn = nullptr;   // logging on waits for this event, as on a server that does not answer
    // The folder's change check: the items' "Count" and the folder's "LastModificationTime", each known
    // by name unless a test says otherwise.
    bool countKnown = true, modifiedKnown = true;
    double folderModified = 45000.5; // an OLE date

    std::vector<FakeCall> calls();
    std::vector<FakeCall> callsTo(const std::string& object, DISPID id);
    void record(const std::string& object, DISPID id, const std::string& args);
    long liveObjects() const;
    // What an initialisation spy, placed on the thread that created the first object, saw.
    int uninitialisations = 0;
    DWORD uninitialisedThread = 0;
    DWORD apartmentRefsLeft = ~0u;

private:
    std::mutex lock;
    std::vector<FakeCall> log;
};

// The object of a programmatic identifier: the product's and the test registrations' are both known.
FAKE_OUTLOOK_API HRESULT fakeCreate(const std::string& progId, IDispatch** object);
