// Times the folder indexer on a synthetic tree, each figure next to its floor measured in the same run:
// cache build against a bare FindFirstFileExW walk, queries against one scan of the same names lower-cased
// in one contiguous buffer; also cancel latency during a live walk, how long startSeach blocks, and the
// memory each cached file costs beyond its name. The persisted cache: how long a warm one takes to load,
// its size against the names', one check of every folder's time, how soon a new file two levels down
// is found, and vxsearch (beside this program) as a whole process, warm and cold. Prints a table; writes
// JSON to the second argument.
#include "DiskdexIndexer.h"
#include "DiskdexPlugin.h"
#include "engine/VListeners.h"
#include "engine/VVerbinoxCore.h"
#include "model/VResult.h"
#include "util/CacheFile.h"
#include "util/VxText.h"

#include "BenchTools.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The floor of a cache build: the bare walk, names kept in one buffer (wide, as the system gives them).
std::size_t floorWalk(const std::wstring& folder, std::vector<std::string>* names) {
    std::size_t files = 0;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                     nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do {
        const wchar_t* w = data.cFileName;
        if (w[0] == L'.' && (w[1] == 0 || (w[1] == L'.' && w[2] == 0)))
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            files += floorWalk(folder + w + L"\\", names);
        } else {
            ++files;
            if (names) {
                char buf[MAX_PATH * 3];
                int n = ::WideCharToMultiByte(CP_ACP, 0, w, -1, buf, sizeof(buf), nullptr, nullptr);
                names->emplace_back(buf, n > 0 ? n - 1 : 0);
            }
        }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return files;
}

class Timing : public VResultListener {
public:
    void deleteThis() override {}
    void onResult(uint32_t id, VResult* r) override { onResults(id, &r, 1); }
    void onResults(uint32_t, VResult** results, int count) override {
        last = nowMs();
        delivered += count;
        for (int i = 0; i < count; ++i)
            results[i]->deleteThis();
    }
    std::atomic<double> last{0};
    std::atomic<long> delivered{0};
};

// The files and folders the bench makes for itself, removed again at its end.
std::string tempFolder(const char* name) {
    char base[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, base);
    std::string folder = std::string(base) + name + "-" + std::to_string(::GetCurrentProcessId()) + "\\";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void removeTree(const std::string& folder) {
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((folder + "*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(folder + name + "\\");
            else
                ::DeleteFileA((folder + name).c_str());
        } while (::FindNextFileA(find, &data));
        ::FindClose(find);
    }
    ::RemoveDirectoryA(folder.c_str());
}

bool writeText(const std::string& path, const std::string& text) {
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != FALSE;
    ::CloseHandle(h);
    return ok;
}

uint64_t fileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// vxsearch.exe, the DLLs beside this program and only the folder plug-in, in a folder of their own
// with settings that name the tree. Empty when something is missing.
std::string stageVxsearch(const std::string& tree) {
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string bin = self;
    bin.resize(bin.find_last_of('\\') + 1);
    const std::string stage = tempFolder("vx-bench-vxsearch");
    ::CreateDirectoryA((stage + "Plugins").c_str(), nullptr);
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((bin + "*.dll").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            ::CopyFileA((bin + data.cFileName).c_str(), (stage + data.cFileName).c_str(), FALSE);
        } while (::FindNextFileA(find, &data));
        ::FindClose(find);
    }
    if (!::CopyFileA((bin + "vxsearch.exe").c_str(), (stage + "vxsearch.exe").c_str(), FALSE) ||
        !::CopyFileA((bin + "Plugins\\Diskdex.vll").c_str(), (stage + "Plugins\\Diskdex.vll").c_str(), FALSE))
        return std::string();
    const std::string xml =
        "<Verbinox><Verbinox><Core><PluginMgr><Diskdex><Indexer Path=\"" + tree +
        "\" IncludeFilters=\"\" ExcludeFilters=\"\" Recurse=\"true\" "
        "MatchDirectories=\"false\" /></Diskdex></PluginMgr></Core></Verbinox></Verbinox>\n";
    return writeText(stage + "Verbinox.xml", xml) ? stage : std::string();
}

