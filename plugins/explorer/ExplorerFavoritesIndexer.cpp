#include "ExplorerFavoritesIndexer.h"

#include "ExplorerModule.h"
#include "util/CPath.h"
#include "util/CShellLink.h"
#include "util/ComRef.h"
#include "util/VxText.h"
#include "util/Win32Handle.h"

#include <shlobj.h>

#include <cstdint>

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

// Calls visit(path, entry) for every file and folder under folder, depth first, a folder before what
// it holds, in the order the file system lists them; stops at once when visit answers false (and then
// answers false itself). A junction or a link may lead back up the tree (two that point at each other
// make the walk exponential) or out of it: it is visited, never entered.
template <class Visit> bool forEachEntry(const std::string& folder, const Visit& visit) {
    const std::string base = CPath::AddBackSlash(folder);
    WIN32_FIND_DATAA entry{};
    vx::CFindHandle find(::FindFirstFileA((base + "*.*").c_str(), &entry));
    if (!find.IsValid())
        return true;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string path = base + name;
        if (!visit(path, entry))
            return false;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && !forEachEntry(path, visit))
            return false;
    } while (::FindNextFileA(find.Get(), &entry));
    return true;
}

} // namespace

VExplorerFavoritesIndexer::VExplorerFavoritesIndexer(VPlugin* plugin)
    : VUrlIndexer(plugin, explorer::resultIcon(), "explorer-favorites") {}

VExplorerFavoritesIndexer::~VExplorerFavoritesIndexer() {
    // The worker and the builder read our members: they must be gone before they are.
    stopWorker();
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

bool VExplorerFavoritesIndexer::readFavorites(const std::string& folder, VUrlSink& sink,
                                              const std::function<bool()>& stop) {
    if (folder.empty())
        return true;
    // The shortcut object needs COM on the builder and on a live search's worker alike.
    vx::CComInitScope com;
    bool complete = true;
    forEachEntry(folder, [&](const std::string& path, const WIN32_FIND_DATAA& entry) {
        if (stop && stop())
            return complete = false;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !endsWithUrl(entry.cFileName))
            return true;
        const std::string url = readShortcutUrl(path);
        if (!url.empty() && !sink.add(url, CPath(path).GetFileTitle()))
            complete = false;
        return complete;
    });
    return complete;
}

std::string VExplorerFavoritesIndexer::treeToken(const std::string& folder) {
    const DWORD attributes = folder.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::string();
    // FNV-1a over each entry's path, size and time, with the count beside it: a text, not a checksum
    // anyone trusts for more than "something changed".
    uint64_t hash = 14695981039346656037ull;
    auto mix = [&hash](const void* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            hash ^= static_cast<const unsigned char*>(data)[i];
            hash *= 1099511628211ull;
        }
    };
    uint64_t entries = 0;
    forEachEntry(folder, [&](const std::string& path, const WIN32_FIND_DATAA& entry) {
        ++entries;
        mix(path.data(), path.size() + 1);
        mix(&entry.nFileSizeLow, sizeof(entry.nFileSizeLow));
        mix(&entry.nFileSizeHigh, sizeof(entry.nFileSizeHigh));
        mix(&entry.ftLastWriteTime, sizeof(entry.ftLastWriteTime));
        mix(&entry.dwFileAttributes, sizeof(entry.dwFileAttributes));
        return true;
    });
    return std::to_string(entries) + ":" + std::to_string(hash);
}

bool VExplorerFavoritesIndexer::readSource(VUrlSink& sink, const std::function<bool()>& stop) const {
    return readFavorites(favoritesFolder(), sink, stop);
}
