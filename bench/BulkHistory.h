#pragma once
// Filler for a browser history of realistic size: articles of 5,000 sites, visited over 400 days.
#include "support/ChromiumHistoryDb.h"

#include <string>

// Adds the articles numbered from..to-1; false at the first that could not be written.
inline bool addArticles(ChromiumHistoryDb& db, int from, int to) {
    for (int i = from; i < to; ++i) {
        if (!db.add("https://site" + std::to_string(i % 5000) + ".example.com/articles/" + std::to_string(i) +
                        "/some-readable-slug?ref=feed",
                    "Article number " + std::to_string(i) + " - Example site " + std::to_string(i % 5000),
                    1 + i % 37, ChromiumHistoryDb::daysAgo((i % 400) + 0.5)))
            return false;
    }
    return true;
}
