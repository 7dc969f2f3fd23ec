// Times one cached search over 200,000 synthetic names, from startSeach to the last batch delivered,
// next to the raw floor measured in the same run: one scan of the same names, lower-cased in one
// contiguous buffer. Prints a table and writes the figures as JSON to the path given as argument.
// Also prices ranking: matching 50,000 of the names with and without the rank key of each match.
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

// What ranking adds to matching: the median time of matching the first names of the set, and of
// matching them and making each match's rank key, as an indexer's loop would.
struct RankingCost {
    std::size_t names = 0;
    long matched = 0;
    double matchMs = 0;
    double rankMs = 0;
};

RankingCost rankingCost(const std::vector<std::string>& all, std::size_t count, int runs) {
    RankingCost cost;
    cost.names = std::min(count, all.size());
    std::vector<std::string> prepared;
    prepared.reserve(cost.names);
    for (std::size_t i = 0; i < cost.names; ++i)
        prepared.push_back(VSearchQuery::prepared(all[i]));
    const VSearchQuery query("report", VSearchOptions{});
    std::vector<double> matchTimes, rankTimes;
    volatile uint64_t sink = 0; // keeps the keys from being optimised away
    for (int run = 0; run < runs; ++run) {
        long matched = 0;
        double start = nowMs();
        for (std::size_t i = 0; i < cost.names; ++i)
            matched += query.match(all[i], prepared[i]) ? 1 : 0;
        matchTimes.push_back(nowMs() - start);

        uint64_t keys = 0;
        start = nowMs();
        for (std::size_t i = 0; i < cost.names; ++i) {
            const VSearchQuery::Match m = query.match(all[i], prepared[i]);
            if (!m)
                continue;
            VSearchQuery::Candidate c;
            c.match = m;
            c.program = VSearchQuery::programLevel(all[i]);
            c.nameChars = VSearchQuery::countCharacters(all[i]);
            c.learned = query.learnedWeight(VProperty::FileType, all[i]);
            keys ^= VSearchQuery::rankKey(c);
        }
        rankTimes.push_back(nowMs() - start);
        sink = sink ^ keys;
        cost.matched = matched;
    }
    cost.matchMs = median(matchTimes);
    cost.rankMs = median(rankTimes);
    return cost;
}

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
            // The search also finds the words in any order and initials: checked with the query's own
            // rules, outside the timing.
            const VSearchQueryPtr rules = core->makeQuery(query);
            long expected = 0;
            for (std::size_t i = 0; i < spans.size(); ++i)
                expected += rules->matches(names[i], all.substr(spans[i].first, spans[i].second)) ? 1 : 0;
            if (expected != hits || floorHits > hits) {
                std::fprintf(stderr, "bench: search found %ld, expected %ld (floor %ld) for '%s'\n", hits,
                             expected, floorHits, query);
                return 2;
            }
        }
        figures.push_back({query, hits, median(searchTimes), median(floorTimes)});
    }

    const RankingCost ranking = rankingCost(names, 50000, runs);

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
    std::printf("ranking cost over %zu names (%ld match 'report'): match %.2f ms, match + rank key %.2f ms\n",
                ranking.names, ranking.matched, ranking.matchMs, ranking.rankMs);

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
        std::fprintf(out, "  ],\n");
        std::fprintf(out,
                     "  \"rankingCost\": {\"names\": %zu, \"matched\": %ld, \"matchMs\": %.3f, "
                     "\"matchAndRankMs\": %.3f}\n}\n",
                     ranking.names, ranking.matched, ranking.matchMs, ranking.rankMs);
        std::fclose(out);
    }
    return 0;
}
