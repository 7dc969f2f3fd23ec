// Times one cached search over 200,000 synthetic names, from startSeach to the last batch delivered,
// next to the raw floor measured in the same run: one scan of the same names, lower-cased in one
// contiguous buffer. Prints a table and writes the figures as JSON to the path given as argument.
#include "FakeIndexer.h"
#include "engine/VListeners.h"
#include "engine/VVerbinoxCore.h"
#include "util/VxText.h"

#include "BenchTools.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

class TimingListener : public VResultListener {
public:
    void deleteThis() override { delete this; }
    void onResult(uint32_t id, VResult* r) override { onResults(id, &r, 1); }
    void onResults(uint32_t, VResult** results, int count) override {
        lastDelivery = nowMs();
        delivered += count;
        for (int i = 0; i < count; ++i)
            results[i]->deleteThis();
    }
    std::atomic<double> lastDelivery{0};
    std::atomic<long> delivered{0};
};

std::vector<std::string> syntheticNames(std::size_t count) {
    static const char* words[] = {"Report", "notes",  "Budget", "invoice", "photo",   "Holiday",
                                  "draft",  "Letter", "setup",  "Readme",  "summary", "Project",
                                  "backup", "music",  "Video",  "scan"};
    static const char* exts[] = {".txt", ".docx", ".pdf", ".jpg", ".lnk", ".xlsx", ".mp3", ".exe"};
    std::mt19937 rng(42);
    std::vector<std::string> names;
    names.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::string name = words[rng() % 16];
        name += ' ';
        name += words[rng() % 16];
        name += ' ';
        name += std::to_string(i);
        name += exts[rng() % 8];
        names.push_back(std::move(name));
    }
    return names;
}

struct Figure {
    std::string query;
    long hits;
    double searchMs;
    double floorMs;
};

} // namespace

int main(int argc, char** argv) {
    const std::size_t count = 200000;
    const int runs = 9;
    std::vector<std::string> names = syntheticNames(count);

    // The floor: the same names lower-cased once into one contiguous buffer, scanned name by name.
    std::string buffer;
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    for (const std::string& n : names) {
        spans.emplace_back(buffer.size(), n.size());
        buffer += vx::lowered(n);
    }

    VVerbinoxCore* core = VVerbinoxCore::instance();
    core->startUp();
    auto* listener = new TimingListener();
    core->registerResultListener(listener);
    auto* plugin = new FakePlugin();
    auto* indexer = new NameIndexer(plugin, names);
    double cacheStart = nowMs();
    indexer->updateCache();
    double cacheMs = nowMs() - cacheStart;
    core->registerIndexer(indexer);

    std::vector<Figure> figures;
    for (const char* query : {"summary 1999", "holiday", "report"}) {
        std::vector<double> searchTimes, floorTimes;
        long hits = 0;
        for (int run = 0; run < runs; ++run) {
            listener->delivered = 0;
            listener->lastDelivery = 0;
            uint32_t id = 0;
            double start = nowMs();
            core->startSeach(query, id);
            while (VIndexer::getRunningWorkerCount() != 0)
                ::Sleep(0);
            searchTimes.push_back(listener->lastDelivery.load() - start);
            hits = listener->delivered.load();
            core->cancelSearch(id);

            const std::string needle = vx::lowered(query);
            long floorHits = 0;
            double floorStart = nowMs();
            std::string_view all(buffer);
            for (const auto& span : spans)
                floorHits += all.substr(span.first, span.second).find(needle) != std::string_view::npos;
            floorTimes.push_back(nowMs() - floorStart);
            if (floorHits != hits) {
                std::fprintf(stderr, "bench: search found %ld, floor %ld for '%s'\n", hits, floorHits, query);
                return 2;
            }
        }
        figures.push_back({query, hits, median(searchTimes), median(floorTimes)});
    }

    core->shutDown();
    core->deleteThis();
    plugin->deleteThis();

    std::printf("Cached search over %zu names (%s, median of %d runs)\n", count,
                sizeof(void*) == 4 ? "i686" : "x86_64", runs);
    std::printf("cache build: %.1f ms\n", cacheMs);
    std::printf("%-16s %8s %12s %12s %7s\n", "query", "hits", "search ms", "floor ms", "ratio");
    for (const Figure& f : figures)
        std::printf("%-16s %8ld %12.2f %12.2f %7.2f\n", f.query.c_str(), f.hits, f.searchMs, f.floorMs,
                    f.searchMs / f.floorMs);

    if (argc > 1) {
        FILE* out = std::fopen(argv[1], "w");
        if (!out) {
            std::fprintf(stderr, "bench: cannot write %s\n", argv[1]);
            return 2;
        }
        std::fprintf(
            out, "{\n  \"target\": \"%s\",\n  \"names\": %zu,\n  \"runs\": %d,\n  \"cacheBuildMs\": %.3f,\n",
            sizeof(void*) == 4 ? "i686" : "x86_64", count, runs, cacheMs);
        std::fprintf(out, "  \"queries\": [\n");
        for (std::size_t i = 0; i < figures.size(); ++i) {
            const Figure& f = figures[i];
            std::fprintf(out,
                         "    {\"query\": \"%s\", \"hits\": %ld, \"searchMs\": %.3f, \"floorMs\": %.3f, "
                         "\"ratio\": %.3f}%s\n",
                         f.query.c_str(), f.hits, f.searchMs, f.floorMs, f.searchMs / f.floorMs,
                         i + 1 < figures.size() ? "," : "");
        }
        std::fprintf(out, "  ]\n}\n");
        std::fclose(out);
    }
    return 0;
}
