#include "DiskdexFixture.h"
#include "support/Watchdog.h"

#include "FolderCache.h"
#include "engine/VSearchQuery.h"
#include "model/VResult.h"
#include "util/CShellLink.h"
#include "util/ComRef.h"

#include <windows.h>

#include <atomic>
#include <thread>

namespace {

using Names = std::set<std::string>;

// Sets a folder's last-write time an hour back, as if its last change were long past: the times that
// the cache then records are trusted, and a change afterwards is told by its time alone. Each call goes
// a minute further back, so that two agings of one folder never give it the same time.
bool ageFolder(const std::string& path) {
    HANDLE h = ::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t{};
    t.LowPart = now.dwLowDateTime;
    t.HighPart = now.dwHighDateTime;
    static int calls = 0;
    t.QuadPart -= (3600ull + 60ull * static_cast<unsigned>(++calls)) * 10000000ull;
    FILETIME past{t.LowPart, t.HighPart};
    const bool ok = ::SetFileTime(h, nullptr, nullptr, &past) != FALSE;
    ::CloseHandle(h);
    return ok;
}

bool writeAll(const std::string& path, const std::string& content) {
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
                    written == content.size();
    ::CloseHandle(h);
    return ok;
}

// Every snapshot the builder can make holds together: folders after their parents, each folder's entries
// one run inside the table, every name within the names and prepared for matching beside it.
void expectConsistent(const FolderCache& c) {
    std::size_t last = 0;
    for (std::size_t f = 0; f < c.folderCount(); ++f) {
        if (f > 0) {
            ASSERT_LT(c.folder(f).parent, f);
        }
        ASSERT_EQ(c.folder(f).firstEntry, last);
        last = c.entryEnd(f);
        ASSERT_LE(last, c.entryCount());
        ASSERT_EQ(c.folder(f).path.back(), '\\');
    }
    ASSERT_EQ(last, c.entryCount());
    for (std::size_t e = 0; e < c.entryCount(); ++e) {
        ASSERT_FALSE(c.name(e).empty());
        ASSERT_EQ(c.preparedName(e), VSearchQuery::prepared(c.name(e))) << c.name(e);
    }
}

// Everything a snapshot says, as text, so two can be compared in one assertion.
std::string describe(const FolderCache& c) {
    std::string out;
    for (std::size_t f = 0; f < c.folderCount(); ++f) {
        out += c.folder(f).path + " " + std::to_string(c.folder(f).writeTime) + " <" +
               std::to_string(c.folder(f).parent) + ">\n";
        for (std::size_t e = c.folder(f).firstEntry; e < c.entryEnd(f); ++e) {
            out.append("  ").append(c.name(e)).append(c.isDir(e) ? "\\" : "");
            if (!c.target(e).empty())
                out.append(" -> ").append(c.target(e));
            out += '\n';
        }
    }
    return out;
}

class FolderCaches : public Diskdex {
protected:
    // folder "t": two files on top, one two levels down, a folder with a file and an excluded one.
    void makeTree() {
        for (const char* d : {"t", "t\\one", "t\\one\\two", "t\\side"})
            ASSERT_TRUE(folder.makeDir(d));
        for (const char* f : {"t\\top note.txt", "t\\Top Other.txt", "t\\one\\two\\deep note.txt",
                              "t\\side\\side note.txt", "t\\side\\skip.bin"})
            ASSERT_TRUE(folder.writeFile(f, "x"));
        for (const char* d : {"t", "t\\one", "t\\one\\two", "t\\side"})
            ASSERT_TRUE(ageFolder(folder.sub(d)));
    }
    FolderSettings settingsOf(const std::string& relative) {
        FolderSettings s;
        s.root = folder.sub(relative);
        s.exclude = {"*.bin"};
        s.matchDirectories = true;
        return s;
    }
    VDiskdexIndexer* treeIndexer() {
        auto* indexer = folderIndexer("t", "", "*.bin");
        indexer->setMatchDirectories(true);
        return indexer;
    }
    // Searches until want() holds or ms have passed; true when it held.
    template <class Want> bool searchUntil(const std::string& text, DWORD ms, Want want) {
        const ULONGLONG end = ::GetTickCount64() + ms;
        do {
            if (want(searchAsIs(text)))
                return true;
            ::Sleep(20);
        } while (::GetTickCount64() < end);
        return want(searchAsIs(text));
    }
};

} // namespace

