// Times the folder indexer on a synthetic tree, each figure next to its floor measured in the same run:
// cache build against a bare FindFirstFileExW walk, queries against one scan of the same names lower-cased
// in one contiguous buffer; also cancel latency during a live walk, how long startSeach blocks, and the
// memory each cached file costs beyond its name. Prints a table; writes JSON to the second argument.
#include "DiskdexIndexer.h"
#include "DiskdexPlugin.h"
#include "engine/VListeners.h"
#include "engine/VVerbinoxCore.h"
#include "model/VResult.h"
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
    auto* indexer = new VDiskdexIndexer(plugin);
    indexer->setPath(root);

    // Memory first, before the floor's own arrays take heap space the cache could then reuse.
    const std::size_t before = privateBytes();
    indexer->updateCache();
    const std::size_t after = privateBytes();
    std::vector<double> builds;
    for (int i = 0; i < runs; ++i) {
        indexer->clearCache();
        double t = nowMs();
        indexer->updateCache();
        builds.push_back(nowMs() - t);
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
    plugin->addIndexer(indexer); // builds once more and registers

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
        std::fprintf(out, "  \"cacheOverheadBytesPerFile\": %.1f\n}\n", overheadPerFile);
        std::fclose(out);
    }
    return 0;
}
