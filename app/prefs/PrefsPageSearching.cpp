#include "PrefsPageSearching.h"

#include "window/SearchWindow.h"
#include "engine/VVerbinoxCore.h"
#include "res/prefs_resource.h"

namespace {

const int kMinCharsLow = 1, kMinCharsHigh = 10;
const int kDelayMax = 1000, kDelayTick = 50;
const int kPerSourceLow = 1, kPerSourceHigh = 10000;

// A whole number in the edit box within low..high; false for anything else (empty, too big, not digits).
bool readNumber(HWND page, int id, int low, int high, int& value) {
    BOOL isNumber = FALSE;
    const UINT n = ::GetDlgItemInt(page, id, &isNumber, FALSE);
    if (!isNumber || n < static_cast<UINT>(low) || n > static_cast<UINT>(high))
        return false;
    value = static_cast<int>(n);
    return true;
}

} // namespace

PrefsPageSearching::PrefsPageSearching(CVerbinoxDlg* window)
    : PrefsPage(window, IDD_PREFS_SEARCHING, "Searching"), domainOnly{IDC_PREFS_DOMAINONLY} {}

void PrefsPageSearching::onInitPage() {
    VVerbinoxCore* core = VVerbinoxCore::instance();
    ::CheckRadioButton(hwnd, IDC_PREFS_REALTIME, IDC_PREFS_OFFLINE,
                       core->getLiveSearching() ? IDC_PREFS_REALTIME : IDC_PREFS_OFFLINE);
    setChecked(IDC_PREFS_CASESENSITIVE, core->getSearchCaseSensitive());
    setChecked(IDC_PREFS_STRINGSTART, core->getSearchStringStart());
    setChecked(IDC_PREFS_TITLESONLY, core->getSearchUrlDescriptionsOnly());
    setChecked(IDC_PREFS_DOMAINONLY, core->getSearchUrlDomainOnly());
    setChecked(IDC_PREFS_MATCHAFTERBLANK, window->getMatchActionsAfterBlank());
    updateUrlOptions();
    ::SetDlgItemTextW(hwnd, IDC_PREFS_FOLDACCENTS, L"Ignore accents (cafe finds Caf\u00E9)");
    setChecked(IDC_PREFS_RANKRESULTS, core->getRankResults());
    setChecked(IDC_PREFS_FOLDACCENTS, core->getSearchFoldAccents());
    setChecked(IDC_PREFS_LEARNCHOICES, core->getLearnChoices());
    updateLearning();
    ::SetDlgItemInt(hwnd, IDC_PREFS_PERSOURCE, static_cast<UINT>(core->getResultsPerSource()), FALSE);

    ::SendDlgItemMessageA(hwnd, IDC_PREFS_MINCHARSSPIN, UDM_SETRANGE32, kMinCharsLow, kMinCharsHigh);
    ::SendDlgItemMessageA(hwnd, IDC_PREFS_MINCHARSSPIN, UDM_SETPOS32, 0, core->getSearchMinChars());
    ::SetDlgItemInt(hwnd, IDC_PREFS_MINCHARS, static_cast<UINT>(core->getSearchMinChars()), FALSE);

    HWND slider = ::GetDlgItem(hwnd, IDC_PREFS_DELAY);
    ::SendMessageA(slider, TBM_SETRANGEMIN, FALSE, 0);
    ::SendMessageA(slider, TBM_SETRANGEMAX, FALSE, kDelayMax);
    ::SendMessageA(slider, TBM_SETTICFREQ, kDelayTick, 0);
    ::SendMessageA(slider, TBM_SETPAGESIZE, 0, kDelayTick);
    ::SendMessageA(slider, TBM_SETPOS, TRUE, window->getCommandLine().getDelay());

    addToolTip(IDC_PREFS_OFFLINE, "Consumes more memory, but searches will be much faster.\nCan slow down "
                                  "application startup time as well.");
    addToolTip(IDC_PREFS_REALTIME, "Consumes very little memory, but searches can take longer\nespecially if "
                                   "you have many search folders.");
    addToolTip(IDC_PREFS_CASESENSITIVE,
               "Searching will be case sensitive.\n(e.g. typing \"yah\" will not match \"Yahoo\")");
    addToolTip(
        IDC_PREFS_STRINGSTART,
        "Searching will compare the beginning of strings.\n(e.g. typing \"aho\" will not match \"Yahoo\"");
    addToolTip(IDC_PREFS_TITLESONLY, "Search only titles of websites.\n(i.e. don't search urls)");
    addToolTip(IDC_PREFS_DOMAINONLY, "When searching urls, only search domain component.\n(e.g. \"news\" "
                                     "matches news.example.com but not example.com/news.html)");
    addToolTip(IDC_PREFS_MATCHAFTERBLANK, "For example, typing \"g sometext\" will go into Google mode.\n"
                                          "Otherwise you need to type shortcut exactly or hit Enter key");
    addToolTip(IDC_PREFS_RANKRESULTS, "Best matches first, across all sources.\nOtherwise results are listed "
                                      "in the order they are found.");
    addToolTip(IDC_PREFS_LEARNCHOICES, "What you open for a text comes first the next time you type it.");
    addToolTip(IDC_PREFS_FORGETCHOICES, "Forget everything learned from what you opened.");
    addToolTip(IDC_PREFS_PERSOURCE, "The most results one source lists, its best ones.");
    addToolTip(IDC_PREFS_MINCHARS, "Minimum number of characters needed to start a search.");
    addToolTip(IDC_PREFS_MINCHARSSPIN, "Minimum number of characters needed to start a search.");
    addToolTip(
        IDC_PREFS_DELAY,
        "Delay in typing before a new search is started.\nA small value may start searches before you want.");
}

