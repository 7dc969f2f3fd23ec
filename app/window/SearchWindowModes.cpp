// The search window's modes and what moves it between them: settled text that starts a search, names a
// keyword's action or browses a folder; Enter, Tab and Escape; Enter's wait for the first result; the
// watch that says when a search found nothing; running what was chosen, the balloon that tells of a
// run that failed and the "Opening ..." sign after one that succeeded; the choices remembered; and the
// results drained from the queue into the list.
#include "SearchWindow.h"

#include "FolderBrowser.h"
#include "SearchWindowInternal.h"
#include "engine/VIndexer.h"
#include "engine/VPlugin.h"
#include "engine/VVerbinoxCore.h"
#include "model/VAction.h"
#include "model/VBuiltinActions.h"
#include "model/VFileResult.h"
#include "model/VResult.h"
#include "util/Shell.h"
#include "util/SystemText.h"
#include "util/VxText.h"

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace searchwindow;

namespace {

// Enter on a text whose results have not come yet waits this long for the first of them, and looks
// whether any can still come at every tick (kAwaitTimer).
const UINT kAwaitTickMs = 50;
const DWORD kAwaitLimitMs = 3000;

// A failed run is told in a balloon under the box until the next keystroke, or this long.
const UINT kFailureShownMs = 6000;

// While a search runs, whether every source has finished is looked at this often: one that found
// nothing anywhere says so in the list.
const UINT kSearchEndTickMs = 50;

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

} // namespace

void CVerbinoxDlg::setEditText(const std::string& text) {
    // Not programmatic: the change is what makes the window list the folder.
    vx::setWindowText(commandLine.getHwnd(), text);
    const int end = ::GetWindowTextLengthW(commandLine.getHwnd());
    ::SendMessageW(commandLine.getHwnd(), EM_SETSEL, end, end);
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