TEST_F(FolderCaches, ASnapshotReadsBackFromItsPayloadAsItWas) {
    makeTree();
    const FolderSettings settings = settingsOf("t");
    std::shared_ptr<const FolderCache> walked = FolderCache::walk(settings, nullptr);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->folderCount(), 4u);
    EXPECT_EQ(walked->entryCount(), 7u) << "four files that pass the filter and three folders";
    std::shared_ptr<const FolderCache> read = FolderCache::deserialize(walked->serialize(), settings);
    ASSERT_TRUE(read);
    EXPECT_EQ(describe(*read), describe(*walked));
    expectConsistent(*read); // the prepared names are made again

    FolderSettings elsewhere = settings;
    elsewhere.root = folder.sub("t\\one");
    EXPECT_FALSE(FolderCache::deserialize(walked->serialize(), elsewhere)) << "made for another folder";
}

TEST_F(FolderCaches, ShortcutsKeepWhatTheyPointAtThroughThePayloadAndAFolderReadAgain) {
    ASSERT_TRUE(folder.makeDir("s"));
    ASSERT_TRUE(folder.makeDir("s\\menu"));
    const std::string program = folder.sub("s\\app.exe");
    ASSERT_TRUE(folder.writeFile("s\\app.exe", "x"));
    {
        vx::CComInitScope com;
        CShellLink link;
        CShellLinkInfo info;
        info.path = program;
        ASSERT_TRUE(link.Create(info));
        ASSERT_TRUE(link.Save(folder.sub("s\\menu\\App.lnk")));
        ASSERT_TRUE(link.Save(folder.sub("s\\Top App.LNK")));
    }
    ASSERT_TRUE(folder.writeFile("s\\menu\\broken.lnk", "not a shortcut"));
    for (const char* d : {"s", "s\\menu"})
        ASSERT_TRUE(ageFolder(folder.sub(d)));
    FolderSettings settings = settingsOf("s");
    std::shared_ptr<const FolderCache> walked = FolderCache::walk(settings, nullptr);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->shortcutCount(), 2u) << "the broken one has nothing to keep";
    const std::string described = describe(*walked);
    EXPECT_NE(described.find("App.lnk -> " + program + "\n"), std::string::npos) << described;
    EXPECT_NE(described.find("Top App.LNK -> " + program + "\n"), std::string::npos) << described;

    const std::string payload = walked->serialize();
    std::shared_ptr<const FolderCache> read = FolderCache::deserialize(payload, settings);
    ASSERT_TRUE(read);
    EXPECT_EQ(describe(*read), described);
    mustFinishWithin(60000, "reading damaged payloads with shortcuts", [&] {
        for (std::size_t n = 0; n < payload.size(); ++n)
            EXPECT_FALSE(FolderCache::deserialize(payload.substr(0, n), settings)) << "cut at " << n;
        for (std::size_t at = 0; at < payload.size(); ++at) {
            for (unsigned char flip : {0x01, 0x80, 0xFF}) {
                std::string bad = payload;
                bad[at] = static_cast<char>(bad[at] ^ flip);
                if (std::shared_ptr<const FolderCache> c = FolderCache::deserialize(bad, settings)) {
                    expectConsistent(*c);
                    for (std::size_t e = 0; e < c->entryCount(); ++e)
                        EXPECT_TRUE(c->target(e).empty() || !c->isDir(e)) << "a folder has no target";
                }
            }
        }
    });

    // The top folder is read again; the menu's entries are copied from the old snapshot, targets too.
    ASSERT_TRUE(folder.writeFile("s\\new.txt", "x"));
    std::shared_ptr<const FolderCache> next = read->refreshed(settings, {}, nullptr, nullptr);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->shortcutCount(), 2u);
    const std::string after = describe(*next);
    EXPECT_NE(after.find("App.lnk -> " + program + "\n"), std::string::npos) << after;
    EXPECT_NE(after.find("Top App.LNK -> " + program + "\n"), std::string::npos) << after;
    expectConsistent(*next);
}

