#include "util/CacheFile.h"

#include "util/SafeFile.h"
#include "util/VxText.h"
#include "util/Win32Handle.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <mutex>

namespace vx {
namespace {

const char kMagic[8] = {'V', 'X', 'C', 'A', 'C', 'H', 'E', '\x1A'};
// Texts in the header are short; anything longer means the header itself is damaged.
const uint32_t kMaxHeaderText = 64 * 1024;

std::mutex folderLock;
std::string chosenFolder;

std::string withBackslash(std::string folder) {
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/')
        folder += '\\';
    return folder;
}

std::string defaultFolder() {
    wchar_t base[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base)))
        return std::string();
    std::wstring folder = std::wstring(base) + L"\\Verbinox";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    folder += L"\\Cache";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    if (::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
        return std::string();
    return narrowed(folder) + "\\";
}

void header(CacheWriter& out, const std::string& kind, uint32_t version, const std::string& key,
            std::string_view payload) {
    out.raw(std::string_view(kMagic, sizeof(kMagic)));
    out.text(kind);
    out.u32(version);
    out.text(key);
    out.u64(payload.size());
    out.u64(cacheChecksum(payload));
}

} // namespace

std::string cacheFolder() {
    {
        std::lock_guard<std::mutex> hold(folderLock);
        if (!chosenFolder.empty())
            return chosenFolder;
    }
    static const std::string folder = defaultFolder();
    return folder;
}

void setCacheFolder(const std::string& folder) {
    std::lock_guard<std::mutex> hold(folderLock);
    chosenFolder = withBackslash(folder);
}

uint64_t cacheChecksum(std::string_view bytes) {
    // Eight bytes a step, each mixed by a multiply and a shift: a flipped bit anywhere changes the
    // result, and 10 MB take a few milliseconds.
    uint64_t h = 0x9E3779B97F4A7C15ull ^ bytes.size();
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        h = (h ^ word) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
    }
    uint64_t tail = 0;
    std::memcpy(&tail, bytes.data() + i, bytes.size() - i);
    h = (h ^ tail ^ (uint64_t(bytes.size() - i) << 56)) * 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 29;
    return h;
}

std::string cacheFileName(const std::string& kind, const std::string& key) {
    static const char digits[] = "0123456789abcdef";
    uint64_t h = cacheChecksum(key);
    std::string name = kind + "-";
    for (int shift = 60; shift >= 0; shift -= 4)
        name += digits[(h >> shift) & 0xF];
    return name + ".vxc";
}

bool writeCacheFile(const std::string& path, const std::string& kind, uint32_t version,
                    const std::string& key, std::string_view payload) {
    CacheWriter out;
    header(out, kind, version, key, payload);
    out.bytes().reserve(out.bytes().size() + payload.size());
    out.raw(payload);
    return writeFileReplacing(path, out.bytes());
}

bool readCacheFile(const std::string& path, const std::string& kind, uint32_t version, const std::string& key,
                   std::string& payload, uint64_t maxBytes) {
    payload.clear();
    CHandle file;
    file.Attach(::CreateFileW(widened(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.IsValid())
        return false;
    LARGE_INTEGER size{};
    const uint64_t headerRoom = sizeof(kMagic) + 2 * (4 + kMaxHeaderText) + 4 + 16;
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
        static_cast<uint64_t>(size.QuadPart) > maxBytes + headerRoom)
        return false;
    std::string bytes;
    try {
        bytes.resize(static_cast<std::size_t>(size.QuadPart));
    } catch (...) {
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 24));
        DWORD got = 0;
        if (!::ReadFile(file.Get(), &bytes[done], chunk, &got, nullptr) || got == 0)
            return false;
        done += got;
    }

    CacheReader in(bytes);
    std::string_view magic, fileKind, fileKey;
    uint32_t fileVersion = 0;
    uint64_t payloadSize = 0, checksum = 0;
    in.raw(sizeof(kMagic), magic);
    in.text(fileKind);
    in.u32(fileVersion);
    in.text(fileKey);
    in.u64(payloadSize);
    in.u64(checksum);
    if (!in.ok() || magic != std::string_view(kMagic, sizeof(kMagic)) || fileKind != kind ||
        fileVersion != version || fileKey != key || payloadSize != in.remaining() || payloadSize > maxBytes)
        return false;
    const std::size_t start = bytes.size() - static_cast<std::size_t>(payloadSize);
    if (cacheChecksum(std::string_view(bytes).substr(start)) != checksum)
        return false;
    bytes.erase(0, start);
    payload.swap(bytes);
    return true;
}

void CacheWriter::u32(uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void CacheWriter::u64(uint64_t value) {
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void CacheWriter::varint(uint64_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<char>((value & 0x7F) | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<char>(value));
}

void CacheWriter::text(std::string_view value) {
    varint(value.size());
    raw(value);
}

bool CacheReader::u8(uint8_t& value) {
    if (!good || at >= in.size())
        return fail();
    value = static_cast<uint8_t>(in[at++]);
    return true;
}

bool CacheReader::u32(uint32_t& value) {
    if (!good || in.size() - at < 4)
        return fail();
    value = 0;
    for (int i = 0; i < 4; ++i)
        value |= uint32_t(static_cast<uint8_t>(in[at + i])) << (8 * i);
    at += 4;
    return true;
}

bool CacheReader::u64(uint64_t& value) {
    if (!good || in.size() - at < 8)
        return fail();
    value = 0;
    for (int i = 0; i < 8; ++i)
        value |= uint64_t(static_cast<uint8_t>(in[at + i])) << (8 * i);
    at += 8;
    return true;
}

bool CacheReader::varint(uint64_t& value) {
    value = 0;
    for (int shift = 0; good && shift < 64; shift += 7) {
        if (at >= in.size())
            return fail();
        const uint8_t byte = static_cast<uint8_t>(in[at++]);
        value |= uint64_t(byte & 0x7F) << shift;
        if (!(byte & 0x80))
            return true;
    }
    return fail(); // more than ten bytes: not a number this writer made
}

bool CacheReader::text(std::string_view& value) {
    uint64_t size = 0;
    if (!varint(size))
        return false;
    return raw(static_cast<std::size_t>(std::min<uint64_t>(size, SIZE_MAX)), value);
}

bool CacheReader::raw(std::size_t count, std::string_view& value) {
    if (!good || in.size() - at < count)
        return fail();
    value = in.substr(at, count);
    at += count;
    return true;
}

} // namespace vx
