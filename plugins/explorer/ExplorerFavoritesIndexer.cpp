#include "ExplorerFavoritesIndexer.h"

#include "ExplorerModule.h"
#include "model/VFileResult.h"
#include "util/CPath.h"
#include "util/CShellLink.h"
#include "util/ComRef.h"
#include "util/VxText.h"
#include "util/Win32Handle.h"

#include <shlobj.h>

namespace {

// Largest value the fallback reader asks for; far beyond any address a browser keeps.
constexpr DWORD kMaxUrlSize = 65536;

// ".url" and ".URL", and also a name such as "Newsurl" that merely ends in those letters: it is tried as
// a shortcut and skipped when it is none.
bool endsWithUrl(const std::string& name) {
    return name.size() >= 3 && vx::lowered(name.substr(name.size() - 3)) == "url";
}

// The "URL=" value of the "[InternetShortcut]" section, read as the profile functions read it: in UTF-16
// and narrowed without best fit, since a file in UTF-16 may hold characters the code page lacks.
std::string readUrlLine(const std::string& file) {
    const std::wstring name = vx::widened(file);
    for (DWORD size = MAX_PATH;; size *= 4) {
        std::wstring buffer(size, L'\0');
        const DWORD length =
            ::GetPrivateProfileStringW(L"InternetShortcut", L"URL", L"", &buffer[0], size, name.c_str());
        // A value cut to the buffer comes back as size - 1 characters.
        if (length + 1 < size || size >= kMaxUrlSize) {
            buffer.resize(length);
            return vx::narrowedAddress(buffer);
        }
    }
}

} // namespace

VExplorerFavoritesIndexer::VExplorerFavoritesIndexer(VPlugin* plugin) : VIndexer(plugin) {
    explorer::resultIcon();
    updateCache();
}

VExplorerFavoritesIndexer::~VExplorerFavoritesIndexer() {
    // The worker reads our members: it must be gone before they are.
    stopWorker();
    clearCache();
}

std::string VExplorerFavoritesIndexer::favoritesFolder() {
    char folder[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathA(nullptr, folder, CSIDL_FAVORITES, FALSE))
        return std::string();
    return folder;
}

std::string VExplorerFavoritesIndexer::readShortcutUrl(const std::string& file) {
    CUrlShellLink shortcut;
    if (shortcut.Load(file) && !shortcut.GetPath().empty())
        return shortcut.GetPath();
    return readUrlLine(file);
}

template <class Found>
void VExplorerFavoritesIndexer::walk(const std::string& folder, bool matching, Found& found) const {
    const std::string base = CPath::AddBackSlash(folder);
    WIN32_FIND_DATAA entry{};
    vx::CFindHandle find(::FindFirstFileA((base + "*.*").c_str(), &entry));
    if (!find.IsValid())
        return;
    do {
        if (matching && isCancelled())
            return;
        const std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string path = base + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // A junction or a link may lead back up the tree (two that point at each other make the
            // walk exponential) or out of it: only real folders are entered.
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                walk(path, matching, found);
            continue;
        }
        if (!endsWithUrl(name))
            continue;
        const std::string url = readShortcutUrl(path);
        if (url.empty())
            continue;
        const std::string title = CPath(path).GetFileTitle();
        if (!matching || match(url, true) || match(title, false))
            found(url, title);
    } while (::FindNextFileA(find.Get(), &entry));
}

void VExplorerFavoritesIndexer::updateCache() {
    clearCache();
    if (getLiveSearching())
        return;
    const std::string folder = favoritesFolder();
    if (folder.empty())
        return;
    // The shortcut object needs COM; the window thread has it already, and the scope only balances.
    vx::CComInitScope com;
    auto keep = [this](const std::string& url, const std::string& title) {
        explorer::appendOwned(cache, explorer::newResult(getPlugin(), url, title));
    };
    walk(folder, false, keep);
    cache.shrink_to_fit();
}

void VExplorerFavoritesIndexer::search() {
    VResultBatch found;
    if (getLiveSearching()) {
        const std::string folder = favoritesFolder();
        if (!folder.empty()) {
            vx::CComInitScope com;
            auto take = [&](const std::string& url, const std::string& title) {
                found.add(explorer::newResult(getPlugin(), url, title));
            };
            walk(folder, true, take);
        }
    } else {
        explorer::copyMatching(*this, cache, found);
    }
    // A cancelled search's results die with the batch.
    if (!isCancelled())
        found.deliver(searchId);
}
