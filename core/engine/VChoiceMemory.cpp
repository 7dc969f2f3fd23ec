#include "engine/VChoiceMemory.h"

#include "util/CacheFile.h"
#include "util/VxText.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cmath>

namespace {

const char kKind[] = "choices";
const uint32_t kVersion = 1;
// Longer texts and values are not remembered: nobody types 200 characters twice, and the file stays
// small whatever a result's address holds.
const std::size_t kMaxText = 200;
const std::size_t kMaxValue = 2048;
const uint64_t kMaxFileBytes = 4u << 20;
const double kSecondsPerDay = 86400.0;
// A choice made for exactly this text counts this much more than one made for a longer text that
// starts with it.
const double kExactBonus = 2.0;

double decay(double count, int64_t from, int64_t to) {
    const double days = to > from ? (to - from) / kSecondsPerDay : 0.0;
    return count * std::exp2(-days / VChoiceMemory::kHalfLifeDays);
}

std::string normalText(const std::string& text) {
    return vx::lowered(vx::trimmed(text));
}

} // namespace

VChoiceMemory::VChoiceMemory(std::string path) : path(path.empty() ? defaultPath() : std::move(path)) {}

std::string VChoiceMemory::defaultPath() {
    wchar_t base[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base)))
        return std::string();
    const std::wstring folder = std::wstring(base) + L"\\Verbinox";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return vx::narrowed(folder) + "\\Choices.vxc";
}

int64_t VChoiceMemory::currentTime() {
    FILETIME ft;
    ::GetSystemTimeAsFileTime(&ft);
    const uint64_t ticks = (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return static_cast<int64_t>(ticks / 10000000ull) - 11644473600ll;
}

bool VChoiceMemory::load() {
    std::string payload;
    std::vector<Entry> read;
    bool sound = !path.empty() && vx::readCacheFile(path, kKind, kVersion, std::string(), payload, kMaxFileBytes);
    if (sound) {
        vx::CacheReader in(payload);
        uint64_t count = 0;
        sound = in.varint(count) && count <= kMaxEntries;
        for (uint64_t i = 0; sound && i < count; ++i) {
            std::string_view text, value;
            uint32_t type = 0;
            uint64_t lastUsed = 0, milli = 0;
            sound = in.text(text) && in.u32(type) && in.text(value) && in.varint(milli) && in.u64(lastUsed) &&
                    text.size() <= kMaxText && value.size() <= kMaxValue && milli > 0;
            if (sound)
                read.push_back(Entry{std::string(text), static_cast<PropertyType>(type), std::string(value),
                                     milli / 1000.0, static_cast<int64_t>(lastUsed)});
        }
        sound = sound && in.atEnd();
    }
    std::lock_guard<std::mutex> hold(guard);
    fileRead = true;
    if (!sound) {
        entries.clear();
        return false;
    }
    entries = std::move(read);
    return true;
}

bool VChoiceMemory::save() const {
    if (path.empty())
        return false;
    vx::CacheWriter out;
    {
        std::lock_guard<std::mutex> hold(guard);
        out.varint(entries.size());
        for (const Entry& e : entries) {
            out.text(e.text);
            out.u32(static_cast<uint32_t>(e.type));
            out.text(e.value);
            // Thousandths of a choice: a count decays below one but never to nothing that was chosen.
            out.varint(std::max<uint64_t>(1, static_cast<uint64_t>(std::llround(e.count * 1000.0))));
            out.u64(static_cast<uint64_t>(e.lastUsed));
        }
    }
    return vx::writeCacheFile(path, kKind, kVersion, std::string(), out.bytes());
}

void VChoiceMemory::clear() {
    {
        std::lock_guard<std::mutex> hold(guard);
        entries.clear();
        fileRead = true;
    }
    if (!path.empty())
        ::DeleteFileW(vx::widened(path).c_str());
}

void VChoiceMemory::record(const std::string& text, PropertyType type, const std::string& value, int64_t now) {
    const std::string key = normalText(text);
    if (key.empty() || value.empty() || key.size() > kMaxText || value.size() > kMaxValue)
        return;
    // The file is saved whole: a memory that never read it would replace every earlier choice with
    // this one.
    bool unread;
    {
        std::lock_guard<std::mutex> hold(guard);
        unread = !fileRead;
    }
    if (unread)
        load();
    std::lock_guard<std::mutex> hold(guard);
    for (Entry& e : entries) {
        if (e.type == type && e.text == key && e.value == value) {
            e.count = decay(e.count, e.lastUsed, now) + 1.0;
            e.lastUsed = std::max(e.lastUsed, now);
            return;
        }
    }
    entries.push_back(Entry{key, type, value, 1.0, now});
    if (entries.size() > kMaxEntries) {
        // The weakest now: old and seldom chosen. The one just made is never among them.
        auto weakest = std::min_element(entries.begin(), entries.end() - 1, [now](const Entry& a, const Entry& b) {
            const double wa = decay(a.count, a.lastUsed, now), wb = decay(b.count, b.lastUsed, now);
            return wa != wb ? wa < wb : a.lastUsed < b.lastUsed;
        });
        entries.erase(weakest);
    }
}

std::vector<VLearnedItem> VChoiceMemory::lookup(const std::string& text, int64_t now) const {
    const std::string key = normalText(text);
    std::vector<VLearnedItem> found;
    if (key.empty())
        return found;
    std::lock_guard<std::mutex> hold(guard);
    for (const Entry& e : entries) {
        if (e.text.compare(0, key.size(), key) != 0)
            continue;
        const double weight = decay(e.count, e.lastUsed, now) * (e.text.size() == key.size() ? kExactBonus : 1.0);
        auto same = std::find_if(found.begin(), found.end(), [&](const VLearnedItem& item) {
            return item.type == e.type && item.value == e.value;
        });
        if (same != found.end())
            same->weight += weight;
        else
            found.push_back(VLearnedItem{e.type, e.value, weight});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const VLearnedItem& a, const VLearnedItem& b) { return a.weight > b.weight; });
    return found;
}

std::size_t VChoiceMemory::size() const {
    std::lock_guard<std::mutex> hold(guard);
    return entries.size();
}