TEST_F(FolderCaches, AShortcutSavedAgainInPlaceIsFoundByItsNewTarget) {
    ASSERT_TRUE(folder.makeDir("w"));
    vx::CComInitScope com;
    auto save = [&](const std::string& target) {
        CShellLink link;
        CShellLinkInfo info;
        info.path = folder.sub("w\\" + target);
        return link.Create(info) && link.Save(folder.sub("w\\Tool.lnk"));
    };
    ASSERT_TRUE(save("alpha.exe"));
    ASSERT_TRUE(folder.writeFile("w\\log.txt", "x"));
    ASSERT_TRUE(ageFolder(folder.sub("w")));
    plugin->addIndexer(folderIndexer("w"));
    ASSERT_EQ(search("alpha"), (Names{"Tool"}));
    // The folder keeps its name list and its time: only the watch on writes tells.
    ASSERT_TRUE(save("bravo.exe"));
    EXPECT_TRUE(searchUntil("bravo", 5000, [](const Names& n) { return n.count("Tool") > 0; }));
    EXPECT_EQ(searchAsIs("alpha"), Names{});
}

TEST_F(FolderCaches, TheCacheFileWrittenAtExitLoadsAtTheNextStartAndFindsAFileMadeMeanwhile) {
    makeTree();
    VDiskdexIndexer* first = treeIndexer();
    plugin->addIndexer(first);
    ASSERT_TRUE(first->waitForRebuild(20000));
    EXPECT_NE(first->getCacheNote().find("built the cache of " + folder.sub("t") + ": 7 files in"),
              std::string::npos)
        << first->getCacheNote();
    const std::string before = describe(*first->getCache());
    const std::string file = first->getCacheFile();
    plugin->removeIndexer(first); // writes the cache as it goes
    ASSERT_NE(::GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES);

    std::string payload;
    ASSERT_TRUE(vx::readCacheFile(file, "folders", 3, settingsOf("t").key(), payload, 1 << 20));
    std::shared_ptr<const FolderCache> onDisk = FolderCache::deserialize(payload, settingsOf("t"));
    ASSERT_TRUE(onDisk);
    EXPECT_EQ(describe(*onDisk), before);
    EXPECT_LT(payload.size(), 3 * onDisk->nameBytes()) << "names once, a few bytes for each of them";

    ASSERT_TRUE(folder.writeFile("t\\one\\two\\made while off note.txt", "x"));
    ASSERT_TRUE(ageFolder(folder.sub("t\\one\\two"))); // changed, and trusted once read
    VDiskdexIndexer* second = treeIndexer();
    plugin->addIndexer(second);
    ASSERT_TRUE(second->waitForRebuild(20000));
    EXPECT_EQ(second->getCacheNote(), "") << "loaded, not walked";
    EXPECT_EQ(searchAsIs("note"),
              (Names{"top note.txt", "deep note.txt", "side note.txt", "made while off note.txt"}));
    EXPECT_EQ(second->getLastCheckStats().foldersRead, 1u) << "only the folder that changed is read again";
}

TEST_F(FolderCaches, AFileMadeRenamedAndDeletedTwoLevelsDownShowsWithinASecond) {
    makeTree();
    plugin->addIndexer(treeIndexer());
    ASSERT_EQ(search("note"), (Names{"top note.txt", "deep note.txt", "side note.txt"}));
    auto has = [](const char* name) { return [name](const Names& n) { return n.count(name) > 0; }; };
    auto lacks = [](const char* name) { return [name](const Names& n) { return n.count(name) == 0; }; };

    ASSERT_TRUE(folder.writeFile("t\\one\\two\\fresh note.txt", "x"));
    EXPECT_TRUE(searchUntil("note", 1000, has("fresh note.txt"))) << "made";
    ASSERT_TRUE(::MoveFileA(folder.sub("t\\one\\two\\fresh note.txt").c_str(),
                            folder.sub("t\\one\\two\\renamed note.txt").c_str()));
    EXPECT_TRUE(searchUntil("note", 1000, [](const Names& n) {
        return n.count("renamed note.txt") && !n.count("fresh note.txt");
    })) << "renamed";
    ASSERT_TRUE(::DeleteFileA(folder.sub("t\\one\\two\\renamed note.txt").c_str()));
    EXPECT_TRUE(searchUntil("note", 1000, lacks("renamed note.txt"))) << "deleted";
}

