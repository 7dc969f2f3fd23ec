#pragma once
// The browser's "History" database as a list of visited addresses, best first.
//
// The browser holds the database open and locked while it runs, and may keep recent writes in its
// "-wal" file: it is never opened in place. A private copy of both is read instead (vx::CFileSnapshot),
// so nothing is ever written beside the browser's files and its locks block nothing. A copy that is not
// a database, is damaged, or lacks the columns read here gives no entries at all: a half-read table
// would show a history with arbitrary holes.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace chromium {

// The rows read, packed: one buffer of text, no allocation per row (a history holds 100,000 of them).
class VisitedList {
public:
    struct Entry {
        std::uint32_t offset; // of the address; the title follows it
        std::uint32_t urlLength;
        std::uint32_t titleLength;
        std::int64_t visits;
        std::int64_t lastVisit; // microseconds since 1601-01-01 UTC, as the browser stores it
    };
    // UTF-8 texts; false when the list is full (4 GB of text).
    bool add(std::string_view url, std::string_view title, std::int64_t visits, std::int64_t lastVisit);
    void clear();
    std::size_t size() const { return entries.size(); }
    std::size_t textBytes() const { return text.size(); }
    const Entry& operator[](std::size_t i) const { return entries[i]; }
    std::string_view url(std::size_t i) const {
        return std::string_view(text.data() + entries[i].offset, entries[i].urlLength);
    }
    std::string_view title(std::size_t i) const {
        return std::string_view(text.data() + entries[i].offset + entries[i].urlLength,
                                entries[i].titleLength);
    }

private:
    std::string text;
    std::vector<Entry> entries;
};

// Every address the browser lists in "urls" that it does not hide (frames, redirects' inner steps).
// False, with nothing in out, when the database cannot be read whole, or when stop (asked while the
// copy is taken and between rows) answers true. A copy taken while the browser wrote is taken again.
// copied, when given, tells whether a copy was taken and opened: a false result with a copy in hand is
// the database's own damage, one without it may pass (a file the browser held, a full disk).
bool readHistory(const std::string& historyPath, VisitedList& out,
                 const std::function<bool()>& stop = nullptr, bool* copied = nullptr);

// The entries best first, each address once (its best entry), as indexes into the list. An entry's
// worth grows with its visit count and shrinks with the age of its last visit in steps (under four
// days, two weeks, a month, three months, older); ties go to the more recent, then to the address.
std::vector<std::uint32_t> rankHistory(const VisitedList& list, std::int64_t now);

// The present moment in the browser's time base.
std::int64_t browserTimeNow();

} // namespace chromium
