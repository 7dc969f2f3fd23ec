#include "support/CoreFixture.h"
#include "support/OwnWindow.h"
#include "support/TempFolder.h"
#include "support/Watchdog.h"

#include "ContactIndexer.h"
#include "FakeOutlook.h"
#include "OutlookContact.h"
#include "OutlookContactAction.h"
#include "OutlookPlugin.h"
#include "engine/VPluginManager.h"
#include "model/VFileResult.h"
#include "model/VPreferences.h"
#include "resource.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {

using Texts = std::vector<std::string>;
const DISPID kName1 = 0x60040051, kName2 = 0x6004009e, kEmail1 = 0x60040035, kEmail2 = 0x6004003b;
const DISPID kPhone1 = 0x6004006d, kSearchText1 = 0x6004004d, kEntryId = 201;

FakeOutlook& fake() {
    return FakeOutlook::get();
}

FakeContact person(const std::string& name, const std::string& email = "", const std::string& phone = "") {
    FakeContact contact;
    contact.values = {
        {kName1, name}, {kEmail1, email}, {kPhone1, phone}, {kSearchText1, name}, {kEntryId, "id-" + name}};
    return contact;
}

// Where the first call on object with id comes in the log; -1 when it never came.
std::ptrdiff_t position(const std::vector<FakeCall>& calls, const std::string& object, DISPID id) {
    auto it = std::find_if(calls.begin(), calls.end(),
                           [&](const FakeCall& c) { return c.object == object && c.id == id; });
    return it == calls.end() ? -1 : it - calls.begin();
}

class Outlook : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        fake().reset();
        VOutlookPlugin::setContactAction(VOutlookPlugin::NewEmail);
        listener = counting = new CountingListener();
        core->registerResultListener(listener);
        ::DeleteFileA(logPath().c_str());
    }
    void TearDown() override {
        stopPlugin();
        EXPECT_EQ(fake().liveObjects(), 0) << "component objects left alive";
        ::DeleteFileA(logPath().c_str());
        CoreTest::TearDown();
    }
    bool startPlugin(DWORD callLimitMs = 15000) {
        outlook::Component component;
        component.create = &fakeCreate;
        component.installed = [](const std::string&) { return true; };
        component.callLimitMs = callLimitMs;
        plugin = new VOutlookPlugin(component);
        const bool started = plugin->startUp();
        if (started) {
            EXPECT_TRUE(plugin->getIndexer()->waitForRebuild(10000)) << "the first cache was not built";
        }
        return started;
    }
    // The cache read again from the fake as it is now.
    void reread() {
        plugin->getIndexer()->updateCache();
        EXPECT_TRUE(plugin->getIndexer()->waitForRebuild(10000));
    }
    void stopPlugin() {
        if (plugin) {
            core->unregisterPlugin(plugin);
            plugin->deleteThis();
            plugin = nullptr;
        }
    }
    VOutlookContactAction* action() const { return plugin->getIndexer()->getContactAction(); }
    Texts search(const std::string& text) {
        listener->clear();
        counting->overflow = 0;
        uint32_t id = 0;
        core->startSeach(text, id);
        EXPECT_TRUE(waitForWorkers());
        core->cancelSearch(id);
        return listener->texts();
    }
    std::string logPath() const { return core->getAppLocation() + "outlook.log"; }

    // Both modes, each after the cache (or its absence) was built for it.
    template <class Check> void inBothModes(Check check) {
        for (bool live : {false, true}) {
            core->setLiveSearching(live);
            ASSERT_TRUE(plugin->getIndexer()->waitForRebuild(10000));
            reread();
            check(live);
        }
        core->setLiveSearching(false);
    }

    VOutlookPlugin* plugin = nullptr;
    CollectingListener* listener = nullptr;
    CountingListener* counting = nullptr;
};

} // namespace

