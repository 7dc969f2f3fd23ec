// The search window itself: its class, its creation and dialog procedure, the messages it dispatches,
// start-up, the settings file read and written, showing, hiding and activation, and the shutdown.
// Its modes, its geometry and its commands live in SearchWindowModes.cpp, SearchWindowLayout.cpp and
// SearchWindowCommands.cpp.
#include "SearchWindow.h"

#include "Messages.h"
#include "SearchWindowInternal.h"
#include "Theme.h"
#include "prefs/PrefsSheet.h"
#include "Startup.h"
#include "engine/VIndexer.h"
#include "engine/VVerbinoxCore.h"
#include "model/VPreferences.h"
#include "res/resource.h"
#include "util/HighContrast.h"
#include "util/SystemText.h"

#include <commctrl.h>

#include <string>

using namespace searchwindow;

namespace {

void showMessageBox(const char* text) {
    vx::messageBox(nullptr, text, "Verbinox", MB_OK);
}
CVerbinoxDlg::MessageHook messageHook = &showMessageBox;

// What the edit box and the lists send: keys, settled text and choices.
bool isKeyOrChoice(UINT message) {
    return message >= UM_TEXTCHANGED && message <= UM_PROPERTYCHOSEN;
}

bool isInput(UINT message) {
    return isKeyOrChoice(message) || message == UM_DRAINRESULTS || message == WM_HOTKEY ||
           message == WM_COMMAND || message == WM_TIMER;
}

} // namespace

const wchar_t* const CVerbinoxDlg::windowClass = L"VerbinoxSearchWindow";

CVerbinoxDlg::MessageHook CVerbinoxDlg::setMessageHook(MessageHook hook) {
    MessageHook previous = messageHook;
    messageHook = hook ? hook : &showMessageBox;
    return previous;
}

CVerbinoxDlg::~CVerbinoxDlg() {
    if (hwnd && ::IsWindow(hwnd))
        ::DestroyWindow(hwnd);
    shutdown();
    for (HICON icon : {programIcon, smallProgramIcon, stripIcon}) {
        if (icon)
            ::DestroyIcon(icon);
    }
}

bool CVerbinoxDlg::registerWindowClass(HINSTANCE instance) {
    // A dialog class of our own, so a second start finds this window by its class, whatever its title.
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (::GetClassInfoExW(instance, windowClass, &wc))
        return true;
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &::DefDlgProcW;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = windowClass;
    return ::RegisterClassExW(&wc) != 0;
}

INT_PTR CVerbinoxDlg::run(HWND owner) {
    modal = true;
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    registerWindowClass(instance);
    return ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_VERBINOX), owner, &CVerbinoxDlg::dialogProc,
                             reinterpret_cast<LPARAM>(this));
}

bool CVerbinoxDlg::create(HWND owner) {
    modal = false;
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    registerWindowClass(instance);
    return ::CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_VERBINOX), owner, &CVerbinoxDlg::dialogProc,
                                reinterpret_cast<LPARAM>(this)) != nullptr;
}

void CVerbinoxDlg::exit() {
    if (modal)
        ::EndDialog(hwnd, 0);
    else
        ::DestroyWindow(hwnd);
}

INT_PTR CALLBACK CVerbinoxDlg::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CVerbinoxDlg*>(lParam);
        ::SetWindowLongPtrW(window, DWLP_USER, static_cast<LONG_PTR>(lParam));
        self->hwnd = window;
        self->onInitDialog();
        return FALSE; // the focus was set
    }
    auto* self = reinterpret_cast<CVerbinoxDlg*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (!self)
        return FALSE;
    LRESULT trayResult = 0;
    if (self->handleTrayMessage(window, message, wParam, lParam, trayResult)) {
        ::SetWindowLongPtrW(window, DWLP_MSGRESULT, trayResult);
        return TRUE;
    }
    bool handled = true;
    INT_PTR result = self->handle(message, wParam, lParam, handled);
    if (!handled)
        return FALSE;
    // A dialog procedure answers through DWLP_MSGRESULT, except for the few messages that return
    // their answer directly.
    if (message == WM_CTLCOLORSTATIC || message == WM_CTLCOLOREDIT || message == WM_CTLCOLORDLG)
        return result;
    ::SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
}

