#include "support/CoreFixture.h"
#include "support/ShellCapture.h"

#include "model/VBuiltinActions.h"
#include "model/VFileResult.h"

#include <windows.h>

#include <cstring>
#include <thread>

namespace {

const VVerbinoxCore::UrlOrigin kTyped = VVerbinoxCore::UrlOrigin::UserText;
const VVerbinoxCore::UrlOrigin kFromData = VVerbinoxCore::UrlOrigin::DataFile;

class BuiltinActions : public CoreTest {
protected:
    ShellCapture shell;
    std::vector<ShellCapture::Request>& requests = ShellCapture::requests();
    bool& shellAnswer = ShellCapture::answer();
    FakeResult result{nullptr, "r"};
};

std::string clipboardText() {
    std::string text;
    if (!::OpenClipboard(nullptr))
        return "<cannot open>";
    if (HANDLE h = ::GetClipboardData(CF_TEXT)) {
        const char* p = static_cast<const char*>(::GlobalLock(h));
        SIZE_T size = ::GlobalSize(h);
        if (p) {
            text.assign(p, strnlen(p, size));
            if (strnlen(p, size) == size)
                text = "<no terminating NUL>";
        }
        ::GlobalUnlock(h);
    }
    ::CloseClipboard();
    return text;
}

} // namespace

TEST_F(BuiltinActions, RunOpensFilesWithTheShellAndUrlsThroughTheCore) {
    VRunAction run;
    VProperty file(VProperty::FileType, "C:\\docs\\notes.txt");
    VProperty url(VProperty::UrlType, "http://example.com/");
    EXPECT_TRUE(run.execute(&result, &file, "text"));
    EXPECT_TRUE(run.execute(&result, &url, ""));
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].file, "C:\\docs\\notes.txt");
    EXPECT_EQ(requests[0].parameters, "");
    EXPECT_EQ(requests[1].file, "http://example.com/");
    shellAnswer = false;
    EXPECT_FALSE(run.execute(&result, &file, "")) << "a shell refusal is a failure";
    EXPECT_FALSE(run.execute("notepad.exe"));
}

TEST_F(BuiltinActions, RunRefusesUnsupportedTypes) {
    VRunAction run;
    VProperty name(VProperty::NameType, "John");
    EXPECT_EQ(run.getActionText(&name), "");
    EXPECT_FALSE(run.execute(&result, &name, ""));
    EXPECT_TRUE(requests.empty());
}

TEST_F(BuiltinActions, RunActionTextNamesTheFileOrTheLastFolder) {
    VRunAction run;
    VProperty file(VProperty::FileType, "C:\\docs\\notes.txt");
    VProperty folder(VProperty::FileType, "C:\\Program Files\\Tools\\");
    VProperty url(VProperty::UrlType, "http://x.org/");
    EXPECT_EQ(run.getActionText(&file), "Open notes.txt");
    EXPECT_EQ(run.getActionText(&folder), "Open Tools");
    EXPECT_EQ(run.getActionText(&url), "Browse http://x.org/");
}

TEST_F(BuiltinActions, MailDraftsATrimmedMailtoAndRefusesOtherTypes) {
    VMailAction mail;
    VProperty address(VProperty::EmailType, "  someone@example.com \t");
    EXPECT_EQ(mail.getActionText(&address), "Email   someone@example.com \t");
    EXPECT_TRUE(mail.execute(&result, &address, ""));
    EXPECT_TRUE(mail.execute(" other@example.com "));
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].file, "mailto:someone@example.com");
    EXPECT_EQ(requests[1].file, "mailto:other@example.com");
    VProperty text(VProperty::TextType, "someone@example.com");
    EXPECT_FALSE(mail.execute(&result, &text, ""));
    EXPECT_EQ(requests.size(), 2u);
}

TEST_F(BuiltinActions, CopyPutsTheTextOnTheClipboard) {
    VCopyAction copy;
    VProperty text(VProperty::PhoneType, "+1 555 0100");
    EXPECT_EQ(copy.getActionText(&text), "Copy text to Clipboard: +1 555 0100");
    ASSERT_TRUE(copy.execute(&result, &text, ""));
    EXPECT_EQ(clipboardText(), "+1 555 0100");
    const std::string page(4096, 'p');
    ASSERT_TRUE(copy.execute(page));
    EXPECT_EQ(clipboardText(), page) << "a 4096-byte text still ends with a NUL";
    EXPECT_TRUE(copy.execute(""));
    EXPECT_EQ(clipboardText(), page) << "an empty text leaves the clipboard as it was";
}