TEST_F(Outlook, EveryComponentCallRunsOnOneApartmentThreadWhichEndsWithThePlugin) {
    fake().contacts = {person("Ann", "ann@x.org")};
    ASSERT_TRUE(startPlugin());
    ASSERT_EQ(fake().callsTo("session", 4).size(), 1u);
    EXPECT_EQ(fake().callsTo("session", 4)[0].args, "s:,s:,b:0,i2:0,i2:0,i2:0");
    EXPECT_EQ(fake().callsTo("session", 7).at(0).args, "i4:10");
    ASSERT_NE(action(), nullptr);
    EXPECT_EQ(core->getAction("outlookcontact", false), action());
    EXPECT_EQ(core->getDefaultAction(VProperty::NameType), action());
    EXPECT_EQ(plugin->getIndexer()->getCachedCount(), 1u);
    core->setLiveSearching(true);
    EXPECT_EQ(search("ann"), Texts{"Ann (ann@x.org)"}) << "read for the worker";
    EXPECT_TRUE(action()->execute("ann"));
    stopPlugin();

    std::vector<FakeCall> calls = fake().calls();
    ASSERT_FALSE(calls.empty());
    const DWORD apartment = calls.front().thread;
    EXPECT_NE(apartment, ::GetCurrentThreadId());
    EXPECT_TRUE(std::all_of(calls.begin(), calls.end(), [&](const FakeCall& c) {
        return c.thread == apartment && c.sta;
    })) << "a call left the apartment thread";
    EXPECT_LT(position(calls, "session", 18), position(calls, "utils", 9));
    EXPECT_GE(position(calls, "session", 18), 0);
    EXPECT_EQ(fake().uninitialisations, 1);
    EXPECT_EQ(fake().uninitialisedThread, apartment);
    EXPECT_EQ(fake().apartmentRefsLeft, 0u) << "OLE initialised and released in balance";
}

TEST_F(Outlook, AComponentThatCannotBeCreatedOrLoggedOnDeclinesStartUpAndLeavesNothing) {
    for (int step = 0; step < 3; ++step) {
        fake().reset();
        (step == 0 ? fake().failSession : step == 1 ? fake().failLogOn : fake().failUtils) = true;
        EXPECT_FALSE(startPlugin()) << step;
        stopPlugin();
        EXPECT_EQ(core->getAction("outlookcontact", false), nullptr);
        EXPECT_EQ(core->getNumIndexers(), 0);
        EXPECT_EQ(fake().liveObjects(), 0) << step;
        EXPECT_EQ(fake().callsTo("session", 18).size(), step == 0 ? 0u : 1u)
            << "a created profile is logged off";
        EXPECT_EQ(fake().apartmentRefsLeft, 0u) << step;
    }
}

TEST_F(Outlook, DisplayTextsAndTheDefaultPropertyFollowNamesAddressesAndTheSetting) {
    VOutlookContact contact(nullptr);
    ContactValues values;
    values[ContactValues::Name2] = "Bob B";
    values[ContactValues::Email2] = "b2@x";
    contact.setValues(values);
    EXPECT_EQ(contact.getDisplayText(), "\"Bob B\"");
    EXPECT_EQ(contact.getDefaultProperty()->getValue(), "b2@x");
    values[ContactValues::Name1] = "Bob";
    values[ContactValues::Email1] = "b@x";
    values[ContactValues::EntryId] = "entry";
    contact.setValues(values);
    EXPECT_EQ(contact.getDisplayText(), "Bob (b@x)");
    EXPECT_EQ(contact.getDisplayText1(), "Bob");
    EXPECT_EQ(contact.getDisplayText2(), "b@x");
    EXPECT_EQ(contact.getDefaultProperty()->getValue(), "b@x");
    VOutlookPlugin::setContactAction(VOutlookPlugin::OpenContact);
    EXPECT_EQ(contact.getDefaultProperty()->getValue(), "Bob");
    VOutlookPlugin::setContactAction(VOutlookPlugin::NewEmail);

    const unsigned types[15] = {16, 16, 32, 32, 32, 128, 128, 128, 64, 64, 8, 256, 256, 256, 256};
    ASSERT_EQ(contact.getPropertyCount(), 15);
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(contact.getProperty(i)->getPropertyType(), types[i]) << i;
    VOutlookContact copy(nullptr);
    copy.copyFrom(contact);
    EXPECT_EQ(copy.getDisplayText(), "Bob (b@x)");
    EXPECT_EQ(copy.get(ContactValues::EntryId), "entry");

    ContactValues noAddress;
    noAddress[ContactValues::Name1] = "Cy";
    copy.setValues(noAddress);
    EXPECT_EQ(copy.getDisplayText2(), "Cy");
    EXPECT_EQ(copy.getDefaultProperty()->getPropertyType(), VProperty::NameType);
}

