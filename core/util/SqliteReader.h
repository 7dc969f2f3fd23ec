#pragma once
// Thin owners of an SQLite connection and statement, for modules that link sqlite3 and read other
// programs' databases (always a private copy: see FileSnapshot.h). Header-only: the core itself does
// not link SQLite.
#include "util/FileSnapshot.h"
#include "util/VxText.h"

#include <sqlite3.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace vx {

class CSqliteDb {
public:
    CSqliteDb() = default;
    ~CSqliteDb() { Close(); }
    CSqliteDb(CSqliteDb&& other) noexcept : db_(other.db_) { other.db_ = nullptr; }
    CSqliteDb& operator=(CSqliteDb&& other) noexcept {
        if (this != &other) {
            Close();
            db_ = other.db_;
            other.db_ = nullptr;
        }
        return *this;
    }
    CSqliteDb(const CSqliteDb&) = delete;
    CSqliteDb& operator=(const CSqliteDb&) = delete;

    // Opens a UTF-8 path with the given SQLITE_OPEN_* flags; false (and closed) on any failure.
    // A busy time-out keeps a brief lock from failing a read outright.
    bool open(const std::string& utf8Path, int flags) {
        Close();
        if (sqlite3_open_v2(utf8Path.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
            Close();
            return false;
        }
        sqlite3_busy_timeout(db_, 200);
        return true;
    }
    // Read-only; the file must exist. Use on private copies only: even a read-only open may create a
    // "-shm" file beside a database in write-ahead-log mode.
    bool openReadOnly(const std::string& utf8Path) { return open(utf8Path, SQLITE_OPEN_READONLY); }
    // Read-write on a private copy: lets SQLite replay a copied log or roll back a copied journal.
    bool openCopy(const std::string& utf8Path) { return open(utf8Path, SQLITE_OPEN_READWRITE); }
    // True when the statement compiles: a cheap test that the tables and columns a reader needs exist.
    bool hasColumns(const char* sql) const;
    sqlite3* get() const { return db_; }
    void Close() {
        if (db_)
            sqlite3_close_v2(db_);
        db_ = nullptr;
    }

private:
    sqlite3* db_ = nullptr;
};

class CSqliteStmt {
public:
    CSqliteStmt() = default;
    ~CSqliteStmt() { Close(); }
    CSqliteStmt(const CSqliteStmt&) = delete;
    CSqliteStmt& operator=(const CSqliteStmt&) = delete;

    bool prepare(sqlite3* db, const char* sql) {
        Close();
        return db && sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) == SQLITE_OK && stmt_;
    }
    // True while a row is available; false at the end and on any error (a corrupt page ends the scan
    // with what was read so far).
    bool step() { return stmt_ && sqlite3_step(stmt_) == SQLITE_ROW; }
    // A column as UTF-8 text; empty for NULL.
    std::string text(int col) const {
        const unsigned char* p = sqlite3_column_text(stmt_, col);
        return p ? std::string(reinterpret_cast<const char*>(p),
                               static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col)))
                 : std::string();
    }
    int64_t int64(int col) const { return sqlite3_column_int64(stmt_, col); }
    bool isNull(int col) const { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }
    sqlite3_stmt* get() const { return stmt_; }
    void Close() {
        if (stmt_)
            sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

inline bool CSqliteDb::hasColumns(const char* sql) const {
    CSqliteStmt stmt;
    return stmt.prepare(db_, sql);
}

// Copies taken while a browser writes can mix pages of two moments: one is kept only when neither the
// database nor its log changed while it was taken, and after this many tries the last is read as it is
// (the reader then meets any mix as damage, and the next change of the files brings a new read).
constexpr int kSnapshotTries = 3;

// Takes a private copy of another program's database (see CFileSnapshot) and opens it in db. The copy
// is ours alone, but a database built to harm its reader could still run its own SQL through views and
// triggers: defensive mode and an untrusted schema keep that out. False when no copy could be taken or
// opened, or when stop (asked while copying) answered true.
inline bool openSnapshot(const std::string& file, CFileSnapshot& snapshot, CSqliteDb& db,
                         const std::function<bool()>& stop = nullptr) {
    const std::string log = file + "-wal";
    for (int attempt = 1;; ++attempt) {
        const CFileStamp fileBefore = fileStamp(file), logBefore = fileStamp(log);
        if (!snapshot.take(file, stop))
            return false;
        if (attempt == kSnapshotTries || (fileStamp(file) == fileBefore && fileStamp(log) == logBefore))
            break;
    }
    // Read-write, on the copy only: SQLite may need to replay the copied log or roll back a journal.
    // SQLite takes UTF-8 paths.
    if (!db.openCopy(narrowed(widened(snapshot.path()), CP_UTF8)))
        return false;
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    return true;
}

} // namespace vx
