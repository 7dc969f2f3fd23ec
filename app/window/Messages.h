#pragma once
// The program's private window messages: the one list of them. Children send them to the search
// window; the last parameter is the sender's control identifier unless said otherwise.
#include <windows.h>

// The typed text has settled (the re-search delay elapsed, or at once while browsing folders).
constexpr UINT UM_TEXTCHANGED = WM_APP + 1;
// Enter, Escape and Tab that neither list took. Escape also for Backspace on an empty argument.
constexpr UINT UM_ENTER = WM_APP + 3;
constexpr UINT UM_ESCAPE = WM_APP + 4;
constexpr UINT UM_TAB = WM_APP + 5;
// From the results list: wParam is the chosen VElement*.
constexpr UINT UM_ELEMENTCHOSEN = WM_APP + 10;
// From the action pop-up: wParam VAction*, lParam VProperty*. The reply is 0 on success, 1 on failure.
constexpr UINT UM_ACTIONCHOSEN = WM_APP + 11;
// From the property pop-up: wParam VProperty*, lParam VAction*. The reply is as for UM_ACTIONCHOSEN.
constexpr UINT UM_PROPERTYCHOSEN = WM_APP + 12;
// Posted by the result listener: batches wait in the result queue.
constexpr UINT UM_DRAINRESULTS = WM_APP + 20;
// Posted by the update check's worker: lParam an update::FetchResult* that the handler owns from then on.
constexpr UINT UM_UPDATEFETCHED = WM_APP + 21;
// Posted by the icon cache's worker to the results list itself (no parameters): icons arrived.
constexpr UINT UM_ICONSFETCHED = WM_APP + 22;

// The notification-area icon's callback: wParam the icon's identifier, lParam the mouse message.
constexpr UINT UM_TRAYNOTIFY = WM_USER + 1;
