// Times the Chromium history on a "History" database of 100,000 addresses made through SQLite with the
// browser's schema: the table build on the indexer's builder against a bare SQLite scan of the same rows
// in the same run; loading the table kept from the last run (what a start costs); the time startSeach
// takes on the window's thread at each keystroke while the database is rewritten once a second and the
// table follows it, against the same keystrokes with the database left alone; the memory each address
// costs beyond its text, and the kept file's size against the texts' (next to what the folder cache
// costs per file beyond its name, measured here on a generated folder). Prints a table; writes JSON to
// the first argument.
#include "ChromiumHistory.h"
#include "ChromiumIndexers.h"
#include "ChromiumPlugin.h"
#include "DiskdexIndexer.h"
#include "DiskdexPlugin.h"
#include "engine/VVerbinoxCore.h"
#include "util/CacheFile.h"
#include "support/ChromiumHistoryDb.h"

#include "BenchTools.h"

#include <windows.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
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
    indexer->waitForRebuild();
    const std::size_t after = privateBytes();
    const std::size_t count = indexer->getCachedCount();
    indexer->deleteThis();
    plugin->deleteThis();
    return count ? (static_cast<double>(after) - before - nameBytes) / count : 0.0;
}

// The value below which that share of the samples lie.
double percentile(std::vector<double> v, double share) {
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    std::size_t at = static_cast<std::size_t>(std::ceil(share * static_cast<double>(v.size())));
    return v[at == 0 ? 0 : std::min(at, v.size()) - 1];
}

std::uint64_t fileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// startSeach's own time, on this (the window's) thread, for keystrokes typed 30 ms apart: the words
// grow a letter at a time and start again, as a user types and corrects.
std::vector<double> typeFor(VVerbinoxCore* core, double ms) {
    static const char* const kWords[] = {"article", "example", "number 12", "site4"};
    std::vector<double> times;
    const double end = nowMs() + ms;
    for (std::size_t word = 0; nowMs() < end; ++word) {
        const std::string text = kWords[word % 4];
        for (std::size_t length = 3; length <= text.size() && nowMs() < end; ++length) {
            uint32_t id = 0;
            const double t = nowMs();
            core->startSeach(text.substr(0, length), id);
            times.push_back(nowMs() - t);
            ::Sleep(30);
        }
    }
    return times;
}

// Rewrites part of the history once a second, as a browser that runs does, until told to stop.
void rewriteEverySecond(const std::string& path, std::atomic<bool>& stop, std::atomic<int>& rewrites) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return;
    sqlite3_busy_timeout(db, 1000);
    for (int round = 0; !stop.load(); ++round) {
        const std::string sql = "BEGIN; UPDATE urls SET visit_count = visit_count + 1, last_visit_time = " +
                                std::to_string(ChromiumHistoryDb::daysAgo(0)) +
                                " WHERE id % 50 = " + std::to_string(round % 50) + "; COMMIT;";
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK)
            ++rewrites;
        for (int waited = 0; waited < 1000 && !stop.load(); waited += 20)
            ::Sleep(20);
    }
    sqlite3_close(db);
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
    ::CreateDirectoryA((root + "Cache\\").c_str(), nullptr);
    vx::setCacheFolder(root + "Cache\\");

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
    core->registerIndexer(indexer);

    // Memory first, before the floor's own work takes heap space the cache could then reuse.
    const std::size_t before = privateBytes();
    indexer->requestRebuild();
    indexer->waitForRebuild();
    const std::size_t after = privateBytes();
    const std::size_t cached = indexer->getCachedCount();
    std::vector<double> builds, floors;
    for (int i = 0; i < runs; ++i) {
        indexer->clearCache();
        const double t = nowMs();
        indexer->requestRebuild();
        indexer->waitForRebuild();
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

    // A start: a new indexer of the same profile, whose database did not change since the table was kept.
    const std::uint64_t keptBytes = fileSize(indexer->getCacheFile());
    std::vector<double> loads;
    std::size_t loaded = 0;
    for (int i = 0; i < runs; ++i) {
        auto* again = new VChromiumHistoryIndexer(plugin, chrome, &chrome->profiles[0]);
        const double t = nowMs();
        again->requestRebuild();
        again->waitForRebuild();
        loads.push_back(nowMs() - t);
        loaded = again->getCachedCount();
        again->deleteThis();
    }

    // Keystrokes: first with the database left alone (the floor), then while it is rewritten every second.
    const double typingMs = 12000;
    const std::vector<double> quiet = typeFor(core, 4000);
    std::atomic<bool> stopWriting{false};
    std::atomic<int> rewrites{0};
    std::thread writer(rewriteEverySecond, profile + "History", std::ref(stopWriting), std::ref(rewrites));
    const std::vector<double> busy = typeFor(core, typingMs);
    stopWriting = true;
    writer.join();
    uint32_t last = 0;
    core->startSeach("zzz", last);
    core->cancelSearch(last);
    indexer->waitForRebuild();

    core->unregisterIndexer(indexer); // destroys it
    plugin->deleteThis();
    core->shutDown();
    core->deleteThis();
    vx::setCacheFolder(std::string());
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
    std::printf("%-40s %8.1f ms %7.1f ms %7.2f\n", "start: load of the kept table", median(loads),
                median(floors), median(loads) / median(floors));
    std::printf("%-40s %8.1f MB %7.1f MB %7.2f\n", "kept file, against the texts", keptBytes / 1048576.0,
                textBytes / 1048576.0, static_cast<double>(keptBytes) / static_cast<double>(textBytes));
    std::printf("%-40s %8.3f ms %7.3f ms %7.2f\n", "startSeach p50, rewritten every second",
                percentile(busy, 0.5), percentile(quiet, 0.5),
                percentile(busy, 0.5) / percentile(quiet, 0.5));
    std::printf("%-40s %8.3f ms %7.3f ms %7.2f\n", "startSeach p99, rewritten every second",
                percentile(busy, 0.99), percentile(quiet, 0.99),
                percentile(busy, 0.99) / percentile(quiet, 0.99));
    std::printf("%-40s %8.3f ms\n", "startSeach slowest, rewritten", percentile(busy, 1.0));
    std::printf("%-40s %8zu    %7zu   (%d rewrites)\n", "keystrokes timed", busy.size(), quiet.size(),
                rewrites.load());
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
                     "  \"textBytesPerAddress\": %.1f,\n  \"folderCacheBytesPerFileBeyondName\": %.1f,\n",
                     textPerUrl, folderBytes);
        std::fprintf(out, "  \"keptTableLoadMs\": %.3f,\n  \"keptTableEntries\": %zu,\n", median(loads),
                     loaded);
        std::fprintf(out, "  \"keptFileBytes\": %llu,\n  \"textBytes\": %llu,\n",
                     static_cast<unsigned long long>(keptBytes), static_cast<unsigned long long>(textBytes));
        std::fprintf(out, "  \"keystrokes\": %zu,\n  \"rewrites\": %d,\n", busy.size(), rewrites.load());
        std::fprintf(
            out, "  \"startSeachP50Ms\": %.4f,\n  \"startSeachP99Ms\": %.4f,\n  \"startSeachMaxMs\": %.4f,\n",
            percentile(busy, 0.5), percentile(busy, 0.99), percentile(busy, 1.0));
        std::fprintf(out, "  \"quietStartSeachP50Ms\": %.4f,\n  \"quietStartSeachP99Ms\": %.4f\n}\n",
                     percentile(quiet, 0.5), percentile(quiet, 0.99));
        std::fclose(out);
    }
    return cached == static_cast<std::size_t>(kUrls) && loaded == cached ? 0 : 1;
}
