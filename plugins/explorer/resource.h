#pragma once
// Resource identifiers of the Explorer library, shared by its code and res/explorer.rc.

// The plug-in's own icon, and the one drawn beside every favorite and history entry.
#define IDI_EXPLORER 102
#define IDI_EXPLORER_URL 103

#define IDC_SEARCH_FAVORITES 7101
#define IDC_SEARCH_HISTORY 7102
