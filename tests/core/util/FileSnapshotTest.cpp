#include "support/TempFolder.h"

#include "util/FileSnapshot.h"
#include "util/SqliteReader.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>

namespace {

std::set<std::string> listing(const std::string& folder) {
    std::set<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((folder + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        names.insert(std::string(data.cFileName) + ":" + std::to_string(data.nFileSizeLow));
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
    return names;
}

bool exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

int countRows(const std::string& path) {
    vx::CSqliteDb db;
    if (!db.openCopy(path))
        return -1;
    vx::CSqliteStmt stmt;
    if (!stmt.prepare(db.get(), "SELECT count(*) FROM pages"))
        return -1;
    return stmt.step() ? static_cast<int>(stmt.int64(0)) : -1;
}

} // namespace

TEST(FileSnapshot, ALockedDatabaseWithRowsOnlyInItsLogIsCopiedWhole) {
    TempFolder dir;
    const std::string source = dir.sub("History");
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(source.c_str(), &holder), SQLITE_OK);
    // A browser's way: write-ahead log, never checkpointed while it runs, the file held exclusively.
    ASSERT_TRUE(exec(holder, "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;"
                             "CREATE TABLE pages(url TEXT); INSERT INTO pages VALUES('https://a.example/');"
                             "PRAGMA locking_mode=EXCLUSIVE; INSERT INTO pages VALUES('https://b.example/');"
                             "BEGIN IMMEDIATE; INSERT INTO pages VALUES('https://c.example/');"));
    const std::set<std::string> before = listing(dir.path());

    vx::CFileSnapshot snapshot;
    ASSERT_TRUE(snapshot.take(source));
    EXPECT_EQ(countRows(snapshot.path()), 2)
        << "committed rows in the log are read; the open transaction is not";
    const std::string copyFolder = snapshot.path().substr(0, snapshot.path().find_last_of('\\'));
    snapshot.release();
    EXPECT_EQ(::GetFileAttributesA(copyFolder.c_str()), INVALID_FILE_ATTRIBUTES)
        << "the copies were left behind";
    EXPECT_EQ(listing(dir.path()), before) << "something was written beside the source";

    exec(holder, "COMMIT");
    sqlite3_close(holder);
}

TEST(FileSnapshot, AMissingSourceGivesNoCopyAndNoFolder) {
    TempFolder dir;
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::set<std::string> before = listing(temp);
    vx::CFileSnapshot snapshot;
    EXPECT_FALSE(snapshot.take(dir.sub("places.sqlite")));
    EXPECT_TRUE(snapshot.path().empty());
    std::set<std::string> after = listing(temp);
    for (const std::string& name : after)
        EXPECT_TRUE(before.count(name) || name.rfind("Verbinox-", 0) != 0)
            << name << " was left in the temporary folder";
}

TEST(FileSnapshot, AStampChangesWithTheFileAndIsEmptyForAMissingOne) {
    TempFolder dir;
    const std::string path = dir.sub("Bookmarks");
    EXPECT_FALSE(vx::fileStamp(path).exists);
    ASSERT_TRUE(dir.writeFile("Bookmarks", "{}"));
    const vx::CFileStamp first = vx::fileStamp(path);
    EXPECT_TRUE(first.exists);
    EXPECT_EQ(first, vx::fileStamp(path));
    ASSERT_TRUE(dir.writeFile("Bookmarks", "{\"roots\":{}}"));
    EXPECT_NE(first, vx::fileStamp(path));
}

namespace {

// A process of this very program, held suspended: alive, and never running a test of its own.
class HeldProcess {
public:
    HeldProcess() {
        char self[MAX_PATH] = {};
        ::GetModuleFileNameA(nullptr, self, MAX_PATH);
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        std::string command = std::string("\"") + self + "\" --gtest_list_tests";
        started = ::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                                   nullptr, &startup, &info) != FALSE;
    }
    ~HeldProcess() { end(); }
    void end() {
        if (!started)
            return;
        ::TerminateProcess(info.hProcess, 0);
        ::WaitForSingleObject(info.hProcess, 10000);
        ::CloseHandle(info.hThread);
        ::CloseHandle(info.hProcess);
        started = false;
    }
    bool started = false;
    PROCESS_INFORMATION info{};
};

std::string snapshotFolderOf(DWORD process, int serial) {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + "Verbinox-" + std::to_string(process) + "-" + std::to_string(serial) + "-1";
}

bool makeFolderWithAFile(const std::string& dir) {
    return ::CreateDirectoryA(dir.c_str(), nullptr) &&
           ::CloseHandle(::CreateFileA((dir + "\\places.sqlite").c_str(), GENERIC_WRITE, 0, nullptr,
                                       CREATE_NEW, 0, nullptr));
}

bool present(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void removeTree(const std::string& dir) {
    ::DeleteFileA((dir + "\\places.sqlite").c_str());
    ::RemoveDirectoryA(dir.c_str());
}

} // namespace

TEST(FileSnapshot, FoldersOfEndedProcessesAreSweptAndThoseOfRunningOnesKept) {
    HeldProcess running, ended;
    ASSERT_TRUE(running.started && ended.started);
    const std::string ofRunning = snapshotFolderOf(running.info.dwProcessId, 990001);
    const std::string ofEnded = snapshotFolderOf(ended.info.dwProcessId, 990002);
    const std::string ofThisOne = snapshotFolderOf(::GetCurrentProcessId(), 990003);
    const std::string notOurs = snapshotFolderOf(ended.info.dwProcessId, 990004) + "-copy";
    for (const std::string& dir : {ofRunning, ofEnded, ofThisOne, notOurs})
        ASSERT_TRUE(makeFolderWithAFile(dir)) << dir;
    ended.end();

    vx::sweepAbandonedSnapshots();
    EXPECT_FALSE(present(ofEnded)) << "the folder of an ended process stayed";
    EXPECT_TRUE(present(ofRunning + "\\places.sqlite")) << "a running process's copy went";
    EXPECT_TRUE(present(ofThisOne + "\\places.sqlite")) << "this process's own copy went";
    EXPECT_TRUE(present(notOurs + "\\places.sqlite")) << "a folder named otherwise went";
    for (const std::string& dir : {ofRunning, ofEnded, ofThisOne, notOurs})
        removeTree(dir);
}
