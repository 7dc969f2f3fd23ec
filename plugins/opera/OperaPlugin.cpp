#include "OperaPlugin.h"

#include "OperaBookmarksIndexer.h"
#include "util/ThisModule.h"
#include "engine/VVerbinoxCore.h"
#include "resource.h"
#include "util/CPath.h"
#include "util/CRegValue.h"
#include "util/Environment.h"
#include "util/VxText.h"

#include <windows.h>
#include <shlobj.h>

namespace {

const char kProfileBookmarks[] = "Opera\\Opera\\Profile\\Opera6.adr";
const char kProgramBookmarks[] = "Profile\\Opera6.adr";
const char kMailCommandKey[] = "SOFTWARE\\Clients\\Mail\\Opera\\shell\\open\\command\\";

bool isBlankOrTab(char c) {
    return c == ' ' || c == '\t';
}

std::string expandedEnvironment(const std::string& text) {
    if (text.find('%') == std::string::npos)
        return text;
    DWORD n = ::ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
    if (n == 0)
        return text;
    std::string out(n, '\0');
    n = ::ExpandEnvironmentStringsA(text.c_str(), &out[0], n);
    if (n == 0 || n > out.size())
        return text;
    out.resize(n - 1); // the count includes the terminating NUL
    return out;
}

} // namespace

VOperaPlugin::VOperaPlugin() {
    setIcon(vx::loadModuleIcon(IDI_OPERA));
}

VOperaPlugin::~VOperaPlugin() {
    for (HICON icon : {getIcon(), urlIcon}) {
        if (icon)
            ::DestroyIcon(icon);
    }
}

HICON VOperaPlugin::resultIcon() {
    if (!urlIcon)
        urlIcon = vx::loadModuleIcon(IDI_OPERA);
    return urlIcon;
}

bool VOperaPlugin::registerIndexer(VOperaBookmarksIndexer* created) {
    return VVerbinoxCore::instance()->registerIndexer(created);
}

std::string VOperaPlugin::appDataFolder() const {
    char folder[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return std::string();
    return folder;
}

std::string VOperaPlugin::mailClientCommand() const {
    return CRegString(kMailCommandKey, std::string(), false, HKEY_LOCAL_MACHINE);
}

std::string VOperaPlugin::programOfCommand(const std::string& command) {
    const std::string text = vx::trimmed(expandedEnvironment(command));
    if (text.empty())
        return text;
    // Neither a quote nor a blank is ever the trail byte of a double-byte character (those start at
    // 0x40), so the text can be scanned byte by byte.
    if (text[0] == '"') {
        std::size_t close = text.find('"', 1);
        return text.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    // "C:\Program Files\Opera\opera.exe -mail" written without quotes: CreateProcess tries the words
    // one by one, and so does this.
    for (std::size_t at = 0; at <= text.size(); ++at) {
        if (at < text.size() && !isBlankOrTab(text[at]))
            continue;
        std::string candidate = text.substr(0, at);
        if (vx::isFile(candidate))
            return candidate;
        if (vx::isFile(candidate + ".exe"))
            return candidate + ".exe";
    }
    std::size_t blank = 0;
    while (blank < text.size() && !isBlankOrTab(text[blank]))
        ++blank;
    return text.substr(0, blank);
}

bool VOperaPlugin::startUp() {
    const std::string appData = appDataFolder();
    if (appData.empty())
        return false;
    std::string file = CPath::AddBackSlash(appData) + kProfileBookmarks;
    // The registered command is a command line ("...\opera.exe" -mail): only its program is of use, as the
    // place of a bookmark file beside it and as the browser that opens the bookmarks.
    const std::string program = programOfCommand(mailClientCommand());
    if (!vx::isFile(file)) {
        // A relative program would make the file depend on the current folder: no such guess.
        const std::string folder = program.empty() ? std::string() : CPath(program).GetLocation();
        file = CPath(program).IsRelativePath() || folder.empty()
                   ? std::string()
                   : CPath::AddBackSlash(folder) + kProgramBookmarks;
    }
    if (file.empty() || !vx::isFile(file))
        return false;
    auto* created = new VOperaBookmarksIndexer(file, this);
    bool registered = false;
    try {
        registered = registerIndexer(created);
    } catch (...) {
        created->deleteThis();
        throw;
    }
    if (!registered) {
        // Never searched, and nobody else would destroy it; a plug-in without it has nothing to offer.
        created->deleteThis();
        return false;
    }
    indexer = created;
    browserPath = program;
    // Read on the indexer's own thread: the window shows at once, with the cache kept from the last run.
    created->requestRebuild();
    return true;
}
