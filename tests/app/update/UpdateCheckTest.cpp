// The update check against a small HTTP server of the test's own on 127.0.0.1, scripted per test.
#include <winsock2.h>

#include "window/SearchWindow.h"
#include "update/UpdateCheck.h"
#include "res/resource.h"
#include "util/VxText.h"
#include "support/CoreFixture.h"
#include "support/OwnWindow.h"
#include "support/ShellCapture.h"
#include "support/TempFolder.h"
#include "support/MessagePump.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace {

const char* const kOwn = "1.5.2.0";

std::string answer(int status, const std::string& body) {
    return "HTTP/1.1 " + std::to_string(status) +
           " Scripted\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
           body;
}

// Answers every request with the same bytes, or holds it unanswered until it is stopped.
class ScriptedServer {
public:
    explicit ScriptedServer(std::string reply, bool hold = false) : reply(std::move(reply)), hold(hold) {
        WSADATA data{};
        ::WSAStartup(MAKEWORD(2, 2), &data);
        listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        ::listen(listener, 4);
        int size = sizeof(address);
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
        port = ::ntohs(address.sin_port);
        worker = std::thread([this] { serve(); });
    }
    ~ScriptedServer() {
        stopping = true;
        worker.join();
        for (SOCKET s : held)
            ::closesocket(s);
        ::closesocket(listener);
        ::WSACleanup();
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port); }
    std::vector<std::string> requests() {
        std::lock_guard<std::mutex> lock(mutex);
        return seen;
    }
    // The address of a port nobody listens on: connections are refused.
    static std::string closedPortUrl() {
        ScriptedServer probe("");
        return probe.url();
    }

private:
    void serve() {
        while (!stopping) {
            fd_set ready;
            FD_ZERO(&ready);
            FD_SET(listener, &ready);
            timeval wait{0, 20000};
            if (::select(0, &ready, nullptr, nullptr, &wait) != 1)
                continue;
            SOCKET client = ::accept(listener, nullptr, nullptr);
            if (client == INVALID_SOCKET)
                continue;
            DWORD sendTimeout = 2000;
            ::setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&sendTimeout),
                         sizeof(sendTimeout));
            std::string head;
            char buffer[1024];
            while (head.find("\r\n\r\n") == std::string::npos && head.size() < 16384) {
                const int got = ::recv(client, buffer, sizeof(buffer), 0);
                if (got <= 0)
                    break;
                head.append(buffer, got);
            }
            {
                std::lock_guard<std::mutex> lock(mutex);
                seen.push_back(head);
            }
            if (hold) {
                held.push_back(client);
                continue;
            }
            for (std::size_t sent = 0; sent < reply.size();) {
                const int n = ::send(client, reply.data() + sent, static_cast<int>(reply.size() - sent), 0);
                if (n <= 0)
                    break; // the client had read enough and went away
                sent += n;
            }
            ::shutdown(client, SD_SEND);
            ::closesocket(client);
        }
    }

    std::string reply;
    bool hold;
    SOCKET listener = INVALID_SOCKET;
    int port = 0;
    std::atomic<bool> stopping{false};
    std::thread worker;
    std::mutex mutex;
    std::vector<std::string> seen;
    std::vector<SOCKET> held; // the serving thread's alone
};

std::vector<std::string> boxes;
std::vector<UINT> boxTypes;
void captureBox(HWND, const char* text, UINT type) {
    boxes.push_back(text);
    boxTypes.push_back(type);
}

std::string textOf(HWND dialog, int id) {
    char text[256] = {};
    ::GetDlgItemTextA(dialog, id, text, sizeof(text));
    return text;
}

// What the user gets from one check of a server: the dialog's texts, or "closed" with its result.
struct Outcome {
    bool shown = false;
    INT_PTR result = 0;
    std::string own, latest, message, yes;
    bool noEnabled = false;
    bool armed = false;
    std::vector<std::string> boxes;
    std::vector<UINT> boxTypes;
};

class UpdateCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        boxes.clear();
        previousHook = UpdateCheckDlg::setMessageHook(&captureBox);
    }
    void TearDown() override { UpdateCheckDlg::setMessageHook(previousHook); }

    Outcome check(const std::string& makerUrl, bool silent, DWORD timeoutMs = 3000) {
        std::string line;
        const bool found =
            update::fetchVersionLine(makerUrl, update::userAgent(kOwn), timeoutMs, nullptr, line);
        boxes.clear();
        boxTypes.clear();
        dialog.reset(new UpdateCheckDlg(silent, true));
        dialog->setOwnVersion(kOwn);
        dialog->setLatest(found, line);
        dialog->setHomePage(makerUrl);
        Outcome outcome;
        outcome.shown = dialog->create(nullptr);
        outcome.result = dialog->getResult();
        outcome.boxes = boxes;
        outcome.boxTypes = boxTypes;
        outcome.armed = dialog->isDownloadArmed();
        if (outcome.shown) {
            HWND window = dialog->getHwnd();
            outcome.own = textOf(window, IDC_UPDATE_OWNVERSION);
            outcome.latest = textOf(window, IDC_UPDATE_LATESTVERSION);
            outcome.message = textOf(window, IDC_UPDATE_MESSAGE);
            outcome.yes = textOf(window, IDOK);
            outcome.noEnabled = ::IsWindowEnabled(::GetDlgItem(window, IDCANCEL)) != FALSE;
        }
        return outcome;
    }
    // Interactively the user is told; silently nothing shows.
    void expectCouldNotGet(const std::string& makerUrl, DWORD timeoutMs = 3000) {
        Outcome told = check(makerUrl, false, timeoutMs);
        EXPECT_FALSE(told.shown);
        EXPECT_EQ(told.result, 1);
        EXPECT_EQ(told.boxes, std::vector<std::string>{"Could not get latest version info"});
        EXPECT_EQ(told.boxTypes, std::vector<UINT>{MB_OK | MB_ICONERROR}) << "the check failed: an error";
        Outcome quiet = check(makerUrl, true, timeoutMs);
        EXPECT_FALSE(quiet.shown);
        EXPECT_EQ(quiet.result, 1);
        EXPECT_TRUE(quiet.boxes.empty());
    }

    std::unique_ptr<UpdateCheckDlg> dialog;
    UpdateCheckDlg::MessageHook previousHook = nullptr;
};

} // namespace

TEST_F(UpdateCheckTest, VersionsCompareTheirFirstThreeNumbersAsNumbers) {
    EXPECT_EQ(update::compareVersions(kOwn, "1.5.2.9"), 0);
    EXPECT_LT(update::compareVersions(kOwn, "1.10.0.0"), 0);
    EXPECT_GT(update::compareVersions(kOwn, "1.5.1.99"), 0);
    EXPECT_EQ(update::compareVersions(kOwn, "1.6"), 0);
    EXPECT_LT(update::compareVersions("1.5.9.0", "1.5.10.0"), 0);
    EXPECT_EQ(update::compareVersions("01.5.2.0", "1.05.2.7"), 0);
}

TEST_F(UpdateCheckTest, OnlyDottedNumbersAreAVersionLine) {
    EXPECT_TRUE(update::isVersionLine("1.5.2.0"));
    EXPECT_TRUE(update::isVersionLine("1.6"));
    for (const char* line : {"", "<html>", "1..2", ".1.2", "1.2.", "1.2 beta", "v1.2.3.4"})
        EXPECT_FALSE(update::isVersionLine(line)) << line;
}

TEST_F(UpdateCheckTest, TheFirstLineLosesItsByteOrderMarkCarriageReturnAndBlanks) {
    std::string line;
    EXPECT_TRUE(update::firstLine("\xEF\xBB\xBF 1.6.0.0 \r\n2.0.0.0\n", false, line));
    EXPECT_EQ(line, "1.6.0.0");
    EXPECT_TRUE(update::firstLine("1.6.0.0", true, line));
    EXPECT_EQ(line, "1.6.0.0");
    EXPECT_FALSE(update::firstLine(std::string(256, '1'), false, line)) << "a line longer than what is read";
}

