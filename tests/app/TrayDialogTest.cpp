#include "Messages.h"
#include "TrayDialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<DWORD> calls;
NOTIFYICONDATAW lastRecord;
bool failNext = false;

BOOL WINAPI recordNotify(DWORD message, PNOTIFYICONDATAW record) {
    calls.push_back(message);
    lastRecord = *record;
    if (failNext) {
        failNext = false;
        return FALSE;
    }
    return TRUE;
}

class Tray : public CTrayDialog {
public:
    std::vector<std::string> handled;

protected:
    void onTrayLButtonDown(POINT) override { handled.push_back("ldown"); }
    void onTrayRButtonDown(POINT) override { handled.push_back("rdown"); }
    void onTrayMouseMove(POINT) override { handled.push_back("move"); }
};

class TrayDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        calls.clear();
        previous = CTrayDialog::setNotifyCall(&recordNotify);
        window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        tray.attachTray(window);
    }
    void TearDown() override {
        tray.hideTrayIcon();
        CTrayDialog::setNotifyCall(previous);
        ::DestroyWindow(window);
    }
    LRESULT send(UINT message, WPARAM wParam, LPARAM lParam, bool* taken = nullptr) {
        LRESULT result = -1;
        bool t = tray.handleTrayMessage(window, message, wParam, lParam, result);
        if (taken)
            *taken = t;
        return result;
    }

    CTrayDialog::NotifyCall previous = nullptr;
    HWND window = nullptr;
    Tray tray;
};

} // namespace

TEST_F(TrayDialogTest, ShowingTwiceAddsOnceAndAFailedAddLeavesItOut) {
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

TEST_F(TrayDialogTest, TipAndBalloonTextsAreCutToTheirFields) {
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

TEST_F(TrayDialogTest, NotificationsReachTheirHandlersOnlyForTheIconsOwnId) {
    bool taken = false;
    send(UM_TRAYNOTIFY, 1, WM_LBUTTONDOWN, &taken);
    EXPECT_TRUE(taken);
    send(UM_TRAYNOTIFY, 1, WM_CONTEXTMENU);
    send(UM_TRAYNOTIFY, 1, WM_MOUSEMOVE);
    send(UM_TRAYNOTIFY, 2, WM_LBUTTONDOWN);
    send(UM_TRAYNOTIFY, 1, WM_KEYDOWN);
    EXPECT_EQ(tray.handled, (std::vector<std::string>{"ldown", "rdown", "move"}));
}

TEST_F(TrayDialogTest, MinimiseHidesIntoTheTrayAndAShellRestartAddsTheIconAgain) {
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