TEST_F(Outlook, BothModesFindAPhoneNumberAndListContactsInDisplayTextOrder) {
    fake().contacts = {person("Zoe", "z@x", "555-0101"), person("adam", "a@x", "555-0102"),
                       person("Adam", "a2@x", "555-0103"), person("Bea", "", "777")};
    ASSERT_TRUE(startPlugin());
    const Texts byText{"Adam (a2@x)", "Zoe (z@x)", "adam (a@x)"};
    EXPECT_EQ(search("5-01"), byText);
    EXPECT_EQ(search("bea"), Texts{"Bea"});
    core->setLiveSearching(true);
    EXPECT_TRUE(plugin->getIndexer()->waitForRebuild(10000));
    EXPECT_EQ(plugin->getIndexer()->getCachedCount(), 0u);
    EXPECT_EQ(search("5-01"), byText);
}

TEST_F(Outlook, AMissingFolderOrItemListOrAFailingNextItemEndsTheWalkWithWhatWasRead) {
    fake().contacts = {person("A1"), person("B2"), person("C3"), person("D4")};
    ASSERT_TRUE(startPlugin());
    using F = FakeOutlook;
    struct Case {
        F::Fault folder, items;
        int failNextAt;
        std::size_t kept;
    } cases[] = {{F::Missing, F::Present, -1, 0}, {F::Fails, F::Present, -1, 0},
                 {F::Present, F::Missing, -1, 0}, {F::Present, F::Fails, -1, 0},
                 {F::Present, F::Present, 2, 2},  {F::Present, F::Present, 1, 1}};
    for (const Case& c : cases) {
        fake().folder = c.folder;
        fake().items = c.items;
        fake().failNextAt = c.failNextAt;
        reread();
        EXPECT_EQ(plugin->getIndexer()->getCachedCount(), c.kept);
        EXPECT_EQ(fake().liveObjects(), 2) << "only the session and its helper stay";
    }
}

TEST_F(Outlook, AnUnreadableItemIsSkippedAndAThrowingComponentLeavesNoObjectBehind) {
    fake().contacts = {person("Ann"), person("Bob"), person("Cyril")};
    fake().contacts[0].failRead = true;
    fake().contacts[1].values[kEmail2] = "<object>"; // no string at all
    ASSERT_TRUE(startPlugin());
    EXPECT_EQ(search("cyr"), Texts{"Cyril"});
    EXPECT_EQ(plugin->getIndexer()->getCachedCount(), 1u);

    fake().contacts[2].throwOnRead = true;
    reread();
    EXPECT_EQ(search("cyr"), Texts{"Cyril"}) << "a reading that broke off keeps the cache it had";
    EXPECT_EQ(fake().liveObjects(), 2);
    fake().contacts[2].throwOnRead = false;
    fake().contacts.push_back(person("Dora"));
    reread();
    EXPECT_EQ(plugin->getIndexer()->getCachedCount(), 2u) << "the apartment thread lived on";
}

