#pragma once
// A browser "History" database made through SQLite itself, with the tables the browser creates (meta,
// urls, visits and their indexes), for the tests and the benchmark. Header-only: links sqlite3.
#include <sqlite3.h>
#include <windows.h>

#include <cstdint>
#include <string>

class ChromiumHistoryDb {
public:
    // Creates the file with the browser's schema; ok() tells whether that worked. With wal, the journal
    // is a write-ahead log, as in a browser that runs.
    explicit ChromiumHistoryDb(const std::string& path, bool wal = false) {
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
            SQLITE_OK)
            return;
        good = exec(wal ? "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;" : "") && exec(kSchema);
    }
    ~ChromiumHistoryDb() { sqlite3_close(db); }
    ChromiumHistoryDb(const ChromiumHistoryDb&) = delete;
    ChromiumHistoryDb& operator=(const ChromiumHistoryDb&) = delete;

    bool ok() const { return good; }
    sqlite3* get() const { return db; }
    bool exec(const char* sql) { return db && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
    // One address, with a row in visits for its last visit.
    bool add(const std::string& url, const std::string& title, int visits, std::int64_t lastVisit,
             bool hidden = false) {
        sqlite3_stmt* row = nullptr;
        bool done =
            sqlite3_prepare_v2(db,
                               "INSERT INTO urls (url, title, visit_count, typed_count, last_visit_time, "
                               "hidden) VALUES (?, ?, ?, 0, ?, ?)",
                               -1, &row, nullptr) == SQLITE_OK &&
            sqlite3_bind_text(row, 1, url.c_str(), -1, SQLITE_TRANSIENT) == SQLITE_OK &&
            sqlite3_bind_text(row, 2, title.c_str(), -1, SQLITE_TRANSIENT) == SQLITE_OK &&
            sqlite3_bind_int(row, 3, visits) == SQLITE_OK &&
            sqlite3_bind_int64(row, 4, lastVisit) == SQLITE_OK &&
            sqlite3_bind_int(row, 5, hidden ? 1 : 0) == SQLITE_OK && sqlite3_step(row) == SQLITE_DONE;
        sqlite3_finalize(row);
        const std::string visit = "INSERT INTO visits (url, visit_time, transition) VALUES (" +
                                  std::to_string(sqlite3_last_insert_rowid(db)) + ", " +
                                  std::to_string(lastVisit) + ", 805306368)";
        return done && exec(visit.c_str());
    }

    // Microseconds since 1601-01-01, the browser's time base, for days before now.
    static std::int64_t daysAgo(double days) {
        FILETIME now;
        ::GetSystemTimeAsFileTime(&now);
        const std::int64_t ticks = (static_cast<std::int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
        return ticks / 10 - static_cast<std::int64_t>(days * 86400.0 * 1e6);
    }

private:
    static constexpr const char* kSchema =
        "CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);"
        "INSERT INTO meta VALUES('mmap_status','-1');"
        "INSERT INTO meta VALUES('version','67');"
        "INSERT INTO meta VALUES('last_compatible_version','16');"
        "CREATE TABLE urls(id INTEGER PRIMARY KEY AUTOINCREMENT,url LONGVARCHAR,title LONGVARCHAR,"
        "visit_count INTEGER DEFAULT 0 NOT NULL,typed_count INTEGER DEFAULT 0 NOT NULL,"
        "last_visit_time INTEGER NOT NULL,hidden INTEGER DEFAULT 0 NOT NULL);"
        "CREATE INDEX urls_url_index ON urls (url);"
        "CREATE TABLE visits(id INTEGER PRIMARY KEY AUTOINCREMENT,url INTEGER NOT NULL,visit_time INTEGER "
        "NOT NULL,"
        "from_visit INTEGER,external_referrer_url TEXT,transition INTEGER DEFAULT 0 NOT NULL,segment_id "
        "INTEGER,"
        "visit_duration INTEGER DEFAULT 0 NOT NULL,incremented_omnibox_typed_score BOOLEAN DEFAULT FALSE NOT "
        "NULL,"
        "opener_visit INTEGER,originator_cache_guid TEXT,originator_visit_id INTEGER,originator_from_visit "
        "INTEGER,"
        "originator_opener_visit INTEGER,is_known_to_sync BOOLEAN DEFAULT FALSE NOT NULL,"
        "consider_for_ntp_most_visited BOOLEAN DEFAULT FALSE NOT NULL,visited_link_id INTEGER DEFAULT 0 NOT "
        "NULL,"
        "app_id TEXT);"
        "CREATE INDEX visits_url_index ON visits (url);"
        "CREATE INDEX visits_from_index ON visits (from_visit);"
        "CREATE INDEX visits_time_index ON visits (visit_time);";

    sqlite3* db = nullptr;
    bool good = false;
};
