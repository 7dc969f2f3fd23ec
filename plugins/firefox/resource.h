#pragma once
// Resource identifiers of the Firefox library, shared by its code and res/firefox.rc.

// The plug-in's own icon, and the one drawn beside every bookmark and visited address it finds.
#define IDI_FIREFOX 102
#define IDI_FIREFOX_RESULT 103

#define IDC_SEARCH_BOOKMARKS 6101
#define IDC_SEARCH_HISTORY 6102
