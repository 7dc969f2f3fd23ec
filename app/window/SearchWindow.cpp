#include "SearchWindow.h"

#include "update/FileVersionInfo.h"
#include "FolderBrowser.h"
#include "Messages.h"
#include "Theme.h"
#include "prefs/PrefsSheet.h"
#include "Startup.h"
#include "engine/VIndexer.h"
#include "engine/VPlugin.h"
#include "engine/VVerbinoxCore.h"
#include "model/VAction.h"
#include "model/VBuiltinActions.h"
#include "model/VFileResult.h"
#include "model/VPreferences.h"
#include "model/VResult.h"
#include "res/resource.h"
#include "util/HighContrast.h"
#include "util/Shell.h"
#include "util/SystemText.h"
#include "util/VxText.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#ifndef VX_MAKER_URL
#define VX_MAKER_URL "https://verbinox.example.com"
#endif

namespace {

const UINT_PTR kFirstLoopTimer = 1;
// Enter on a text whose results have not come yet waits this long for the first of them, and looks
// whether any can still come at every tick.
const UINT_PTR kAwaitTimer = 2;
const UINT kAwaitTickMs = 50;
const DWORD kAwaitLimitMs = 3000;

const char* const kSearchCue = "Type to search";

// A failed run is told in a balloon under the box until the next keystroke, or this long.
const UINT_PTR kFailureTimer = 3;
const UINT kFailureShownMs = 6000;

// While a search runs, whether every source has finished is looked at this often: one that found
// nothing anywhere says so in the list.
const UINT_PTR kSearchEndTimer = 4;
const UINT kSearchEndTickMs = 50;

const UINT_PTR kSignTimer = 5;

void showMessageBox(const char* text) {
    vx::messageBox(nullptr, text, "Verbinox", MB_OK);
}
CVerbinoxDlg::MessageHook messageHook = &showMessageBox;

void beep() {
    ::MessageBeep(MB_ICONASTERISK);
}

bool isSeparator(char c) {
    return c == ' ' || c == '\r' || c == '\n' || c == '\t';
}

// The text before and after its first blank, CR, LF or tab, both trimmed; the whole text when there is
// no such character (false).
bool splitKeyword(const std::string& text, std::string& keyword, std::string& argument) {
    std::size_t at = 0;
    while (at < text.size() && !isSeparator(text[at]))
        ++at;
    if (at == text.size()) {
        keyword = text;
        argument.clear();
        return false;
    }
    keyword = vx::trimmed(std::string_view(text).substr(0, at));
    argument = vx::trimmed(std::string_view(text).substr(at + 1));
    return true;
}

// Marks the length of an action's run.
class Executing {
public:
    explicit Executing(bool& flag) : flag(flag) { flag = true; }
    ~Executing() { flag = false; }
    Executing(const Executing&) = delete;
    Executing& operator=(const Executing&) = delete;

private:
    bool& flag;
};

// What the edit box and the lists send: keys, settled text and choices.
bool isKeyOrChoice(UINT message) {
    return message >= UM_TEXTCHANGED && message <= UM_PROPERTYCHOSEN;
}

bool isInput(UINT message) {
    return isKeyOrChoice(message) || message == UM_DRAINRESULTS || message == WM_HOTKEY ||
           message == WM_COMMAND || message == WM_TIMER;
}

bool isMenuCommandOfTheWeb(UINT id) {
    return id == ID_WEB_HOME || id == ID_WEB_HELP || id == ID_WEB_FORUMS;
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

int CVerbinoxDlg::px(int n) const {
    return vx::scaleForDpi(n, dpi);
}

void CVerbinoxDlg::applyTheme() {
    const bool dark = vx::isDarkTheme();
    if (core)
        core->setThemeTextColors(dark ? vx::themeColor(COLOR_WINDOWTEXT) : CLR_INVALID,
                                 dark ? vx::themeColor(COLOR_HIGHLIGHTTEXT) : CLR_INVALID);
    vx::applyFrameTheme(hwnd);
    for (HWND window : {hwnd, list.getHwnd(), list.getActionList().getHwnd(),
                        list.getActionList().getPropertyList().getHwnd()}) {
        if (window)
            ::RedrawWindow(window, nullptr, nullptr,
                           RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    }
}

void CVerbinoxDlg::onDpiChanged(UINT newDpi, const RECT& suggested) {
    if (newDpi && newDpi != dpi) {
        dpi = newDpi;
        if (core)
            core->setFontDpi(dpi);
        // The box's font in points at the new DPI, and the box's and strip's heights with it.
        applyBoxFont();
        // The program's icon beside the box, drawn at its real size, is loaded again in the new size.
        HICON previousIcon = stripIcon;
        const int side = vx::metricForDpi(SM_CXSMICON, dpi);
        stripIcon = dpi == templateDpi ? nullptr
                                       : static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                                         MAKEINTRESOURCEW(IDR_MAINFRAME),
                                                                         IMAGE_ICON, side, side, 0));
        if (mode != ActionMode)
            setActionIcon(idleIcon());
        if (previousIcon)
            ::DestroyIcon(previousIcon);
        list.setDpi(dpi, reinterpret_cast<HFONT>(::SendMessageW(commandLine.getHwnd(), WM_GETFONT, 0, 0)));
    }
    // The suggested rectangle keeps the window on the monitor that asked; its height is the strip's.
    ::SetWindowPos(hwnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   stripHeight(), SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client{};
    ::GetClientRect(hwnd, &client);
    layoutChildren(client.right, client.bottom);
    if (list.isOnScreen())
        list.layout();
    ::InvalidateRect(hwnd, nullptr, TRUE);
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

void CVerbinoxDlg::setEditText(const std::string& text) {
    // Not programmatic: the change is what makes the window list the folder.
    vx::setWindowText(commandLine.getHwnd(), text);
    const int end = ::GetWindowTextLengthW(commandLine.getHwnd());
    ::SendMessageW(commandLine.getHwnd(), EM_SETSEL, end, end);
}

void CVerbinoxDlg::setActionIcon(HICON icon) {
    ::SendDlgItemMessageW(hwnd, IDC_ACTIONICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
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

bool CVerbinoxDlg::isCommandAvailable(UINT id) const {
    if (shutDown)
        return false;
    if (isMenuCommandOfTheWeb(id))
        return true;
    return !executing && !getOpenPreferences() && (!hwnd || ::IsWindowEnabled(hwnd));
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

void CVerbinoxDlg::onTrayLButtonDblClk(POINT) {
    reveal();
}

void CVerbinoxDlg::onTrayRButtonDown(POINT at) {
    if (!shutDown)
        CTrayIconOwner::onTrayRButtonDown(at);
}

void CVerbinoxDlg::prepareTrayMenu(HMENU popup) {
    for (int i = 0, n = ::GetMenuItemCount(popup); i < n; ++i) {
        const UINT id = ::GetMenuItemID(popup, i);
        if (id != static_cast<UINT>(-1) && id != 0)
            ::EnableMenuItem(popup, id, MF_BYCOMMAND | (isCommandAvailable(id) ? MF_ENABLED : MF_GRAYED));
    }
}

void CVerbinoxDlg::cancelSearch() {
    stopAwaiting();
    if (searchId && core)
        core->cancelSearch(searchId);
    // What that search queued before the cancel is destroyed when it is drained: nothing is on show.
    searchId = 0;
}

void CVerbinoxDlg::textEdited() {
    if (!core || executing)
        return;
    hideFailure();
    list.withdrawNothingFound();
    stopAwaiting();
    // Whatever the list shows was found for the text before this change.
    if (mode == Searching)
        cancelSearch();
    if (mode != Browse && list.getSelectedIndex() >= 0)
        list.select(-1);
}

void CVerbinoxDlg::resetSearch(bool clear) {
    if (!core || executing)
        return;
    const std::string text = commandLine.getText();
    cancelSearch();
    const bool listShown = list.isOnScreen();
    if (!listShown || !settings.alwaysShowList || !text.empty()) {
        if (clear)
            commandLine.setTextProgrammatically("");
        list.clear();
        if (listShown)
            ::SetFocus(commandLine.getHwnd());
        if (settings.autoHide && text.empty())
            hideWindow();
    } else if (settings.autoHide) {
        hideWindow();
    }
    mode = Idle;
}

void CVerbinoxDlg::finish() {
    // What failed before is no longer the news.
    hideFailure();
    cancelSearch();
    list.clear();
    commandLine.setTextProgrammatically("");
    if (settings.autoHide)
        hideWindow();
    mode = Idle;
}

void CVerbinoxDlg::finishOpening(const VAction* action, const std::string& name) {
    // Copying is done the moment it returns; nothing else is to come. Without auto-hide the window
    // stays, and the emptied box is sign enough.
    if (dynamic_cast<const VCopyAction*>(action) || name.empty() || !settings.autoHide || signTimeMs == 0) {
        finish();
        return;
    }
    hideFailure();
    cancelSearch();
    list.clear();
    mode = Idle;
    // Another program takes over, and may take a moment to show itself: until the window hides, the
    // box says what opens. Read-only, so what is typed meanwhile does not land in the sign.
    signing = true;
    HWND edit = commandLine.getHwnd();
    ::SendMessageW(edit, EM_SETREADONLY, TRUE, 0);
    commandLine.setTextProgrammatically("Opening " + name + "...");
    ::UpdateWindow(hwnd);
    ::SetTimer(hwnd, kSignTimer, signTimeMs, nullptr);
}

void CVerbinoxDlg::endSign(bool hide) {
    if (!signing)
        return;
    signing = false;
    ::KillTimer(hwnd, kSignTimer);
    commandLine.setTextProgrammatically("");
    ::SendMessageW(commandLine.getHwnd(), EM_SETREADONLY, FALSE, 0);
    if (hide)
        hideWindow();
}

void CVerbinoxDlg::enterActionMode(VAction* action, const std::string& argument) {
    actionModeText = commandLine.getText();
    currentAction = action;
    setActionIcon(action->getIcon() ? action->getIcon() : idleIcon());
    // Many actions share a look-alike icon: the name tells them apart, and the hint says what to type.
    showActionName(action->getName());
    commandLine.setCueBanner(action->getDescription());
    list.clear();
    commandLine.setTextProgrammatically(argument);
    const int end = static_cast<int>(argument.size());
    ::SendMessageW(commandLine.getHwnd(), EM_SETSEL, end, end);
    mode = ActionMode;
}

void CVerbinoxDlg::leaveActionMode() {
    setActionIcon(idleIcon());
    showActionName(std::string());
    commandLine.setCueBanner(kSearchCue);
    currentAction = nullptr;
    mode = Idle;
}

VAction* CVerbinoxDlg::findAction(const std::string& keyword) const {
    if (keyword.empty())
        return nullptr;
    VAction* action = core->getAction(keyword, true);
    return action ? action : core->getAction(keyword, false);
}

void CVerbinoxDlg::onTextChanged() {
    struct HeldList {
        VElementListCtrl& list;
        explicit HeldList(VElementListCtrl& l) : list(l) { list.keepShownThroughClear(); }
        ~HeldList() { list.hideIfStillEmpty(); }
    } held(list);
    if (mode == ActionMode)
        return;
    if (mode == Searching || mode == Browse || list.getCount() > 0)
        resetSearch(false);
    const std::string text = commandLine.getText();
    if (text.empty())
        return;
    if (isBrowsePath(text)) {
        mode = Browse;
        list.clear();
        std::vector<VFileResult*> files = listTypedPath(text);
        list.addFiles(files.data(), static_cast<int>(files.size()));
        return;
    }
    std::string keyword = text, argument, before, after;
    const bool separated = splitKeyword(text, before, after);
    if (matchActionsAfterBlank && separated) {
        keyword = before;
        argument = after;
    }
    // A keyword shorter than a search would take the first letter of every word that starts with it
    // ("c" of "cafe"): alone it searches, and a blank after it ("g pizza") picks its action.
    const std::size_t shortest = static_cast<std::size_t>(std::max(core->getSearchMinChars(), 0));
    VAction* action = findAction(keyword);
    if (action && keyword.size() < shortest)
        action = nullptr;
    if (!action && separated && before.size() < shortest) {
        action = findAction(before);
        argument = after;
    }
    if (action) {
        enterActionMode(action, argument);
        return;
    }
    mode = Searching;
    core->startSeach(text, searchId);
    watchSearchEnd(text);
}

bool CVerbinoxDlg::onListKey(UINT virtualKey) {
    // A shortcut typed whole that was too short to pick its action by itself: Enter and Tab pick it,
    // unless the user went for a row of the list.
    if ((virtualKey == VK_RETURN || virtualKey == VK_TAB) && mode != Browse && !list.isSelectionChosen() &&
        !list.getActionList().isOnScreen() && findAction(vx::trimmed(commandLine.getText())))
        return false;
    return list.key(virtualKey);
}

template <typename Work> CVerbinoxDlg::Run CVerbinoxDlg::runForUser(Work work) {
    bool done = false;
    {
        Executing running(executing);
        done = work();
    }
    if (endAfterRun) {
        endAfterRun = false;
        shutdown();
        exit();
    }
    if (shutDown)
        return Run::Gone;
    return done ? Run::Done : Run::Failed;
}

void CVerbinoxDlg::onEnter() {
    // Enter acts on the text in the box, settled or not: never on results of an older text. Each edit
    // cancelled the search on show, so a search runs here only for the text as it stands.
    commandLine.stopTypingTimer();
    const std::string text = commandLine.getText();
    switch (mode) {
    case Idle:
    case Searching:
        enterTypedText(text, mode == Searching && searchId != 0);
        break;
    case ActionMode: {
        VAction* action = currentAction;
        // The blank that separated the argument from the keyword is not part of it.
        const Run run = runForUser([&] { return action && action->execute(vx::trimmed(text)); });
        if (run == Run::Gone)
            return;
        if (run == Run::Done) {
            rememberChoice(actionModeText, action);
            leaveActionMode();
            finishOpening(action, action->getName());
        } else {
            tellRunFailed(action, vx::trimmed(text));
        }
        break;
    }
    case Browse: {
        cancelSearch();
        const Run run = runForUser([&] { return vx::shellOpen(text); });
        if (run == Run::Gone)
            return;
        if (run == Run::Done)
            finishOpening(nullptr, text);
        else
            tellRunFailed(nullptr, text);
        mode = Idle;
        break;
    }
    }
}

void CVerbinoxDlg::enterTypedText(const std::string& text, bool searchRuns) {
    // One Enter does one thing: a second one while the first waits for its result adds nothing.
    if (awaitedSearchId)
        return;
    // Taken before the shell is asked: it may dispatch messages, and rows arrive meanwhile.
    const bool rowsShown = list.getCount() > 0;
    std::string keyword, argument;
    splitKeyword(text, keyword, argument);
    if (VAction* action = findAction(keyword)) {
        if (argument.empty()) {
            cancelSearch();
            enterActionMode(action, std::string());
            return;
        }
        const Run run = runForUser([&] { return action->execute(argument); });
        if (run == Run::Done) {
            rememberChoice(text, action);
            finishOpening(action, action->getName());
        } else if (run == Run::Failed) {
            tellRunFailed(action, argument);
        }
        return;
    }
    const std::string typed = vx::trimmed(text);
    const Run run = runForUser([&] { return vx::shellOpen(typed); });
    if (run == Run::Gone)
        return;
    if (run == Run::Done) {
        finishOpening(nullptr, typed);
        return;
    }
    if (searchRuns && rowsShown) {
        // The user stepped off the rows to open what they typed, and that cannot be opened.
        tellRunFailed(nullptr, typed);
        return;
    }
    if (!searchRuns) {
        // Neither an action nor something to open: its search starts at once, without the delay.
        cancelSearch();
        list.clear();
        mode = Searching;
        core->startSeach(text, searchId);
        watchSearchEnd(text);
    }
    // An empty box lists every action; there is no first result to open for it.
    if (!typed.empty())
        awaitFirstResult();
}

void CVerbinoxDlg::watchSearchEnd(const std::string& text) {
    // Too short a text is searched by no source: there is nothing to say about what they found.
    const int characters = static_cast<int>(vx::widened(text).size());
    if (!searchId || core->getNumIndexers() == 0 || characters < core->getSearchMinChars())
        return;
    watchedSearchId = searchId;
    watchedText = text;
    ::SetTimer(hwnd, kSearchEndTimer, kSearchEndTickMs, nullptr);
}

void CVerbinoxDlg::onSearchEndTimer() {
    if (!watchedSearchId || watchedSearchId != searchIdWhileSearching()) {
        watchedSearchId = 0;
        ::KillTimer(hwnd, kSearchEndTimer);
        return;
    }
    // As for Enter's wait: with no worker left and nothing queued, no result can come any more.
    if (VIndexer::getRunningWorkerCount() != 0 || queue->pending() != 0)
        return;
    watchedSearchId = 0;
    ::KillTimer(hwnd, kSearchEndTimer);
    if (list.getCount() > 0 || list.getMoreCount() > 0)
        return;
    std::vector<std::string> sources;
    for (int i = 0; i < core->getNumIndexers(); ++i) {
        VPlugin* plugin = core->getIndexer(i)->getPlugin();
        const std::string name = plugin ? plugin->getName() : std::string();
        if (!name.empty() && std::find(sources.begin(), sources.end(), name) == sources.end())
            sources.push_back(name);
    }
    list.showNothingFound(watchedText, sources);
}

void CVerbinoxDlg::awaitFirstResult() {
    if (!searchId)
        return;
    // Rows that came while the shell was asked are this search's.
    if (list.getCount() > 0) {
        onElementChosen(list.getSelectedElement() ? list.getSelectedElement() : list.getElement(0));
        return;
    }
    awaitedSearchId = searchId;
    awaitStarted = ::GetTickCount();
    ::SetTimer(hwnd, kAwaitTimer, kAwaitTickMs, nullptr);
}

void CVerbinoxDlg::stopAwaiting() {
    if (!awaitedSearchId)
        return;
    awaitedSearchId = 0;
    ::KillTimer(hwnd, kAwaitTimer);
}

void CVerbinoxDlg::onAwaitTimer() {
    if (!awaitedSearchId) {
        ::KillTimer(hwnd, kAwaitTimer);
        return;
    }
    // The running-worker count falls only after a worker's last delivery was queued: with no worker
    // left and nothing queued, no result can come any more.
    const bool nothingCanCome = VIndexer::getRunningWorkerCount() == 0 && queue->pending() == 0;
    if (nothingCanCome || ::GetTickCount() - awaitStarted >= kAwaitLimitMs) {
        stopAwaiting();
        beep();
    }
}

void CVerbinoxDlg::onTab() {
    // The other key that picks a shortcut too short to pick its action by itself.
    if (mode != Idle && mode != Searching)
        return;
    VAction* action = findAction(vx::trimmed(commandLine.getText()));
    if (!action)
        return;
    commandLine.stopTypingTimer();
    cancelSearch();
    enterActionMode(action, std::string());
}

void CVerbinoxDlg::onEscape() {
    if (mode == ActionMode) {
        if (commandLine.getText().empty())
            leaveActionMode();
        else
            commandLine.setTextProgrammatically("");
        return;
    }
    resetSearch(true);
}

void CVerbinoxDlg::onElementChosen(VElement* element) {
    cancelSearch();
    commandLine.stopTypingTimer();
    if (!element)
        return;
    const std::string text = commandLine.getText();
    if (element->getElementType() == VElement::ResultElement) {
        auto* result = static_cast<VResult*>(element);
        VProperty* property = result->getPropertyCount() > 0 ? result->getDefaultProperty() : nullptr;
        VAction* action = property ? core->getDefaultAction(property->getPropertyType()) : nullptr;
        // Read before the run: it may dispatch messages that clear the list and free the result.
        const std::string name = result->getDisplayText();
        const Run run = runForUser([&] { return action && action->execute(result, property, text); });
        if (run == Run::Gone)
            return;
        if (run == Run::Failed) {
            // The row stays where the user can try another action on it.
            tellRunFailed(nullptr, name);
            return;
        }
        rememberChoice(text, result);
        finishOpening(action, name);
    } else {
        auto* action = static_cast<VAction*>(element);
        std::string keyword, argument;
        if (!splitKeyword(text, keyword, argument)) {
            enterActionMode(action, std::string());
            return;
        }
        const Run run = runForUser([&] { return action->execute(argument); });
        if (run == Run::Gone)
            return;
        if (run == Run::Failed) {
            tellRunFailed(action, argument);
            return;
        }
        rememberChoice(text, action);
        finishOpening(action, action->getName());
    }
}

LRESULT CVerbinoxDlg::onActionChosen(VAction* action, VProperty* property) {
    cancelSearch();
    commandLine.stopTypingTimer();
    VElement* element = list.getSelectedElement();
    const std::string text = commandLine.getText();
    const std::string name = element ? element->getDisplayText() : std::string();
    const Run run = runForUser([&] {
        return action && element && element->getElementType() == VElement::ResultElement &&
               action->execute(static_cast<VResult*>(element), property, text);
    });
    if (run == Run::Gone)
        return 1;
    if (run == Run::Failed) {
        tellRunFailed(action, name);
        return 1;
    }
    rememberChoice(text, element);
    finishOpening(action, name);
    return 0;
}

void CVerbinoxDlg::tellRunFailed(const VAction* action, const std::string& subject) {
    beep();
    if (!hwnd || shutDown)
        return;
    std::string message;
    if (!action)
        message = "Couldn't open " + subject;
    else
        message = action->getName() + " failed" + (subject.empty() ? std::string() : ": " + subject);
    const std::wstring wide = vx::widened(message);
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_TRACK | TTF_ABSOLUTE | TTF_IDISHWND;
    tool.hwnd = hwnd;
    tool.uId = reinterpret_cast<UINT_PTR>(commandLine.getHwnd());
    tool.lpszText = const_cast<wchar_t*>(wide.c_str());
    if (!failureTip) {
        // A balloon that points at the box and stays put while the user reads it: a tracking tool tip.
        failureTip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                       WS_POPUP | TTS_BALLOON | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                       CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr,
                                       ::GetModuleHandleW(nullptr), nullptr);
        if (!failureTip)
            return;
        ::SendMessageW(failureTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        ::SendMessageW(failureTip, TTM_SETMAXTIPWIDTH, 0, px(400));
    }
    ::SendMessageW(failureTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    RECT box{};
    ::GetWindowRect(commandLine.getHwnd(), &box);
    ::SendMessageW(failureTip, TTM_TRACKPOSITION, 0, MAKELPARAM(box.left + px(16), box.bottom));
    ::SendMessageW(failureTip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
    failureShown = message;
    ::SetTimer(hwnd, kFailureTimer, kFailureShownMs, nullptr);
}

void CVerbinoxDlg::hideFailure() {
    if (failureShown.empty())
        return;
    failureShown.clear();
    ::KillTimer(hwnd, kFailureTimer);
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = hwnd;
    tool.uId = reinterpret_cast<UINT_PTR>(commandLine.getHwnd());
    ::SendMessageW(failureTip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
}

void CVerbinoxDlg::rememberChoice(const std::string& text, const VElement* element) {
    if (!core || !element)
        return;
    if (element->getElementType() == VElement::ResultElement) {
        bool listed = false;
        for (int i = 0, n = list.getCount(); i < n && !listed; ++i) {
            listed = list.getElement(i) == element;
            for (const VResult* twin : list.getTwins(i))
                listed = listed || twin == element;
        }
        if (!listed)
            return;
    }
    core->recordChoice(text, element);
}

void CVerbinoxDlg::drainResults() {
    if (!queue)
        return;
    queue->drain(
        searchIdWhileSearching(),
        [this](VResult** results, int count) {
            std::vector<VElement*> elements(results, results + count);
            list.addElements(elements.data(), count);
        },
        [this](VAction* action) { list.addElement(action); }, [this](uint64_t more) { list.addMore(more); });
    // Enter came before any result of its text: it opens the best row of everything that arrived, which
    // the list has put at the top (and selected), not the first that came.
    if (awaitedSearchId && awaitedSearchId == searchIdWhileSearching() && !executing && list.getCount() > 0) {
        VElement* best = list.getSelectedElement() ? list.getSelectedElement() : list.getElement(0);
        stopAwaiting();
        onElementChosen(best);
    }
}

void CVerbinoxDlg::showMenu(UINT menuId, POINT at) {
    HMENU menu = ::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(menuId));
    if (!menu)
        return;
    HMENU popup = ::GetSubMenu(menu, 0);
    ::SetForegroundWindow(hwnd);
    ::TrackPopupMenu(popup, TPM_RIGHTBUTTON | TPM_RIGHTALIGN, at.x, at.y, 0, hwnd, nullptr);
    ::DestroyMenu(menu);
}

void CVerbinoxDlg::updateCache() {
    // The core counts a search as running until it is cancelled, also one that found everything long
    // ago: what runs is stopped, and each source rebuilds on its own thread. The window stays usable:
    // a search meanwhile is answered from the caches as they were.
    cancelSearch();
    list.clear();
    if (mode != ActionMode)
        mode = Idle;
    // The text goes with its results: an empty list under a text would say it found nothing.
    commandLine.setTextProgrammatically("");
    core->updateCache();
}

void CVerbinoxDlg::openWebPage(const char* path) {
    vx::shellOpen(std::string(VX_MAKER_URL) + path);
}

namespace {

// The middle of the work area of the monitor its owner is on. The template alone would put the box
// beside its owner, and SPI_GETWORKAREA knows the primary monitor only.
void centreOnOwnersMonitor(HWND dialog) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!::GetMonitorInfoW(::MonitorFromWindow(::GetWindow(dialog, GW_OWNER), MONITOR_DEFAULTTONEAREST),
                           &monitor))
        return;
    RECT box{};
    ::GetWindowRect(dialog, &box);
    const RECT& work = monitor.rcWork;
    const int width = box.right - box.left, height = box.bottom - box.top;
    // Larger than the work area (a large font), it keeps its caption and its left edge on the screen.
    const int x = (std::max)(work.left, work.left + (work.right - work.left - width) / 2);
    const int y = (std::max)(work.top, work.top + (work.bottom - work.top - height) / 2);
    ::SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK aboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        centreOnOwnersMonitor(dialog);
        CFileVersionInfo version;
        std::string product = "Verbinox", number;
        if (version.Create(::GetModuleHandleW(nullptr))) {
            if (!version.GetProductName().empty())
                product = version.GetProductName();
            number = version.GetProductVersion();
        }
        vx::setDlgItemText(dialog, IDC_ABOUT_PRODUCT, product);
        vx::setDlgItemText(dialog, IDC_ABOUT_VERSION, "Version " + number);
        vx::setDlgItemText(dialog, IDC_ABOUT_BUILT, "Built " __DATE__);
        return TRUE;
    }
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->idFrom == IDC_ABOUT_LINK && (header->code == NM_CLICK || header->code == NM_RETURN))
            vx::shellOpen(VX_MAKER_URL);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            ::EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

void CVerbinoxDlg::showAbout() {
    // Nothing opens behind a dialog the user is reading.
    stopAwaiting();
    ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUTBOX), hwnd, &aboutProc, 0);
}

std::string CVerbinoxDlg::updateAddress() const {
    return updateServer.empty() ? VX_MAKER_URL : updateServer;
}

void CVerbinoxDlg::checkForUpdates(bool silent) {
    updates.start(hwnd, UM_UPDATEFETCHED, updateAddress(), update::ownVersion(), updateTimeout, silent);
}

void CVerbinoxDlg::onUpdateFetched(update::FetchResult* fetched) {
    std::unique_ptr<update::FetchResult> result(fetched);
    updates.finished();
    if (shutDown)
        return;
    // A silent check bothers the user only with a newer version.
    if (result->silent &&
        (!result->found || update::compareVersions(update::ownVersion(), result->line) >= 0))
        return;
    stopAwaiting();
    UpdateCheckDlg dialog(result->silent, settings.checkForUpdates);
    dialog.setLatest(result->found, result->line);
    dialog.setHomePage(updateAddress());
    if (dialog.run(hwnd) > 0)
        settings.checkForUpdates = dialog.getCheckAtStartup();
}

void CVerbinoxDlg::onCommand(UINT id) {
    // Greyed in the menus while a dialog is open; a second start still asks to be shown, and reveal
    // brings the dialog forward then.
    if (id != ID_TRAY_SHOW && !isCommandAvailable(id))
        return;
    // What opens now keeps the window: the end of the sign must not hide it under a dialog. (The edit
    // box's own notifications come here too, and must leave the sign alone.)
    if (id == ID_TRAY_UPDATECACHE || id == ID_TRAY_ABOUT || id == ID_TRAY_PREFERENCES)
        endSign(false);
    switch (id) {
    case ID_TRAY_SHOW:
        reveal();
        break;
    case ID_TRAY_HIDE:
        hideWindow();
        break;
    case ID_TRAY_UPDATECACHE:
        updateCache();
        break;
    case ID_TRAY_ABOUT:
        showAbout();
        break;
    case ID_TRAY_PREFERENCES:
        showPreferences();
        break;
    case ID_WEB_HOME:
        openWebPage("/");
        break;
    case ID_WEB_HELP:
        openWebPage("/docs/");
        break;
    case ID_WEB_FORUMS:
        openWebPage("/forum/");
        break;
    case ID_WEB_CHECKUPDATES:
        checkForUpdates(false);
        break;
    case ID_TRAY_EXIT:
        exit();
        break;
    case IDCANCEL:
        if (settings.autoHide)
            hideWindow();
        break;
    default:
        break;
    }
}

void CVerbinoxDlg::layoutChildren(int width, int height) {
    const int side = px(20), gap = px(2);
    ::MoveWindow(::GetDlgItem(hwnd, IDC_ACTIONICON), gap, gap, side, height - 2 * gap, TRUE);
    ::MoveWindow(::GetDlgItem(hwnd, IDC_MENUBUTTON), width - side - gap, gap, side, height - 2 * gap, TRUE);
    // A single-line edit draws its text at its top: as high as its text and centred, the text sits on
    // the strip's middle line, level with the icon.
    const int boxHeight = editHeight > 0 && editHeight < height ? editHeight : height - 2 * gap;
    const int top = (height - boxHeight) / 2;
    int left = side + 2 * gap;
    if (actionNameWidth > 0) {
        ::MoveWindow(actionName, left, top, actionNameWidth, boxHeight, TRUE);
        left += actionNameWidth + gap;
    }
    ::MoveWindow(commandLine.getHwnd(), left, top, width - left - (side + 2 * gap), boxHeight, TRUE);
}

void CVerbinoxDlg::applyBoxFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    LOGFONTW face{};
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        face = metrics.lfMessageFont;
    else
        ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(face), &face);
    face.lfHeight = -::MulDiv(settings.boxFontSize, static_cast<int>(dpi), 72);
    face.lfWidth = 0;
    vx::CFontHandle made(::CreateFontIndirectW(&face));
    if (!made)
        return;
    HFONT font = made.Get();
    HWND edit = commandLine.getHwnd();
    ::SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ::SendMessageW(actionName, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // The old font is freed only once nothing draws with it any more.
    boxFont = std::move(made);
    TEXTMETRICW text{};
    HDC dc = ::GetDC(edit);
    HGDIOBJ previous = ::SelectObject(dc, font);
    ::GetTextMetricsW(dc, &text);
    ::SelectObject(dc, previous);
    ::ReleaseDC(edit, dc);
    editHeight = text.tmHeight + px(2);
    RECT window{};
    ::GetWindowRect(hwnd, &window);
    ::SetWindowPos(hwnd, nullptr, 0, 0, window.right - window.left, stripHeight(),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client{};
    ::GetClientRect(hwnd, &client);
    layoutChildren(client.right, client.bottom);
    ::InvalidateRect(hwnd, nullptr, TRUE);
}

int CVerbinoxDlg::stripHeight() const {
    return editHeight + 2 * vx::metricForDpi(SM_CYFRAME, dpi) + px(8);
}

void CVerbinoxDlg::showActionName(const std::string& name) {
    if (!actionName)
        return;
    vx::setWindowText(actionName, name);
    RECT client{};
    ::GetClientRect(hwnd, &client);
    actionNameWidth = 0;
    if (!name.empty()) {
        const std::wstring wide = vx::widened(name);
        SIZE extent{};
        HDC dc = ::GetDC(actionName);
        HGDIOBJ previous =
            ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(actionName, WM_GETFONT, 0, 0)));
        ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &extent);
        ::SelectObject(dc, previous);
        ::ReleaseDC(actionName, dc);
        // A long name is cut with an ellipsis rather than squeezing out the box.
        actionNameWidth = (std::min)(static_cast<int>(extent.cx) + px(4), static_cast<int>(client.right / 3));
    }
    ::ShowWindow(actionName, actionNameWidth > 0 ? SW_SHOWNA : SW_HIDE);
    layoutChildren(client.right, client.bottom);
}

void CVerbinoxDlg::snapToWorkArea(RECT& rect) const {
    // The work area of the monitor being dragged over: SPI_GETWORKAREA knows the primary one only.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!::GetMonitorInfoW(::MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    const RECT& work = monitor.rcWork;
    const int snap = px(10);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (std::abs(rect.left - work.left) <= snap)
        rect.left = work.left;
    else if (std::abs(rect.right - work.right) <= snap)
        rect.left = work.right - width;
    if (std::abs(rect.top - work.top) <= snap)
        rect.top = work.top;
    else if (std::abs(rect.bottom - work.bottom) <= snap)
        rect.top = work.bottom - height;
    rect.right = rect.left + width;
    rect.bottom = rect.top + height;
}

LRESULT CVerbinoxDlg::hitTest(LPARAM lParam) const {
    POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    RECT rect{};
    ::GetWindowRect(hwnd, &rect);
    const int edge = px(4);
    if (at.x < rect.left + edge)
        return HTLEFT;
    if (at.x >= rect.right - edge)
        return HTRIGHT;
    // Dragged anywhere else, as if by a caption it does not have.
    return HTCAPTION;
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
