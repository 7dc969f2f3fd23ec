#include "util/CRegValue.h"
#include "util/Win32Handle.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// A key of its own under HKEY_CURRENT_USER for each test, deleted with everything below it afterwards.
class RegValue : public ::testing::Test {
protected:
    void SetUp() override {
        key = "Software\\VerbinoxTests\\RegValue-" + std::to_string(::GetCurrentProcessId()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
    }
    void TearDown() override {
        ::RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
        ::RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\VerbinoxTests"); // only when no other test uses it
    }
    // Sets a value behind the objects' backs, as another program would.
    void setRaw(const std::string& name, DWORD type, const void* data, DWORD size) {
        HKEY raw = nullptr;
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                    &raw, nullptr),
                  ERROR_SUCCESS);
        vx::CRegKeyHandle owner(raw);
        ASSERT_EQ(::RegSetValueExA(raw, name.c_str(), 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }
    bool keyExists(const std::string& path) {
        HKEY raw = nullptr;
        if (::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS)
            return false;
        ::RegCloseKey(raw);
        return true;
    }

    std::string key;
};

} // namespace

TEST_F(RegValue, TheKeyTextSplitsAtItsLastBackslash) {
    CRegString plain("JustAName");
    EXPECT_EQ(plain.getKeyPath(), "");
    EXPECT_EQ(plain.getValueName(), "JustAName");
    CRegString deflt("\\\\Software\\Maker\\\\\\");
    EXPECT_EQ(deflt.getKeyPath(), "Software\\Maker") << "leading and trailing backslashes go";
    EXPECT_EQ(deflt.getValueName(), "") << "the key's default value";
    CRegString named("Software\\Maker\\\\Size");
    EXPECT_EQ(named.getKeyPath(), "Software\\Maker");
    EXPECT_EQ(named.getValueName(), "Size");
}

TEST_F(RegValue, MissingValuesReadAsTheDefaultUntilAnotherProgramWritesThem) {
    CRegString text(key + "\\Name", "fallback");
    EXPECT_EQ(std::string(text), "fallback");
    setRaw("Name", REG_SZ, "written", 8);
    EXPECT_EQ(std::string(text), "written") << "nothing was read, so the registry is asked again";
    setRaw("Name", REG_SZ, "changed", 8);
    EXPECT_EQ(std::string(text), "written") << "the cache answers once a read succeeded";
    EXPECT_EQ(text.read(), "changed");
    CRegString forced(key + "\\Name", "", true);
    setRaw("Name", REG_SZ, "again", 6);
    EXPECT_EQ(std::string(forced), "again");
    EXPECT_EQ(forced.removeValue(), ERROR_SUCCESS);
    EXPECT_EQ(std::string(text), "changed");
    EXPECT_EQ(text.removeValue(), ERROR_FILE_NOT_FOUND);
    CRegString fresh(key + "\\Name", "gone");
    EXPECT_EQ(std::string(fresh), "gone");
}

TEST_F(RegValue, AStringStoredWithoutItsTerminatorEndsAtItsLength) {
    char bytes[64];
    std::fill(bytes, bytes + sizeof(bytes), 'Z');
    setRaw("Raw", REG_SZ, bytes, 5);
    EXPECT_EQ(std::string(CRegString(key + "\\Raw")), "ZZZZZ");
    setRaw("Empty", REG_SZ, bytes, 0);
    EXPECT_EQ(std::string(CRegString(key + "\\Empty", "default")), "");
}

TEST_F(RegValue, AssigningWritesOnlyWhatTheCacheDoesNotHold) {
    CRegString text(key + "\\Text");
    text = ""; // equal to the empty cache, but nothing was read: the value must exist afterwards
    CRegString check(key + "\\Text", "missing");
    EXPECT_EQ(std::string(check), "");
    setRaw("Text", REG_SZ, "other", 6);
    text = ""; // the cache holds "" from the write: nothing is written
    EXPECT_EQ(check.read(), "other");
    text += "tail";
    EXPECT_EQ(check.read(), "tail");
    CRegStdString forced(key + "\\Text", "", true);
    setRaw("Text", REG_SZ, "x", 2);
    forced = "tail"; // what its cache holds, written all the same
    EXPECT_EQ(check.read(), "tail");
    setRaw("Text", REG_SZ, "y", 2);
    EXPECT_STREQ(static_cast<const char*>(forced), "y") << "every access goes to the registry";
}

TEST_F(RegValue, NumbersCombineWithTheCurrentValue) {
    CRegDWORD number(key + "\\Count", 5);
    number += 1;
    EXPECT_EQ(CRegDWORD(key + "\\Count").read(), 6u) << "the default plus one";
    number <<= 40;
    EXPECT_EQ(DWORD(CRegStdWORD(key + "\\Count", 9)), 0u) << "shifted out entirely, and written";
    EXPECT_THROW(number /= 0, std::invalid_argument);
}

