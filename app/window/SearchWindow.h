#pragma once
// The program's one window: a caption-less, top-most strip with the action icon, the search edit box
// and the menu button. It turns settled text into searches, keyword actions and folder browsing, shows
// what the core delivers (through the result queue, on this thread only), runs the chosen result's
// default action, owns the tray icon and the global hot-key, and saves everything at exit.
// Its code is split by concern: the private members below are grouped by the file that defines them.
#include "CommandLine.h"
#include "ResultQueue.h"
#include "TrayIconOwner.h"
#include "update/UpdateCheck.h"
#include "VElementListCtrl.h"
#include "WindowSettings.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

class PrefsSheet;
class VAction;
class VElement;
class VVerbinoxCore;

class CVerbinoxDlg : public CTrayIconOwner,
                     public VCommandLineOwner,
                     public VEditBoxResultsList,
                     public VFolderBrowseHost {
public:
    enum Mode { Idle = 0, Searching = 1, ActionMode = 2, Browse = 3 };
    // The private class of the search window, by which a second start finds it.
    static const wchar_t* const windowClass;

    CVerbinoxDlg();
    ~CVerbinoxDlg() override;

    // Registers the private window class; once per process, before the dialog is made.
    static bool registerWindowClass(HINSTANCE instance);
    // Runs the window modally until "Exit" or the session's end.
    INT_PTR run(HWND owner);
    // Creates the window without a loop of its own (tests drive it with messages).
    bool create(HWND owner);
    HWND getHwnd() const { return hwnd; }

    // Where the settings file is; by default "Verbinox.xml" in the program's folder.
    void setPreferencesPath(const std::string& path) { prefsPath = path; }
    Mode getMode() const { return mode; }
    // The search whose results the list takes: 0 once it was cancelled or the text changed.
    uint32_t searchIdWhileSearching() const { return mode == Searching ? searchId : 0; }
    VAction* getCurrentAction() const { return currentAction; }
    VCommandLine& getCommandLine() { return commandLine; }
    VElementListCtrl& getList() { return list; }
    const VWindowSettings& getSettings() const { return settings; }
    bool isFirstRun() const { return firstRun; }
    bool isHotKeyRegistered() const { return hotKeyRegistered; }
    // How long the box says what opens ("Opening name...") before the window hides; 0: it hides at once.
    void setOpeningSignTime(UINT milliseconds) { signTimeMs = milliseconds; }
    // The label beside the action icon that names the action of action mode; hidden otherwise.
    HWND getActionNameLabel() const { return actionName; }
    // The balloon under the box that tells of a run that failed, and what it says (empty while none is
    // shown).
    HWND getFailureTip() const { return failureTip; }
    const std::string& getFailureShown() const { return failureShown; }
    // The option of the Searching page: a keyword, a blank and more text is an action with that text.
    void setMatchActionsAfterBlank(bool value) { matchActionsAfterBlank = value; }
    bool getMatchActionsAfterBlank() const { return matchActionsAfterBlank; }
    // The General page's settings, which show or hide what they govern at once.
    void setAutoHide(bool value);
    void setAlwaysShowList(bool value);
    void setCheckForUpdates(bool value) { settings.checkForUpdates = value; }
    void setHideOnDeactivate(bool value) { settings.hideOnDeactivate = value; }
    void setBoxFontSize(int points);
    // Registers the combination in place of the current one. When it cannot be had, the current one is
    // registered again and kept: false.
    bool changeHotKey(UINT key, UINT modifiers);

    // The preferences sheet, modal (the menus' "&Preferences..."); tests create it without a loop of its
    // own. Either way the running search is stopped and the list emptied first.
    void showPreferences();
    PrefsSheet* createPreferences();
    // The open sheet, or null.
    PrefsSheet* getOpenPreferences() const;

    void showWindow();
    // Hiding stops the search: its results would have no window to show under.
    void hideWindow();
    // The hot-key, the tray's "Show" and a second start: the window, or the dialog that holds it.
    void reveal();
    // False for the menus' commands that must wait: while a dialog is modal to the window or an action
    // runs, and after the session ended. The web pages open at any time.
    bool isCommandAvailable(UINT id) const;
    // Cancels the search, empties the list (and the text, with clear); may hide the window.
    void resetSearch(bool clear) override;
    bool isSearchingMode() const override { return mode == Searching; }
    bool isActionMode() const override { return mode == ActionMode; }
    bool isBrowseMode() const override { return mode == Browse; }
    void textEdited() override;
    // The list browses a folder by putting its path into the edit box as if typed.
    void setEditText(const std::string& text) override;
    bool onListKey(UINT virtualKey) override;
    bool onListWheel(int delta) override { return list.wheel(delta); }

protected:
    // The window is not minimised into the tray but hidden: a double-click on the icon shows it.
    void onTrayLButtonDblClk(POINT) override;
    void onTrayRButtonDown(POINT at) override;
    void prepareTrayMenu(HMENU popup) override;

public:
    void loadListPrefs(const VPreferencesNode* commandLine) override { list.loadPrefs(commandLine); }
    void saveListPrefs(VPreferencesNode* commandLine) const override { list.savePrefs(commandLine); }
    // Ends the program: the window is destroyed after the shutdown sequence.
    void exit();
    // Writes every setting in effect to the file now (the preferences sheet's OK, a plug-in's own
    // dialog), so that a crash or a forced end keeps what the user chose. A failure is told once, in
    // the tray balloon, until a save succeeds again; the next change and the exit try again. False when
    // nothing was written.
    bool saveSettings() { return savePreferences(false); }

    // Where the update check asks (by default the maker's address) and how long it waits for each step.
    void setUpdateServer(const std::string& makerUrl, DWORD timeoutMs) {
        updateServer = makerUrl;
        updateTimeout = timeoutMs;
    }
    bool isCheckingForUpdates() const { return updates.isRunning(); }

    // The program's plain boxes ("Couldn't register global hot-key", a save at exit that failed); tests
    // replace them.
    using MessageHook = void (*)(const char* text);
    static MessageHook setMessageHook(MessageHook hook);

private:
    // SearchWindow.cpp: the window, start-up, the settings file, activation and the shutdown.
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    void onInitDialog();
    void loadPreferences();
    bool savePreferences(bool atExit);
    void registerHotKey();
    void shutdown();
    // Another thread's window took the activation: with auto-hide, another program's hides the window.
    void onOtherThreadActivated(DWORD thread);
    static bool isOwnThread(DWORD thread);
    // The dialog that is modal to this window (the preferences sheet, a box, the About box), or null.
    HWND modalPopup() const;

    // SearchWindowModes.cpp: what the text, the keys and the choices make of the window.
    void onTextChanged();
    void onEnter();
    void onTab();
    void onEscape();
    // The action a keyword names exactly, by shortcut first, then by keyword; or null.
    VAction* findAction(const std::string& keyword) const;
    // Enter on typed text that no row of the list answers: its action, the shell, or the first result
    // of its search.
    void enterTypedText(const std::string& text, bool searchRuns);
    // Cancels the search on show; what it still delivers is dropped.
    void cancelSearch();
    void awaitFirstResult();
    // Looks, until the search on show ends, whether every source finished without a result; the list
    // then says that nothing was found.
    void watchSearchEnd(const std::string& text);
    void onSearchEndTimer();
    void stopAwaiting();
    void onAwaitTimer();
    void onElementChosen(VElement* element);
    LRESULT onActionChosen(VAction* action, VProperty* property);
    // After a run that succeeded: the core learns that element was chosen for text, as typed. A result
    // is read only while the list still holds it: the run may have dispatched messages that cleared it.
    void rememberChoice(const std::string& text, const VElement* element);
    // A run that failed: the beep, and a balloon under the box that says what could not be done (action
    // null: the shell or the default action could not open subject). The window, its text and its rows
    // stay, so the user can correct the text or pick another action.
    void tellRunFailed(const VAction* action, const std::string& subject);
    void hideFailure();
    // How an action's run, or the shell's, ended. Gone: the program ended meanwhile, nothing of the
    // window may be used any more.
    enum class Run { Done, Failed, Gone };
    // Runs an action or the shell for the user, with keys and choices held back while it dispatches
    // messages. A session that ends meanwhile ends the program only after the run.
    template <typename Work> Run runForUser(Work work);
    void drainResults();
    void enterActionMode(VAction* action, const std::string& argument);
    void leaveActionMode();
    // Empties the text and the list and hides the window (with auto-hide): after a completed action.
    void finish();
    // finish after a run that handed name to another program (action: what ran it, or null for the
    // shell): the box says "Opening name..." for a moment before the window hides, and takes no keys
    // meanwhile.
    void finishOpening(const VAction* action, const std::string& name);
    // Ends that moment: the box is emptied and editable again; hide: and the window goes.
    void endSign(bool hide);

    // SearchWindowLayout.cpp: sizes at the DPI, the look and the children's places.
    int px(int n) const;
    // The height of the strip: the edit box's and the frame's, at the window's DPI.
    int stripHeight() const;
    // Fonts, sizes and the list are made again for newDpi, and the window takes the rectangle Windows
    // suggests for it on that monitor.
    void onDpiChanged(UINT newDpi, const RECT& suggested);
    // The strip, the lists, the rows' text and the frame take the colours of the theme in use.
    void applyTheme();
    void layoutChildren(int width, int height);
    // The box's text in the system's message face at the size the settings ask for and the window's
    // DPI; the strip grows or shrinks to fit it.
    void applyBoxFont();
    // Shows the name beside the icon (none: hides the label) and makes room for it.
    void showActionName(const std::string& name);
    void snapToWorkArea(RECT& rect) const;
    LRESULT hitTest(LPARAM lParam) const;
    void setActionIcon(HICON icon);
    // The program's icon beside the box, in the size of the window's DPI.
    HICON idleIcon() const { return stripIcon ? stripIcon : smallProgramIcon; }

    // SearchWindowCommands.cpp: the menus' commands, the web pages, About and the update check.
    void onCommand(UINT id);
    void showMenu(UINT menuId, POINT at);
    void updateCache();
    void openWebPage(const char* path);
    void showAbout();
    // The maker's address, or the one a test set: the version file and the home page lie there.
    std::string updateAddress() const;
    void checkForUpdates(bool silent);
    void onUpdateFetched(update::FetchResult* fetched);

    // prefs/SearchWindowPrefs.cpp: the preferences sheet's side.
    // Before the sheet opens: no worker may deliver, and nothing listed may point at an action that a
    // plug-in's own dialog could destroy meanwhile.
    void stopForPreferences();
    void closePreferences();

    HWND hwnd = nullptr;
    bool modal = false;
    VElementListCtrl list;
    VCommandLine commandLine;
    VVerbinoxCore* core = nullptr;
    std::unique_ptr<VResultQueue> queue;
    std::string prefsPath;
    VWindowSettings settings;
    Mode mode = Idle;
    uint32_t searchId = 0;
    // Enter's search: its first result is opened when it arrives, within kAwaitLimitMs of the key.
    uint32_t awaitedSearchId = 0;
    DWORD awaitStarted = 0;
    uint32_t watchedSearchId = 0;
    std::string watchedText;
    // Set while an action runs: the shell and a confirmation box pump messages, and nothing that
    // arrives meanwhile may run a second action or free the result being opened.
    bool executing = false;
    // The box says what opens, until the window hides.
    bool signing = false;
    UINT signTimeMs = 300;
    // The session ended while an action ran: the program ends once the run is over.
    bool endAfterRun = false;
    VAction* currentAction = nullptr;
    // The text that led to action mode: what the action's run is remembered for.
    std::string actionModeText;
    bool firstRun = false;
    // False while an unreadable settings file stays in its place: it is never saved over.
    bool prefsWritable = true;
    // What start-up has to tell about the settings file, shown once the tray icon is there.
    std::string startNotice;
    // A failed save was told; cleared by the next save that succeeds.
    bool saveFailureTold = false;
    // Windows is logging off or shutting down: no box may hold it up.
    bool sessionEnding = false;
    bool matchActionsAfterBlank = false;
    bool hotKeyRegistered = false;
    bool shutDown = false;
    // Hidden by the program: nothing but showWindow may show it again.
    bool keepHidden = false;
    HICON programIcon = nullptr;
    HICON smallProgramIcon = nullptr;
    // The program's small icon loaded for a DPI other than the template's; null at that one.
    HICON stripIcon = nullptr;
    int editHeight = 0;
    // The box's font; the label naming the action in action mode, and its width (0: hidden).
    vx::CFontHandle boxFont;
    HWND actionName = nullptr;
    int actionNameWidth = 0;
    HWND failureTip = nullptr;
    std::string failureShown;
    // The DPI sizes are made for now, and the one the dialog template was laid out in at creation.
    UINT dpi = 96;
    UINT templateDpi = 96;
    std::unique_ptr<PrefsSheet> prefsSheet;
    update::CUpdateChecker updates;
    std::string updateServer;
    DWORD updateTimeout = update::kDefaultTimeoutMs;
};
