#include "IconCache.h"

#include "util/VxText.h"

#include <objbase.h>
#include <shellapi.h>

namespace {

// The shell library's own stock icons: a plain document and a closed folder, the same numbers since the
// first shell.
const WORD kDocumentIconId = 1;
const WORD kFolderIconId = 4;

std::wstring loweredWide(std::wstring text) {
    if (!text.empty())
        ::CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

// The extension with its dot, lower-cased; empty when the name has none.
std::wstring extensionOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::size_t dot = path.find_last_of(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash))
        return std::wstring();
    return loweredWide(path.substr(dot));
}

// Files whose icon is their own (a program's resources, a shortcut's target, the icon file itself)
// rather than their type's.
bool hasOwnIcon(const std::wstring& extension) {
    return extension == L".exe" || extension == L".lnk" || extension == L".ico";
}

// What a key stands for, for the worker.
VIconRequest requestFor(const std::wstring& path, bool folder, int size) {
    VIconRequest request;
    request.size = size;
    request.folder = folder;
    const std::wstring extension = folder ? std::wstring() : extensionOf(path);
    if (!folder && hasOwnIcon(extension)) {
        request.name = path;
        request.byType = false;
    } else {
        request.name = folder ? L"folder" : L"file" + extension;
    }
    return request;
}

} // namespace

HICON VShellIconSource::fetch(const VIconRequest& request) {
    const UINT scale = request.size <= ::GetSystemMetrics(SM_CXSMICON) ? SHGFI_SMALLICON : SHGFI_LARGEICON;
    const DWORD attributes = request.folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    SHFILEINFOW info{};
    if (!request.byType &&
        ::SHGetFileInfoW(request.name.c_str(), 0, &info, sizeof(info),
                         SHGFI_ICON | SHGFI_ADDOVERLAYS | scale) &&
        info.hIcon)
        return info.hIcon;
    // A program that is gone, or unreadable, still shows its type's icon.
    info = SHFILEINFOW{};
    if (::SHGetFileInfoW(request.name.c_str(), attributes, &info, sizeof(info),
                         SHGFI_ICON | SHGFI_USEFILEATTRIBUTES | scale))
        return info.hIcon;
    return nullptr;
}

VIconCache::VIconCache(std::unique_ptr<VIconSource> iconSource, std::size_t bound)
    : source(std::move(iconSource)), capacity(bound > 0 ? bound : 1) {}

VIconCache::~VIconCache() {
    stop();
    for (auto* generics : {&genericFiles, &genericFolders}) {
        for (const auto& sized : *generics) {
            if (sized.second)
                ::DestroyIcon(sized.second);
        }
        generics->clear();
    }
}

void VIconCache::notify(HWND target, UINT posted) {
    std::lock_guard<std::mutex> hold(guard);
    window = target;
    message = posted;
}

void VIconCache::useSource(std::unique_ptr<VIconSource> iconSource) {
    stop();
    source = std::move(iconSource);
    stopped = false;
}

std::wstring VIconCache::keyOf(const std::string& path, bool folder, int size) {
    const std::wstring prefix = std::to_wstring(size) + L'|';
    if (folder)
        return prefix + L"<folder>";
    const std::wstring wide = vx::widened(path);
    const std::wstring extension = extensionOf(wide);
    return prefix + (hasOwnIcon(extension) ? loweredWide(wide) : extension.empty() ? L"." : extension);
}

HICON VIconCache::lookup(const std::string& path, bool folder, int size) {
    try {
        return ask(path, folder, size);
    } catch (...) {
        // Out of memory inside a paint: the row shows the generic icon and nothing leaves the window
        // procedure.
        return nullptr;
    }
}

HICON VIconCache::ask(const std::string& path, bool folder, int size) {
    if (stopped || !source)
        return nullptr;
    takeArrivals();
    const std::wstring key = keyOf(path, folder, size);
    const auto found = entries.find(key);
    if (found != entries.end()) {
        recency.splice(recency.begin(), recency, found->second.used);
        return found->second.icon;
    }
    if (!requested.insert(key).second)
        return nullptr;
    std::wstring dropped;
    {
        std::lock_guard<std::mutex> hold(guard);
        queue.push_back(Job{key, requestFor(vx::widened(path), folder, size)});
        // Rows scrolled past long ago: the newest requests are the rows on show.
        if (queue.size() > capacity) {
            dropped = queue.front().key;
            queue.pop_front();
        }
    }
    if (!dropped.empty())
        requested.erase(dropped);
    if (!worker.joinable()) {
        try {
            worker = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            // No thread: rows keep the generic icon.
            std::lock_guard<std::mutex> hold(guard);
            queue.clear();
            requested.clear();
        }
    } else
        wake.notify_one();
    return nullptr;
}