void CVerbinoxDlg::onInitDialog() {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    // Titled but caption-less: a template's caption would also give it a title bar. A second start
    // may look for it by this title.
    ::SetWindowTextW(hwnd, L"Verbinox");
    // Resource compilers add a caption and a window menu to dialog templates of their own accord.
    const LONG_PTR style = ::GetWindowLongPtrW(hwnd, GWL_STYLE);
    ::SetWindowLongPtrW(hwnd, GWL_STYLE, (style & ~(WS_CAPTION | WS_SYSMENU)) | WS_POPUP | WS_THICKFRAME);
    // A tool window gets no taskbar button; the template already asks for one, and never for an app window.
    ::SetWindowLongPtrW(hwnd, GWL_EXSTYLE,
                        (::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & ~WS_EX_APPWINDOW) | WS_EX_TOOLWINDOW);
    programIcon =
        static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                        ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0));
    smallProgramIcon =
        static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                        ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0));
    ::SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(programIcon));
    ::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallProgramIcon));

    // The template was laid out for the DPI of the monitor the window was made on. The dialog manager
    // of Windows 10 1703 and later would also rescale it on a DPI change, behind the layout here.
    dpi = templateDpi = dpiOf(hwnd);
    using SetDialogDpiChangeBehaviorFn = BOOL(WINAPI*)(HWND, int, int);
    const int disableAll = 1; // DDC_DISABLE_ALL
    if (auto setBehavior = reinterpret_cast<SetDialogDpiChangeBehaviorFn>(reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "SetDialogDpiChangeBehavior"))))
        setBehavior(hwnd, disableAll, disableAll);

    core = VVerbinoxCore::instance();
    core->startUp();
    core->setFontDpi(dpi);
    vx::refreshTheme();
    applyTheme();
    // The box that asks before an unusual address opens is modal to this window.
    startup::setConfirmationOwner(hwnd);
    queue.reset(new VResultQueue(hwnd, UM_DRAINRESULTS));
    core->registerResultListener(queue.get());
    core->registerActionListener(queue.get());
    if (prefsPath.empty())
        prefsPath = core->getAppLocation() + "Verbinox.xml";

    attachTray(hwnd);
    setTrayIcon(smallProgramIcon);
    setTrayTip("Verbinox");
    setTrayMenu(::LoadMenuW(instance, MAKEINTRESOURCEW(IDR_TRAYMENU)), ID_TRAY_SHOW);
    showTrayIcon();
    setMinimizeToTray(false);

    HWND edit = ::GetDlgItem(hwnd, IDC_COMMANDLINE);
    commandLine.attach(edit, this, this);
    list.create(hwnd, edit, this);
    setActionIcon(smallProgramIcon);
    actionName = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, 0, 0,
                                   0, 0, hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_ACTIONNAME)),
                                   instance, nullptr);
    commandLine.setCueBanner(kSearchCue);
    ::SetTimer(hwnd, kFirstLoopTimer, 10, nullptr);

    // Only the width may change: the height is the edit box's plus the frame.
    RECT editClient{};
    ::GetClientRect(edit, &editClient);
    editHeight = editClient.bottom;
    RECT window{};
    ::GetWindowRect(hwnd, &window);
    ::SetWindowPos(hwnd, nullptr, 0, 0, window.right - window.left, stripHeight(),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);

    loadPreferences();
    registerHotKey();
    ::SetFocus(edit);
    if (settings.checkForUpdates)
        checkForUpdates(true);
}

void CVerbinoxDlg::loadPreferences() {
    startup::PreferencesLoad outcome;
    VPreferencesNode* root = startup::loadPreferences(prefsPath, outcome);
    firstRun = outcome.firstRun;
    prefsWritable = outcome.mayWrite;
    startNotice = startup::unreadableNotice(outcome);
    VPreferencesNode* app = root ? root->getChild("Verbinox") : nullptr;
    VPreferencesNode* window = app ? app->getChild("Window") : nullptr;
    settings.load(window);
    applyBoxFont();
    if (window) {
        const std::string target = core->getAppPath(), folder = core->getAppLocation();
        if (settings.hasStartWithWindows)
            startup::syncShortcut(startup::startupShortcutPath(), settings.startWithWindows, target, folder);
        if (settings.hasQuickLaunchIcon)
            startup::syncShortcut(startup::quickLaunchShortcutPath(), settings.quickLaunchIcon, target,
                                  folder);
    }
    RECT rect{};
    ::GetWindowRect(hwnd, &rect);
    POINT at = placeWindow(settings.hasPosition, settings.position,
                           SIZE{rect.right - rect.left, rect.bottom - rect.top});
    ::SetWindowPos(hwnd, HWND_TOPMOST, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);

    ::ShowWindow(hwnd, SW_SHOW);
    HWND edit = commandLine.getHwnd();
    ::HideCaret(edit);
    commandLine.setTextProgrammatically("Loading...");
    ::UpdateWindow(hwnd);
    core->loadPrefs(app);
    commandLine.loadPrefs(window);
    if (root)
        root->deleteThis();
    commandLine.setTextProgrammatically("");
    ::ShowCaret(edit);
}

