#pragma once
// Resource identifiers of the Webquery library, shared by its code and res/webquery.rc.

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDI_WEBQUERY 114

#define IDD_WEBQUERY_PREFS 6100
#define IDC_SEARCH_LIST 6101
#define IDC_ADD 6102
#define IDC_DELETE 6103
#define IDC_EDIT 6104

#define IDD_SEARCH_EDIT 6200
#define IDC_SEARCH_NAME 6201
#define IDC_KEYWORD 6202
#define IDC_BASE_URL 6203
#define IDC_URL_SUFFIX 6204
#define IDC_DESCRIPTION 6205
#define IDC_ICON_COMBO 6206
#define IDC_TEST 6207
#define IDC_PRESETS 6208
