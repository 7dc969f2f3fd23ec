#include "ChromiumBrowsers.h"

#include "ChromiumFiles.h"
#include "util/CRegValue.h"
#include "util/Environment.h"
#include "util/VxText.h"
#include "util/Win32Handle.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>

namespace chromium {

namespace {

bool exists(const std::string& path, bool folder) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folder;
}

std::string withBackslash(std::string folder) {
    if (!folder.empty() && folder.back() != '\\')
        folder += '\\';
    return folder;
}

// "Profile 12" gives 12; anything else -1.
long profileNumber(const std::string& name) {
    const char prefix[] = "Profile ";
    if (name.compare(0, sizeof(prefix) - 1, prefix) != 0 || name.size() == sizeof(prefix) - 1 ||
        name.size() > sizeof(prefix) + 8)
        return -1;
    for (std::size_t i = sizeof(prefix) - 1; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return -1;
    }
    return std::strtol(name.c_str() + sizeof(prefix) - 1, nullptr, 10);
}

// A registry path may come quoted.
std::string unquoted(std::string path) {
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"')
        path = path.substr(1, path.size() - 2);
    return path;
}

} // namespace

const std::vector<BrowserKind>& browserKinds() {
    static const std::vector<BrowserKind> kinds = {
        {"Chrome", false, "Google\\Chrome\\User Data", false, "chrome.exe",
         "Google\\Chrome\\Application\\chrome.exe"},
        {"Edge", false, "Microsoft\\Edge\\User Data", false, "msedge.exe",
         "Microsoft\\Edge\\Application\\msedge.exe"},
        {"Brave", false, "BraveSoftware\\Brave-Browser\\User Data", false, "brave.exe",
         "BraveSoftware\\Brave-Browser\\Application\\brave.exe"},
        {"Vivaldi", false, "Vivaldi\\User Data", false, "vivaldi.exe", "Vivaldi\\Application\\vivaldi.exe"},
        // Chromium's program is also called chrome.exe: the "App Paths" entry of that name is Chrome's.
        {"Chromium", false, "Chromium\\User Data", false, nullptr, "Chromium\\Application\\chrome.exe"},
        {"Opera", true, "Opera Software\\Opera Stable", true, "opera.exe", "Opera\\launcher.exe"},
    };
    return kinds;
}

Environment systemEnvironment() {
    Environment environment;
    environment.variable = vx::environmentVariable;
    environment.registryDefault = [](bool user, const std::string& key) -> std::string {
        // A key text ending in a backslash names the key's default value.
        return CRegString(key + "\\", std::string(), false, user ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE);
    };
    return environment;
}

std::vector<Profile> findProfiles(const std::string& dataFolder) {
    const std::map<std::string, std::string> names = readProfileNames(dataFolder + "Local State");
    std::vector<std::string> folders;
    WIN32_FIND_DATAA data;
    vx::CFindHandle find(::FindFirstFileA((dataFolder + "*").c_str(), &data));
    if (find.IsValid()) {
        do {
            const std::string name = data.cFileName;
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                (name == "Default" || profileNumber(name) >= 0 || names.count(name)))
                folders.push_back(name);
        } while (::FindNextFileA(find.Get(), &data));
    }
    std::sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) {
        const auto rank = [](const std::string& name) {
            return name == "Default" ? 0 : profileNumber(name) >= 0 ? 1 : 2;
        };
        if (rank(a) != rank(b))
            return rank(a) < rank(b);
        if (rank(a) == 1)
            return profileNumber(a) < profileNumber(b);
        return a < b;
    });
    std::vector<Profile> profiles;
    for (const std::string& folder : folders) {
        const auto named = names.find(folder);
        profiles.push_back(Profile{dataFolder + folder + "\\", named != names.end() && !named->second.empty()
                                                                   ? vx::fromUtf8(named->second)
                                                                   : folder});
    }
    return profiles;
}

std::string findProgram(const BrowserKind& kind, const Environment& environment) {
    if (kind.appPath) {
        const std::string key =
            std::string("Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\") + kind.appPath;
        for (bool user : {true, false}) {
            const std::string path = unquoted(environment.registryDefault(user, key));
            if (!path.empty() && exists(path, false))
                return path;
        }
    }
    // A 32-bit program sees the 32-bit folder as ProgramFiles; ProgramW6432 is the 64-bit one.
    for (const char* base : {"ProgramW6432", "ProgramFiles", "ProgramFiles(x86)", "LOCALAPPDATA"}) {
        std::string folder = withBackslash(environment.variable(base));
        if (folder.empty())
            continue;
        // Opera installs per user below "Programs".
        for (const char* below : {"", "Programs\\"}) {
            const std::string path = folder + below + kind.installed;
            if (exists(path, false))
                return path;
        }
    }
    return std::string();
}

std::vector<Browser> findBrowsers(const Environment& environment) {
    std::vector<Browser> browsers;
    const std::vector<BrowserKind>& kinds = browserKinds();
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        const BrowserKind& kind = kinds[i];
        const std::string base =
            withBackslash(environment.variable(kind.roaming ? "APPDATA" : "LOCALAPPDATA"));
        if (base.empty())
            continue;
        const std::string data = base + kind.dataFolder + "\\";
        if (!exists(data, true))
            continue;
        Browser browser;
        browser.kind = i;
        if (kind.singleProfile)
            browser.profiles.push_back(Profile{data, kind.key});
        else
            browser.profiles = findProfiles(data);
        browser.program = findProgram(kind, environment);
        browsers.push_back(std::move(browser));
    }
    return browsers;
}

} // namespace chromium