bool CVerbinoxDlg::savePreferences(bool atExit) {
    // The user was told at start that the unreadable file stays as it is. After the shutdown there is
    // no core to ask for its settings.
    if (!prefsWritable || !core)
        return false;
    VPreferencesNode* app = VPreferencesNode::createInstance("Verbinox");
    VPreferencesNode* window = VPreferencesNode::createInstance("Window");
    RECT rect{};
    ::GetWindowRect(hwnd, &rect);
    settings.save(window, startup::shortcutExists(startup::startupShortcutPath()),
                  startup::shortcutExists(startup::quickLaunchShortcutPath()), POINT{rect.left, rect.top});
    commandLine.savePrefs(window);
    app->addChild(window);
    core->savePrefs(app);
    const bool saved = VPreferences::save(prefsPath, app);
    const DWORD error = saved ? ERROR_SUCCESS : ::GetLastError();
    app->deleteThis();
    if (saved) {
        saveFailureTold = false;
        return true;
    }
    // Once per failure, not at every retry. At exit the balloon would go with the icon: a box says it,
    // unless the session is ending.
    if (!saveFailureTold) {
        saveFailureTold = true;
        const std::string notice = startup::saveFailureNotice(prefsPath, error, !atExit);
        if (!atExit)
            showBalloon("Verbinox", notice, NIIF_WARNING, 30);
        else if (!sessionEnding)
            messageHook(notice.c_str());
    }
    return false;
}

void CVerbinoxDlg::registerHotKey() {
    UINT modifiers = settings.hotKeyModifier;
    hotKeyRegistered = startup::registerHotKey(hwnd, modifiers, settings.hotKey, firstRun);
    settings.hotKeyModifier = modifiers;
    if (!hotKeyRegistered)
        messageHook("Couldn't register global hot-key");
}

void CVerbinoxDlg::shutdown() {
    // Runs once, whichever comes first: the session's end or the window's destruction.
    if (shutDown || !core)
        return;
    shutDown = true;
    closePreferences();
    updates.stop();
    // Every worker is stopped before anything it delivers to goes away; what it queued dies here.
    core->stopAllWorkers();
    stopAwaiting();
    searchId = 0;
    startup::setConfirmationOwner(nullptr);
    core->unregisterResultListener(queue.get());
    core->unregisterActionListener(queue.get());
    queue->discard();
    list.clear();
    savePreferences(true);
    core->shutDown();
    core->deleteThis();
    core = nullptr;
    ::UnregisterHotKey(hwnd, 1);
}