// One whole vxsearch process, from its start to its end, in ms; its standard error goes to errFile.
double timeVxsearch(const std::string& stage, const std::string& errFile) {
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    HANDLE err =
        ::CreateFileA(errFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    // The results go to a file as a script's redirection would send them. Not to "NUL": the runtime takes
    // a character device for a terminal and writes it unbuffered, and under Wine each of those small
    // writes is a wine-server call, about 150 ms in all for this output.
    HANDLE out = ::CreateFileA((stage + "out.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa,
                               CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    std::string command = "\"" + stage + "vxsearch.exe\" id19999";
    const double t = nowMs();
    const bool started = ::CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, DETACHED_PROCESS,
                                          nullptr, stage.c_str(), &si, &pi) != FALSE;
    ::CloseHandle(err);
    ::CloseHandle(out);
    if (!started)
        return -1;
    ::WaitForSingleObject(pi.hProcess, 120000);
    const double ms = nowMs() - t;
    ::CloseHandle(pi.hProcess);
    ::CloseHandle(pi.hThread);
    return ms;
}

std::string readText(const std::string& path) {
    std::string out;
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return out;
    char buf[4096];
    DWORD n = 0;
    while (::ReadFile(h, buf, sizeof(buf), &n, nullptr) && n > 0)
        out.append(buf, n);
    ::CloseHandle(h);
    return out;
}

struct Query {
    const char* text;
    const char* kind;
    long hits = 0;
    double ms = 0, floorMs = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vx_bench_diskdex TREE [RESULT.json]\n");
        return 2;
    }
    const int runs = 5;
    std::string root = argv[1];
    if (root.back() != '\\')
        root += '\\';
    std::wstring wroot(root.begin(), root.end());

    VVerbinoxCore* core = VVerbinoxCore::instance();
    core->setPluginsPath(core->getAppLocation() + "no-plugins\\");
    core->startUp();
    Timing listener;
    core->registerResultListener(&listener);
    auto* plugin = new VDiskdexPlugin();
    plugin->startUp();
    // The bench's caches go to a folder of its own; vxsearch's to the user's, as it would.
    std::string vxsearchCache;
    {
        VDiskdexIndexer probe(plugin);
        probe.setPath(root);
        vxsearchCache = probe.getCacheFile();
    }
    const std::string caches = tempFolder("vx-bench-caches");
    vx::setCacheFolder(caches);
    auto* indexer = new VDiskdexIndexer(plugin);
    indexer->setPath(root);
    const std::string cacheFile = indexer->getCacheFile();

    // Memory first, before the floor's own arrays take heap space the cache could then reuse.
    const std::size_t before = privateBytes();
    indexer->updateCache();
    indexer->waitForRebuild();
    const std::size_t after = privateBytes();
    std::vector<double> builds;
    for (int i = 0; i < runs; ++i) {
        // Without the persisted file, each build walks the tree.
        indexer->clearCache();
        ::DeleteFileA(cacheFile.c_str());
        double t = nowMs();
        indexer->updateCache();
        indexer->waitForRebuild();
        builds.push_back(nowMs() - t);
    }

    // The persisted cache: its size, and how long a start takes to load it and check every folder.
    indexer->saveCache();
    const uint64_t cacheFileBytes = fileSize(cacheFile);
    const std::size_t cachedNameBytes = indexer->getCache() ? indexer->getCache()->nameBytes() : 0;
    std::vector<double> loads;
    bool walkedInstead = false;
    for (int i = 0; i < runs; ++i) {
        indexer->clearCache();
        double t = nowMs();
        indexer->updateCache();
        indexer->waitForRebuild();
        loads.push_back(nowMs() - t);
        walkedInstead = walkedInstead || !indexer->getCacheNote().empty();
    }
    if (walkedInstead)
        std::fprintf(stderr, "bench: a warm start walked the tree instead of loading its cache\n");
    // One check of every folder's time, nothing changed.
    FolderSettings settings;
    settings.root = indexer->resolvePath();
    std::vector<double> checks;
    FolderCache::CheckStats checkStats;
    for (int i = 0; i < runs; ++i) {
        std::shared_ptr<const FolderCache> cache = indexer->getCache();
        double t = nowMs();
        std::shared_ptr<const FolderCache> changed = cache->refreshed(settings, {}, nullptr, &checkStats);
        checks.push_back(nowMs() - t);
        if (changed)
            std::fprintf(stderr, "bench: the check found a change in a tree nothing changed\n");
    }
    // Floor of the cache build, and the names for the query floor.
    std::vector<std::string> names;
    const std::size_t fileCount = floorWalk(wroot, &names);
    std::vector<double> floorBuild;
    for (int i = 0; i < runs; ++i) {
        double t = nowMs();
        floorWalk(wroot, nullptr);
        floorBuild.push_back(nowMs() - t);
    }
    std::string lowered;
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    std::size_t nameBytes = 0;
    for (const std::string& n : names) {
        spans.emplace_back(lowered.size(), n.size());
        lowered += vx::lowered(n);
        nameBytes += n.size();
    }

    const std::size_t cached = indexer->getCachedCount();
    const double bytesPerFile =
        cached ? (static_cast<double>(after) - static_cast<double>(before) - static_cast<double>(nameBytes)) /
                     cached
               : 0.0;
    const double overheadPerFile =
        cached ? static_cast<double>(indexer->getCacheOverheadBytes()) / cached : 0.0;
    plugin->addIndexer(indexer); // registers; the builder only checks the cache it has
    indexer->waitForRebuild();

    std::vector<Query> queries = {{"id19999", "selective"}, {"rare137_", "medium"}, {"report", "broad"}};
    for (Query& q : queries) {
        std::vector<double> times, floors;
        for (int i = 0; i < 3 * runs; ++i) {
            listener.delivered = 0;
            listener.last = 0;
            uint32_t id = 0;
            double t = nowMs();
            core->startSeach(q.text, id);
            while (indexer->isWorkerRunning())
                ::Sleep(0);
            times.push_back(listener.last.load() - t);
            q.hits = listener.delivered.load();
            core->cancelSearch(id);

            const std::string needle = q.text;
            long floorHits = 0;
            double f = nowMs();
            const std::string_view all(lowered);
            for (const auto& s : spans)
                floorHits += all.substr(s.first, s.second).find(needle) != std::string_view::npos;
            floors.push_back(nowMs() - f);
            if (floorHits != q.hits) {
                std::fprintf(stderr, "bench: %s found %ld, the floor %ld\n", q.text, q.hits, floorHits);
                return 2;
            }
        }
        q.ms = median(times);
        q.floorMs = median(floors);
    }

    // A file made two levels down: how long until a search finds it (the builder checks folder times
    // every half second; Wine reports no change below the root).
    std::vector<double> visible;
    for (int i = 0; i < runs; ++i) {
        const std::string name = "vxchange" + std::to_string(i) + "-" + std::to_string(::GetTickCount());
        const std::string file = root + "area07\\box042\\" + name + ".txt";
        if (!writeText(file, "x"))
            break;
        const double t = nowMs();
        double seen = -1;
        while (nowMs() - t < 5000) {
            listener.delivered = 0;
            uint32_t id = 0;
            core->startSeach(name, id);
            while (indexer->isWorkerRunning())
                ::Sleep(0);
            core->cancelSearch(id);
            if (listener.delivered.load() > 0) {
                seen = nowMs() - t;
                break;
            }
            ::Sleep(5);
        }
        visible.push_back(seen);
        ::DeleteFileA(file.c_str());
        ::Sleep(700); // the deletion is taken in before the next file
    }

    // Live walks: how long startSeach blocks (idle, and when it must stop a running walk), and how long
    // a cancelled walk takes to end.
    core->setLiveSearching(true);
    std::vector<double> blockIdle, blockReplacing, cancelLatency;
    for (int i = 0; i < runs; ++i) {
        uint32_t id = 0;
        double t = nowMs();
        core->startSeach("no-such-name-anywhere", id);
        blockIdle.push_back(nowMs() - t);
        ::Sleep(30);
        t = nowMs();
        core->startSeach("no-such-name-either", id);
        blockReplacing.push_back(nowMs() - t);
        ::Sleep(30);
        t = nowMs();
        core->cancelSearch(id);
        while (indexer->isWorkerRunning())
            ::Sleep(0);
        cancelLatency.push_back(nowMs() - t);
    }
    core->setLiveSearching(false);

    core->unregisterResultListener(&listener);
    core->unregisterPlugin(plugin);
    plugin->deleteThis();

    // vxsearch over the tree, as a whole process: cold (its cache file removed, so it walks) and warm.
    vx::setCacheFolder(std::string());
    std::vector<double> cold, warm;
    bool coldNoted = true, warmQuiet = true;
    const std::string stage = stageVxsearch(root);
    if (stage.empty()) {
        std::fprintf(stderr, "bench: vxsearch.exe or Plugins\\Diskdex.vll is not beside the bench\n");
    } else {
        for (int i = 0; i < 3; ++i) {
            ::DeleteFileA(vxsearchCache.c_str());
            cold.push_back(timeVxsearch(stage, stage + "err.txt"));
            coldNoted = coldNoted && readText(stage + "err.txt").find("built the cache") != std::string::npos;
        }
        for (int i = 0; i < runs; ++i) {
            warm.push_back(timeVxsearch(stage, stage + "err.txt"));
            warmQuiet = warmQuiet && readText(stage + "err.txt").find("built the cache") == std::string::npos;
        }
        if (!coldNoted || !warmQuiet)
            std::fprintf(stderr, "bench: vxsearch said the wrong thing about its cache (cold %d, warm %d)\n",
                         coldNoted, warmQuiet);
        removeTree(stage);
        ::DeleteFileA(vxsearchCache.c_str());
    }
    removeTree(caches);
    core->shutDown();
    core->deleteThis();

    const char* target = sizeof(void*) == 4 ? "i686" : "x86_64";
    std::printf("Folder indexer over %zu files (%s under Wine; medians of %d builds and %d searches)\n",
                fileCount, target, runs, 3 * runs);
    std::printf("%-34s %10s %10s %7s\n", "figure", "value", "floor", "ratio");
    std::printf("%-34s %8.1f ms %7.1f ms %7.2f\n", "cache build", median(builds), median(floorBuild),
                median(builds) / median(floorBuild));
    for (const Query& q : queries) {
        char label[64];
        std::snprintf(label, sizeof(label), "query %s \"%s\" (%ld hits)", q.kind, q.text, q.hits);
        std::printf("%-34s %8.2f ms %7.2f ms %7.2f\n", label, q.ms, q.floorMs, q.ms / q.floorMs);
    }
    std::printf("%-34s %8.2f ms\n", "cancel -> live walk ended", median(cancelLatency));
    std::printf("%-34s %8.3f ms\n", "startSeach blocks (idle)", median(blockIdle));
    std::printf("%-34s %8.3f ms\n", "startSeach blocks (stops a walk)", median(blockReplacing));
    std::printf("%-34s %8.1f B   (cache's own count: %.1f B)\n", "memory per cached file - name",
                bytesPerFile, overheadPerFile);
    const double fileRatio = cachedNameBytes ? static_cast<double>(cacheFileBytes) / cachedNameBytes : 0.0;
    std::printf("%-34s %8.1f ms\n", "warm cache loaded and checked", median(loads));
    std::printf("%-34s %8.2f ms   (%zu folders, none changed)\n", "folder time check", median(checks),
                checkStats.foldersChecked);
    std::printf("%-34s %8.1f ms   (slowest %.1f ms)\n", "new file two levels down found", median(visible),
                visible.empty() ? 0.0 : *std::max_element(visible.begin(), visible.end()));
    std::printf("%-34s %8llu B   (%.2f x the names' %zu B)\n", "cache file",
                static_cast<unsigned long long>(cacheFileBytes), fileRatio, cachedNameBytes);
    std::printf("%-34s %8.1f ms\n", "vxsearch whole process, warm", median(warm));
    std::printf("%-34s %8.1f ms\n", "vxsearch whole process, cold", median(cold));

    if (argc > 2) {
        FILE* out = std::fopen(argv[2], "w");
        if (!out) {
            std::fprintf(stderr, "bench: cannot write %s\n", argv[2]);
            return 2;
        }
        std::fprintf(out, "{\n  \"target\": \"%s\",\n  \"files\": %zu,\n  \"runs\": %d,\n", target, fileCount,
                     runs);
        std::fprintf(out, "  \"cacheBuildMs\": %.3f,\n  \"cacheBuildFloorMs\": %.3f,\n", median(builds),
                     median(floorBuild));
        std::fprintf(out, "  \"queries\": [\n");
        for (std::size_t i = 0; i < queries.size(); ++i)
            std::fprintf(out,
                         "    {\"kind\": \"%s\", \"text\": \"%s\", \"hits\": %ld, \"ms\": %.3f, \"floorMs\": "
                         "%.3f}%s\n",
                         queries[i].kind, queries[i].text, queries[i].hits, queries[i].ms, queries[i].floorMs,
                         i + 1 < queries.size() ? "," : "");
        std::fprintf(out, "  ],\n  \"cancelLatencyMs\": %.3f,\n  \"startSeachBlockIdleMs\": %.3f,\n",
                     median(cancelLatency), median(blockIdle));
        std::fprintf(out, "  \"startSeachBlockReplacingMs\": %.3f,\n  \"bytesPerCachedFile\": %.1f,\n",
                     median(blockReplacing), bytesPerFile);
        std::fprintf(out, "  \"cacheOverheadBytesPerFile\": %.1f,\n", overheadPerFile);
        std::fprintf(out,
                     "  \"warmCacheLoadMs\": %.3f,\n  \"folderCheckMs\": %.3f,\n  \"foldersChecked\": %zu,\n",
                     median(loads), median(checks), checkStats.foldersChecked);
        std::fprintf(
            out, "  \"changeVisibleMs\": %.1f,\n  \"cacheFileBytes\": %llu,\n  \"cacheNameBytes\": %zu,\n",
            median(visible), static_cast<unsigned long long>(cacheFileBytes), cachedNameBytes);
        std::fprintf(
            out,
            "  \"cacheFileToNames\": %.3f,\n  \"vxsearchWarmMs\": %.1f,\n  \"vxsearchColdMs\": %.1f\n}\n",
            fileRatio, median(warm), median(cold));
        std::fclose(out);
    }
    return 0;
}
