#include "ChromiumHistory.h"

#include "util/FileSnapshot.h"
#include "util/Recency.h"
#include "util/SqliteReader.h"
#include "util/VxText.h"

#include <sqlite3.h>
#include <windows.h>

#include <algorithm>
#include <numeric>
#include <limits>

namespace chromium {

namespace {

// Under four days, two weeks, a month, three months.
constexpr vx::RecencyBounds kRecency = {
    {4 * vx::kMicrosecondsPerDay, 14 * vx::kMicrosecondsPerDay, 31 * vx::kMicrosecondsPerDay,
     90 * vx::kMicrosecondsPerDay}};

} // namespace

std::int64_t browserTimeNow() {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks;
    ticks.LowPart = now.dwLowDateTime;
    ticks.HighPart = now.dwHighDateTime;
    return static_cast<std::int64_t>(ticks.QuadPart / 10); // 100 ns -> 1 us, both from 1601
}

bool VisitedList::add(std::string_view url, std::string_view title, std::int64_t visits,
                      std::int64_t lastVisit) {
    const std::size_t at = text.size();
    if (at + url.size() + title.size() > std::numeric_limits<std::uint32_t>::max())
        return false;
    entries.push_back(Entry{static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(url.size()),
                            static_cast<std::uint32_t>(title.size()), visits, lastVisit});
    text.append(url).append(title);
    return true;
}

void VisitedList::clear() {
    std::string().swap(text);
    std::vector<Entry>().swap(entries);
}

bool readHistory(const std::string& historyPath, VisitedList& out, const std::function<bool()>& stop,
                 bool* copied) {
    out.clear();
    if (copied)
        *copied = false;
    vx::CFileSnapshot snapshot;
    vx::CSqliteDb db;
    if (!vx::openSnapshot(historyPath, snapshot, db, stop))
        return false;
    if (copied)
        *copied = true;
    vx::CSqliteStmt rows;
    // Fails on a file that is no database (or an encrypted one) and on a schema without these columns.
    if (!rows.prepare(db.get(), "SELECT url, title, visit_count, last_visit_time FROM urls WHERE hidden = 0"))
        return false;
    const auto column = [&](int col) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(rows.get(), col));
        return text ? std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(rows.get(), col)))
                    : std::string_view();
    };
    int step;
    while ((step = sqlite3_step(rows.get())) == SQLITE_ROW) {
        if (stop && stop()) {
            out.clear();
            return false;
        }
        const std::string_view url = column(0);
        if (url.empty())
            continue;
        if (!out.add(url, column(1), rows.int64(2), rows.int64(3)))
            break;
    }
    // The loop also ends on an error (a damaged page halfway through): then nothing counts.
    if (step != SQLITE_DONE && step != SQLITE_ROW) {
        out.clear();
        return false;
    }
    return true;
}

std::vector<std::uint32_t> rankHistory(const VisitedList& list, std::int64_t now) {
    std::vector<double> worth(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        const VisitedList::Entry& e = list[i];
        worth[i] =
            static_cast<double>(std::max<std::int64_t>(e.visits, 1)) * vx::recencyWeight(now - e.lastVisit, kRecency);
    }
    const auto better = [&](std::uint32_t a, std::uint32_t b) {
        if (worth[a] != worth[b])
            return worth[a] > worth[b];
        if (list[a].lastVisit != list[b].lastVisit)
            return list[a].lastVisit > list[b].lastVisit;
        return list.url(a) < list.url(b);
    };
    std::vector<std::uint32_t> order(list.size());
    std::iota(order.begin(), order.end(), 0u);
    // Each address once: sorted by address, best first within one, the first of each run stays.
    // Sorting beats a hash set here, which would allocate once per address.
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const int byUrl = list.url(a).compare(list.url(b));
        return byUrl != 0 ? byUrl < 0 : better(a, b);
    });
    std::size_t kept = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (kept == 0 || list.url(order[i]) != list.url(order[kept - 1]))
            order[kept++] = order[i];
    }
    order.resize(kept);
    std::sort(order.begin(), order.end(), better);
    return order;
}

} // namespace chromium
