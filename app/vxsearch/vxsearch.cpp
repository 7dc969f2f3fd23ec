// vxsearch: runs one search of the plug-ins beside it from the command line and prints what it finds.
// It loads the same "Plugins\" folder and "Verbinox.xml" as the program, so scripts see what the
// search window would show.
#include "ConsoleOutput.h"
#include "engine/VIndexer.h"
#include "engine/VListeners.h"
#include "engine/VVerbinoxCore.h"
#include "model/VAction.h"
#include "model/VPreferences.h"
#include "model/VResult.h"

#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: vxsearch [--json] [--live] [--limit N] [--run N] [--choices FILE] TEXT...\n"
    "\n"
    "Searches every source of the plug-ins in the \"Plugins\" folder beside this program, with the\n"
    "settings of \"Verbinox.xml\" beside it (plug-in defaults when it is missing), and prints one line\n"
    "per result, best first as the search window ranks them: its text, its second line and its default\n"
    "property, separated by tabs. Actions whose keyword starts with the text follow as \"action\",\n"
    "keyword, name and description.\n"
    "\n"
    "  --json          print one JSON object per line instead\n"
    "  --live          search the sources themselves instead of their caches\n"
    "  --limit N       print only the best N results\n"
    "  --run N         then run the N-th result printed (1 is the first) as Enter in the search window\n"
    "                  would, and remember it as chosen for TEXT\n"
    "  --choices FILE  remember choices in FILE instead of the search window's own memory\n"
    "  --help          show this text\n"
    "\n"
    "Exit status: 0 when something was found (and, with --run, the result ran), 1 when nothing was,\n"
    "2 on an error: bad arguments, no N-th result to run, or a result that could not be run.\n";

struct Options {
    bool json = false;
    bool live = false;
    long limit = -1;
    long run = 0; // 1-based; 0: print only
    std::string choices;
    std::string text;
};

// Keeps every result of the current search; the core has already dropped those of other searches.
class Collector : public VResultListener, public VActionListener {
public:
    void deleteThis() override {}
    void onResult(uint32_t id, VResult* result) override { onResults(id, &result, 1); }
    void onResults(uint32_t, VResult** results, int count) override {
        std::lock_guard<std::mutex> hold(lock);
        results_.insert(results_.end(), results, results + count);
    }
    void onAction(uint32_t, VAction* action) override { actions.push_back(action); }
    std::vector<VResult*> takeResults() {
        std::lock_guard<std::mutex> hold(lock);
        std::vector<VResult*> out;
        out.swap(results_);
        return out;
    }
    std::vector<VAction*> actions;

private:
    std::mutex lock;
    std::vector<VResult*> results_;
};

const char* typeName(PropertyType type) {
    switch (type) {
    case VProperty::TextType:
        return "text";
    case VProperty::FileType:
        return "file";
    case VProperty::UrlType:
        return "url";
    case VProperty::NameType:
        return "name";
    case VProperty::EmailType:
        return "email";
    case VProperty::AddressType:
        return "address";
    case VProperty::PhoneType:
        return "phone";
    case VProperty::ImType:
        return "im";
    default:
        return "unknown";
    }
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof(buf), "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

// Tabs and line breaks inside a field would break the columns.
std::string field(std::string text) {
    for (char& c : text) {
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    }
    return text;
}

// The first child of that name, added when there is none.
VPreferencesNode* childOf(VPreferencesNode* node, const char* name) {
    VPreferencesNode* child = node->getChild(name);
    if (!child) {
        child = VPreferencesNode::createInstance(name);
        node->addChild(child);
    }
    return child;
}

bool parseArguments(int argc, char** argv, Options& options, std::string& error) {
    bool textOnly = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (!textOnly && arg == "--") {
            textOnly = true;
        } else if (!textOnly && arg == "--json") {
            options.json = true;
        } else if (!textOnly && arg == "--live") {
            options.live = true;
        } else if (!textOnly && arg == "--limit") {
            if (i + 1 >= argc) {
                error = "--limit needs a number";
                return false;
            }
            char* end = nullptr;
            long n = std::strtol(argv[++i], &end, 10);
            if (!end || *end || n < 0) {
                error = std::string("--limit needs a number of 0 or more, not \"") + argv[i] + "\"";
                return false;
            }
            options.limit = n;
        } else if (!textOnly && arg == "--run") {
            if (i + 1 >= argc) {
                error = "--run needs the number of a result";
                return false;
            }
            char* end = nullptr;
            long n = std::strtol(argv[++i], &end, 10);
            if (!end || *end || n < 1) {
                error = std::string("--run needs the number of a result, 1 or more, not \"") + argv[i] + "\"";
                return false;
            }
            options.run = n;
        } else if (!textOnly && arg == "--choices") {
            if (i + 1 >= argc || !*argv[i + 1]) {
                error = "--choices needs a file";
                return false;
            }
            options.choices = argv[++i];
        } else if (!textOnly && arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
            error = "unknown option " + arg;
            return false;
        } else {
            if (!options.text.empty())
                options.text += ' ';
            options.text += arg;
        }
    }
    if (options.text.empty()) {
        error = "no search text given";
        return false;
    }
    return true;
}