TEST_F(RegValue, FixedSizeValuesOfAnotherSizeReadAsTheDefault) {
    const DWORD eight[2] = {1, 2};
    setRaw("Short", REG_DWORD, eight, 2);
    setRaw("Long", REG_BINARY, eight, sizeof(eight));
    EXPECT_EQ(DWORD(CRegDWORD(key + "\\Short", 77)), 77u);
    EXPECT_EQ(DWORD(CRegDWORD(key + "\\Long", 77)), 77u);
    EXPECT_EQ(vx::CPoint(CRegPoint(key + "\\Long")), vx::CPoint(1, 2));
    EXPECT_EQ(vx::CRect(CRegRect(key + "\\Long", vx::CRect(9, 9, 9, 9))), vx::CRect(9, 9, 9, 9));
}

TEST_F(RegValue, RectanglesAndPointsMoveGrowAndCombine) {
    CRegRect rect(key + "\\Rect", vx::CRect(10, 20, 30, 40));
    rect += SIZE{1, 2};
    EXPECT_EQ(vx::CRect(CRegRect(key + "\\Rect")), vx::CRect(11, 22, 31, 42)) << "moved and written";
    rect += vx::CRect(1, 2, 3, 4);
    EXPECT_EQ(vx::CRect(rect), vx::CRect(10, 20, 34, 46)) << "inflated";
    rect -= vx::CRect(1, 2, 4, 6);
    rect -= SIZE{1, 2};
    rect &= vx::CRect(0, 0, 20, 25);
    EXPECT_EQ(vx::CRect(*static_cast<const RECT*>(rect)), vx::CRect(10, 20, 20, 25));
    rect |= vx::CRect(50, 50, 60, 60);
    EXPECT_EQ(vx::CRect(CRegRect(key + "\\Rect")), vx::CRect(10, 20, 60, 60));
    CRegPoint point(key + "\\Point", vx::CPoint(3, 4));
    point += vx::CPoint(10, 20);
    point -= vx::CPoint(1, 1);
    EXPECT_EQ(vx::CPoint(CRegPoint(key + "\\Point")), vx::CPoint(12, 23));
}

TEST_F(RegValue, RemovingAKeyTakesItsSubkeysButNeverARootsOnes) {
    CRegDWORD deep(key + "\\Sub\\Deeper\\Value", 0);
    deep = 1;
    ASSERT_TRUE(keyExists(key + "\\Sub\\Deeper"));
    EXPECT_EQ(deep.removeKey(), ERROR_SUCCESS);
    EXPECT_FALSE(keyExists(key + "\\Sub\\Deeper"));
    EXPECT_EQ(DWORD(deep), 0u) << "the removed value reads as the default";
    CRegDWORD top(key + "\\Value");
    EXPECT_EQ(top.removeKey(), ERROR_SUCCESS);
    EXPECT_FALSE(keyExists(key)) << "the key goes with its subkeys";

    CRegDWORD atRoot("\\Value");
    EXPECT_EQ(atRoot.removeKey(), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(keyExists("Software")) << "HKEY_CURRENT_USER kept its keys";
    CRegDWORD unbound;
    EXPECT_EQ(unbound.removeKey(), ERROR_INVALID_HANDLE);
    unbound = 3;
    EXPECT_EQ(DWORD(unbound), 0u) << "an object bound to nothing stores nothing";
}

namespace {

// A value under HKEY_LOCAL_MACHINE in one view of the registry only, removed with its key afterwards.
class MachineValue {
public:
    MachineValue(const std::string& key, REGSAM view, const std::string& value) : key(key), view(view) {
        HKEY raw = nullptr;
        ok = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr,
                               &raw, nullptr) == ERROR_SUCCESS;
        vx::CRegKeyHandle owner(raw);
        ok = ok && ::RegSetValueExA(raw, "Where", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                    static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
    }
    ~MachineValue() { ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), view, 0); }
    MachineValue(const MachineValue&) = delete;
    MachineValue& operator=(const MachineValue&) = delete;
    bool ok = false;

private:
    std::string key;
    REGSAM view;
};

} // namespace

TEST(RegValueViews, MachineValuesAreReadFromThe64BitViewFirstThenThe32BitOne) {
    const std::string key = "Software\\VerbinoxTests-Views-" + std::to_string(::GetCurrentProcessId());
    {
        MachineValue only32(key, KEY_WOW64_32KEY, "32-bit view");
        ASSERT_TRUE(only32.ok);
        HKEY probe = nullptr;
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &probe) ==
            ERROR_SUCCESS) {
            ::RegCloseKey(probe);
            GTEST_SKIP() << "this registry has one view only";
        }
        EXPECT_EQ(std::string(CRegString(key + "\\Where", "", false, HKEY_LOCAL_MACHINE)), "32-bit view")
            << "a 32-bit program's key was not found";
        MachineValue only64(key, KEY_WOW64_64KEY, "64-bit view");
        ASSERT_TRUE(only64.ok);
        EXPECT_EQ(std::string(CRegString(key + "\\Where", "", false, HKEY_LOCAL_MACHINE)), "64-bit view");
    }
    EXPECT_EQ(std::string(CRegString(key + "\\Where", "none", false, HKEY_LOCAL_MACHINE)), "none");
}