TEST_F(Outlook, ACancelledLiveSearchStopsWaitingAtOnceAndItsReadingStopsAtTheNextItem) {
    vx::CHandle hold, held;
    hold.Attach(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    held.Attach(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    fake().contacts = {person("Ann1"), person("Ann2"), person("Ann3"), person("Ann4")};
    ASSERT_TRUE(startPlugin());
    core->setLiveSearching(true);
    fake().held = held.Get();
    fake().contacts[1].holdRead = hold.Get();

    uint32_t id = 0;
    core->startSeach("ann", id);
    ASSERT_EQ(::WaitForSingleObject(held.Get(), 10000), WAIT_OBJECT_0);
    const std::size_t mark = fake().calls().size();
    auto callsSinceCancel = [mark](const std::string& object, DISPID id) {
        std::vector<FakeCall> calls = fake().calls();
        return std::count_if(calls.begin() + mark, calls.end(),
                             [&](const FakeCall& c) { return c.object == object && c.id == id; });
    };
    core->cancelSearch(id);
    const bool workerEnded = waitForWorkers(2000);
    ::SetEvent(hold.Get());
    EXPECT_TRUE(workerEnded) << "the worker kept waiting for the component";
    mustFinishWithin(10000, "the abandoned reading", [&] {
        while (callsSinceCancel("release:items", 0) == 0)
            ::Sleep(5);
    });
    EXPECT_EQ(callsSinceCancel("item2", kEntryId), 0) << "read on after the search was cancelled";
    EXPECT_EQ(listener->everDelivered(), 0);
    EXPECT_EQ(search("ann").size(), 4u) << "the next search is served";
}

TEST_F(Outlook, AComponentThatHangsAtLogOnHoldsTheStartOnlyForTheTimeLimitAndIsLogged) {
    vx::CHandle hold, held;
    hold.Attach(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    held.Attach(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    fake().holdLogOn = hold.Get();
    fake().held = held.Get();
    // A start that does wait is let go of after a while, so that it fails the test instead of hanging it.
    std::thread answerLate([&] {
        ::Sleep(3000);
        ::SetEvent(hold.Get());
    });
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(startPlugin(300));
    stopPlugin();
    const auto took =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - before);
    EXPECT_LT(took.count(), 2000) << "the window thread waited for the component";
    EXPECT_EQ(core->getNumIndexers(), 0);
    EXPECT_EQ(core->getAction("outlookcontact", false), nullptr);
    TempFolder reader;
    ASSERT_TRUE(::CopyFileA(logPath().c_str(), reader.sub("log").c_str(), FALSE));
    EXPECT_EQ(reader.readFile("log"),
              "Outlook did not answer while logging on (waited 1 s); going on without it\r\n");

    answerLate.join();
    // Once the component answers, its objects are released on their own thread, which then ends.
    mustFinishWithin(10000, "the abandoned apartment thread", [] {
        while (fake().liveObjects() != 0 || fake().apartmentRefsLeft != 0)
            ::Sleep(5);
    });
    EXPECT_EQ(fake().callsTo("session", 18).size(), 1u) << "logged off there";
}

TEST_F(Outlook, OpeningShowsTheItemWithTheEntryIdAndLogsEachProblemOnALine) {
    fake().contacts = {person("Ann"), person("Bob")};
    ASSERT_TRUE(startPlugin());
    VOutlookContact bob(plugin);
    ContactValues values;
    values[ContactValues::Name1] = "Bob";
    values[ContactValues::EntryId] = "id-Bob";
    bob.setValues(values);
    VFileResult* file = VFileResult::createInstance(plugin);
    EXPECT_FALSE(action()->isResultSupported(file));
    EXPECT_FALSE(action()->execute(file, file->getProperty(0), ""));
    file->deleteThis();
    EXPECT_TRUE(action()->isResultSupported(&bob));
    EXPECT_EQ(action()->getActionText(bob.getProperty(0)), "Open Contact: Bob");
    EXPECT_EQ(action()->getActionText(bob.getProperty(2)), "");

    EXPECT_TRUE(action()->execute(&bob, bob.getProperty(0), ""));
    ASSERT_EQ(fake().callsTo("item1", 84).size(), 1u);
    EXPECT_EQ(fake().callsTo("item1", 84)[0].args, "b:0,b:0");
    EXPECT_TRUE(fake().callsTo("item0", 84).empty());

    fake().contacts[1].failDisplay = true;
    EXPECT_FALSE(action()->execute(&bob, bob.getProperty(0), ""));
    values[ContactValues::EntryId] = "id-bob"; // entry ids compare exactly
    bob.setValues(values);
    EXPECT_FALSE(action()->execute(&bob, bob.getProperty(0), ""));
    fake().items = FakeOutlook::Missing;
    EXPECT_FALSE(action()->execute(&bob, bob.getProperty(0), ""));
    fake().folder = FakeOutlook::Fails;
    EXPECT_FALSE(action()->execute(&bob, bob.getProperty(0), ""));
    TempFolder reader;
    EXPECT_TRUE(::CopyFileA(logPath().c_str(), reader.sub("log").c_str(), FALSE));
    EXPECT_EQ(reader.readFile("log"), "Unknown error displaying contact\r\nCouldn't find contact\r\n"
                                      "Couldn't find contact\r\nCouldn't get Contact items\r\n"
                                      "Couldn't open Contacts folder\r\n");
}

TEST_F(Outlook, TheKeywordOpensTheFirstContactWhoseNameOrAddressHoldsTheText) {
    fake().contacts = {person("Ann Smith", "ann@x"), person("Bob Jones", "bob@smithy.org")};
    ASSERT_TRUE(startPlugin());
    EXPECT_TRUE(action()->execute("SMITH"));
    EXPECT_EQ(fake().callsTo("item0", 84).size(), 1u);
    EXPECT_TRUE(action()->execute("smithy"));
    EXPECT_EQ(fake().callsTo("item1", 84).size(), 1u);
    core->setSearchStringStart(true);
    EXPECT_FALSE(action()->execute("mith"));
    EXPECT_TRUE(action()->execute("bob@"));
    EXPECT_EQ(fake().callsTo("item1", 84).size(), 2u);
    EXPECT_FALSE(action()->execute("  ")) << "an empty text would open whoever comes first";
    EXPECT_EQ(fake().callsTo("item0", 84).size(), 1u);
}

namespace {
int dialogChoice = 0;
WPARAM dialogButton = IDOK;
Texts dialogEntries;
LRESULT dialogShown = -1;
// Reads the dialog's list, makes the choice and presses the button, once the modal dialog is there.
void CALLBACK answerDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND window = findOwnWindow(nullptr, "Outlook Preferences");
    if (!window)
        return;
    ::KillTimer(nullptr, timer);
    HWND list = ::GetDlgItem(window, IDC_CONTACT_ACTION);
    dialogEntries.clear();
    for (int i = 0; i < ::SendMessageA(list, CB_GETCOUNT, 0, 0); ++i) {
        char text[64] = {};
        ::SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        dialogEntries.push_back(text);
    }
    dialogShown = ::SendMessageA(list, CB_GETCURSEL, 0, 0);
    ::SendMessageA(list, CB_SETCURSEL, dialogChoice, 0);
    ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(dialogButton, BN_CLICKED), 0);
}
} // namespace

TEST_F(Outlook, TheContactActionSettingRoundTripsThroughThePreferencesAndTheDialog) {
    plugin = new VOutlookPlugin();
    VPreferencesNode* root = VPreferencesNode::createInstance("PluginMgr");
    VPreferencesNode* mine = VPreferencesNode::createInstance("Outlook");
    mine->setParam("ContactAction", 1);
    root->addChild(mine);
    plugin->loadPrefs(root);
    plugin->loadPrefs(nullptr);
    root->deleteThis();
    EXPECT_EQ(VOutlookPlugin::getContactAction(), 1);

    dialogChoice = 0;
    dialogButton = IDOK;
    ::SetTimer(nullptr, 0, 50, &answerDialog);
    plugin->editPrefs(nullptr);
    EXPECT_EQ(dialogEntries, (Texts{"New email to Contact", "Open Contact"}));
    EXPECT_EQ(dialogShown, 1);
    EXPECT_EQ(VOutlookPlugin::getContactAction(), 0);
    dialogChoice = 1;
    dialogButton = IDCANCEL;
    ::SetTimer(nullptr, 0, 50, &answerDialog);
    plugin->editPrefs(nullptr);
    EXPECT_EQ(VOutlookPlugin::getContactAction(), 0) << "Cancel keeps the setting";

    VPreferencesNode* saved = VPreferencesNode::createInstance("PluginMgr");
    plugin->savePrefs(saved);
    int value = -1;
    ASSERT_NE(saved->getChild("Outlook"), nullptr);
    EXPECT_TRUE(saved->getChild("Outlook")->getParam("ContactAction", value));
    EXPECT_EQ(value, 0);
    saved->deleteThis();
}

TEST_F(Outlook, StringsAndExceptionRecordsAreFreedAfterEveryRead) {
    fake().contacts = {person("Ann"), person("Bob")};
    fake().contacts[0].values[kName2] = std::string(1 << 20, 'n');
    fake().contacts[1].failRead = true;
    fake().exceptionTextSize = 1 << 20;
    ASSERT_TRUE(startPlugin());
    PROCESS_MEMORY_COUNTERS before{}, after{};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &before, sizeof(before));
    for (int i = 0; i < 40; ++i)
        reread();
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &after, sizeof(after));
    // Each read allocates 2 MB for the long value and 2 MB for each string of the exception record: any
    // one of them kept would add 80 MB.
    EXPECT_LT(after.PagefileUsage, before.PagefileUsage + (16u << 20));
    EXPECT_EQ(plugin->getIndexer()->getCachedCount(), 1u);
}

