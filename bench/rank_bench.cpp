// Measures how well results are ordered over a realistic profile (make_rank_profile.py): every query of
// its queries.tsv runs through the core with the program's plug-ins, as the search window runs it; all
// results of the search are ordered as the list orders them (by rank key, stable; ranking off: arrival
// order, one row per address) and the meant item's place is found. Mean reciprocal rank and the share
// of queries whose item comes first, with ranking off, on, and on after the item was chosen once for
// that text. Then a broad text: results each source hands on and the time to the first batch, over the
// profile ("e") and over a history of 100,000 addresses ("htt", "com"); and what ranking costs on a search of
// 50,000 candidates. Prints a table; writes JSON to the second argument.
#include "engine/VIndexer.h"
#include "engine/VListeners.h"
#include "engine/VPlugin.h"
#include "engine/VVerbinoxCore.h"
#include "model/VPreferences.h"
#include "model/VResult.h"
#include "support/ChromiumHistoryDb.h"
#include "util/CShellLink.h"
#include "util/CacheFile.h"

#include "BenchTools.h"
#include "BulkHistory.h"

#include <nlohmann/json.hpp>
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

struct Query {
    std::string kind;
    std::string text;
    std::string meant; // a full path (backslashes) or an address
    bool isFile = false;
};

// Keeps every result of the current search in arrival order, which source (worker thread) handed on
// how many, how many more the sources reported, and when the first batch came.
class Collector : public VResultListener {
public:
    void deleteThis() override {}
    void onResult(uint32_t id, VResult* result) override { onResults(id, &result, 1); }
    void onResults(uint32_t, VResult** results, int count) override {
        std::lock_guard<std::mutex> hold(lock);
        if (firstBatchAt == 0)
            firstBatchAt = nowMs();
        std::string& source = sources[::GetCurrentThreadId()];
        if (source.empty() && count > 0 && results[0]->getPlugin()) {
            source = results[0]->getPlugin()->getName();
            if (const VProperty* p = results[0]->getDefaultProperty())
                source += " (" + p->getValue() + ")";
        }
        perThread[::GetCurrentThreadId()] += count;
        arrived.insert(arrived.end(), results, results + count);
    }
    void onOverflow(uint32_t, uint64_t count) override {
        std::lock_guard<std::mutex> hold(lock);
        more += count;
    }
    void reset() {
        std::lock_guard<std::mutex> hold(lock);
        for (VResult* r : arrived)
            r->deleteThis();
        arrived.clear();
        perThread.clear();
        sources.clear();
        more = 0;
        firstBatchAt = 0;
    }

    std::mutex lock;
    std::vector<VResult*> arrived;
    std::map<DWORD, long> perThread;
    std::map<DWORD, std::string> sources;
    uint64_t more = 0;
    double firstBatchAt = 0;
};

bool writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string withBackslashes(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string lowered(std::string text) {
    for (char& c : text)
        c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::vector<Query> readQueries(const std::string& profile) {
    std::vector<Query> queries;
    std::istringstream lines(readText(profile + "queries.tsv"));
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t a = line.find('\t'), b = line.find('\t', a + 1);
        if (a == std::string::npos || b == std::string::npos)
            continue;
        Query q;
        q.kind = line.substr(0, a);
        q.text = line.substr(a + 1, b - a - 1);
        const std::string meant = line.substr(b + 1);
        q.isFile = meant.compare(0, 5, "file:") == 0;
        q.meant = q.isFile ? profile + withBackslashes(meant.substr(5)) : meant.substr(4);
        queries.push_back(q);
    }
    return queries;
}

// Writes the profile's shortcut files through the shell, each pointing where shortcuts.tsv says: a
// "%...%" path is the machine's, any other is under the profile. Answers how many were written.
int writeShortcuts(const std::string& profile) {
    std::istringstream lines(readText(profile + "shortcuts.tsv"));
    std::string line;
    int written = 0;
    CShellLink link;
    while (std::getline(lines, line)) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos)
            continue;
        std::string target = withBackslashes(line.substr(tab + 1));
        if (!target.empty() && target[0] == '%') {
            char expanded[MAX_PATH * 2] = {};
            const DWORD n = ::ExpandEnvironmentStringsA(target.c_str(), expanded, sizeof(expanded));
            if (n == 0 || n > sizeof(expanded))
                continue;
            target = expanded;
        } else {
            target = profile + target;
        }
        CShellLinkInfo info;
        info.path = target;
        if (link.Create(info) && link.Save(profile + withBackslashes(line.substr(0, tab))))
            ++written;
    }
    return written;
}