void CVerbinoxDlg::showWindow() {
    // Called back (the hot-key) while it says what opens: it stays, ready for the next text.
    endSign(false);
    keepHidden = false;
    // It opens where the user is: on the monitor that has the mouse pointer.
    RECT rect{};
    ::GetWindowRect(hwnd, &rect);
    const POINT at =
        placeWindow(true, POINT{rect.left, rect.top}, SIZE{rect.right - rect.left, rect.bottom - rect.top});
    if (at.x != rect.left || at.y != rect.top)
        ::SetWindowPos(hwnd, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(hwnd, SW_SHOW);
    ::SetForegroundWindow(hwnd);
    ::SetFocus(commandLine.getHwnd());
    if (settings.alwaysShowList || list.getCount() > 0)
        list.setShown(true);
    else
        list.premapHidden();
}

void CVerbinoxDlg::hideWindow() {
    endSign(false);
    stopAwaiting();
    hideFailure();
    if (mode == Searching || mode == Browse) {
        cancelSearch();
        list.clear();
        mode = Idle;
    }
    list.suspend();
    keepHidden = true;
    ::ShowWindow(hwnd, SW_HIDE);
}

bool CVerbinoxDlg::isOwnThread(DWORD thread) {
    // A thread of this process has windows of this process; one of another program's has none.
    struct Search {
        bool own = false;
        static BOOL CALLBACK visit(HWND window, LPARAM data) {
            DWORD process = 0;
            ::GetWindowThreadProcessId(window, &process);
            reinterpret_cast<Search*>(data)->own = process == ::GetCurrentProcessId();
            return FALSE;
        }
    } search;
    if (thread == ::GetCurrentThreadId())
        return true;
    if (thread)
        ::EnumThreadWindows(thread, &Search::visit, reinterpret_cast<LPARAM>(&search));
    return search.own;
}

void CVerbinoxDlg::onOtherThreadActivated(DWORD thread) {
    // The pop-ups, the list and the dialogs this window owns run on this thread and never bring this
    // message; another program does (thread 0 when Wine does not say which).
    if (shutDown || executing || !settings.autoHide || !settings.hideOnDeactivate || !::IsWindowVisible(hwnd))
        return;
    // A dialog of ours that is left for another program keeps its owner.
    if (modalPopup() || isOwnThread(thread))
        return;
    hideWindow();
}

HWND CVerbinoxDlg::modalPopup() const {
    if (PrefsSheet* sheet = getOpenPreferences())
        return sheet->getHwnd();
    // A modal dialog or message box owned by this window disables it.
    if (!hwnd || ::IsWindowEnabled(hwnd))
        return nullptr;
    HWND popup = ::GetLastActivePopup(hwnd);
    return popup != hwnd ? popup : nullptr;
}

void CVerbinoxDlg::reveal() {
    if (shutDown)
        return;
    // Shown under a modal dialog, the window would take no input and hide the dialog.
    if (HWND popup = modalPopup()) {
        ::SetForegroundWindow(popup);
        return;
    }
    if (isCommandAvailable(ID_TRAY_SHOW))
        showWindow();
}

INT_PTR CVerbinoxDlg::handle(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    // With the core gone the window takes nothing more. While an action runs, the shell and the
    // confirmation box dispatch messages: nothing may start a second action or free the result.
    if ((shutDown && isInput(message)) || ((executing || signing) && isKeyOrChoice(message)))
        return message == UM_ACTIONCHOSEN || message == UM_PROPERTYCHOSEN ? 1 : 0;
    switch (message) {
    case UM_TEXTCHANGED:
        onTextChanged();
        return 0;
    case UM_ENTER:
        onEnter();
        return 0;
    case UM_ESCAPE:
        onEscape();
        return 0;
    case UM_TAB:
        onTab();
        return 0;
    case UM_ELEMENTCHOSEN:
        onElementChosen(reinterpret_cast<VElement*>(wParam));
        return 0;
    case UM_ACTIONCHOSEN:
        return onActionChosen(reinterpret_cast<VAction*>(wParam), reinterpret_cast<VProperty*>(lParam));
    case UM_PROPERTYCHOSEN:
        return onActionChosen(reinterpret_cast<VAction*>(lParam), reinterpret_cast<VProperty*>(wParam));
    case UM_DRAINRESULTS:
        drainResults();
        return 0;
    case UM_UPDATEFETCHED:
        onUpdateFetched(reinterpret_cast<update::FetchResult*>(lParam));
        return 0;
    case WM_TIMER:
        if (wParam == kAwaitTimer)
            onAwaitTimer();
        if (wParam == kFailureTimer)
            hideFailure();
        if (wParam == kSearchEndTimer)
            onSearchEndTimer();
        if (wParam == kSignTimer)
            endSign(true);
        if (wParam == kFirstLoopTimer) {
            ::KillTimer(hwnd, kFirstLoopTimer);
            list.layout();
            if (settings.autoHide) {
                hideWindow();
                if (firstRun && startNotice.empty())
                    showBalloon("Verbinox",
                                settings.hotKeyModifier == MOD_CONTROL
                                    ? "Verbinox is auto-hidden. Hit Ctrl-Space to activate."
                                    : "Verbinox is auto-hidden. Hit Alt-Space to activate.",
                                NIIF_INFO, 10);
            } else if (settings.alwaysShowList) {
                list.setShown(true);
            }
            // The user had settings: telling where they went matters more than the first-run hint.
            if (!startNotice.empty()) {
                showBalloon("Verbinox", startNotice, NIIF_WARNING, 30);
                startNotice.clear();
            }
        }
        return 0;
    case WM_HOTKEY:
        if (wParam == 1)
            reveal();
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_COMMANDLINE && HIWORD(wParam) == EN_CHANGE) {
            commandLine.onTextChanged();
        } else if (LOWORD(wParam) == IDC_MENUBUTTON && HIWORD(wParam) == BN_CLICKED) {
            RECT button{};
            ::GetWindowRect(::GetDlgItem(hwnd, IDC_MENUBUTTON), &button);
            showMenu(IDR_BUTTONMENU, POINT{button.right, button.bottom});
        } else {
            onCommand(LOWORD(wParam));
        }
        return 0;
    case WM_DRAWITEM: {
        // The menu button: a flat face with a mark that says it drops a menu.
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (wParam != IDC_MENUBUTTON) {
            handled = false;
            return 0;
        }
        const bool pressed = (item->itemState & ODS_SELECTED) != 0;
        ::FillRect(item->hDC, &item->rcItem,
                   vx::themeBrush(item->hDC, pressed ? COLOR_BTNSHADOW : COLOR_BTNFACE));
        drawArrow(item->hDC, item->rcItem, vx::themeColor(pressed ? COLOR_BTNHIGHLIGHT : COLOR_BTNTEXT),
                  true);
        return TRUE;
    }
    case WM_ACTIVATEAPP:
        if (!wParam)
            onOtherThreadActivated(static_cast<DWORD>(lParam));
        handled = false;
        return 0;
    case WM_WINDOWPOSCHANGING: {
        // The dialog manager shows a modal dialog on its loop's first WM_TIMER (Wine) or first idle
        // moment (Windows), after the start-up timer may have hidden it: once hidden, only showWindow
        // shows it again.
        auto* position = reinterpret_cast<WINDOWPOS*>(lParam);
        if (keepHidden && (position->flags & SWP_SHOWWINDOW))
            position->flags = (position->flags & ~SWP_SHOWWINDOW) | SWP_NOACTIVATE;
        handled = false;
        return 0;
    }
    case WM_MOUSEWHEEL:
        // Where the focus is on the menu button: the list scrolls all the same.
        list.wheel(GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
    case WM_NCHITTEST:
        return hitTest(lParam);
    case WM_GETMINMAXINFO: {
        if (!editHeight) {
            handled = false;
            return 0;
        }
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize.y = info->ptMaxTrackSize.y = stripHeight();
        return 0;
    }
    case WM_SIZE:
        layoutChildren(LOWORD(lParam), HIWORD(lParam));
        // Only a list on show follows: laying out an empty one would show it as a line that takes keys.
        if (list.isOnScreen())
            list.layout();
        return 0;
    case WM_MOVING:
        snapToWorkArea(*reinterpret_cast<RECT*>(lParam));
        return TRUE;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORDLG: {
        // Classic controls know no dark theme: the dialog tells them its colours.
        if (!vx::isDarkTheme()) {
            handled = false;
            return 0;
        }
        HDC dc = reinterpret_cast<HDC>(wParam);
        const bool edit = message == WM_CTLCOLOREDIT;
        ::SetTextColor(dc, vx::themeColor(edit ? COLOR_WINDOWTEXT : COLOR_BTNTEXT));
        ::SetBkColor(dc, vx::themeColor(edit ? COLOR_WINDOW : COLOR_BTNFACE));
        return reinterpret_cast<INT_PTR>(vx::themeBrush(dc, edit ? COLOR_WINDOW : COLOR_BTNFACE));
    }
    case WM_SETTINGCHANGE:
        if (wParam == SPI_SETHIGHCONTRAST) {
            vx::refreshHighContrast();
            applyTheme();
        }
        // Windows names the change of light and dark "ImmersiveColorSet".
        if (lParam && ::lstrcmpiW(reinterpret_cast<const wchar_t*>(lParam), L"ImmersiveColorSet") == 0 &&
            vx::refreshTheme())
            applyTheme();
        handled = false;
        return 0;
    case WM_DPICHANGED:
        onDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_MOVE:
        if (list.isOnScreen())
            list.layout();
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        // The session ends, or the Restart Manager asks the program to close: once the core is gone
        // nothing is left to serve a keystroke or a tray command, so the program ends.
        if (wParam) {
            sessionEnding = true;
            if (executing) {
                // An action's run dispatched this: shutting down now would free the result, the
                // action and its plug-in under it. The settings are saved at once, since the process
                // may be ended as soon as this returns; the rest follows when the run is over.
                savePreferences(true);
                endAfterRun = true;
                return 0;
            }
            shutdown();
            exit();
        }
        return 0;
    case WM_DESTROY:
        shutdown();
        handled = false;
        return 0;
    default:
        handled = false;
        return 0;
    }
}
