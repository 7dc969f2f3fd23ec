#pragma once
// Points the user's Favorites folder at a folder of the test's own for as long as it lives, through the
// "User Shell Folders" value the shell reads (this test prefix holds no favorites of its own), then puts
// the old value back. Test programs run side by side in one prefix: a named mutex gives the Favorites
// folder to one test at a time.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

class FavoritesFolder {
public:
    explicit FavoritesFolder(const std::string& folder) {
        // An abandoned mutex (a test that died holding it) is ours all the same.
        const DWORD waited = mutex_ ? ::WaitForSingleObject(mutex_, 120000) : WAIT_FAILED;
        owned_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        EXPECT_TRUE(owned_) << "another test kept the Favorites folder";
        EXPECT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                                    nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
        DWORD size = 0;
        if (::RegQueryValueExA(key_, "Favorites", nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
            saved_.resize(size);
            hadValue_ = ::RegQueryValueExA(key_, "Favorites", nullptr, &type_, saved_.data(), &size) == 0;
        }
        ::RegSetValueExA(key_, "Favorites", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                         static_cast<DWORD>(folder.size() + 1));
    }
    ~FavoritesFolder() {
        if (hadValue_)
            ::RegSetValueExA(key_, "Favorites", 0, type_, saved_.data(), static_cast<DWORD>(saved_.size()));
        else
            ::RegDeleteValueA(key_, "Favorites");
        ::RegCloseKey(key_);
        if (owned_)
            ::ReleaseMutex(mutex_);
        ::CloseHandle(mutex_);
    }
    FavoritesFolder(const FavoritesFolder&) = delete;
    FavoritesFolder& operator=(const FavoritesFolder&) = delete;

    // An Internet shortcut file as a browser writes it.
    static std::string shortcut(const std::string& url) {
        return "[InternetShortcut]\r\nURL=" + url + "\r\n";
    }

private:
    static constexpr const char* kKey =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    HANDLE mutex_ = ::CreateMutexA(nullptr, FALSE, "VerbinoxTestFavoritesFolder");
    bool owned_ = false;
    HKEY key_ = nullptr;
    bool hadValue_ = false;
    DWORD type_ = REG_EXPAND_SZ;
    std::vector<BYTE> saved_;
};