namespace {

long threadsOfThisProcess() {
    long count = 0;
    vx::CHandle snapshot;
    snapshot.Attach(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Thread32First(snapshot.Get(), &entry); more;
         more = ::Thread32Next(snapshot.Get(), &entry))
        count += entry.th32OwnerProcessID == ::GetCurrentProcessId();
    return count;
}

// The fake registered for this user, as an installer without administrator rights registers a component.
// Wine 8 does not merge the user's classes into HKEY_CLASSES_ROOT (its bug 14771): where the per-user
// entries are not seen, the same entries also go to HKEY_CLASSES_ROOT of the test prefix.
class Registration {
public:
    explicit Registration(bool withUtils) : withUtils(withUtils) {
        write(HKEY_CURRENT_USER, "Software\\Classes\\");
        CLSID clsid;
        if (FAILED(::CLSIDFromProgID(L"" FAKE_SESSION_PROGID, &clsid))) {
            alsoMachine = true;
            write(HKEY_CLASSES_ROOT, "");
        }
    }
    ~Registration() {
        erase(HKEY_CURRENT_USER, "Software\\Classes\\");
        if (alsoMachine)
            erase(HKEY_CLASSES_ROOT, "");
    }

private:
    static void set(HKEY root, const std::string& key, const char* name, const std::string& value) {
        ::RegSetKeyValueA(root, key.c_str(), name, REG_SZ, value.c_str(),
                          static_cast<DWORD>(value.size() + 1));
    }
    void write(HKEY root, const std::string& base) {
        for (int i = 0; i < (withUtils ? 2 : 1); ++i) {
            set(root, base + progIds[i] + "\\CLSID", nullptr, clsids[i]);
            const std::string server = base + "CLSID\\" + clsids[i] + "\\InprocServer32";
            set(root, server, nullptr, programFolder() + "vx_fake_outlook.dll");
            set(root, server, "ThreadingModel", "Apartment");
        }
    }
    void erase(HKEY root, const std::string& base) {
        for (int i = 0; i < 2; ++i) {
            ::RegDeleteTreeA(root, (base + progIds[i]).c_str());
            ::RegDeleteTreeA(root, (base + "CLSID\\" + clsids[i]).c_str());
        }
    }
    const std::string progIds[2] = {FAKE_SESSION_PROGID, FAKE_UTILS_PROGID};
    const std::string clsids[2] = {FAKE_SESSION_CLSID, FAKE_UTILS_CLSID};
    bool withUtils;
    bool alsoMachine = false;
};

class OutlookComponent : public ::testing::Test {
protected:
    void SetUp() override {
        fake().reset();
        ASSERT_TRUE(folder.makeDir("Plugins"));
        ASSERT_TRUE(::CopyFileA((programFolder() + "vx_test_outlook.vll").c_str(),
                                folder.sub("Plugins\\vx_test_outlook.vll").c_str(), FALSE));
        threadsBefore = threadsOfThisProcess();
    }
    // Starts a core that loads the plug-in from the test's folder; checks after shutting it down that
    // the library is gone with its thread and every object of the component.
    VVerbinoxCore* startCore() {
        VVerbinoxCore* core = VVerbinoxCore::instance();
        core->setPluginsPath(folder.sub("Plugins\\"));
        core->startUp();
        return core;
    }
    void stopCore(VVerbinoxCore* core) {
        core->shutDown();
        core->deleteThis();
        EXPECT_EQ(::GetModuleHandleA("vx_test_outlook.vll"), nullptr) << "the plug-in was not unloaded";
        EXPECT_EQ(fake().liveObjects(), 0);
        EXPECT_EQ(threadsOfThisProcess(), threadsBefore) << "a thread outlived the plug-in";
    }