// Runs a result as the search window's Enter does: the default action of its default property's type,
// given the result, that property and the text as typed; a result that ran is remembered as chosen.
bool runResult(VVerbinoxCore* core, VResult* result, const std::string& text) {
    VProperty* property = result->getPropertyCount() > 0 ? result->getDefaultProperty() : nullptr;
    VAction* action = property ? core->getDefaultAction(property->getPropertyType()) : nullptr;
    const std::string what = property ? property->getValue() : result->getDisplayText();
    if (!action) {
        std::fprintf(stderr, "vxsearch: nothing runs \"%s\": no action opens a result of its kind\n",
                     what.c_str());
        return false;
    }
    bool ran = false;
    try {
        ran = action->execute(result, property, text);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vxsearch: running \"%s\" failed: %s\n", what.c_str(), e.what());
        return false;
    } catch (...) {
        std::fprintf(stderr, "vxsearch: running \"%s\" failed\n", what.c_str());
        return false;
    }
    if (!ran) {
        std::fprintf(stderr, "vxsearch: \"%s\" could not be run (%s)\n", what.c_str(),
                     action->getName().c_str());
        return false;
    }
    core->recordChoice(text, result);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    // Results are printed as UTF-8 bytes; a console must be told to read them so.
    const Utf8ConsoleOutput console(::GetStdHandle(STD_OUTPUT_HANDLE));
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--help" || std::string(argv[i]) == "-h" ||
            std::string(argv[i]) == "/?") {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    Options options;
    std::string error;
    if (!parseArguments(argc, argv, options, error)) {
        std::fprintf(stderr, "vxsearch: %s\n(vxsearch --help explains the options)\n", error.c_str());
        return 2;
    }

    ::CoInitialize(nullptr);
    VVerbinoxCore* core = VVerbinoxCore::instance();
    if (!core) {
        std::fputs("vxsearch: out of memory\n", stderr);
        return 2;
    }
    Collector collector;
    core->startUp();
    core->registerResultListener(&collector);
    core->registerActionListener(&collector);

    const std::string prefsFile = core->getAppLocation() + "Verbinox.xml";
    VPreferencesNode* prefs = nullptr;
    if (::GetFileAttributesA(prefsFile.c_str()) != INVALID_FILE_ATTRIBUTES) {
        prefs = VPreferences::load(prefsFile);
        if (!prefs)
            std::fprintf(stderr, "vxsearch: %s cannot be read; using the plug-ins' defaults\n",
                         prefsFile.c_str());
    }
    if (options.live) {
        // Known before the plug-ins read their settings, so no cache is built only to be dropped: a
        // live search costs one walk, not two.
        if (!prefs)
            prefs = VPreferencesNode::createInstance("Verbinox");
        VPreferencesNode* app = childOf(prefs, "Verbinox");
        childOf(app, "Core")->setParam("LiveSearching", true);
    }
    core->loadPrefs(prefs ? prefs->getChild("Verbinox") : nullptr);
    if (prefs)
        prefs->deleteThis();
    // Before the search: its query reads what was chosen before.
    if (!options.choices.empty())
        core->setChoiceFile(options.choices);

    if (core->getNumIndexers() == 0)
        std::fprintf(stderr, "vxsearch: no sources: no plug-in in %s\n", core->getPluginsPath().c_str());
    if (static_cast<long long>(options.text.size()) < core->getSearchMinChars())
        std::fprintf(stderr, "vxsearch: \"%s\" is shorter than the %d characters a search needs\n",
                     options.text.c_str(), core->getSearchMinChars());

    // The builders load the persisted caches and bring them up to date, or walk what has none.
    core->waitForCaches();
    for (int i = 0; i < core->getNumIndexers(); ++i) {
        const std::string note = core->getIndexer(i)->getCacheNote();
        if (!note.empty())
            std::fprintf(stderr, "vxsearch: %s\n", note.c_str());
    }

    uint32_t id = 0;
    core->startSeach(options.text, id);
    for (int i = 0; i < core->getNumIndexers(); ++i) {
        while (core->getIndexer(i)->isWorkerRunning())
            ::Sleep(1);
    }
    core->unregisterResultListener(&collector);
    core->unregisterActionListener(&collector);
    std::vector<VResult*> results = collector.takeResults();
    // Best first across the sources, as the window lists them; equal keys keep the order they came in.
    // With ranking off every key is 0 and the order is the arrival order.
    if (core->getRankResults())
        std::stable_sort(results.begin(), results.end(), [](const VResult* a, const VResult* b) {
            return a->getRankKey() > b->getRankKey();
        });

    long printed = 0;
    for (VResult* r : results) {
        if (options.limit >= 0 && printed >= options.limit)
            break;
        std::string value, type = "none";
        if (r->getPropertyCount() > 0) {
            value = r->getDefaultProperty()->getValue();
            type = typeName(r->getDefaultProperty()->getPropertyType());
        }
        if (options.json)
            std::printf("{\"kind\":\"result\",\"text\":%s,\"text2\":%s,\"property\":%s,\"type\":\"%s\"}\n",
                        jsonString(r->getDisplayText()).c_str(), jsonString(r->getDisplayText2()).c_str(),
                        jsonString(value).c_str(), type.c_str());
        else
            std::printf("%s\t%s\t%s\n", field(r->getDisplayText()).c_str(),
                        field(r->getDisplayText2()).c_str(), field(value).c_str());
        ++printed;
    }
    for (VAction* a : collector.actions) {
        if (options.json)
            std::printf("{\"kind\":\"action\",\"keyword\":%s,\"name\":%s,\"description\":%s}\n",
                        jsonString(a->getKeyword()).c_str(), jsonString(a->getName()).c_str(),
                        jsonString(a->getDescription()).c_str());
        else
            std::printf("action\t%s\t%s\t%s\n", field(a->getKeyword()).c_str(), field(a->getName()).c_str(),
                        field(a->getDescription()).c_str());
    }
    std::fflush(stdout);
    const bool found = !results.empty() || !collector.actions.empty();
    int runStatus = 0;
    if (options.run > 0) {
        if (options.run > printed) {
            std::fprintf(stderr, "vxsearch: --run %ld: there is no result %ld; %ld %s printed\n", options.run,
                         options.run, printed, printed == 1 ? "was" : "were");
            runStatus = 2;
        } else if (!runResult(core, results[options.run - 1], options.text)) {
            runStatus = 2;
        }
    }
    if (!found && static_cast<long long>(options.text.size()) >= core->getSearchMinChars()) {
        std::fprintf(stderr, "vxsearch: nothing found for \"%s\" in:\n", options.text.c_str());
        for (int i = 0; i < core->getNumIndexers(); ++i) {
            std::string source = core->getIndexer(i)->getSourceDescription();
            std::fprintf(stderr, "  %s\n",
                         source.empty() ? "(a source that does not describe itself)" : source.c_str());
        }
        std::fputs("(\"Verbinox.xml\" beside vxsearch.exe chooses the folders; see the README)\n", stderr);
    }

    for (VResult* r : results)
        r->deleteThis();
    core->shutDown();
    core->deleteThis();
    ::CoUninitialize();
    if (runStatus != 0)
        return runStatus;
    return found ? 0 : 1;
}