void PrefsPageSearching::updateLearning() {
    // Nothing is learned while learning is off; what was learned before stays until then.
    ::EnableWindow(::GetDlgItem(hwnd, IDC_PREFS_FORGETCHOICES), isChecked(IDC_PREFS_LEARNCHOICES));
}

void PrefsPageSearching::forgetChoices() {
    if (messageBox(hwnd, "Forget every choice Verbinox has learned?", MB_YESNO) != IDYES)
        return;
    VVerbinoxCore::instance()->forgetChoices();
}

void PrefsPageSearching::updateUrlOptions() {
    // Titles only leaves no address to take the domain of.
    showDependentOption(domainOnly, !isChecked(IDC_PREFS_TITLESONLY));
}

int PrefsPageSearching::findInvalid(std::string& why) {
    int value = 0;
    if (!readNumber(hwnd, IDC_PREFS_MINCHARS, kMinCharsLow, kMinCharsHigh, value)) {
        why = "Min. search characters must be a whole number from " + std::to_string(kMinCharsLow) + " to " +
              std::to_string(kMinCharsHigh) + ".";
        return IDC_PREFS_MINCHARS;
    }
    if (!readNumber(hwnd, IDC_PREFS_PERSOURCE, kPerSourceLow, kPerSourceHigh, value)) {
        why = "Results per source must be a whole number from " + std::to_string(kPerSourceLow) + " to " +
              std::to_string(kPerSourceHigh) + ".";
        return IDC_PREFS_PERSOURCE;
    }
    return 0;
}

void PrefsPageSearching::apply() {
    VVerbinoxCore* core = VVerbinoxCore::instance();
    core->setSearchCaseSensitive(isChecked(IDC_PREFS_CASESENSITIVE));
    core->setSearchStringStart(isChecked(IDC_PREFS_STRINGSTART));
    core->setSearchUrlDescriptionsOnly(isChecked(IDC_PREFS_TITLESONLY));
    core->setSearchUrlDomainOnly(valueOf(domainOnly));
    window->setMatchActionsAfterBlank(isChecked(IDC_PREFS_MATCHAFTERBLANK));
    window->getCommandLine().setDelay(
        static_cast<int>(::SendDlgItemMessageA(hwnd, IDC_PREFS_DELAY, TBM_GETPOS, 0, 0)));
    core->setSearchMinChars(static_cast<int>(::GetDlgItemInt(hwnd, IDC_PREFS_MINCHARS, nullptr, FALSE)));
    core->setLiveSearching(isChecked(IDC_PREFS_REALTIME));
    core->setRankResults(isChecked(IDC_PREFS_RANKRESULTS));
    core->setSearchFoldAccents(isChecked(IDC_PREFS_FOLDACCENTS));
    core->setLearnChoices(isChecked(IDC_PREFS_LEARNCHOICES));
    core->setResultsPerSource(static_cast<int>(::GetDlgItemInt(hwnd, IDC_PREFS_PERSOURCE, nullptr, FALSE)));
}

INT_PTR PrefsPageSearching::handle(UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDC_PREFS_TITLESONLY:
        updateUrlOptions();
        return TRUE;
    case IDC_PREFS_LEARNCHOICES:
        updateLearning();
        return TRUE;
    case IDC_PREFS_FORGETCHOICES:
        // At once, not at OK: forgetting cannot be taken back by Cancel, and the box says so by asking.
        forgetChoices();
        return TRUE;
    }
    return FALSE;
}