    TempFolder folder;
    long threadsBefore = 0;
};

} // namespace

TEST_F(OutlookComponent, WithoutBothClassesRegisteredThePluginDeclinesBeforeCreatingAnythingAndIsUnloaded) {
    for (bool sessionRegistered : {false, true}) {
        fake().reset();
        std::unique_ptr<Registration> sessionOnly(sessionRegistered ? new Registration(false) : nullptr);
        VVerbinoxCore* core = startCore();
        EXPECT_EQ(core->getPluginManager()->getNumPlugins(), 0);
        EXPECT_EQ(::GetModuleHandleA("vx_test_outlook.vll"), nullptr);
        EXPECT_EQ(core->getAction("outlookcontact", false), nullptr);
        EXPECT_TRUE(fake().calls().empty()) << "the registered session was created and called";
        EXPECT_EQ(fake().liveObjects(), 0);
        stopCore(core);
    }
}

TEST_F(OutlookComponent, ARegisteredComponentIsCreatedSearchedAndReleasedThroughThePluginManager) {
    Registration both(true);
    fake().contacts = {person("Ann Smith", "ann@x.org")};
    APTTYPE typeBefore = APTTYPE_CURRENT, typeAfter = APTTYPE_CURRENT;
    APTTYPEQUALIFIER qualifier;
    const HRESULT before = ::CoGetApartmentType(&typeBefore, &qualifier);

    VVerbinoxCore* core = startCore();
    ASSERT_EQ(core->getPluginManager()->getNumPlugins(), 1);
    EXPECT_EQ(core->getPluginManager()->getPlugin(0)->getName(), "Outlook");
    auto* listener = new CollectingListener();
    core->registerResultListener(listener);
    EXPECT_TRUE(core->waitForCaches(10000));
    uint32_t id = 0;
    core->startSeach("smith", id);
    EXPECT_TRUE(waitForWorkers());
    EXPECT_EQ(listener->texts(), Texts{"Ann Smith (ann@x.org)"});
    listener->clear();
    EXPECT_EQ(::CoGetApartmentType(&typeAfter, &qualifier), before)
        << "the loading thread's COM state changed";
    EXPECT_EQ(typeAfter, typeBefore);
    stopCore(core);

    EXPECT_EQ(fake().callsTo("session", 18).size(), 1u);
    EXPECT_EQ(fake().callsTo("utils", 9).size(), 1u);
    EXPECT_EQ(fake().apartmentRefsLeft, 0u);
}

