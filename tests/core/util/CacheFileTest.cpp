#include "support/TempFolder.h"

#include "util/CacheFile.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>

namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string samplePayload() {
    vx::CacheWriter out;
    out.u32(7);
    out.varint(300);
    out.text("C:\\Users\\Zoë\\Documents\\");
    out.u64(0x0123456789ABCDEFull);
    out.text("");
    return out.bytes();
}

} // namespace

TEST(CacheFile, APayloadComesBackAsWrittenForItsKindVersionAndKey) {
    TempFolder folder;
    const std::string path = folder.sub(vx::cacheFileName("folders", "C:\\x|*.lnk"));
    const std::string payload = samplePayload();
    ASSERT_TRUE(vx::writeCacheFile(path, "folders", 3, "C:\\x|*.lnk", payload));
    std::string back;
    ASSERT_TRUE(vx::readCacheFile(path, "folders", 3, "C:\\x|*.lnk", back, 1 << 20));
    EXPECT_EQ(back, payload);

    vx::CacheReader in(back);
    uint32_t small = 0;
    uint64_t number = 0, big = 0;
    std::string_view text, empty;
    in.u32(small);
    in.varint(number);
    in.text(text);
    in.u64(big);
    in.text(empty);
    ASSERT_TRUE(in.atEnd());
    EXPECT_EQ(small, 7u);
    EXPECT_EQ(number, 300u);
    EXPECT_EQ(text, "C:\\Users\\Zoë\\Documents\\");
    EXPECT_EQ(big, 0x0123456789ABCDEFull);
    EXPECT_TRUE(empty.empty());
}

TEST(CacheFile, AFileOfAnotherKindVersionOrKeyOrOverTheLimitIsRefused) {
    TempFolder folder;
    const std::string path = folder.sub("c.vxc");
    ASSERT_TRUE(vx::writeCacheFile(path, "folders", 3, "key", samplePayload()));
    std::string back = "left over";
    EXPECT_FALSE(vx::readCacheFile(path, "history", 3, "key", back, 1 << 20));
    EXPECT_TRUE(back.empty());
    EXPECT_FALSE(vx::readCacheFile(path, "folders", 4, "key", back, 1 << 20));
    EXPECT_FALSE(vx::readCacheFile(path, "folders", 3, "other key", back, 1 << 20));
    EXPECT_FALSE(vx::readCacheFile(path, "folders", 3, "key", back, 4));
    EXPECT_FALSE(vx::readCacheFile(path + ".missing", "folders", 3, "key", back, 1 << 20));
    EXPECT_NE(vx::cacheFileName("folders", "a"), vx::cacheFileName("folders", "b"));
}

TEST(CacheFile, EveryCutShortOrByteChangedFormIsRefused) {
    TempFolder folder;
    const std::string path = folder.sub("c.vxc");
    ASSERT_TRUE(vx::writeCacheFile(path, "folders", 1, "key", samplePayload()));
    const std::string sound = readAll(path);
    std::string back;
    for (std::size_t size = 0; size < sound.size(); ++size) {
        writeAll(path, sound.substr(0, size));
        EXPECT_FALSE(vx::readCacheFile(path, "folders", 1, "key", back, 1 << 20)) << "cut to " << size;
    }
    for (std::size_t at = 0; at < sound.size(); ++at) {
        for (unsigned char flip : {0x01, 0x80, 0xFF}) {
            std::string changed = sound;
            changed[at] = static_cast<char>(changed[at] ^ flip);
            writeAll(path, changed);
            EXPECT_FALSE(vx::readCacheFile(path, "folders", 1, "key", back, 1 << 20))
                << "byte " << at << " changed by " << int(flip);
        }
    }
    writeAll(path, sound + "x");
    EXPECT_FALSE(vx::readCacheFile(path, "folders", 1, "key", back, 1 << 20)) << "a longer file";
    writeAll(path, sound);
    EXPECT_TRUE(vx::readCacheFile(path, "folders", 1, "key", back, 1 << 20));
}

TEST(CacheFile, AReaderPastTheEndFailsAndStaysFailed) {
    vx::CacheWriter out;
    out.varint(1000); // a text said to be longer than what follows
    out.raw("abc");
    const std::string bytes = out.bytes();
    vx::CacheReader in(bytes);
    std::string_view text;
    EXPECT_FALSE(in.text(text));
    uint8_t byte = 0;
    EXPECT_FALSE(in.u8(byte)) << "a read after a failed one succeeded";
    EXPECT_FALSE(in.ok());

    const std::string endless(12, '\xFF'); // a varint that never ends
    vx::CacheReader numbers(endless);
    uint64_t value = 0;
    EXPECT_FALSE(numbers.varint(value));
}

TEST(CacheFile, TheFolderCanBeMovedAndGivenBack) {
    const std::string standard = vx::cacheFolder();
    ASSERT_FALSE(standard.empty());
    EXPECT_EQ(standard.back(), '\\');
    EXPECT_NE(::GetFileAttributesA(standard.c_str()), INVALID_FILE_ATTRIBUTES);
    vx::setCacheFolder("C:\\elsewhere");
    EXPECT_EQ(vx::cacheFolder(), "C:\\elsewhere\\");
    vx::setCacheFolder("");
    EXPECT_EQ(vx::cacheFolder(), standard);
}