// The browser's folder under local, as the Chromium plug-in looks for it.
std::string browserFolder(const std::string& local) {
    std::string folder = local;
    ::CreateDirectoryA(folder.c_str(), nullptr);
    for (const char* part : {"Google\\", "Chrome\\", "User Data\\", "Default\\"}) {
        folder += part;
        ::CreateDirectoryA(folder.c_str(), nullptr);
    }
    return folder;
}

// The History database from the generator's rows, with filler addresses up to total (0: none).
bool makeHistory(const std::string& tsv, const std::string& path, int total) {
    if (::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    ChromiumHistoryDb db(path);
    if (!db.ok() || !db.exec("BEGIN"))
        return false;
    std::istringstream lines(readText(tsv));
    std::string line;
    int rows = 0;
    while (std::getline(lines, line)) {
        std::vector<std::string> f;
        std::size_t at = 0;
        for (std::size_t tab; (tab = line.find('\t', at)) != std::string::npos; at = tab + 1)
            f.push_back(line.substr(at, tab - at));
        f.push_back(line.substr(at));
        if (f.size() != 4)
            continue;
        if (!db.add(f[0], f[1], std::atoi(f[2].c_str()), ChromiumHistoryDb::daysAgo(std::atof(f[3].c_str()))))
            return false;
        ++rows;
    }
    if (!addArticles(db, rows, total))
        return false;
    return db.exec("COMMIT");
}

struct Folder {
    std::string path;
    std::string include;
    const char* exclude;
    bool recurse;
};

std::string settingsXml(const std::vector<Folder>& folders) {
    std::string xml = "<Verbinox><Verbinox><Core><PluginMgr><Diskdex>";
    for (const Folder& f : folders)
        xml += "<Indexer Path=\"" + f.path + "\" IncludeFilters=\"" + f.include + "\" ExcludeFilters=\"" +
               f.exclude + "\" Recurse=\"" + (f.recurse ? "true" : "false") + "\" />";
    return xml + "</Diskdex></PluginMgr></Core></Verbinox></Verbinox>";
}

// One core with the program's plug-ins, the folders given and the browser profile under local, its
// caches built. Destroyed (and the plug-ins unloaded) with the session.
class Session {
public:
    Session(const std::string& settingsPath, const std::string& local) {
        ::SetEnvironmentVariableA("LOCALAPPDATA", local.c_str());
        core = VVerbinoxCore::instance();
        core->setPluginsPath(core->getAppLocation() + "Plugins\\");
        core->startUp();
        core->registerResultListener(&collector);
        VPreferencesNode* prefs = VPreferences::load(settingsPath);
        core->loadPrefs(prefs ? prefs->getChild("Verbinox") : nullptr);
        if (prefs)
            prefs->deleteThis();
        core->waitForCaches();
    }
    ~Session() {
        collector.reset();
        core->unregisterResultListener(&collector);
        core->shutDown();
        core->deleteThis();
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Runs text as the window does and waits until every source has handed on what it found. The
    // results stay in the collector until the next search. Returns the time to the last worker's end.
    double search(const std::string& text) {
        collector.reset();
        uint32_t id = 0;
        const double t0 = nowMs();
        started = t0;
        core->startSeach(text, id);
        while (VIndexer::getRunningWorkerCount() > 0)
            ::Sleep(0);
        const double elapsed = nowMs() - t0;
        core->cancelSearch(id);
        return elapsed;
    }

    // The results as the list shows them: ordered by key, larger first, equal keys in arrival order;
    // one row per address (the first, which has the better key).
    std::vector<VResult*> listed() {
        std::vector<VResult*> rows = collector.arrived;
        std::stable_sort(rows.begin(), rows.end(), [](const VResult* a, const VResult* b) {
            return a->getRankKey() > b->getRankKey();
        });
        std::vector<VResult*> unique;
        std::unordered_set<std::string> seen;
        for (VResult* r : rows) {
            const VProperty* p = r->getDefaultProperty();
            const std::string identity = p ? std::to_string(p->getPropertyType()) + '\n' + p->getValue()
                                           : std::to_string(unique.size());
            if (seen.insert(identity).second)
                unique.push_back(r);
        }
        return unique;
    }

    VVerbinoxCore* core = nullptr;
    Collector collector;
    double started = 0;
};

bool isMeant(const VResult* r, const Query& q) {
    const VProperty* p = r->getDefaultProperty();
    if (!p)
        return false;
    return q.isFile ? lowered(p->getValue()) == lowered(q.meant) : p->getValue() == q.meant;
}

// The meant item's place in the list, from 1; 0 when the search did not find it.
int placeOf(const std::vector<VResult*>& rows, const Query& q, VResult** found = nullptr) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (isMeant(rows[i], q)) {
            if (found)
                *found = rows[i];
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

struct Pass {
    const char* name;
    std::vector<int> places;
    double mrr() const {
        double sum = 0;
        for (int p : places)
            sum += p ? 1.0 / p : 0.0;
        return places.empty() ? 0 : sum / static_cast<double>(places.size());
    }
    double firstShare() const {
        return places.empty() ? 0
                              : static_cast<double>(std::count(places.begin(), places.end(), 1)) /
                                    static_cast<double>(places.size());
    }
};

// A text as a JSON string; bytes that are not UTF-8 come out as U+FFFD rather than failing the report.
std::string jsonString(const std::string& text) {
    return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

struct Broad {
    std::string text;
    long results = 0;
    long mostFromOneSource = 0;
    uint64_t more = 0;
    double firstBatchMs = 0;
    double allMs = 0;
    std::vector<std::pair<std::string, long>> perSource;
};

// "Diskdex (Z:\\profile\\Documents\\a\\b.doc)" as "Diskdex Documents": a folder source by the
// folder under the profile its first result came from; other sources by their plug-in's name.
std::string sourceName(const std::string& described, const std::string& profile) {
    const std::size_t open = described.find(" (");
    const std::string plugin = described.substr(0, open);
    if (open == std::string::npos || described.compare(open + 2, profile.size(), profile) != 0)
        return plugin;
    const std::size_t from = open + 2 + profile.size();
    return plugin + " " + described.substr(from, described.find('\\', from) - from);
}

Broad broadSearch(Session& session, const std::string& text, const std::string& profile) {
    Broad b;
    b.text = text;
    std::vector<double> firsts, alls;
    for (int run = 0; run < 5; ++run) {
        alls.push_back(session.search(text));
        firsts.push_back(session.collector.firstBatchAt ? session.collector.firstBatchAt - session.started
                                                        : -1);
    }
    b.firstBatchMs = median(firsts);
    b.allMs = median(alls);
    std::lock_guard<std::mutex> hold(session.collector.lock);
    b.results = static_cast<long>(session.collector.arrived.size());
    b.more = session.collector.more;
    for (const auto& [thread, count] : session.collector.perThread) {
        b.perSource.emplace_back(sourceName(session.collector.sources[thread], profile), count);
        b.mostFromOneSource = std::max(b.mostFromOneSource, count);
    }
    return b;
}

void printBroad(const Broad& b, int limit) {
    std::printf("broad text \"%s\": %ld results handed on, %llu more reported; first batch %.2f ms, "
                "all %.2f ms\n",
                b.text.c_str(), b.results, static_cast<unsigned long long>(b.more), b.firstBatchMs, b.allMs);
    for (const auto& [source, count] : b.perSource)
        std::printf("    %-24s %6ld %s\n", source.c_str(), count, count <= limit ? "" : "(over the limit)");
}

std::string broadJson(const Broad& b) {
    std::string json = "{\"text\": " + jsonString(b.text) + ", \"results\": " + std::to_string(b.results) +
                       ", \"moreReported\": " + std::to_string(b.more) +
                       ", \"mostFromOneSource\": " + std::to_string(b.mostFromOneSource);
    char buf[160];
    std::snprintf(buf, sizeof(buf), ", \"firstBatchMs\": %.3f, \"allMs\": %.3f, \"perSource\": [",
                  b.firstBatchMs, b.allMs);
    json += buf;
    for (std::size_t i = 0; i < b.perSource.size(); ++i)
        json += (i ? ", " : "") + std::string("{\"source\": ") + jsonString(b.perSource[i].first) +
                ", \"results\": " + std::to_string(b.perSource[i].second) + "}";
    return json + "]}";
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vx_bench_rank PROFILE_FOLDER [RESULT.json]\n"
                             "(the folder is made by bench/make_rank_profile.py)\n");
        return 2;
    }
    std::string profile = withBackslashes(argv[1]);
    if (profile.back() != '\\')
        profile += '\\';
    const std::vector<Query> queries = readQueries(profile);
    if (queries.empty()) {
        std::fprintf(stderr, "bench: no queries in %squeries.tsv\n", profile.c_str());
        return 2;
    }
    ::CoInitialize(nullptr);
    const int shortcuts = writeShortcuts(profile);
    if (shortcuts == 0) {
        std::fprintf(stderr, "bench: cannot write the shortcuts listed in %sshortcuts.tsv\n",
                     profile.c_str());
        return 2;
    }

    // The browser: the profile's history and bookmarks; a second one of 100,000 addresses for the broad
    // text; an empty one for the cost of ranking. Caches and the memory of choices in a folder of the
    // run's own, emptied by being new.
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string work =
        std::string(temp) + "vx-bench-rank-" + std::to_string(::GetCurrentProcessId()) + "\\";
    ::CreateDirectoryA(work.c_str(), nullptr);
    ::CreateDirectoryA((work + "caches\\").c_str(), nullptr);
    vx::setCacheFolder(work + "caches\\");
    const std::string local = profile + "Local\\", bigLocal = profile + "Local-100k\\",
                      noLocal = work + "no-browser\\";
    ::CreateDirectoryA(noLocal.c_str(), nullptr);
    const std::string browser = browserFolder(local), bigBrowser = browserFolder(bigLocal);
    if (!makeHistory(profile + "Browser\\history.tsv", browser + "History", 0) ||
        !makeHistory(profile + "Browser\\history.tsv", bigBrowser + "History", 100000)) {
        std::fprintf(stderr, "bench: cannot make the browser history under %s\n", local.c_str());
        return 2;
    }
    ::CopyFileA((profile + "Browser\\Bookmarks").c_str(), (browser + "Bookmarks").c_str(), FALSE);

    // The folders a user's menus, programs, documents and desktop are in, with the presets' filters.
    const std::string media = "*.doc;*.pdf;*.xls;*.txt;*.jpg;*.mp3;*.ogg;*.wma;*.avi;*.mpg;*.mov";
    const std::string settings = work + "rank.xml", bulkSettings = work + "bulk.xml";
    writeText(settings, settingsXml({{profile + "Start Menu", "*.lnk", "*uninstall*", true},
                                     {profile + "Program Files", "*.exe", "", true},
                                     {profile + "Documents", media, "", true},
                                     {profile + "Desktop", "*.exe;" + media, "", true},
                                     {profile + "Recent", "*.lnk", "", false}}));
    writeText(bulkSettings, settingsXml({{profile + "Bulk", "*.txt", "", true}}));

    std::vector<Pass> passes = {{"ranking off", {}}, {"ranking on", {}}, {"on, chosen once before", {}}};
    std::vector<std::string> misses;
    Broad broadE, broadHtt, broadCom;
    int limit = 0;
    {
        Session session(settings, local);
        VVerbinoxCore* core = session.core;
        core->setChoiceFile(work + "choices.xml");
        core->forgetChoices();
        // Two characters: initials such as "tm" are searched for.
        core->setSearchMinChars(2);
        limit = core->getResultsPerSource();
        for (const Query& q : queries) {
            core->setRankResults(false);
            session.search(q.text);
            passes[0].places.push_back(placeOf(session.listed(), q));

            core->setRankResults(true);
            session.search(q.text);
            VResult* meant = nullptr;
            const std::vector<VResult*> rows = session.listed();
            const int place = placeOf(rows, q, &meant);
            passes[1].places.push_back(place);
            std::string line = q.kind + "\t" + q.text + "\t" + std::to_string(place) + "\t";
            for (std::size_t i = 0; i < rows.size() && i < 3; ++i) {
                const VProperty* p = rows[i]->getDefaultProperty();
                line += (i ? " | " : "") + (p ? p->getValue() : rows[i]->getDisplayText());
            }
            if (place != 1)
                misses.push_back(line);

            // The same text after the user chose the meant item for it once, that choice alone.
            if (meant)
                core->recordChoice(q.text, meant);
            session.search(q.text);
            passes[2].places.push_back(placeOf(session.listed(), q));
            core->forgetChoices();
        }

        core->setSearchMinChars(1);
        broadE = broadSearch(session, "e", profile);
        core->setSearchMinChars(3);
    }
    {
        Session session(settings, bigLocal);
        broadHtt = broadSearch(session, "htt", profile);
        // The scheme is not searched: "com", in every host, is the broad text of this history.
        broadCom = broadSearch(session, "com", profile);
    }

    // Ranking's cost: one source of 50,000 names that all match, the same search with ranking on and off.
    double rankedMs = 0, unrankedMs = 0;
    long candidates = 0;
    {
        Session session(bulkSettings, noLocal);
        std::vector<double> on, off;
        for (int run = 0; run < 9; ++run) {
            session.core->setRankResults(true);
            on.push_back(session.search("doc"));
            session.core->setRankResults(false);
            off.push_back(session.search("doc"));
            std::lock_guard<std::mutex> hold(session.collector.lock);
            candidates = static_cast<long>(session.collector.arrived.size() + session.collector.more);
        }
        rankedMs = median(on);
        unrankedMs = median(off);
    }

    const char* target = sizeof(void*) == 4 ? "i686" : "x86_64";
    std::printf("Ranking over a realistic profile: %zu queries, %d shortcuts (%s under Wine)\n",
                queries.size(), shortcuts, target);
    std::printf("%-28s %8s %12s %10s\n", "", "MRR", "first", "not found");
    for (const Pass& p : passes)
        std::printf("%-28s %8.3f %11.1f%% %10ld\n", p.name, p.mrr(), 100.0 * p.firstShare(),
                    static_cast<long>(std::count(p.places.begin(), p.places.end(), 0)));
    std::printf(
        "queries whose item was not first with ranking on (kind, text, place (0: not found), first rows):\n");
    for (const std::string& m : misses)
        std::printf("  %s\n", m.c_str());
    printBroad(broadE, limit);
    printBroad(broadHtt, limit);
    printBroad(broadCom, limit);
    std::printf("ranking cost, one search of %ld candidates: on %.2f ms, off %.2f ms\n", candidates, rankedMs,
                unrankedMs);

    if (argc > 2) {
        std::string json = "{\n  \"target\": \"" + std::string(target) +
                           "\",\n  \"queries\": " + std::to_string(queries.size()) +
                           ",\n  \"resultsPerSource\": " + std::to_string(limit) + ",\n  \"passes\": [";
        for (std::size_t i = 0; i < passes.size(); ++i) {
            char buf[200];
            std::snprintf(buf, sizeof(buf), "%s{\"name\": \"%s\", \"mrr\": %.4f, \"firstShare\": %.4f}",
                          i ? ", " : "", passes[i].name, passes[i].mrr(), passes[i].firstShare());
            json += buf;
        }
        json += "],\n  \"notFirst\": [";
        for (std::size_t i = 0; i < misses.size(); ++i)
            json += (i ? ",\n    " : "\n    ") + jsonString(misses[i]);
        json += "],\n  \"broad\": [" + broadJson(broadE) + ",\n    " + broadJson(broadHtt) + ",\n    " +
                broadJson(broadCom) + "],\n";
        char buf[200];
        std::snprintf(
            buf, sizeof(buf),
            "  \"rankingCost\": {\"candidates\": %ld, \"rankedMs\": %.3f, \"unrankedMs\": %.3f}\n}\n",
            candidates, rankedMs, unrankedMs);
        json += buf;
        if (!writeText(argv[2], json))
            std::fprintf(stderr, "bench: cannot write %s\n", argv[2]);
    }
    vx::setCacheFolder(std::string());
    ::CoUninitialize();
    return 0;
}
