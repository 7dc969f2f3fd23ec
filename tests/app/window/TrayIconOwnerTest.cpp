#include "window/Messages.h"
#include "window/TrayIconOwner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::vector<DWORD> calls;
NOTIFYICONDATAW lastRecord;
bool failNext = false;
// The shell's answers to the next adds and modifies: each refuses while its count lasts.
int addsToRefuse = 0;
int modifiesToRefuse = 0;

BOOL WINAPI recordNotify(DWORD message, PNOTIFYICONDATAW record) {
    calls.push_back(message);
    lastRecord = *record;
    if (failNext) {
        failNext = false;
        return FALSE;
    }
    int* refusals = message == NIM_ADD ? &addsToRefuse : message == NIM_MODIFY ? &modifiesToRefuse : nullptr;
    if (refusals && *refusals > 0) {
        --*refusals;
        return FALSE;
    }
    return TRUE;
}

class Tray : public CTrayIconOwner {
public:
    std::vector<std::string> handled;

protected:
    void onTrayLButtonDown(POINT) override { handled.push_back("ldown"); }
    void onTrayRButtonDown(POINT) override { handled.push_back("rdown"); }
    void onTrayMouseMove(POINT) override { handled.push_back("move"); }
};

class TrayIconOwnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        calls.clear();
        addsToRefuse = modifiesToRefuse = 0;
        previous = CTrayIconOwner::setNotifyCall(&recordNotify);
        window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        tray.attachTray(window);
    }
    void TearDown() override {
        tray.hideTrayIcon();
        CTrayIconOwner::setNotifyCall(previous);
        ::DestroyWindow(window);
    }
    LRESULT send(UINT message, WPARAM wParam, LPARAM lParam, bool* taken = nullptr) {
        LRESULT result = -1;
        bool t = tray.handleTrayMessage(window, message, wParam, lParam, result);
        if (taken)
            *taken = t;
        return result;
    }

    // Runs the window's retry timer for about ms milliseconds, as the owner's loop would: the tray
    // sees the timer's messages, the plain window the rest.
    void runRetryTimer(DWORD ms) {
        const DWORD start = ::GetTickCount();
        do {
            MSG msg;
            while (::PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
                LRESULT result = 0;
                if (!tray.handleTrayMessage(window, msg.message, msg.wParam, msg.lParam, result))
                    ::DispatchMessageW(&msg);
            }
            ::Sleep(10);
        } while (::GetTickCount() - start < ms);
    }
    std::size_t count(DWORD message) const { return std::count(calls.begin(), calls.end(), message); }

    CTrayIconOwner::NotifyCall previous = nullptr;
    HWND window = nullptr;
    Tray tray;
};

} // namespace