TEST_F(BuiltinActions, CopyReportsFailureWhileAnotherThreadHoldsTheClipboard) {
    HANDLE opened = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([&] {
        // Opened with a window: under Wine another thread may reopen a clipboard opened without one.
        HWND owner =
            ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        BOOL ok = ::OpenClipboard(owner);
        ::SetEvent(opened);
        ::WaitForSingleObject(release, 5000);
        if (ok)
            ::CloseClipboard();
        ::DestroyWindow(owner);
    });
    ::WaitForSingleObject(opened, 5000);
    EXPECT_FALSE(VCopyAction::copyToClipboard("blocked"));
    ::SetEvent(release);
    holder.join();
    ::CloseHandle(opened);
    ::CloseHandle(release);
    EXPECT_TRUE(VCopyAction::copyToClipboard("free again"));
    EXPECT_EQ(clipboardText(), "free again");
}

namespace {
// Clipboard calls that fail where told, and remember what they were given.
struct FailingClipboard {
    static bool failEmpty, failSetData;
    static int opens, closes;
    static HANDLE given;
    static BOOL WINAPI open(HWND) { return ++opens, TRUE; }
    static BOOL WINAPI empty() { return failEmpty ? FALSE : TRUE; }
    static HANDLE WINAPI setData(UINT, HANDLE data) {
        given = data;
        return failSetData ? nullptr : data;
    }
    static BOOL WINAPI close() { return ++closes, TRUE; }
};
bool FailingClipboard::failEmpty, FailingClipboard::failSetData;
int FailingClipboard::opens, FailingClipboard::closes;
HANDLE FailingClipboard::given;
} // namespace

TEST_F(BuiltinActions, CopyReportsAClipboardThatCannotBeEmptiedOrFilledAndClosesItAgain) {
    const VCopyAction::ClipboardCalls previous =
        VCopyAction::setClipboardCalls({&FailingClipboard::open, &FailingClipboard::empty,
                                        &FailingClipboard::setData, &FailingClipboard::close});
    FailingClipboard::failEmpty = true;
    FailingClipboard::given = nullptr;
    EXPECT_FALSE(VCopyAction::copyToClipboard("not emptied"));
    EXPECT_EQ(FailingClipboard::given, nullptr) << "nothing is put on a clipboard that was not emptied";
    EXPECT_EQ(FailingClipboard::closes, FailingClipboard::opens);

    FailingClipboard::failEmpty = false;
    FailingClipboard::failSetData = true;
    EXPECT_FALSE(VCopyAction::copyToClipboard("refused"));
    ASSERT_NE(FailingClipboard::given, nullptr);
    EXPECT_EQ(::GlobalFlags(FailingClipboard::given), GMEM_INVALID_HANDLE)
        << "the refused block was not freed";
    EXPECT_EQ(FailingClipboard::closes, FailingClipboard::opens);
    EXPECT_EQ(FailingClipboard::opens, 2);
    VCopyAction::setClipboardCalls(previous);

    EXPECT_TRUE(VCopyAction::copyToClipboard("the system's again"));
    EXPECT_EQ(clipboardText(), "the system's again");
}

TEST_F(BuiltinActions, OpenUrlInThePluginsBrowserPassesOneQuotedArgument) {
    core->setOpenUrlsInPluginsBrowser(true);
    EXPECT_TRUE(core->openUrl("http://a.org/?q=\"x\" -new", "C:\\Browser\\b.exe", kFromData));
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].file, "C:\\Browser\\b.exe");
    EXPECT_EQ(requests[0].parameters, "\"http://a.org/?q=%22x%22 -new\"");
    requests.clear();
    EXPECT_TRUE(core->openUrl("http://a.org/", "", kFromData));
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].file, "http://a.org/") << "no browser path: as if the option were off";
}