TEST_F(Outlook, AContactAddedOrEditedInTheMailProgramIsFoundWithoutAskingForTheCache) {
    fake().contacts = {person("Ann")};
    ASSERT_TRUE(startPlugin());
    auto firstFound = [&](const std::string& text) {
        Texts found;
        for (int waited = 0; waited < 6000 && found.empty(); waited += 100) {
            ::Sleep(100);
            found = search(text);
        }
        return found;
    };
    fake().contacts.push_back(person("Bob"));
    EXPECT_EQ(firstFound("bob"), Texts{"Bob"}) << "one more item";
    // Same count: only the folder's time tells of it.
    fake().contacts[1].values[kName1] = "Robert";
    fake().contacts[1].values[kSearchText1] = "Robert";
    fake().folderModified += 1.0 / 24;
    EXPECT_EQ(firstFound("robert"), Texts{"Robert"}) << "an item edited";
    const std::size_t readsBefore = fake().callsTo("item0", kEntryId).size();
    ::Sleep(2500);
    EXPECT_EQ(fake().callsTo("item0", kEntryId).size(), readsBefore) << "read again with nothing changed";
}

TEST_F(Outlook, ARebuildWaitingForTheComponentHoldsNeitherTheWindowNorSearchesNorTheIndexersEnd) {
    vx::CHandle hold, held;
    hold.Attach(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    held.Attach(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    fake().contacts = {person("Ann"), person("Bob")};
    ASSERT_TRUE(startPlugin());
    fake().held = held.Get();
    fake().contacts[0].holdRead = hold.Get();
    fake().contacts.push_back(person("Cyd"));
    // Neither call can hang for good: a caller waits for the component 15 s at most.
    auto took = [](auto f) {
        const DWORD start = ::GetTickCount();
        f();
        return ::GetTickCount() - start;
    };
    EXPECT_LT(took([&] { plugin->getIndexer()->updateCache(); }), 1000u) << "the window waited";
    ASSERT_EQ(::WaitForSingleObject(held.Get(), 10000), WAIT_OBJECT_0);
    EXPECT_EQ(search("ann"), Texts{"Ann"}) << "from the cache it had";
    EXPECT_EQ(search("cyd"), Texts{});
    // Unregistered while its builder waits: it stops waiting at once.
    EXPECT_LT(took([&] { core->unregisterIndexer(plugin->getIndexer()); }), 3000u);
    ::SetEvent(hold.Get());
    // A stop does not wait for work its caller gave up on: the released thread lets go of the
    // component's objects in its own time, then ends.
    stopPlugin();
    mustFinishWithin(10000, "the abandoned apartment thread", [] {
        while (fake().liveObjects() != 0 || fake().apartmentRefsLeft != 0)
            ::Sleep(5);
    });
}

TEST_F(Outlook, ABroadTextBuildsOnlyTheBestContactsAndCountsTheRest) {
    for (int i = 0; i < 12; ++i)
        fake().contacts.push_back(person("Member " + std::to_string(i), "m" + std::to_string(i) + "@club"));
    fake().contacts.push_back(person("Club", "office@club"));
    ASSERT_TRUE(startPlugin());
    core->setResultsPerSource(3);
    inBothModes([&](bool live) {
        const Texts got = search("club");
        ASSERT_EQ(got.size(), 3u) << live;
        EXPECT_EQ(got[0], "Club (office@club)") << "the whole name first: " << live;
        EXPECT_EQ(counting->overflow.load(), 10u) << live;
    });
}

TEST_F(Outlook, ANameThatStartsWithTheTextRanksAboveAnAddressWithItInside) {
    fake().contacts = {person("Bob", "joanna@x"), person("Zara Ann", "z@x"), person("Annette", "a@x")};
    ASSERT_TRUE(startPlugin());
    inBothModes([&](bool live) {
        EXPECT_EQ(search("ann"), (Texts{"Annette (a@x)", "Zara Ann (z@x)", "Bob (joanna@x)"})) << live;
        EXPECT_EQ(search("zara ann"), (Texts{"Zara Ann (z@x)"})) << live;
        EXPECT_EQ(search("ann zara"), (Texts{"Zara Ann (z@x)"})) << "words in any order: " << live;
    });
}

TEST_F(Outlook, AContactChosenBeforeForTheTextRanksFirstByItsAddress) {
    TempFolder choices;
    core->setChoiceFile(choices.sub("choices.txt"));
    fake().contacts = {person("Annette", "a@x"), person("Zara Ann", "z@x")};
    ASSERT_TRUE(startPlugin());
    EXPECT_EQ(search("ann").front(), "Annette (a@x)");
    VOutlookContact chosen(nullptr);
    ContactValues values;
    values[ContactValues::Name1] = "Zara Ann";
    values[ContactValues::Email1] = "z@x";
    chosen.setValues(values);
    core->recordChoice("annz", &chosen);
    inBothModes([&](bool live) {
        EXPECT_EQ(search("ann").front(), "Zara Ann (z@x)") << "chosen for a text it begins: " << live;
    });
    core->forgetChoices();
}
