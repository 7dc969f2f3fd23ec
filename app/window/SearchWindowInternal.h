#pragma once
// What the search window's source files share and nothing else needs: the ids of its timers (one list,
// so no two files pick the same), the box's cue and the maker's address.
#include <windows.h>

namespace searchwindow {

// After the first message loop started: lays out the list and hides the window under auto-hide.
const UINT_PTR kFirstLoopTimer = 1;
// Enter on a text whose results have not come yet: whether any can still come, at every tick.
const UINT_PTR kAwaitTimer = 2;
// The balloon that tells of a failed run goes.
const UINT_PTR kFailureTimer = 3;
// While a search runs: whether every source has finished without a result.
const UINT_PTR kSearchEndTimer = 4;
// The "Opening ..." sign ends and the window hides.
const UINT_PTR kSignTimer = 5;

// What the empty box says outside action mode.
const char* const kSearchCue = "Type to search";

// The home page, help, forums and the published version file live under it; the build sets it.
const char* const kMakerUrl = VX_MAKER_URL;

} // namespace searchwindow
