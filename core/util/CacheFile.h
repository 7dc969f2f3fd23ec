#pragma once
// Files that keep a cache between runs: a header that says what built them, a checksum over the rest.
//
// A cache file is never trusted: one cut short by a crash, damaged on the disk, written by another
// version or built for other settings reads as "no cache", and its owner builds a new one. They live
// under the user's local application data, never beside the program (a portable folder may be
// read-only, and a history's titles and addresses are the user's own).
#include "VxApi.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vx {

// "<local application data>\Verbinox\Cache\", made on first use, ending in a backslash; empty when
// there is no such folder. setCacheFolder puts caches elsewhere (tests: a temporary folder); an empty
// folder gives the default back.
VX_CORE_API std::string cacheFolder();
VX_CORE_API void setCacheFolder(const std::string& folder);

// kind + "-" + 16 hex digits of a hash of key + ".vxc": one file per thing cached, a short safe name
// whatever the key holds (paths, filters).
VX_CORE_API std::string cacheFileName(const std::string& kind, const std::string& key);

// A 64-bit hash of bytes; not cryptographic, it only tells damaged files from sound ones.
VX_CORE_API uint64_t cacheChecksum(std::string_view bytes);

// Writes the header (kind, the caller's format version, key, payload size and checksum) and payload
// to path through a temporary that replaces it in one step: a reader never sees half a file. False
// with GetLastError telling why.
VX_CORE_API bool writeCacheFile(const std::string& path, const std::string& kind, uint32_t version,
                                const std::string& key, std::string_view payload);

// The payload of a sound file written for this kind, version and key. False (and payload empty) when
// the file is missing, cut short or longer than it says, over maxBytes, of another kind, version or
// key, or when its checksum differs.
VX_CORE_API bool readCacheFile(const std::string& path, const std::string& kind, uint32_t version,
                               const std::string& key, std::string& payload, uint64_t maxBytes);

// Builds a payload: fixed-size numbers little-endian, varints 7 bits a byte, texts length first.
class VX_CORE_API CacheWriter {
public:
    void u8(uint8_t value) { out.push_back(static_cast<char>(value)); }
    void u32(uint32_t value);
    void u64(uint64_t value);
    void varint(uint64_t value);
    void text(std::string_view value);
    void raw(std::string_view value) { out.append(value.data(), value.size()); }
    std::string& bytes() { return out; }

private:
    std::string out;
};

// Reads a payload back. Every read checks the bounds; the first that fails makes this and every later
// read fail, so a parser may read a whole record and test ok() once.
class VX_CORE_API CacheReader {
public:
    explicit CacheReader(std::string_view bytes) : in(bytes) {}
    bool u8(uint8_t& value);
    bool u32(uint32_t& value);
    bool u64(uint64_t& value);
    bool varint(uint64_t& value);
    // A view into the payload: valid while the payload is.
    bool text(std::string_view& value);
    bool raw(std::size_t count, std::string_view& value);
    bool ok() const { return good; }
    bool atEnd() const { return good && at == in.size(); }
    std::size_t remaining() const { return good ? in.size() - at : 0; }

private:
    bool fail() { return good = false; }
    std::string_view in;
    std::size_t at = 0;
    bool good = true;
};

} // namespace vx