TEST_F(TrayIconOwnerTest, ShowingTwiceAddsOnceAndAFailedAddLeavesItOut) {
    failNext = true;
    EXPECT_FALSE(tray.showTrayIcon());
    EXPECT_FALSE(tray.isInTray());
    EXPECT_TRUE(tray.showTrayIcon());
    EXPECT_TRUE(tray.showTrayIcon());
    EXPECT_EQ(calls, (std::vector<DWORD>{NIM_ADD, NIM_ADD})) << "the second show added nothing";
    EXPECT_EQ(lastRecord.cbSize, sizeof(NOTIFYICONDATAW));
    EXPECT_EQ(lastRecord.uID, 1u);
    EXPECT_EQ(lastRecord.uCallbackMessage, UM_TRAYNOTIFY);
    EXPECT_TRUE(tray.hideTrayIcon());
    EXPECT_TRUE(tray.hideTrayIcon());
    EXPECT_EQ(calls.back(), static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(calls.size(), 3u);
}

TEST_F(TrayIconOwnerTest, TipAndBalloonTextsAreCutToTheirFields) {
    tray.setTrayTip(std::string(500, 't'));
    EXPECT_EQ(std::wstring(tray.trayRecord().szTip).size(), 127u);
    tray.showTrayIcon();
    EXPECT_TRUE(tray.showBalloon(std::string(200, 'T'), std::string(1000, 'b'), NIIF_INFO, 5));
    EXPECT_EQ(calls.back(), static_cast<DWORD>(NIM_MODIFY));
    EXPECT_TRUE(lastRecord.uFlags & NIF_INFO);
    EXPECT_EQ(std::wstring(lastRecord.szInfoTitle).size(), 63u);
    EXPECT_EQ(std::wstring(lastRecord.szInfo).size(), 255u);
    EXPECT_EQ(lastRecord.uTimeout, 5000u);
    EXPECT_TRUE(tray.updateTrayIcon());
    EXPECT_FALSE(lastRecord.uFlags & NIF_INFO) << "an update does not show the balloon again";
}

TEST_F(TrayIconOwnerTest, NotificationsReachTheirHandlersOnlyForTheIconsOwnId) {
    bool taken = false;
    send(UM_TRAYNOTIFY, 1, WM_LBUTTONDOWN, &taken);
    EXPECT_TRUE(taken);
    send(UM_TRAYNOTIFY, 1, WM_CONTEXTMENU);
    send(UM_TRAYNOTIFY, 1, WM_MOUSEMOVE);
    send(UM_TRAYNOTIFY, 2, WM_LBUTTONDOWN);
    send(UM_TRAYNOTIFY, 1, WM_KEYDOWN);
    EXPECT_EQ(tray.handled, (std::vector<std::string>{"ldown", "rdown", "move"}));
}

TEST_F(TrayIconOwnerTest, MinimiseHidesIntoTheTrayAndAShellRestartAddsTheIconAgain) {
    ::ShowWindow(window, SW_SHOWNA);
    bool taken = false;
    send(WM_SYSCOMMAND, SC_MINIMIZE, 0, &taken);
    EXPECT_TRUE(taken);
    EXPECT_TRUE(tray.isInTray());
    EXPECT_FALSE(::IsWindowVisible(window));
    calls.clear();
    send(::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0, &taken);
    EXPECT_TRUE(taken);
    EXPECT_EQ(calls, std::vector<DWORD>{NIM_ADD});
    tray.setMinimizeToTray(false);
    tray.hideTrayIcon();
    send(WM_SYSCOMMAND, SC_MINIMIZE, 0, &taken);
    EXPECT_FALSE(taken) << "left to the window's normal handling";
    send(WM_DESTROY, 0, 0, &taken);
    EXPECT_FALSE(taken);
}

TEST_F(TrayIconOwnerTest, AnAddTheShellRefusesIsRetriedUntilItSucceeds) {
    addsToRefuse = 2; // the tray is not there yet at logon
    modifiesToRefuse = 1;
    EXPECT_FALSE(tray.showTrayIcon());
    runRetryTimer(CTrayIconOwner::retryIntervalMs * 3 + 500);
    EXPECT_TRUE(tray.isInTray());
    EXPECT_EQ(count(NIM_ADD), 3u);
    runRetryTimer(CTrayIconOwner::retryIntervalMs + 200);
    EXPECT_EQ(count(NIM_ADD), 3u) << "no more tries once it is in";

    // A shell that made the icon but answered too late refuses every later add of it: a modify tells.
    ASSERT_TRUE(tray.hideTrayIcon());
    calls.clear();
    addsToRefuse = 2;
    EXPECT_FALSE(tray.showTrayIcon());
    runRetryTimer(CTrayIconOwner::retryIntervalMs + 500);
    EXPECT_TRUE(tray.isInTray());
    EXPECT_EQ(calls, (std::vector<DWORD>{NIM_ADD, NIM_ADD, NIM_MODIFY}));
}

TEST_F(TrayIconOwnerTest, TheTaskbarsCreationAddsTheIconWhetherOrNotAnAddHadSucceeded) {
    const UINT taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    addsToRefuse = 1;
    EXPECT_FALSE(tray.showTrayIcon());
    send(taskbarCreated, 0, 0);
    EXPECT_TRUE(tray.isInTray());
    EXPECT_EQ(calls, (std::vector<DWORD>{NIM_ADD, NIM_ADD}));
    send(taskbarCreated, 0, 0);
    EXPECT_EQ(count(NIM_ADD), 3u) << "a restarted shell forgot the icon";

    ASSERT_TRUE(tray.hideTrayIcon());
    calls.clear();
    send(taskbarCreated, 0, 0);
    EXPECT_TRUE(calls.empty()) << "an icon the window took away stays away";
}

TEST_F(TrayIconOwnerTest, ABalloonAskedForWhileTheIconWaitsShowsOnceTheIconIsAdded) {
    addsToRefuse = 1;
    EXPECT_FALSE(tray.showTrayIcon());
    EXPECT_TRUE(tray.showBalloon("Verbinox", "Settings kept aside", NIIF_WARNING, 10));
    EXPECT_EQ(calls, std::vector<DWORD>{NIM_ADD});
    send(::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_EQ(calls, (std::vector<DWORD>{NIM_ADD, NIM_ADD, NIM_MODIFY}));
    EXPECT_TRUE(lastRecord.uFlags & NIF_INFO);
    EXPECT_STREQ(lastRecord.szInfo, L"Settings kept aside");
    EXPECT_FALSE(tray.trayRecord().uFlags & NIF_INFO) << "a later update does not show it again";
}
