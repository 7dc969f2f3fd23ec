#include "PrefsPageSearching.h"

#include "SearchWindow.h"
#include "engine/VVerbinoxCore.h"
#include "res/prefs_resource.h"

namespace {

const int kMinCharsLow = 1, kMinCharsHigh = 10;
const int kDelayMax = 1000, kDelayTick = 50;

} // namespace

PrefsPageSearching::PrefsPageSearching(CVerbinoxDlg* window)
    : PrefsPage(window, IDD_PREFS_SEARCHING, "Searching") {}

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
    addToolTip(IDC_PREFS_MINCHARS, "Minimum number of characters needed to start a search.");
    addToolTip(IDC_PREFS_MINCHARSSPIN, "Minimum number of characters needed to start a search.");
    addToolTip(
        IDC_PREFS_DELAY,
        "Delay in typing before a new search is started.\nA small value may start searches before you want.");
}

void PrefsPageSearching::updateUrlOptions() {
    // Titles only leaves no address to take the domain of.
    ::EnableWindow(::GetDlgItem(hwnd, IDC_PREFS_DOMAINONLY), !isChecked(IDC_PREFS_TITLESONLY));
}

int PrefsPageSearching::findInvalid(std::string& why) {
    BOOL isNumber = FALSE;
    const UINT value = ::GetDlgItemInt(hwnd, IDC_PREFS_MINCHARS, &isNumber, FALSE);
    if (isNumber && value >= static_cast<UINT>(kMinCharsLow) && value <= static_cast<UINT>(kMinCharsHigh))
        return 0;
    why = "Min. search characters must be a whole number from " + std::to_string(kMinCharsLow) + " to " +
          std::to_string(kMinCharsHigh) + ".";
    return IDC_PREFS_MINCHARS;
}

void PrefsPageSearching::apply() {
    VVerbinoxCore* core = VVerbinoxCore::instance();
    core->setSearchCaseSensitive(isChecked(IDC_PREFS_CASESENSITIVE));
    core->setSearchStringStart(isChecked(IDC_PREFS_STRINGSTART));
    core->setSearchUrlDescriptionsOnly(isChecked(IDC_PREFS_TITLESONLY));
    core->setSearchUrlDomainOnly(isChecked(IDC_PREFS_DOMAINONLY));
    window->setMatchActionsAfterBlank(isChecked(IDC_PREFS_MATCHAFTERBLANK));
    window->getCommandLine().setDelay(
        static_cast<int>(::SendDlgItemMessageA(hwnd, IDC_PREFS_DELAY, TBM_GETPOS, 0, 0)));
    core->setSearchMinChars(static_cast<int>(::GetDlgItemInt(hwnd, IDC_PREFS_MINCHARS, nullptr, FALSE)));
    core->setLiveSearching(isChecked(IDC_PREFS_REALTIME));
}

INT_PTR PrefsPageSearching::handle(UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDC_PREFS_TITLESONLY && HIWORD(wParam) == BN_CLICKED) {
        updateUrlOptions();
        return TRUE;
    }
    return FALSE;
}
