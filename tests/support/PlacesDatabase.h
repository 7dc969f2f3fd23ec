#pragma once
// A Firefox "places.sqlite" made through SQLite itself, with the tables as the browser defines them
// (its schema of recent years), its built-in folders, and helpers that add pages, visits and
// bookmarks the way the browser stores them. Only for test programs that link sqlite3.
#include <sqlite3.h>

#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <string>

class PlacesDatabase {
public:
    // The built-in folders' row identifiers, as a new profile has them.
    enum Folder : int64_t { Root = 1, Menu = 2, Toolbar = 3, Tags = 4, Unfiled = 5, Mobile = 6 };

    // Creates the database at path (in the active code page), in the browser's write-ahead mode.
    // withFrecency false leaves the ranking columns out, as a stripped-down schema would.
    explicit PlacesDatabase(const std::string& path, bool withFrecency = true) {
        open(path);
        exec("PRAGMA page_size = 32768");
        exec("PRAGMA journal_mode = WAL");
        exec("CREATE TABLE moz_origins (id INTEGER PRIMARY KEY, prefix TEXT NOT NULL, host TEXT NOT NULL, "
             "frecency INTEGER NOT NULL, recalc_frecency INTEGER NOT NULL DEFAULT 0, alt_frecency INTEGER, "
             "recalc_alt_frecency INTEGER NOT NULL DEFAULT 0, UNIQUE (prefix, host))");
        exec(std::string(
                 "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, "
                 "rev_host LONGVARCHAR, visit_count INTEGER DEFAULT 0, hidden INTEGER DEFAULT 0 NOT NULL, "
                 "typed INTEGER DEFAULT 0 NOT NULL, ") +
             (withFrecency ? "frecency INTEGER DEFAULT -1 NOT NULL, " : "") +
             "last_visit_date INTEGER, guid TEXT, foreign_count INTEGER DEFAULT 0 NOT NULL, "
             "url_hash INTEGER DEFAULT 0 NOT NULL, description TEXT, preview_image_url TEXT, site_name TEXT, "
             "origin_id INTEGER REFERENCES moz_origins(id), recalc_frecency INTEGER NOT NULL DEFAULT 0, "
             "alt_frecency INTEGER, recalc_alt_frecency INTEGER NOT NULL DEFAULT 0)");
        exec("CREATE TABLE moz_historyvisits (id INTEGER PRIMARY KEY, from_visit INTEGER, place_id INTEGER, "
             "visit_date INTEGER, visit_type INTEGER, session INTEGER, source INTEGER DEFAULT 0 NOT NULL, "
             "triggeringPlaceId INTEGER)");
        exec("CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT NULL, "
             "parent INTEGER, position INTEGER, title LONGVARCHAR, keyword_id INTEGER, folder_type TEXT, "
             "dateAdded INTEGER, lastModified INTEGER, guid TEXT, syncStatus INTEGER NOT NULL DEFAULT 0, "
             "syncChangeCounter INTEGER NOT NULL DEFAULT 1)");
        exec("CREATE UNIQUE INDEX moz_places_guid_uniqueindex ON moz_places (guid)");
        exec("CREATE INDEX moz_places_url_hashindex ON moz_places (url_hash)");
        exec("CREATE INDEX moz_historyvisits_placedateindex ON moz_historyvisits (place_id, visit_date)");
        exec("CREATE INDEX moz_bookmarks_itemindex ON moz_bookmarks (fk, type)");
        exec("CREATE INDEX moz_bookmarks_parentindex ON moz_bookmarks (parent, position)");
        exec("CREATE UNIQUE INDEX moz_bookmarks_guid_uniqueindex ON moz_bookmarks (guid)");
        exec("PRAGMA user_version = 77");
        exec("INSERT INTO moz_bookmarks (id, type, parent, position, title, guid) VALUES "
             "(1, 2, 0, 0, '', 'root________'), (2, 2, 1, 0, 'menu', 'menu________'), "
             "(3, 2, 1, 1, 'toolbar', 'toolbar_____'), (4, 2, 1, 2, 'tags', 'tags________'), "
             "(5, 2, 1, 3, 'unfiled', 'unfiled_____'), (6, 2, 1, 4, 'mobile', 'mobile______')");
        frecency = withFrecency;
    }
    // Opens one made before, as a browser that starts again.
    struct Existing {};
    PlacesDatabase(const std::string& path, Existing) { open(path); }
    ~PlacesDatabase() { close(); }
    PlacesDatabase(const PlacesDatabase&) = delete;
    PlacesDatabase& operator=(const PlacesDatabase&) = delete;

    // Closing folds the log into the database, as the browser does when it quits.
    void close() {
        if (db)
            sqlite3_close(db);
        db = nullptr;
    }
    sqlite3* handle() const { return db; }