TEST_F(FolderCaches, AFolderRenamedDeepDownTakesItsWholeSubtreeAlong) {
    makeTree();
    plugin->addIndexer(treeIndexer());
    ASSERT_EQ(search("deep note"), Names{"deep note.txt"});
    ASSERT_TRUE(::MoveFileA(folder.sub("t\\one\\two").c_str(), folder.sub("t\\one\\moved").c_str()));
    EXPECT_TRUE(searchUntil("two", 1000, [](const Names& n) { return n.empty(); })) << "the old folder stays";
    ASSERT_TRUE(searchUntil("moved", 1000, [](const Names& n) { return n.count("moved"); }));
    listener->clear();
    searchAsIs("deep note");
    const std::vector<VResult*> results = listener->results();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0]->getDefaultProperty()->getValue(), folder.sub("t\\one\\moved\\deep note.txt"));
}

TEST_F(FolderCaches, ADamagedForeignOrOtherSettingsCacheFileIsWalkedAgainNeverTrusted) {
    makeTree();
    VDiskdexIndexer* first = treeIndexer();
    plugin->addIndexer(first);
    ASSERT_TRUE(first->waitForRebuild(20000));
    const std::string file = first->getCacheFile();
    plugin->removeIndexer(first);
    const std::string good = TempFolder::readWholeFile(file);
    ASSERT_GT(good.size(), 40u);
    ASSERT_TRUE(folder.writeFile("t\\one\\two\\known only to a walk.txt", "x"));
    ASSERT_TRUE(ageFolder(folder.sub("t\\one\\two")));

    std::string mutated = good;
    mutated[mutated.size() - 3] ^= 0x20;
    std::string payload;
    ASSERT_TRUE(vx::readCacheFile(file, "folders", 3, settingsOf("t").key(), payload, 1 << 20));
    const std::vector<std::pair<const char*, std::string>> files = {
        {"cut short", good.substr(0, good.size() / 2)},
        {"a byte changed", mutated},
        {"garbage", std::string(good.size(), '\x5a')},
        {"empty", std::string()},
    };
    auto expectWalked = [&](const char* what) {
        VDiskdexIndexer* indexer = treeIndexer();
        plugin->addIndexer(indexer);
        mustFinishWithin(20000, what, [&] { indexer->waitForRebuild(); });
        EXPECT_NE(indexer->getCacheNote().find("built the cache"), std::string::npos) << what;
        EXPECT_EQ(searchAsIs("walk"), Names{"known only to a walk.txt"}) << what;
        plugin->removeIndexer(indexer);
    };
    for (const auto& f : files) {
        ASSERT_TRUE(writeAll(file, f.second));
        expectWalked(f.first);
    }
    // Sound files, but not of this format or not for these settings.
    ASSERT_TRUE(vx::writeCacheFile(file, "folders", 1, settingsOf("t").key(), payload));
    expectWalked("another version");
    FolderSettings other = settingsOf("t");
    other.recurse = false;
    ASSERT_TRUE(vx::writeCacheFile(file, "folders", 3, other.key(), payload));
    expectWalked("other settings");
}