TEST_F(UpdateCheckTest, ANewerVersionAsksToDownloadSilentlyToo) {
    ScriptedServer server(answer(200, "1.6.0.0\r\n"));
    for (bool silent : {false, true}) {
        Outcome outcome = check(server.url(), silent);
        ASSERT_TRUE(outcome.shown);
        EXPECT_EQ(outcome.own, kOwn);
        EXPECT_EQ(outcome.latest, "1.6.0.0");
        EXPECT_EQ(outcome.message, "Would you like to download the latest version?");
        EXPECT_EQ(outcome.yes, "Yes");
        EXPECT_TRUE(outcome.noEnabled);
        EXPECT_TRUE(outcome.armed);
        EXPECT_TRUE(outcome.boxes.empty());
    }
}

TEST_F(UpdateCheckTest, TheServerSeesOneGetOfTheVersionFileWithTheUpdaterAgent) {
    ScriptedServer server(answer(200, "1.6.0.0\r\n"));
    std::string line;
    ASSERT_TRUE(update::fetchVersionLine(server.url(), update::userAgent(kOwn), 3000, nullptr, line));
    const std::vector<std::string> requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].rfind("GET /curversion.dat HTTP/1.1\r\n", 0), 0u) << requests[0];
    EXPECT_NE(requests[0].find("\r\nUser-Agent: VerbinoxUpdater/1.5.2.0\r\n"), std::string::npos)
        << requests[0];
}

TEST_F(UpdateCheckTest, TheSameVersionSaysSoOrStaysSilent) {
    ScriptedServer server(answer(200, "1.5.2.9\n"));
    Outcome told = check(server.url(), false);
    ASSERT_TRUE(told.shown);
    EXPECT_EQ(told.message, "You already have the latest version");
    EXPECT_EQ(told.yes, "OK");
    EXPECT_FALSE(told.noEnabled);
    EXPECT_FALSE(told.armed);
    Outcome quiet = check(server.url(), true);
    EXPECT_FALSE(quiet.shown);
    EXPECT_EQ(quiet.result, 1);
}

TEST_F(UpdateCheckTest, AVersionOfTwoPartsCountsAsTheSame) {
    ScriptedServer server(answer(200, "1.6\r\n"));
    Outcome told = check(server.url(), false);
    ASSERT_TRUE(told.shown);
    EXPECT_EQ(told.message, "You already have the latest version");
}

TEST_F(UpdateCheckTest, AnOlderPublishedVersionSaysOursIsNewerOrStaysSilent) {
    ScriptedServer server(answer(200, "1.5.1.0\r\n"));
    Outcome told = check(server.url(), false);
    ASSERT_TRUE(told.shown);
    EXPECT_EQ(told.message, "Your version is newer than the latest version!");
    EXPECT_EQ(told.yes, "OK");
    EXPECT_FALSE(told.noEnabled);
    EXPECT_FALSE(check(server.url(), true).shown);
}

TEST_F(UpdateCheckTest, AByteOrderMarkBeforeTheVersionIsSkipped) {
    ScriptedServer server(answer(200, "\xEF\xBB\xBF"
                                      "1.6.0.0\r\n"));
    Outcome outcome = check(server.url(), true);
    ASSERT_TRUE(outcome.shown);
    EXPECT_EQ(outcome.latest, "1.6.0.0");
}

TEST_F(UpdateCheckTest, ServerErrorsCouldNotGetTheVersionThoughTheirBodyLooksLikeOne) {
    ScriptedServer missing(answer(404, "9.9.9.9\r\n"));
    expectCouldNotGet(missing.url());
    ScriptedServer failing(answer(500, "9.9.9.9\r\n"));
    expectCouldNotGet(failing.url());
}

TEST_F(UpdateCheckTest, AnEmptyBodyOrAPageOfMarkupCouldNotGetTheVersion) {
    ScriptedServer empty(answer(200, ""));
    expectCouldNotGet(empty.url());
    ScriptedServer markup(answer(200, "<html><body>Moved</body></html>\r\n"));
    expectCouldNotGet(markup.url());
}

TEST_F(UpdateCheckTest, AHugeLineIsReadOnlyAsFarAsTheBoundAndCouldNotGetTheVersion) {
    ScriptedServer server(answer(200, "1.6.0.0" + std::string(1 << 20, '0') + "\r\n"));
    expectCouldNotGet(server.url());
}

