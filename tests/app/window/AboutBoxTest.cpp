// The About box of the real search window, opened from its menu command and read while its own modal
// loop runs.
#include "window/AboutBox.h"
#include "window/SearchWindow.h"
#include "res/resource.h"
#include "support/CoreFixture.h"
#include "support/MessagePump.h"
#include "support/OwnWindow.h"
#include "support/ShellCapture.h"
#include "support/TempFolder.h"
#include "support/Watchdog.h"
#include "util/SystemText.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <windows.h>

namespace {

// What the timer saw while the box was open.
HWND aboutOwner = nullptr;
RECT aboutRect{}, ownerWork{};
bool aboutSeen = false;

void CALLBACK readAbout(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND about = findOwnWindow(nullptr, "About Verbinox");
    if (!about)
        return;
    ::KillTimer(nullptr, timer);
    aboutSeen = true;
    aboutOwner = ::GetWindow(about, GW_OWNER);
    ::GetWindowRect(about, &aboutRect);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(aboutOwner, MONITOR_DEFAULTTONEAREST), &monitor);
    ownerWork = monitor.rcWork;
    ::PostMessageW(about, WM_COMMAND, IDOK, 0);
}

} // namespace

TEST(AboutBoxTest, OpensCentredInTheWorkAreaOfTheMonitorOfItsOwner) {
    mustFinishWithin(60000, "the modal About box", [] {
        // A hot-key another program holds would be told in a box, which no one here answers.
        const auto previousHook = CVerbinoxDlg::setMessageHook([](const char*) {});
        TempFolder folder;
        VVerbinoxCore* core = VVerbinoxCore::instance();
        core->setPluginsPath(core->getAppLocation() + "no-plugins-here\\");
        ASSERT_TRUE(folder.writeFile("Verbinox.xml", "<Verbinox><Verbinox><Window HotKey=\"131\" "
                                                     "HotKeyModifier=\"7\" AutoHide=\"false\" /></Verbinox>"
                                                     "</Verbinox>"));
        CVerbinoxDlg window;
        window.setPreferencesPath(folder.sub("Verbinox.xml"));
        ASSERT_TRUE(window.create(nullptr));
        pumpMessages(50);
        // In a corner: a box placed by its template alone opens there, beside its owner.
        ::SetWindowPos(window.getHwnd(), nullptr, 8, 8, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        aboutSeen = false;
        ::SetTimer(nullptr, 0, 50, &readAbout);
        ::SendMessageW(window.getHwnd(), WM_COMMAND, MAKEWPARAM(ID_TRAY_ABOUT, 0), 0);
        ASSERT_TRUE(aboutSeen);
        EXPECT_EQ(aboutOwner, window.getHwnd());
        const int x = (aboutRect.left + aboutRect.right) / 2, y = (aboutRect.top + aboutRect.bottom) / 2;
        EXPECT_NEAR(x, (ownerWork.left + ownerWork.right) / 2, 1);
        EXPECT_NEAR(y, (ownerWork.top + ownerWork.bottom) / 2, 1);
        window.exit();
        CVerbinoxDlg::setMessageHook(previousHook);
    });
}

TEST(AboutBoxTest, SaysTheProgramItsVersionAndBuildAndItsLinkOpensTheMakersPage) {
    CAboutBox about;
    HWND box = about.create(nullptr, false);
    ASSERT_NE(box, nullptr);
    // A test program has no version resource of its own: the name falls back to the program's.
    EXPECT_EQ(vx::dlgItemText(box, IDC_ABOUT_PRODUCT), "Verbinox");
    EXPECT_EQ(vx::dlgItemText(box, IDC_ABOUT_VERSION).rfind("Version ", 0), 0u);
    const std::string built = vx::dlgItemText(box, IDC_ABOUT_BUILT);
    EXPECT_EQ(built.rfind("Built ", 0), 0u);
    EXPECT_EQ(built.size(), std::string("Built Jan  1 2000").size()) << built;

    ShellCapture shell;
    for (UINT code : {static_cast<UINT>(NM_CLICK), static_cast<UINT>(NM_RETURN)}) {
        NMHDR click{::GetDlgItem(box, IDC_ABOUT_LINK), IDC_ABOUT_LINK, code};
        ::SendMessageW(box, WM_NOTIFY, IDC_ABOUT_LINK, reinterpret_cast<LPARAM>(&click));
    }
    ASSERT_EQ(ShellCapture::requests().size(), 2u);
    EXPECT_EQ(ShellCapture::requests()[0].file.rfind("http", 0), 0u);
    EXPECT_EQ(ShellCapture::requests()[1].file, ShellCapture::requests()[0].file);

    ::SendMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_FALSE(::IsWindow(box));
    EXPECT_EQ(about.getHwnd(), nullptr);
}
