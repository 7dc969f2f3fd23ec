#include "FirefoxHistoryIndexer.h"

#include "util/CTextFile.h"

#include <algorithm>
#include <limits>

namespace {

// Where the first "http://" or "https://" at or after from begins, or npos.
std::size_t findAddress(const std::string& line, std::size_t from) {
    for (std::size_t at = line.find("http", from); at != std::string::npos; at = line.find("http", at + 1)) {
        if (line.compare(at + 4, 3, "://") == 0 || line.compare(at + 4, 4, "s://") == 0)
            return at;
    }
    return std::string::npos;
}

} // namespace

void VFirefoxHistoryIndexer::readPlaces(const std::string& file, std::vector<firefox::PlaceEntry>& out,
                                        const firefox::StopRequest& stop) const {
    firefox::readPlacesHistory(file, out, stop);
}

void VFirefoxHistoryIndexer::readOlderFile(const std::string& file, std::vector<firefox::PlaceEntry>& out,
                                           const firefox::StopRequest& stop) const {
    CTextFileRead reader(file);
    std::string line, value;
    bool continued = false; // value goes on from the line before
    while (reader.ReadLine(line)) {
        if (line.empty())
            continue;
        // A line may hold several cells: each address in it counts.
        for (std::size_t at = 0; at < line.size();) {
            const std::size_t start = continued ? at : findAddress(line, at);
            if (start == std::string::npos)
                break;
            const std::size_t close = line.find(')', start);
            if (close == std::string::npos) {
                value.append(line, start, std::string::npos);
                if (!value.empty() && value.back() == '\\')
                    value.pop_back(); // Mork's line continuation
                continued = true;
                break;
            }
            value.append(line, start, close - start);
            continued = false;
            at = close + 1;
            if (stop && stop())
                return;
            firefox::PlaceEntry entry;
            entry.url.swap(value);
            out.push_back(std::move(entry));
        }
    }
}

void VFirefoxHistoryIndexer::order(std::vector<firefox::PlaceEntry>& entries) const {
    const int64_t now = firefox::nowMicroseconds();
    std::stable_sort(
        entries.begin(), entries.end(), [now](const firefox::PlaceEntry& a, const firefox::PlaceEntry& b) {
            const int64_t rankA = firefox::historyRank(a, now), rankB = firefox::historyRank(b, now);
            if (rankA != rankB)
                return rankA > rankB;
            return a.lastVisit > b.lastVisit;
        });
}

uint32_t VFirefoxHistoryIndexer::rankOf(const firefox::PlaceEntry& entry, int64_t now) const {
    return static_cast<uint32_t>(
        std::clamp<int64_t>(firefox::historyRank(entry, now), 0, std::numeric_limits<uint32_t>::max()));
}
