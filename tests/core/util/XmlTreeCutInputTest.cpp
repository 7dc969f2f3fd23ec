#include "util/XmlTree.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

// A settings file as the program writes it, with what hand editing adds (a declaration, a comment,
// references, a non-ASCII letter in UTF-8), so that cuts and mutations land in every kind of markup.
const std::string settingsDocument =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<!-- Verbinox settings -->\r\n"
    "<Verbinox>\r\n"
    "    <Verbinox>\r\n"
    "        <Window HotKey=\"32\" Left=\"-1200\" ShowIcons=\"true\" />\r\n"
    "        <Core LiveSearching=\"false\" MinSearchChars=\"3\">\r\n"
    "            <PluginMgr>\r\n"
    "                <Diskdex>\r\n"
    "                    <Folder Path=\"C:\\Users\\Ren\xC3\xA9\\\" />\r\n"
    "                    <Folder Note=\"a &amp; b&#xA;&lt;c&gt;\" />\r\n"
    "                </Diskdex>\r\n"
    "            </PluginMgr>\r\n"
    "            <Fonts Font=\"f3ffffff0000900154616800\" TextColor=\"-1\" />\r\n"
    "        </Core>\r\n"
    "    </Verbinox>\r\n"
    "</Verbinox>\r\n";

enum Outcome : char { refused, noElement, element };

// The worker's inputs, results and progress; shared with the worker so that a worker still stuck in the
// reader after the test function has gone touches nothing on its stack.
struct ParseRun {
    std::vector<std::string> inputs;
    std::vector<Outcome> outcomes;
    std::mutex lock;
    std::condition_variable progressed;
    std::size_t done = 0;
};

// Parses every input on a worker thread. A hung XmlLite cannot be interrupted, so when one input takes
// longer than the bound the process ends with a message giving its index, failing the test program
// instead of hanging CI.
std::vector<Outcome> parseEachWithin(std::vector<std::string> inputs, std::chrono::seconds bound) {
    auto run = std::make_shared<ParseRun>();
    run->inputs = std::move(inputs);
    run->outcomes.resize(run->inputs.size(), refused);
    std::thread worker([run] {
        for (std::size_t i = 0; i < run->inputs.size(); ++i) {
            vx::XmlElement document;
            bool ok = vx::parseXml(run->inputs[i], document);
            std::lock_guard<std::mutex> hold(run->lock);
            run->outcomes[i] = !ok ? refused : document.children.empty() ? noElement : element;
            run->done = i + 1;
            run->progressed.notify_one();
        }
    });
    std::unique_lock<std::mutex> hold(run->lock);
    while (run->done < run->inputs.size()) {
        std::size_t seen = run->done;
        if (!run->progressed.wait_for(hold, bound, [&] { return run->done != seen; })) {
            // The inputs are the same on every run: the index is enough to find the one that hangs.
            std::fprintf(stderr, "parseXml did not return within %d s on input %u\n",
                         static_cast<int>(bound.count()), static_cast<unsigned>(seen));
            std::fflush(stderr);
            ::TerminateProcess(::GetCurrentProcess(), 3);
        }
    }
    hold.unlock();
    worker.join();
    return run->outcomes;
}

// Seeded byte flips, insertions (markup characters half the time) and deletions, one to four per input.
std::vector<std::string> mutationsOf(const std::string& text, int count) {
    static const char markup[] = "<>/=\"'&;?!-[] \r\n\xC3\xA9\xFF";
    std::mt19937 rng(20240611);
    std::vector<std::string> result(static_cast<std::size_t>(count), text);
    for (std::string& mutated : result) {
        for (unsigned edits = 1 + rng() % 4; edits > 0 && !mutated.empty(); --edits) {
            std::size_t at = rng() % mutated.size();
            char byte = rng() % 2 ? markup[rng() % (sizeof markup - 1)] : static_cast<char>(rng());
            unsigned kind = rng() % 3;
            if (kind == 0)
                mutated[at] = byte;
            else if (kind == 1)
                mutated.insert(at, 1, byte);
            else
                mutated.erase(at, 1 + rng() % 8);
        }
    }
    return result;
}

TEST(XmlTree, ReaderEndsOnEveryCutOrMutatedSettingsFile) {
    std::vector<std::string> inputs = mutationsOf(settingsDocument, 3000);
    inputs.push_back("<Verbinox><Verbinox>");
    const std::size_t firstPrefix = inputs.size();
    for (std::size_t length = 0; length <= settingsDocument.size(); ++length)
        inputs.push_back(settingsDocument.substr(0, length));

    std::vector<Outcome> outcomes = parseEachWithin(inputs, std::chrono::seconds(10));

    EXPECT_EQ(refused, outcomes[firstPrefix - 1]);
    // Cut before the root's end tag, a file never gives a tree: at best it holds no element yet.
    const std::size_t rootEnd = settingsDocument.rfind('>') + 1;
    for (std::size_t length = 0; length <= settingsDocument.size(); ++length) {
        bool whole = outcomes[firstPrefix + length] == element;
        EXPECT_EQ(length >= rootEnd, whole) << "cut after " << length << " bytes";
    }
}

} // namespace
