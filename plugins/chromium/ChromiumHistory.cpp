#include "ChromiumHistory.h"

#include "util/FileSnapshot.h"
#include "util/SqliteReader.h"
#include "util/VxText.h"

#include <sqlite3.h>
#include <windows.h>

#include <algorithm>
#include <numeric>
#include <string_view>
#include <unordered_set>

namespace chromium {

namespace {

constexpr std::int64_t kDay = 24LL * 60 * 60 * 1000 * 1000;

double recencyWeight(std::int64_t age) {
    if (age < 4 * kDay)
        return 100;
    if (age < 14 * kDay)
        return 70;
    if (age < 31 * kDay)
        return 50;
    if (age < 90 * kDay)
        return 30;
    return 10;
}

} // namespace

std::int64_t browserTimeNow() {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks;
    ticks.LowPart = now.dwLowDateTime;
    ticks.HighPart = now.dwHighDateTime;
    return static_cast<std::int64_t>(ticks.QuadPart / 10); // 100 ns -> 1 us, both from 1601
}

bool readHistory(const std::string& historyPath, std::vector<Visited>& out) {
    out.clear();
    vx::CFileSnapshot snapshot;
    if (!snapshot.take(historyPath))
        return false;
    vx::CSqliteDb db;
    // Read-write, on the copy: SQLite may replay the copied log into it. SQLite takes UTF-8 paths.
    if (!db.openCopy(vx::narrowed(vx::widened(snapshot.path()), CP_UTF8)))
        return false;
    vx::CSqliteStmt rows;
    // Fails on a file that is no database (or an encrypted one) and on a schema without these columns.
    if (!rows.prepare(db.get(), "SELECT url, title, visit_count, last_visit_time FROM urls WHERE hidden = 0"))
        return false;
    int step;
    while ((step = sqlite3_step(rows.get())) == SQLITE_ROW) {
        Visited entry;
        entry.url = rows.text(0);
        if (entry.url.empty())
            continue;
        entry.title = rows.text(1);
        entry.visits = rows.int64(2);
        entry.lastVisit = rows.int64(3);
        out.push_back(std::move(entry));
    }
    // The loop also ends on an error (a damaged page halfway through): then nothing counts.
    if (step != SQLITE_DONE) {
        std::vector<Visited>().swap(out);
        return false;
    }
    return true;
}

void rankHistory(std::vector<Visited>& entries, std::int64_t now) {
    std::vector<double> worth(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Visited& e = entries[i];
        worth[i] = static_cast<double>(std::max<std::int64_t>(e.visits, 1)) * recencyWeight(now - e.lastVisit);
    }
    std::vector<std::size_t> order(entries.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (worth[a] != worth[b])
            return worth[a] > worth[b];
        if (entries[a].lastVisit != entries[b].lastVisit)
            return entries[a].lastVisit > entries[b].lastVisit;
        return entries[a].url < entries[b].url;
    });
    std::vector<Visited> ranked;
    ranked.reserve(entries.size()); // no reallocation: the views below stay valid
    std::unordered_set<std::string_view> seen;
    seen.reserve(entries.size());
    for (std::size_t i : order) {
        if (seen.count(entries[i].url))
            continue;
        ranked.push_back(std::move(entries[i]));
        seen.insert(ranked.back().url);
    }
    entries.swap(ranked);
}

} // namespace chromium
