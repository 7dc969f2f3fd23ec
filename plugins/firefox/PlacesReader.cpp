#include "PlacesReader.h"

#include "util/FileSnapshot.h"
#include "util/Recency.h"
#include "util/SqliteReader.h"
#include "util/VxText.h"

#include <windows.h>

#include <algorithm>
#include <unordered_map>

namespace firefox {

namespace {

// Folder chains deeper than this are taken to be loops in a damaged database.
const int kMaxFolderDepth = 64;
// Visit counts above this are damage too; the cap keeps the weighted count far from overflow.
const int64_t kMaxVisitCount = 1000000000;
// Four days or less (counted in whole days), two weeks, a month, three months.
constexpr vx::RecencyBounds kRecency = {
    {5 * vx::kMicrosecondsPerDay, 15 * vx::kMicrosecondsPerDay, 32 * vx::kMicrosecondsPerDay,
     91 * vx::kMicrosecondsPerDay}};

// The first of the statements that this database understands: newer columns first, the plainer
// forms for older or stripped-down schemas. False when none prepares (tables missing, not a database).
bool prepareFirst(sqlite3* db, std::initializer_list<const char*> forms, vx::CSqliteStmt& stmt) {
    for (const char* sql : forms) {
        if (stmt.prepare(db, sql))
            return true;
    }
    return false;
}

// Steps through every row; false when the statement fails before its end (damage met half-way) or
// the caller asks to stop.
template <class Row> bool eachRow(vx::CSqliteStmt& stmt, const StopRequest& stop, Row row) {
    for (;;) {
        const int rc = sqlite3_step(stmt.get());
        if (rc == SQLITE_DONE)
            return true;
        if (rc != SQLITE_ROW || (stop && stop()))
            return false;
        row();
    }
}

// What the browser shows for its built-in folders, which it stores under fixed identifiers (and, in
// databases of any age, under short internal titles).
struct RootFolder {
    const char* guid;
    const char* title;
    const char* shown; // null: the tags folder, whose entries are not bookmarks of their own
};
const RootFolder kRootFolders[] = {
    {"menu________", "menu", "Bookmarks Menu"},
    {"toolbar_____", "toolbar", "Bookmarks Toolbar"},
    {"unfiled_____", "unfiled", "Other Bookmarks"},
    {"mobile______", "mobile", "Mobile Bookmarks"},
    {"tags________", "tags", nullptr},
};

struct Folder {
    int64_t parent = 0;
    std::string title;
    std::string guid;
    bool tags = false;
    bool root = false; // the invisible top of the tree
};

class FolderPaths {
public:
    void add(int64_t id, int64_t parent, const std::string& title, const std::string& guid) {
        Folder folder;
        folder.parent = parent;
        folder.title = title;
        folder.guid = guid;
        folder.root = parent == 0 || guid == "root________";
        folders[id] = std::move(folder);
    }
    // Names the built-in folders once all are known: by identifier, or by title right under the top.
    void nameRoots() {
        for (auto& entry : folders) {
            Folder& folder = entry.second;
            auto parent = folders.find(folder.parent);
            const bool topLevel = parent != folders.end() && parent->second.root;
            for (const RootFolder& known : kRootFolders) {
                if (folder.guid == known.guid || (topLevel && folder.title == known.title)) {
                    folder.tags = known.shown == nullptr;
                    if (known.shown)
                        folder.title = known.shown;
                    break;
                }
            }
        }
    }
    // The folders above a bookmark, outermost first; false under the tags folder or in a loop.
    bool pathOf(int64_t id, std::string& path) {
        auto known = paths.find(id);
        if (known != paths.end()) {
            path = known->second.second;
            return known->second.first;
        }
        std::vector<const Folder*> chain;
        bool usable = true;
        for (int64_t at = id;;) {
            auto it = folders.find(at);
            if (it == folders.end() || it->second.root)
                break;
            if (it->second.tags || static_cast<int>(chain.size()) >= kMaxFolderDepth) {
                usable = false;
                break;
            }
            chain.push_back(&it->second);
            at = it->second.parent;
        }
        path.clear();
        for (auto it = chain.rbegin(); usable && it != chain.rend(); ++it) {
            if (!path.empty())
                path += '/';
            path += (*it)->title;
        }
        paths[id] = {usable, path};
        return usable;
    }

private:
    std::unordered_map<int64_t, Folder> folders;
    std::unordered_map<int64_t, std::pair<bool, std::string>> paths;
};

bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

} // namespace

bool readPlacesBookmarks(const std::string& placesFile, std::vector<PlaceEntry>& out,
                         const StopRequest& stop) {
    vx::CFileSnapshot snapshot;
    vx::CSqliteDb db;
    if (!vx::openSnapshot(placesFile, snapshot, db, stop))
        return false;

    FolderPaths folders;
    vx::CSqliteStmt folderRows;
    if (!prepareFirst(db.get(),
                      {"SELECT id, parent, title, guid FROM moz_bookmarks WHERE type = 2",
                       "SELECT id, parent, title, NULL FROM moz_bookmarks WHERE type = 2"},
                      folderRows))
        return false;
    const bool read = eachRow(folderRows, stop, [&] {
        folders.add(folderRows.int64(0), folderRows.int64(1), vx::fromUtf8(folderRows.text(2)),
                    folderRows.text(3));
    });
    if (!read)
        return false;
    folders.nameRoots();

    vx::CSqliteStmt bookmarkRows;
    if (!bookmarkRows.prepare(db.get(), "SELECT b.parent, b.title, p.url, p.title FROM moz_bookmarks b "
                                        "JOIN moz_places p ON p.id = b.fk WHERE b.type = 1 "
                                        "ORDER BY b.parent, b.position"))
        return false;
    std::vector<PlaceEntry> found;
    const bool complete = eachRow(bookmarkRows, stop, [&] {
        PlaceEntry entry;
        entry.url = vx::addressFromUtf8(bookmarkRows.text(2));
        // Saved searches of the browser's own ("place:") open nothing outside it.
        if (entry.url.empty() || startsWith(entry.url, "place:"))
            return;
        if (!folders.pathOf(bookmarkRows.int64(0), entry.folder))
            return;
        entry.title = vx::fromUtf8(bookmarkRows.text(1));
        if (entry.title.empty())
            entry.title = vx::fromUtf8(bookmarkRows.text(3));
        found.push_back(std::move(entry));
    });
    if (!complete)
        return false;
    out.insert(out.end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
    return true;
}

bool readPlacesHistory(const std::string& placesFile, std::vector<PlaceEntry>& out, const StopRequest& stop) {
    vx::CFileSnapshot snapshot;
    vx::CSqliteDb db;
    if (!vx::openSnapshot(placesFile, snapshot, db, stop))
        return false;
    // Hidden pages are the ones the browser keeps out of its own history: frames, redirect sources.
    vx::CSqliteStmt rows;
    if (!prepareFirst(db.get(),
                      {"SELECT url, title, visit_count, last_visit_date, frecency FROM moz_places "
                       "WHERE visit_count > 0 AND hidden = 0",
                       "SELECT url, title, visit_count, last_visit_date, -1 FROM moz_places "
                       "WHERE visit_count > 0"},
                      rows))
        return false;
    std::vector<PlaceEntry> found;
    const bool complete = eachRow(rows, stop, [&] {
        PlaceEntry entry;
        entry.url = vx::addressFromUtf8(rows.text(0));
        if (entry.url.empty() || startsWith(entry.url, "place:"))
            return;
        entry.title = vx::fromUtf8(rows.text(1));
        entry.visitCount = std::clamp<int64_t>(rows.int64(2), 0, kMaxVisitCount);
        entry.lastVisit = std::max<int64_t>(rows.int64(3), 0);
        entry.frecency = sqlite3_column_type(rows.get(), 4) == SQLITE_NULL ? -1 : rows.int64(4);
        found.push_back(std::move(entry));
    });
    if (!complete)
        return false;
    out.insert(out.end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
    return true;
}

int64_t historyRank(const PlaceEntry& entry, int64_t now) {
    if (entry.frecency >= 0)
        return entry.frecency;
    const int64_t age = entry.lastVisit > 0 && now > entry.lastVisit ? now - entry.lastVisit : 0;
    return std::clamp<int64_t>(entry.visitCount, 0, kMaxVisitCount) * vx::recencyWeight(age, kRecency);
}

int64_t nowMicroseconds() {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks;
    ticks.LowPart = now.dwLowDateTime;
    ticks.HighPart = now.dwHighDateTime;
    // FILETIME counts 100 ns steps from 1601.
    return static_cast<int64_t>((ticks.QuadPart - 116444736000000000ULL) / 10);
}

} // namespace firefox
