#pragma once
// Resource identifiers of the Chromium library, shared by its code and res/chromium.rc.

// The plug-in's own icon, and the one drawn beside every bookmark and visited address it finds.
#define IDI_CHROMIUM 102
#define IDI_CHROMIUM_RESULT 103

// One row per browser, in the order of chromium::browserKinds(): its name, then its two switches.
#define IDC_BROWSER_NAME_FIRST 6310
#define IDC_SEARCH_BOOKMARKS_FIRST 6320
#define IDC_SEARCH_HISTORY_FIRST 6330
