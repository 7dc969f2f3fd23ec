// Opening addresses: which ones ask the user first, and what reaches a browser program.
#include "support/CoreFixture.h"
#include "support/ShellCapture.h"
#include "support/TempFolder.h"
#include "support/UrlConfirmCapture.h"

#include <string>
#include <vector>

namespace {

const VVerbinoxCore::UrlOrigin kFromData = VVerbinoxCore::UrlOrigin::DataFile;

class UrlOpening : public CoreTest {
protected:
    ShellCapture shell;
    UrlConfirmCapture user;
    std::vector<ShellCapture::Request>& requests = ShellCapture::requests();
};

std::string fileUrlOf(std::string path) {
    for (char& c : path) {
        if (c == '\\')
            c = '/';
    }
    return "file:///" + path;
}

// PATHEXT for one test, given back afterwards.
class PathExtScope {
public:
    explicit PathExtScope(const char* value) {
        char saved[1024] = {};
        had = ::GetEnvironmentVariableA("PATHEXT", saved, sizeof(saved)) > 0;
        previous = saved;
        ::SetEnvironmentVariableA("PATHEXT", value);
    }
    ~PathExtScope() { ::SetEnvironmentVariableA("PATHEXT", had ? previous.c_str() : nullptr); }

private:
    bool had = false;
    std::string previous;
};

} // namespace

TEST_F(UrlOpening, StoredAddressesOpenUnaskedOnlyAsPagesMailOrLocalDocumentsAndFolders) {
    TempFolder folder;
    for (const std::string& harmless :
         {std::string("http://a.org/"), std::string("HTTPS://a.org/x"), std::string("ftp://files.org/"),
          std::string("mailto:me@a.org"), std::string("file:///C:/docs/readme.txt"),
          std::string("file:C:/docs/report.pdf"), std::string("FILE:///c:/Docs/Page.HTML?q=1#top"),
          std::string("file:///C:/docs/two%20words.txt"), std::string("file:///C:/"),
          fileUrlOf(folder.path())}) {
        requests.clear();
        EXPECT_TRUE(core->openUrl(harmless, "", kFromData)) << harmless;
        ASSERT_EQ(requests.size(), 1u) << harmless;
        EXPECT_EQ(requests[0].file, harmless);
    }
    EXPECT_TRUE(UrlConfirmCapture::asked().empty());
}

TEST_F(UrlOpening, StoredProgramsScriptsSharesAndPathsOpenOnlyAfterAYes) {
    PathExtScope pathExt(".COM;.EXE;.PYW");
    const std::vector<std::string> risky = {
        "C:\\Windows\\System32\\calc.exe",
        "calc",
        "\\\\host\\share\\x.exe",
        "\\\\?\\UNC\\host\\share\\x.txt",
        "file://host/x.exe",
        "file:////host/share/x.txt",
        "file:///C:/x%2Eexe",
        "file:C:/x.exe",
        "file:///C:/dir\\X.BaT",
        "file:///C:/x.exe.",
        "file:///C:/x.exe%20",
        "file:///C:/x.exe::$DATA",
        "file:///C:/x.exe/.",
        "file:///C:/x.exe?.txt",
        "file:///C:/x.txt#.exe",
        "file:///C:/Windows/System32/calc",
        "file:///C:/tools/x.pyw",
        "file:///C:/x.js",
        "\"file:///C:/x.exe\"",
        "search-ms:query=x",
    };
    for (const std::string& address : risky)
        EXPECT_FALSE(core->openUrl(address, "", kFromData)) << address;
    EXPECT_TRUE(requests.empty());
    EXPECT_EQ(UrlConfirmCapture::asked(), risky) << "each asked about once";

    UrlConfirmCapture::answer() = true;
    EXPECT_TRUE(core->openUrl("file://host/x.exe", "", kFromData));
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].file, "file://host/x.exe");
}

TEST_F(UrlOpening, ABrowserProgramNeverTakesTheAddressForASwitch) {
    core->setOpenUrlsInPluginsBrowser(true);
    UrlConfirmCapture::answer() = true;
    EXPECT_TRUE(core->openUrl("--gpu-launcher=x", "C:\\Chrome\\Application\\CHROME.EXE", kFromData));
    EXPECT_TRUE(core->openUrl("http://a.org/", "C:\\Edge\\msedge.exe", kFromData));
    EXPECT_TRUE(core->openUrl("-new-instance", "C:\\Mozilla Firefox\\firefox.exe", kFromData));
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].parameters, "-- \"--gpu-launcher=x\"");
    EXPECT_EQ(requests[1].parameters, "-- \"http://a.org/\"");
    EXPECT_EQ(requests[2].parameters, "-osint -url \"-new-instance\"");

    // A browser whose marker is not known is refused such an address: no answer would make it safe, so
    // nobody is asked.
    requests.clear();
    UrlConfirmCapture::asked().clear();
    for (const char* address : {"--gpu-launcher=x", "/prefetch:1", " -x", "\"-x\"", ""})
        EXPECT_FALSE(core->openUrl(address, "C:\\Web\\surf.exe", kFromData)) << address;
    EXPECT_TRUE(requests.empty());
    EXPECT_TRUE(UrlConfirmCapture::asked().empty());
}
