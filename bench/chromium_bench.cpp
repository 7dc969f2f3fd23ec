// Times the Chromium history cache on a "History" database of 100,000 addresses made through SQLite
// with the browser's schema: the cache build against a bare SQLite scan of the same rows in the same
// run, and the memory each cached address costs beyond its text, next to what the folder cache costs
// per file beyond its name (measured here on a generated folder). Prints a table; writes JSON to the
// first argument.
#include "ChromiumHistory.h"
#include "ChromiumIndexers.h"
#include "ChromiumPlugin.h"
#include "DiskdexIndexer.h"
#include "DiskdexPlugin.h"
#include "engine/VVerbinoxCore.h"
#include "support/ChromiumHistoryDb.h"

#include "BenchTools.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const int kUrls = 100000;
const int kFiles = 20000;

std::string tempFolder() {
    char base[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, base);
    std::string folder =
        std::string(base) + "vx-bench-chromium-" + std::to_string(::GetCurrentProcessId()) + "\\";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

bool makeHistory(const std::string& path, std::size_t& textBytes) {
    ChromiumHistoryDb db(path);
    if (!db.ok() || !db.exec("BEGIN"))
        return false;
    sqlite3_stmt* row = nullptr;
    sqlite3_prepare_v2(db.get(),
                       "INSERT INTO urls (url, title, visit_count, typed_count, last_visit_time, hidden) "
                       "VALUES (?, ?, ?, 0, ?, 0)",
                       -1, &row, nullptr);
    textBytes = 0;
    for (int i = 0; i < kUrls; ++i) {
        const std::string url = "https://site" + std::to_string(i % 5000) + ".example.com/articles/" +
                                std::to_string(i) + "/some-readable-slug?ref=feed";
        const std::string title =
            "Article number " + std::to_string(i) + " - Example site " + std::to_string(i % 5000);
        textBytes += url.size() + title.size();
        sqlite3_bind_text(row, 1, url.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(row, 2, title.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(row, 3, 1 + i % 37);
        sqlite3_bind_int64(row, 4, ChromiumHistoryDb::daysAgo((i % 400) + 0.5));
        if (sqlite3_step(row) != SQLITE_DONE)
            return false;
        sqlite3_reset(row);
    }
    sqlite3_finalize(row);
    return db.exec("COMMIT");
}

// The floor: the same rows stepped through with their texts taken, nothing kept.
double bareScan(const std::string& path, long& rows) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    const double t = nowMs();
    sqlite3_stmt* scan = nullptr;
    sqlite3_prepare_v2(db, "SELECT url, title, visit_count, last_visit_time FROM urls WHERE hidden = 0", -1,
                       &scan, nullptr);
    rows = 0;
    std::size_t bytes = 0;
    while (sqlite3_step(scan) == SQLITE_ROW) {
        bytes += sqlite3_column_bytes(scan, 0) + sqlite3_column_bytes(scan, 1);
        bytes += static_cast<std::size_t>(sqlite3_column_int64(scan, 2) + sqlite3_column_int64(scan, 3)) & 1;
        ++rows;
    }
    sqlite3_finalize(scan);
    const double elapsed = nowMs() - t;
    sqlite3_close(db);
    return bytes ? elapsed : -1;
}

// Bytes per file the folder cache holds beyond the file's name, measured as the benchmark of that
// cache measures it.
double folderCacheBytesPerFile(const std::string& root) {
    std::size_t nameBytes = 0;
    for (int d = 0; d < 20; ++d) {
        const std::string dir = root + "d" + std::to_string(d) + "\\";
        ::CreateDirectoryA(dir.c_str(), nullptr);
        for (int f = 0; f < kFiles / 20; ++f) {
            const std::string name = "document-" + std::to_string(d * 1000 + f) + ".txt";
            nameBytes += name.size();
            HANDLE h =
                ::CreateFileA((dir + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            ::CloseHandle(h);
        }
    }
    auto* plugin = new VDiskdexPlugin();
    plugin->startUp();
    auto* indexer = new VDiskdexIndexer(plugin);
    indexer->setPath(root);
    const std::size_t before = privateBytes();
    indexer->updateCache();
    const std::size_t after = privateBytes();
    const std::size_t count = indexer->getCachedCount();
    indexer->deleteThis();
    plugin->deleteThis();
    return count ? (static_cast<double>(after) - before - nameBytes) / count : 0.0;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = 5;
    const std::string root = tempFolder();
    const std::string local = root + "Local\\";
    const std::string profile = local + "Google\\Chrome\\User Data\\Default\\";
    for (const std::string& dir : {local, local + "Google\\", local + "Google\\Chrome\\",
                                   local + "Google\\Chrome\\User Data\\", profile, root + "tree\\"})
        ::CreateDirectoryA(dir.c_str(), nullptr);
    std::size_t textBytes = 0;
    if (!makeHistory(profile + "History", textBytes)) {
        std::fprintf(stderr, "bench: cannot make the History database\n");
        return 2;
    }
    ::SetEnvironmentVariableA("LOCALAPPDATA", local.c_str());

    VVerbinoxCore* core = VVerbinoxCore::instance();
    core->setPluginsPath(core->getAppLocation() + "no-plugins\\");
    core->startUp();
    const double folderBytes = folderCacheBytesPerFile(root + "tree\\");

    auto* plugin = new VChromiumPlugin();
    if (!plugin->startUp()) {
        std::fprintf(stderr, "bench: the profile was not found\n");
        return 2;
    }
    const chromium::Browser* chrome = plugin->findBrowser(0);
    auto* indexer = new VChromiumHistoryIndexer(plugin, chrome, &chrome->profiles[0]);

    // Memory first, before the floor's own work takes heap space the cache could then reuse.
    const std::size_t before = privateBytes();
    indexer->updateCache();
    const std::size_t after = privateBytes();
    const std::size_t cached = indexer->getCachedCount();
    std::vector<double> builds, floors;
    for (int i = 0; i < runs; ++i) {
        indexer->clearCache();
        const double t = nowMs();
        indexer->updateCache();
        builds.push_back(nowMs() - t);
    }
    long rows = 0;
    for (int i = 0; i < runs; ++i)
        floors.push_back(bareScan(profile + "History", rows));
    // Where a build's time goes: the private copy, reading it, ranking.
    std::vector<double> copies, reads, ranks;
    for (int i = 0; i < runs; ++i) {
        double t = nowMs();
        {
            vx::CFileSnapshot snapshot;
            snapshot.take(profile + "History");
        }
        copies.push_back(nowMs() - t); // the copy made and removed again
        chromium::VisitedList visited;
        t = nowMs();
        chromium::readHistory(profile + "History", visited);
        reads.push_back(nowMs() - t);
        t = nowMs();
        chromium::rankHistory(visited, chromium::browserTimeNow());
        ranks.push_back(nowMs() - t);
    }
    const double bytesPerUrl =
        cached ? (static_cast<double>(after) - before - static_cast<double>(textBytes)) / cached : 0.0;
    const double overheadPerUrl =
        cached ? static_cast<double>(indexer->getCacheOverheadBytes()) / cached : 0.0;
    const double textPerUrl = cached ? static_cast<double>(textBytes) / cached : 0.0;

    indexer->deleteThis();
    plugin->deleteThis();
    core->shutDown();
    core->deleteThis();
    SHFILEOPSTRUCTA op{};
    std::string from = root.substr(0, root.size() - 1) + '\0';
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    ::SHFileOperationA(&op);

    const char* target = sizeof(void*) == 4 ? "i686" : "x86_64";
    std::printf("Chromium history cache over %zu addresses (%s under Wine; medians of %d runs)\n", cached,
                target, runs);
    std::printf("%-40s %10s %10s %7s\n", "figure", "value", "floor", "ratio");
    std::printf("%-40s %8.1f ms %7.1f ms %7.2f\n", "cache build (copy, read, rank, pack)", median(builds),
                median(floors), median(builds) / median(floors));
    std::printf("%-40s %8.1f ms\n", "  copy of the database, made and removed", median(copies));
    std::printf("%-40s %8.1f ms\n", "  copy and read into a list", median(reads));
    std::printf("%-40s %8.1f ms\n", "  rank and keep each address once", median(ranks));
    std::printf("%-40s %8.1f B\n", "memory per address - its text", bytesPerUrl);
    std::printf("%-40s %8.1f B\n", "  (cache's own count of that)", overheadPerUrl);
    std::printf("%-40s %8.1f B\n", "  (its text: address and title)", textPerUrl);
    std::printf("%-40s %8.1f B\n", "memory per file - name, folder cache", folderBytes);
    if (argc > 1) {
        FILE* out = std::fopen(argv[1], "w");
        if (!out) {
            std::fprintf(stderr, "bench: cannot write %s\n", argv[1]);
            return 2;
        }
        std::fprintf(
            out,
            "{\n  \"target\": \"%s\",\n  \"addresses\": %zu,\n  \"rowsScanned\": %ld,\n  \"runs\": %d,\n",
            target, cached, rows, runs);
        std::fprintf(out, "  \"cacheBuildMs\": %.3f,\n  \"bareScanMs\": %.3f,\n", median(builds),
                     median(floors));
        std::fprintf(out, "  \"copyMs\": %.3f,\n  \"copyAndReadMs\": %.3f,\n  \"rankMs\": %.3f,\n",
                     median(copies), median(reads), median(ranks));
        std::fprintf(out,
                     "  \"bytesPerAddressBeyondText\": %.1f,\n  \"cacheOverheadBytesPerAddress\": %.1f,\n",
                     bytesPerUrl, overheadPerUrl);
        std::fprintf(out,
                     "  \"textBytesPerAddress\": %.1f,\n  \"folderCacheBytesPerFileBeyondName\": %.1f\n}\n",
                     textPerUrl, folderBytes);
        std::fclose(out);
    }
    return cached == static_cast<std::size_t>(kUrls) ? 0 : 1;
}