HICON VIconCache::generic(bool folder, int size) {
    auto& generics = folder ? genericFolders : genericFiles;
    const auto found = generics.find(size);
    if (found != generics.end())
        return found->second;
    HICON icon = static_cast<HICON>(::LoadImageW(::GetModuleHandleW(L"shell32.dll"),
                                                 MAKEINTRESOURCEW(folder ? kFolderIconId : kDocumentIconId),
                                                 IMAGE_ICON, size, size, 0));
    generics.emplace(size, icon);
    return icon;
}

bool VIconCache::takeArrivals() {
    std::vector<std::pair<std::wstring, HICON>> taken;
    {
        std::lock_guard<std::mutex> hold(guard);
        taken.swap(arrived);
        posted = false;
    }
    for (const auto& icon : taken)
        store(icon.first, icon.second);
    return !taken.empty();
}

void VIconCache::store(const std::wstring& key, HICON icon) {
    requested.erase(key);
    const auto found = entries.find(key);
    if (found != entries.end()) {
        // Fetched again after a drop raced with the fetch under way: the newer one stays.
        if (found->second.icon)
            ::DestroyIcon(found->second.icon);
        found->second.icon = icon;
        recency.splice(recency.begin(), recency, found->second.used);
        return;
    }
    recency.push_front(key);
    entries.emplace(key, Entry{icon, recency.begin()});
    while (entries.size() > capacity) {
        const auto oldest = entries.find(recency.back());
        if (oldest->second.icon)
            ::DestroyIcon(oldest->second.icon);
        entries.erase(oldest);
        recency.pop_back();
    }
}

void VIconCache::dropPending() {
    std::deque<Job> dropped;
    {
        std::lock_guard<std::mutex> hold(guard);
        dropped.swap(queue);
    }
    for (const Job& job : dropped)
        requested.erase(job.key);
}

std::size_t VIconCache::pending() const {
    std::lock_guard<std::mutex> hold(guard);
    return queue.size();
}

void VIconCache::run() {
    // The shell resolves shortcuts and asks icon handlers through COM, which wants an apartment.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> hold(guard);
            wake.wait(hold, [this] { return stopping || !queue.empty(); });
            if (stopping)
                break;
            job = std::move(queue.front());
            queue.pop_front();
        }
        HICON icon = nullptr;
        try {
            icon = source->fetch(job.request);
        } catch (...) {
            // A shell extension that throws leaves the row with the generic icon.
            icon = nullptr;
        }
        bool post = false;
        HWND target = nullptr;
        UINT posting = 0;
        {
            std::lock_guard<std::mutex> hold(guard);
            try {
                arrived.emplace_back(std::move(job.key), icon);
            } catch (...) {
                if (icon)
                    ::DestroyIcon(icon);
                continue;
            }
            post = !posted && window;
            posted = posted || post;
            target = window;
            posting = message;
        }
        if (post && !::PostMessageW(target, posting, 0, 0)) {
            std::lock_guard<std::mutex> hold(guard);
            posted = false;
        }
    }
    if (SUCCEEDED(com))
        ::CoUninitialize();
}

void VIconCache::stop() {
    {
        std::lock_guard<std::mutex> hold(guard);
        stopping = true;
        queue.clear();
    }
    wake.notify_all();
    if (worker.joinable())
        worker.join();
    stopped = true;
    releaseAll();
    std::lock_guard<std::mutex> hold(guard);
    stopping = false;
}

void VIconCache::releaseAll() {
    std::vector<std::pair<std::wstring, HICON>> taken;
    {
        std::lock_guard<std::mutex> hold(guard);
        taken.swap(arrived);
        posted = false;
    }
    for (const auto& icon : taken) {
        if (icon.second)
            ::DestroyIcon(icon.second);
    }
    for (const auto& entry : entries) {
        if (entry.second.icon)
            ::DestroyIcon(entry.second.icon);
    }
    entries.clear();
    recency.clear();
    requested.clear();
}
