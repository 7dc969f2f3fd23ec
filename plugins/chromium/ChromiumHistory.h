#pragma once
// The browser's "History" database as a list of visited addresses, best first.
//
// The browser holds the database open and locked while it runs, and may keep recent writes in its
// "-wal" file: it is never opened in place. A private copy of both is read instead (vx::CFileSnapshot),
// so nothing is ever written beside the browser's files and its locks block nothing. A copy that is not
// a database, is damaged, or lacks the columns read here gives no entries at all: a half-read table
// would show a history with arbitrary holes.
#include <cstdint>
#include <string>
#include <vector>

namespace chromium {

struct Visited {
    std::string url;   // UTF-8
    std::string title; // UTF-8
    std::int64_t visits = 0;
    std::int64_t lastVisit = 0; // microseconds since 1601-01-01 UTC, as the browser stores it
};

// Every address the browser lists in "urls" that it does not hide (frames, redirects' inner steps).
// False, with nothing in out, when the database cannot be read whole.
bool readHistory(const std::string& historyPath, std::vector<Visited>& out);

// Orders the entries best first and keeps each address once (its best entry). An entry's worth grows
// with its visit count and shrinks with the age of its last visit in steps (under four days, two weeks,
// a month, three months, older); ties go to the more recent, then to the address.
void rankHistory(std::vector<Visited>& entries, std::int64_t now);

// The present moment in the browser's time base.
std::int64_t browserTimeNow();

} // namespace chromium