    void exec(const std::string& sql) {
        char* error = nullptr;
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            std::string text = error ? error : "?";
            sqlite3_free(error);
            throw std::runtime_error(sql + ": " + text);
        }
    }

    // A page with its visits, one moz_historyvisits row per visit up to lastVisit (microseconds since
    // 1970); the page row's counters agree with them. frecency -1 is the browser's "not computed yet".
    int64_t addPage(const std::string& url, const std::string& title, int visits = 0, int64_t lastVisit = 0,
                    int64_t pageFrecency = -1, bool hidden = false) {
        const std::string sql =
            std::string("INSERT INTO moz_places (url, title, rev_host, visit_count, hidden, ") +
            (frecency ? "frecency, " : "") + "last_visit_date, guid, url_hash) VALUES (?1, ?2, '', ?3, ?4, " +
            (frecency ? "?5, " : "") + "?6, " + kNewGuid + ", 0)";
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
            throw std::runtime_error(sql + ": " + sqlite3_errmsg(db));
        sqlite3_bind_text(stmt, 1, url.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt, 2, title.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(stmt, 3, visits);
        sqlite3_bind_int(stmt, 4, hidden ? 1 : 0);
        if (frecency)
            sqlite3_bind_int64(stmt, 5, pageFrecency);
        if (lastVisit != 0)
            sqlite3_bind_int64(stmt, 6, lastVisit);
        const int rc = sqlite3_step(stmt);
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE)
            throw std::runtime_error(sql + ": " + sqlite3_errmsg(db));
        const int64_t id = sqlite3_last_insert_rowid(db);
        for (int i = 0; i < visits; ++i)
            exec("INSERT INTO moz_historyvisits (from_visit, place_id, visit_date, visit_type, session) "
                 "VALUES "
                 "(0, " +
                 std::to_string(id) + ", " + std::to_string(lastVisit - i * 60000000LL) + ", 1, 0)");
        return id;
    }
    // A folder under parent; its row identifier.
    int64_t addFolder(int64_t parent, const std::string& title) {
        return insert("INSERT INTO moz_bookmarks (type, parent, position, title, guid) VALUES "
                      "(2, ?2, (SELECT COUNT(*) FROM moz_bookmarks WHERE parent = ?2), ?1, " +
                          std::string(kNewGuid) + ")",
                      {title}, {parent});
    }
    // A bookmark of an address under parent, with its own title; its page is added when new.
    int64_t addBookmark(int64_t parent, const std::string& url, const std::string& title) {
        int64_t page = pageOf(url);
        if (page == 0)
            page = addPage(url, "");
        exec("UPDATE moz_places SET foreign_count = foreign_count + 1 WHERE id = " + std::to_string(page));
        return insert("INSERT INTO moz_bookmarks (type, fk, parent, position, title, guid) VALUES "
                      "(1, ?3, ?2, (SELECT COUNT(*) FROM moz_bookmarks WHERE parent = ?2), ?1, " +
                          std::string(kNewGuid) + ")",
                      {title}, {parent, page});
    }

    static int64_t nowMicroseconds() {
        FILETIME now;
        ::GetSystemTimeAsFileTime(&now);
        ULARGE_INTEGER ticks;
        ticks.LowPart = now.dwLowDateTime;
        ticks.HighPart = now.dwHighDateTime;
        return static_cast<int64_t>((ticks.QuadPart - 116444736000000000ULL) / 10);
    }
    static constexpr int64_t kDay = 86400LL * 1000000LL;

private:
    void open(const std::string& path) {
        const std::wstring wide = widen(path, CP_ACP);
        if (sqlite3_open16(wide.c_str(), &db) != SQLITE_OK)
            throw std::runtime_error("cannot open " + path);
    }
    static std::wstring widen(const std::string& text, UINT codePage) {
        int n = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        std::wstring out(n, L'\0');
        ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
        return out;
    }
    // Twelve characters, as the browser's are; random, so a database opened again gets no repeats.
    static constexpr const char* kNewGuid = "lower(hex(randomblob(6)))";
    int64_t pageOf(const std::string& url) {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, "SELECT id FROM moz_places WHERE url = ?1", -1, &stmt, nullptr);
        sqlite3_bind_text(stmt, 1, url.c_str(), -1, SQLITE_TRANSIENT);
        const int64_t id = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : 0;
        sqlite3_finalize(stmt);
        return id;
    }
    // Binds the texts first, then the numbers; the new row's identifier.
    int64_t insert(const std::string& sql, std::initializer_list<std::string> texts,
                   std::initializer_list<int64_t> numbers) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
            throw std::runtime_error(sql + ": " + sqlite3_errmsg(db));
        int at = 1;
        for (const std::string& text : texts)
            sqlite3_bind_text(stmt, at++, text.c_str(), -1, SQLITE_TRANSIENT);
        for (int64_t number : numbers)
            sqlite3_bind_int64(stmt, at++, number);
        const int rc = sqlite3_step(stmt);
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE)
            throw std::runtime_error(sql + ": " + sqlite3_errmsg(db));
        return sqlite3_last_insert_rowid(db);
    }

    sqlite3* db = nullptr;
    bool frecency = true;
};