// The payload's checksum stops what a disk damages; this is what is left when it does not: a file put
// there on purpose, or a fault of our own. Every cut, and every byte changed three ways, is read under a
// watchdog: null, or a snapshot that holds together.
TEST_F(FolderCaches, EveryCutAndMutatedPayloadIsRefusedOrConsistent) {
    makeTree();
    const FolderSettings settings = settingsOf("t");
    std::shared_ptr<const FolderCache> walked = FolderCache::walk(settings, nullptr);
    ASSERT_TRUE(walked);
    const std::string payload = walked->serialize();
    mustFinishWithin(60000, "reading damaged payloads", [&] {
        for (std::size_t n = 0; n < payload.size(); ++n)
            EXPECT_FALSE(FolderCache::deserialize(payload.substr(0, n), settings)) << "cut at " << n;
        int accepted = 0;
        for (std::size_t at = 0; at < payload.size(); ++at) {
            for (unsigned char flip : {0x01, 0x80, 0xFF}) {
                std::string bad = payload;
                bad[at] = static_cast<char>(bad[at] ^ flip);
                if (std::shared_ptr<const FolderCache> c = FolderCache::deserialize(bad, settings)) {
                    ++accepted;
                    expectConsistent(*c);
                }
            }
        }
        // Changed letters of a name or a time still make a sound snapshot; changed counts never do.
        EXPECT_LT(accepted, static_cast<int>(3 * payload.size()));
    });
}

namespace {
// Holds each build at its start until let go, as a slow disk would.
class HeldBuild : public VDiskdexIndexer {
public:
    explicit HeldBuild(VPlugin* plugin) : VDiskdexIndexer(plugin) {}
    std::atomic<bool> hold{false};
    std::atomic<bool> held{false};

protected:
    void rebuild(const std::function<bool()>& stop) override {
        while (hold && !stop()) {
            held = true;
            ::Sleep(2);
        }
        VDiskdexIndexer::rebuild(stop);
    }
};
} // namespace

TEST_F(FolderCaches, ASlowBuildNeverHoldsTheWindowThreadAndSearchesUseTheOldSnapshot) {
    makeTree();
    ASSERT_TRUE(folder.makeDir("u"));
    ASSERT_TRUE(folder.writeFile("u\\new place note.txt", "x"));
    auto* indexer = new HeldBuild(plugin);
    indexer->setPath(folder.sub("t"));
    plugin->addIndexer(indexer);
    ASSERT_EQ(search("top note"), Names{"top note.txt"});

    indexer->hold = true;
    indexer->setPath(folder.sub("u"));
    mustFinishWithin(2000, "asking for a rebuild", [&] { indexer->updateCache(); });
    while (!indexer->held)
        ::Sleep(1);
    Names found;
    mustFinishWithin(2000, "a search during a build", [&] { found = searchAsIs("note"); });
    EXPECT_EQ(found, (Names{"top note.txt", "deep note.txt", "side note.txt"})) << "the snapshot from before";
    EXPECT_FALSE(indexer->waitForRebuild(50));

    indexer->hold = false;
    ASSERT_TRUE(indexer->waitForRebuild(20000));
    EXPECT_EQ(searchAsIs("note"), Names{"new place note.txt"});
}

TEST_F(FolderCaches, RemovingAnIndexerStopsItsHeldBuildAndKeepsTheOldCacheFile) {
    makeTree();
    auto* indexer = new HeldBuild(plugin);
    indexer->setPath(folder.sub("t"));
    plugin->addIndexer(indexer);
    ASSERT_TRUE(indexer->waitForRebuild(20000));
    const std::string file = indexer->getCacheFile();
    indexer->hold = true;
    indexer->setPath(folder.sub("t\\one"));
    indexer->updateCache();
    while (!indexer->held)
        ::Sleep(1);
    mustFinishWithin(5000, "removing an indexer while it builds", [&] { plugin->removeIndexer(indexer); });
    EXPECT_EQ(core->getNumIndexers(), 0);
    std::string payload;
    FolderSettings settings = settingsOf("t");
    settings.exclude.clear();
    settings.matchDirectories = false;
    ASSERT_TRUE(vx::readCacheFile(file, "folders", 3, settings.key(), payload, 1 << 20));
    std::shared_ptr<const FolderCache> kept = FolderCache::deserialize(payload, settings);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->entryCount(), 5u) << "the whole tree, as the first build made it";
}
