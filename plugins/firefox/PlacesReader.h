#pragma once
// Bookmarks and history out of a Firefox profile's "places.sqlite".
//
// The browser keeps the database open and locked while it runs, with its newest changes in a
// write-ahead log ("places.sqlite-wal") beside it. Both are copied to a private folder first and only
// the copy is opened, so a running browser never blocks a read, a half-written page is never seen as
// the browser's own state, and nothing is ever written beside the originals (SQLite itself would
// create "-shm" and journal files there).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace firefox {

// One bookmark or visited page, its texts in the active code page.
struct PlaceEntry {
    std::string url;
    std::string title;
    std::string folder; // bookmarks: the folders above it, "Bookmarks Menu/Work"; empty otherwise
    int64_t visitCount = 0;
    int64_t lastVisit = 0; // microseconds since 1970, 0 when never visited
    int64_t frecency = -1; // the browser's own ranking, -1 when the database has none
};

// Polled between rows: true stops the read (its result then counts as unreadable).
using StopRequest = std::function<bool()>;

// Every bookmark outside the tags folder, in folder order. False, with nothing added, when the
// database cannot be read whole: corrupt, cut short, encrypted, not a places database, or stopped.
bool readPlacesBookmarks(const std::string& placesFile, std::vector<PlaceEntry>& out,
                         const StopRequest& stop = StopRequest());
// Every visible page visited at least once, as the database lists them. False as above.
bool readPlacesHistory(const std::string& placesFile, std::vector<PlaceEntry>& out,
                       const StopRequest& stop = StopRequest());

// How high a visited page ranks: the browser's frecency when the database holds one, otherwise the
// visit count weighted by how recent the last visit is (more recent counts more, in steps).
int64_t historyRank(const PlaceEntry& entry, int64_t nowMicroseconds);
// Now, in the database's unit.
int64_t nowMicroseconds();

} // namespace firefox
