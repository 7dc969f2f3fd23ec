#pragma once
// Resource identifiers of the Diskdex library, shared by its code and res/diskdex.rc.

#define IDI_DISKDEX 5000
#define IDI_APPEND 5003

#define IDD_DISKDEX_PREFS 5100
// Placeholders that the editable list boxes replace; their text becomes the list's caption.
#define IDC_FOLDER_LIST 5101
#define IDC_INCLUDE_LIST 5102
#define IDC_EXCLUDE_LIST 5103
#define IDC_RECURSE 5104
#define IDC_MATCH_DIRECTORIES 5105
#define IDC_PRESETS 5106
