// Opening addresses: which ones ask the user first, and what reaches a browser program.
#include "support/CoreFixture.h"
#include "support/ShellCapture.h"
#include "support/TempFolder.h"
#include "support/UrlConfirmCapture.h"
#include "support/Watchdog.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
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

// The file: addresses of the risky list below; PATHEXT is ".COM;.EXE;.PYW" while they are tried.
const char* const kRiskyFileUrls[] = {
    "file://host/x.exe",      "file:////host/share/x.txt", "file:///C:/x%2Eexe",
    "file:C:/x.exe",          "file:///C:/dir\\X.BaT",     "file:///C:/x.exe.",
    "file:///C:/x.exe%20",    "file:///C:/x.exe::$DATA",   "file:///C:/x.exe/.",
    "file:///C:/x.exe?.txt",  "file:///C:/x.txt#.exe",     "file:///C:/Windows/System32/calc",
    "file:///C:/tools/x.pyw", "file:///C:/x.js",           "\"file:///C:/x.exe\"",
};

std::string asciiLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string decodedEscapes(const std::string& text) {
    const auto isHex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '%' && at + 2 < text.size() && isHex(text[at + 1]) && isHex(text[at + 2])) {
            out += static_cast<char>(std::strtol(text.substr(at + 1, 2).c_str(), nullptr, 16));
            at += 2;
        } else {
            out += text[at];
        }
    }
    return out;
}

// One reading of a file: address's path: a drive of this machine, then names. True when what it ends
// in is the drive, a folder that is there, or a name whose extension no program list holds.
bool namesADocumentOrFolder(std::string path) {
    for (char& c : path) {
        if (c == '\\')
            c = '/';
        if (static_cast<unsigned char>(c) < 0x20 || c == '"')
            return false;
    }
    const std::size_t slashes = path.find_first_not_of('/');
    if (slashes == std::string::npos || slashes > 3)
        return false;
    path.erase(0, slashes);
    if (path.size() < 2 || !std::isalpha(static_cast<unsigned char>(path[0])) ||
        (path[1] != ':' && path[1] != '|') || (path.size() > 2 && path[2] != '/'))
        return false;
    std::vector<std::string> names;
    for (std::size_t at = 2; at < path.size();) {
        const std::size_t end = std::min(path.find('/', at + 1), path.size());
        const std::string name = path.substr(at + 1, end - at - 1);
        if (name == "..") {
            if (!names.empty())
                names.pop_back();
        } else if (!name.empty() && name != ".") {
            names.push_back(name);
        }
        at = end;
    }
    if (names.empty())
        return true;
    std::string last = names.back().substr(0, names.back().find(':'));
    while (!last.empty() && (last.back() == '.' || last.back() == ' '))
        last.pop_back();
    const std::size_t dot = last.rfind('.');
    if (dot == std::string::npos) {
        std::string folder = std::string(1, path[0]) + ":";
        for (const std::string& name : names)
            folder += "\\" + name;
        const DWORD attributes = ::GetFileAttributesA(folder.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    const std::string extension = asciiLower(last.substr(dot));
    for (const char* program : {".exe", ".com", ".bat", ".cmd", ".js", ".pyw", ".lnk", ".scr", ".msi"}) {
        if (extension == program)
            return false;
    }
    return true;
}

// What may open without a question, said without the checker's help: a page, mail, or a file: address
// whose every reading (escapes decoded or not, with or without what follows "?" or "#") names a
// document or a folder on a drive.
bool plainlyHarmless(std::string address) {
    // The shell skips leading blanks and quotes before it looks for the scheme.
    address.erase(0, std::min(address.find_first_not_of(" \t\""), address.size()));
    const std::size_t colon = address.find(':');
    const std::string scheme = asciiLower(address.substr(0, colon == std::string::npos ? 0 : colon));
    if (scheme == "http" || scheme == "https" || scheme == "ftp" || scheme == "mailto")
        return true;
    if (scheme != "file")
        return false;
    const std::string rest = address.substr(colon + 1);
    for (const std::string& reading : {rest, decodedEscapes(rest)}) {
        for (std::size_t cut : {std::string::npos, reading.find('?'), reading.find('#')}) {
            if (!namesADocumentOrFolder(reading.substr(0, cut)))
                return false;
        }
    }
    return true;
}

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

TEST_F(UrlOpening, CutMutatedAndHugeFileAddressesOpenUnaskedOnlyAsLocalDocumentsOrFolders) {
    PathExtScope pathExt(".COM;.EXE;.PYW");
    std::vector<std::string> addresses;
    const char kBytes[] = {'%', '?', '#', ':',    '\\',   '/',    '"',    '.',
                           ' ', '|', 'e', '\x01', '\x7F', '\xA0', '\xE9', '\xFF'};
    for (const std::string risky : kRiskyFileUrls) {
        for (std::size_t length = 0; length <= risky.size(); ++length) {
            addresses.push_back(risky.substr(0, length));
            for (char byte : kBytes)
                addresses.push_back(risky.substr(0, length) + byte);
        }
        for (std::size_t at = 0; at < risky.size(); ++at) {
            for (char byte : kBytes) {
                std::string mutated = risky;
                mutated[at] = byte;
                addresses.push_back(mutated);
            }
        }
    }
    const std::string huge = "file:///C:/" + std::string(1 << 20, 'a');
    addresses.push_back(huge + ".txt");
    std::size_t opened = 0;
    mustFinishWithin(120000, "opening cut, mutated and huge addresses", [&] {
        for (const std::string& address : addresses) {
            requests.clear();
            UrlConfirmCapture::asked().clear();
            core->openUrl(address, "", kFromData);
            const bool asked = !UrlConfirmCapture::asked().empty();
            EXPECT_NE(asked, !requests.empty())
                << "asked about or opened, never both or neither: " << address;
            if (!asked) {
                ++opened;
                EXPECT_TRUE(plainlyHarmless(address)) << address;
            }
        }
        UrlConfirmCapture::asked().clear();
        EXPECT_FALSE(core->openUrl(huge + ".exe", "", kFromData));
        EXPECT_EQ(UrlConfirmCapture::asked().size(), 1u) << "a 1 MB program address is asked about";
    });
    EXPECT_GT(opened, 0u) << "the documents among them open unasked";
}