TEST_F(BuiltinActions, OpenUrlInANewWindowStartsTheDefaultBrowserProgram) {
    // The machine-wide association (the test prefix is private); restored afterwards.
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", 0, nullptr, 0,
                                KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    char saved[1024] = {};
    DWORD savedSize = sizeof(saved);
    bool hadValue = ::RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(saved),
                                       &savedSize) == ERROR_SUCCESS;
    const char command[] = "\"C:\\Program Files\\Web\\webby.exe\" -osint -url \"%1\"";
    ::RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command), sizeof(command));
    core->setOpenUrlsInNewWindow(true);
    EXPECT_TRUE(core->openUrl("http://a.org/", "", kFromData));
    if (hadValue)
        ::RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(saved), savedSize);
    ::RegCloseKey(key);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].file, "webby.exe");
    EXPECT_EQ(requests[0].parameters, "\"http://a.org/\"");
}

namespace {
std::vector<std::string> confirmAsked;
bool confirmAnswer = false;
bool recordingConfirmation(const std::string& url) {
    confirmAsked.push_back(url);
    return confirmAnswer;
}
// The hook goes back to what it was, whatever a failed assertion skips.
struct ConfirmHookScope {
    explicit ConfirmHookScope(VVerbinoxCore::UrlConfirmHook hook)
        : previous(VVerbinoxCore::setUrlConfirmHook(hook)) {
        confirmAsked.clear();
        confirmAnswer = false;
    }
    ~ConfirmHookScope() { VVerbinoxCore::setUrlConfirmHook(previous); }
    VVerbinoxCore::UrlConfirmHook previous;
};
} // namespace

TEST_F(BuiltinActions, WithoutAConfirmationHookOnlyWebFileAndMailAddressesOpen) {
    ConfirmHookScope none(nullptr);
    for (const char* plain :
         {"http://a.org/", "HTTPS://a.org/", "Ftp://files.org/", "file:///C:/x.txt", "mailto:me@a.org",
          "C:\\Docs\\notes.txt", "www.a.org", "\\\\server\\share\\x"}) {
        requests.clear();
        EXPECT_TRUE(core->openUrl(plain, "", kTyped)) << plain;
        ASSERT_EQ(requests.size(), 1u) << plain;
        EXPECT_EQ(requests[0].file, plain);
    }
    requests.clear();
    for (const char* risky :
         {"ms-msdt:/id PCWDiagnostic /skip force", "search-ms:query=x&crumb=location:\\\\h",
          "javascript:alert(1)", "MS-MSDT:x", "  \"search-ms:query=x\"", "url:ms-msdt:x"})
        EXPECT_FALSE(core->openUrl(risky, "", kTyped)) << risky;
    // Every default action of a URL goes the same way.
    VUrlResult* bookmark = VUrlResult::createInstance(nullptr);
    bookmark->setUrl("ms-msdt:/id PCWDiagnostic");
    EXPECT_FALSE(bookmark->select());
    bookmark->deleteThis();
    VRunAction run;
    VProperty url(VProperty::UrlType, "search-ms:query=x");
    EXPECT_FALSE(run.execute(nullptr, &url, ""));
    core->setOpenUrlsInPluginsBrowser(true);
    EXPECT_FALSE(core->openUrl("ms-msdt:x", "C:\\Browser\\b.exe", kFromData));
    EXPECT_EQ(requests.size(), 0u);
}

TEST_F(BuiltinActions, TheConfirmationHookIsAskedOnlyForOtherSchemesAndDecides) {
    ConfirmHookScope hook(&recordingConfirmation);
    EXPECT_TRUE(core->openUrl("https://a.org/", "", kTyped));
    EXPECT_TRUE(confirmAsked.empty()) << "a web address is not asked about";
    EXPECT_FALSE(core->openUrl("search-ms:query=x", "", kTyped));
    EXPECT_EQ(requests.size(), 1u) << "the user said no";
    confirmAnswer = true;
    EXPECT_TRUE(core->openUrl("ms-msdt:/id x", "", kTyped));
    EXPECT_EQ(confirmAsked, (std::vector<std::string>{"search-ms:query=x", "ms-msdt:/id x"}));
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].file, "ms-msdt:/id x");
}