TEST_F(UpdateCheckTest, ARefusedConnectionCouldNotGetTheVersion) {
    expectCouldNotGet(ScriptedServer::closedPortUrl());
}

TEST_F(UpdateCheckTest, AServerThatNeverAnswersTimesOut) {
    ScriptedServer server("", true);
    const DWORD start = ::GetTickCount();
    expectCouldNotGet(server.url(), 500);
    EXPECT_LT(::GetTickCount() - start, 4000u) << "two checks of 500 ms waits each";
}

TEST_F(UpdateCheckTest, YesTakesTheCheckBoxAndOpensTheHomePageWhileNoLeavesItAlone) {
    ScriptedServer server(answer(200, "1.6.0.0\r\n"));
    ShellCapture shell;
    ASSERT_TRUE(check(server.url(), false).shown);
    ::CheckDlgButton(dialog->getHwnd(), IDC_UPDATE_ATSTARTUP, BST_UNCHECKED);
    ::SendMessageW(dialog->getHwnd(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(dialog->getResult(), IDCANCEL);
    EXPECT_TRUE(dialog->getCheckAtStartup());
    EXPECT_TRUE(ShellCapture::requests().empty());

    ASSERT_TRUE(check(server.url(), false).shown);
    ::CheckDlgButton(dialog->getHwnd(), IDC_UPDATE_ATSTARTUP, BST_UNCHECKED);
    ::SendMessageW(dialog->getHwnd(), WM_COMMAND, IDOK, 0);
    EXPECT_EQ(dialog->getResult(), IDOK);
    EXPECT_FALSE(dialog->getCheckAtStartup());
    ASSERT_EQ(ShellCapture::requests().size(), 1u);
    EXPECT_EQ(ShellCapture::requests()[0].file, server.url());
}

TEST_F(UpdateCheckTest, TheVersionsReachTheDialogAsTheirOwnCharacters) {
    // A version resource may say more than numbers; the dialog's texts must not pass through a code
    // page that cannot hold them.
    const std::wstring own = L"1.5.2.0 b\u00EAta \u65E5\u672C";
    UpdateCheckDlg check(false, true);
    check.setOwnVersion(vx::narrowed(own));
    check.setLatest(true, "1.6.0.0");
    ASSERT_TRUE(check.create(nullptr));
    wchar_t shown[64] = {};
    ::GetDlgItemTextW(check.getHwnd(), IDC_UPDATE_OWNVERSION, shown, 64);
    EXPECT_EQ(std::wstring(shown), own);
    ::GetDlgItemTextW(check.getHwnd(), IDC_UPDATE_MESSAGE, shown, 64);
    EXPECT_EQ(std::wstring(shown), L"Would you like to download the latest version?");
}

TEST_F(UpdateCheckTest, TheWorkerPostsWhatItFoundToTheWindowThatOwnsIt) {
    ScriptedServer server(answer(200, "1.6.0.0\r\n"));
    HWND window =
        ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    update::CUpdateChecker checker;
    ASSERT_TRUE(checker.start(window, WM_APP + 1, server.url(), kOwn, 3000, true));
    EXPECT_FALSE(checker.start(window, WM_APP + 1, server.url(), kOwn, 3000, false)) << "one at a time";
    MSG msg{};
    const DWORD start = ::GetTickCount();
    while (!::PeekMessageW(&msg, window, WM_APP + 1, WM_APP + 1, PM_REMOVE) &&
           ::GetTickCount() - start < 5000)
        ::Sleep(5);
    ASSERT_EQ(msg.message, WM_APP + 1u);
    std::unique_ptr<update::FetchResult> result(reinterpret_cast<update::FetchResult*>(msg.lParam));
    checker.finished();
    EXPECT_FALSE(checker.isRunning());
    EXPECT_TRUE(result->found);
    EXPECT_EQ(result->line, "1.6.0.0");
    EXPECT_FALSE(result->silent) << "the interactive request made the running check interactive";
    ::DestroyWindow(window);
}

TEST_F(UpdateCheckTest, StoppingAFetchThatWaitsForTheServerReturnsAtOnce) {
    ScriptedServer server("", true);
    HWND window =
        ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    update::CUpdateChecker checker;
    ASSERT_TRUE(checker.start(window, WM_APP + 1, server.url(), kOwn, 20000, true));
    for (int i = 0; i < 400 && server.requests().empty(); ++i)
        ::Sleep(10);
    ASSERT_EQ(server.requests().size(), 1u);
    const DWORD start = ::GetTickCount();
    checker.stop();
    EXPECT_LT(::GetTickCount() - start, 2000u);
    EXPECT_FALSE(checker.isRunning());
    MSG msg;
    EXPECT_FALSE(::PeekMessageW(&msg, window, WM_APP + 1, WM_APP + 1, PM_REMOVE)) << "its result was freed";
    ::DestroyWindow(window);
}

namespace {

// The search window with an update check at start, against the given server.
std::unique_ptr<CVerbinoxDlg> openWindow(const TempFolder& folder, const std::string& makerUrl) {
    VVerbinoxCore* core = VVerbinoxCore::instance();
    core->setPluginsPath(core->getAppLocation() + "no-plugins-here\\");
    // An unused hot-key, so that tests running side by side do not fight over it.
    if (!folder.writeFile("Verbinox.xml", "<Verbinox><Verbinox><Window HotKey=\"124\" HotKeyModifier=\"7\" "
                                          "AutoHide=\"false\" /></Verbinox></Verbinox>"))
        return nullptr;
    auto window = std::make_unique<CVerbinoxDlg>();
    window->setPreferencesPath(folder.sub("Verbinox.xml"));
    window->setUpdateServer(makerUrl, 30000);
    if (!window->create(nullptr))
        return nullptr;
    return window;
}

std::atomic<bool> answered{false};
// Fires inside the dialog's own modal loop: unticks the box and says "Yes".
void CALLBACK answerUpdateDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = findOwnWindow(nullptr, "Update Check");
    if (!dialog)
        return;
    ::KillTimer(nullptr, timer);
    ::CheckDlgButton(dialog, IDC_UPDATE_ATSTARTUP, BST_UNCHECKED);
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    answered = true;
}

} // namespace

TEST_F(UpdateCheckTest, ANewerVersionFoundAtStartShowsTheDialogWhoseYesStoresTheCheckBox) {
    ScriptedServer server(answer(200, "1.3.0.0\r\n")); // the test program is 1.2.0.0
    ShellCapture shell;
    auto previous = CVerbinoxDlg::setMessageHook([](const char*) {});
    TempFolder folder;
    answered = false;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &answerUpdateDialog);
    auto window = openWindow(folder, server.url());
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->getSettings().checkForUpdates);
    for (int i = 0; i < 500 && (!answered || window->isCheckingForUpdates()); ++i)
        pumpMessages(10);
    pumpMessages(100);
    ::KillTimer(nullptr, timer);
    EXPECT_TRUE(answered);
    EXPECT_FALSE(window->getSettings().checkForUpdates);
    ASSERT_EQ(ShellCapture::requests().size(), 1u);
    EXPECT_EQ(ShellCapture::requests()[0].file, server.url());
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_NE(server.requests()[0].find("\r\nUser-Agent: VerbinoxUpdater/1.2.0.0\r\n"), std::string::npos);
    window->exit();
    window.reset();
    CVerbinoxDlg::setMessageHook(previous);
}

TEST_F(UpdateCheckTest, TheSilentCheckAtStartNeitherDelaysTheWindowNorItsExit) {
    auto previous = CVerbinoxDlg::setMessageHook([](const char*) {});
    ScriptedServer server("", true);
    TempFolder folder;
    auto window = openWindow(folder, server.url());
    ASSERT_TRUE(window);
    pumpMessages(50);
    for (int i = 0; i < 400 && server.requests().empty(); ++i)
        pumpMessages(10);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_TRUE(window->isCheckingForUpdates());
    EXPECT_TRUE(::IsWindowVisible(window->getHwnd()));
    const DWORD start = ::GetTickCount();
    window->exit();
    window.reset();
    // Destroying the window takes a few seconds under Wine by itself; the server would hold it for 30.
    EXPECT_LT(::GetTickCount() - start, 10000u) << "exit waited for the server";
    CVerbinoxDlg::setMessageHook(previous);
}
