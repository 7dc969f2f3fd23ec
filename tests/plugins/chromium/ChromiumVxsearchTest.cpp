// The real vxsearch.exe with the real Chromium plug-in beside it, against Chrome and Edge profiles in a
// private LOCALAPPDATA that the child process inherits.
#include "ChromiumFixture.h"

#include <sstream>

namespace {

class ChromiumVxsearch : public ChromiumTest {
protected:
    void SetUp() override {
        ChromiumTest::SetUp();
        const std::string bin = programFolder();
        ASSERT_TRUE(folder.makeDir("prog"));
        ASSERT_TRUE(folder.makeDir("prog\\Plugins"));
        WIN32_FIND_DATAA data;
        HANDLE find = ::FindFirstFileA((bin + "*.dll").c_str(), &data);
        ASSERT_NE(find, INVALID_HANDLE_VALUE);
        do {
            ::CopyFileA((bin + data.cFileName).c_str(),
                        folder.sub(std::string("prog\\") + data.cFileName).c_str(), FALSE);
        } while (::FindNextFileA(find, &data));
        ::FindClose(find);
        for (const char* file : {"vxsearch.exe", "Plugins\\Chromium.vll"})
            ASSERT_TRUE(
                ::CopyFileA((bin + file).c_str(), folder.sub(std::string("prog\\") + file).c_str(), FALSE))
                << file;

        const std::string chrome = chromeProfile(), work = chromeProfile("Profile 1"), edge = edgeProfile();
        ASSERT_TRUE(
            write(chrome + "Bookmarks",
                  bookmarksFile(folderNode("Food", link("Fish & Chips", "http://fish.example/menu")))));
        ASSERT_TRUE(write(edge + "Bookmarks",
                          bookmarksFile("", link("Weather Radar", "https://radar.example/maps"))));
        ChromiumHistoryDb history(work + "History");
        ASSERT_TRUE(history.add("http://news.example/today", "Daily News", 4, ChromiumHistoryDb::daysAgo(1)));
        ASSERT_TRUE(
            history.add("http://news.example/today", "Daily News again", 1, ChromiumHistoryDb::daysAgo(9)));
        ChromiumHistoryDb edgeHistory(edge + "History");
        ASSERT_TRUE(edgeHistory.add("https://mail.example/inbox", "Inbox", 9, ChromiumHistoryDb::daysAgo(0)));
        writePrefs("");
    }

    void writePrefs(const std::string& coreAttributes) {
        ASSERT_TRUE(write(folder.sub("prog\\Verbinox.xml"),
                          "<Verbinox>\n    <Verbinox>\n        <Core" + coreAttributes +
                              ">\n            <PluginMgr />\n        </Core>\n    "
                              "</Verbinox>\n</Verbinox>\n"));
    }

    // The rows printed: text, second line and address, tab-separated.
    std::vector<std::vector<std::string>> vxsearch(const std::string& arguments) {
        SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
        const std::string n = std::to_string(++runs), outFile = folder.sub("out" + n + ".txt");
        HANDLE out = ::CreateFileA(outFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                                   CREATE_ALWAYS, 0, nullptr);
        // "Nothing found" and its explanation go to the error stream: not rows.
        HANDLE err = ::CreateFileA(folder.sub("err" + n + ".txt").c_str(), GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS, 0, nullptr);
        STARTUPINFOA si{};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = out;
        si.hStdError = err;
        PROCESS_INFORMATION pi{};
        const std::string exe = folder.sub("prog\\vxsearch.exe");
        std::string command = "\"" + exe + "\" " + arguments;
        const BOOL started = ::CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, TRUE,
                                              DETACHED_PROCESS, nullptr, folder.path().c_str(), &si, &pi);
        ::CloseHandle(out);
        ::CloseHandle(err);
        std::vector<std::vector<std::string>> rows;
        if (!started) {
            ADD_FAILURE() << "vxsearch did not start";
            return rows;
        }
        if (::WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) {
            ::TerminateProcess(pi.hProcess, 99);
            ADD_FAILURE() << "vxsearch did not end";
        }
        ::CloseHandle(pi.hProcess);
        ::CloseHandle(pi.hThread);
        std::istringstream lines(folder.readFile("out" + n + ".txt"));
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            std::vector<std::string> cols;
            std::size_t start = 0;
            for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
                cols.push_back(line.substr(start, tab - start));
            cols.push_back(line.substr(start));
            rows.push_back(cols);
        }
        return rows;
    }
    // The addresses found by a search, the same in cached and in live mode.
    Texts urls(const std::string& text) {
        Texts cached, live;
        for (const auto& row : vxsearch(text))
            cached.insert(row.back());
        for (const auto& row : vxsearch("--live " + text))
            live.insert(row.back());
        EXPECT_EQ(live, cached) << text;
        return cached;
    }

    int runs = 0;
};

} // namespace

TEST_F(ChromiumVxsearch, ChromeAndEdgeProfilesAreSearchedInBothModes) {
    const auto rows = vxsearch("chips");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0],
              (std::vector<std::string>{"Fish & Chips", "Bookmarks bar > Food", "http://fish.example/menu"}));
    EXPECT_EQ(urls("news"), (Texts{"http://news.example/today"})) << "the second profile, its address once";
    EXPECT_EQ(urls("radar"), (Texts{"https://radar.example/maps"}));
    EXPECT_EQ(urls("inbox"), (Texts{"https://mail.example/inbox"}));
    const auto history = vxsearch("--live news.example");
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0][0], "Daily News") << "the address's best entry";
}

TEST_F(ChromiumVxsearch, TheDomainTitleAndCaseOptionsAreHonouredInBothModes) {
    EXPECT_EQ(urls("maps"), Texts{}) << "by default only the host of an address is matched";
    EXPECT_EQ(urls("mail.example"), (Texts{"https://mail.example/inbox"}));
    writePrefs(" SearchUrlDomainOnly=\"false\"");
    EXPECT_EQ(urls("maps"), (Texts{"https://radar.example/maps"}));
    EXPECT_EQ(urls("today"), (Texts{"http://news.example/today"}));
    writePrefs(" SearchURLDescOnly=\"true\"");
    EXPECT_EQ(urls("radar.example"), Texts{});
    EXPECT_EQ(urls("radar"), (Texts{"https://radar.example/maps"}));
    writePrefs(" SearchCaseSensitive=\"true\"");
    EXPECT_EQ(urls("chips"), Texts{});
    EXPECT_EQ(urls("Chips"), (Texts{"http://fish.example/menu"}));
    EXPECT_EQ(urls("INBOX"), Texts{});
}
