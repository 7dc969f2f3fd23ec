#pragma once
// Points the user's Favorites folder at a folder of the test's own for as long as it lives, through the
// "User Shell Folders" value the shell reads (in this test prefix, which holds no favorites of its own),
// and then puts the old value back. Test programs run side by side in one prefix: a named mutex gives
// the Favorites folder to one test at a time.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

class FavoritesFolder {
public:
    explicit FavoritesFolder(const std::string& folder) {
        mutex_ = ::CreateMutexA(nullptr, FALSE, "VerbinoxTestFavoritesFolder");
        // An abandoned mutex (a test that died holding it) is ours all the same.
        const DWORD waited = mutex_ ? ::WaitForSingleObject(mutex_, 120000) : WAIT_FAILED;
        owned_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        if (!owned_)
            ADD_FAILURE() << "another test kept the Favorites folder";
        if (::RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                              nullptr, &key_, nullptr) != ERROR_SUCCESS) {
            ADD_FAILURE() << "no User Shell Folders key";
            key_ = nullptr;
            return;
        }
        DWORD size = 0;
        if (::RegQueryValueExA(key_, "Favorites", nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
            saved_.resize(size);
            hadValue_ =
                ::RegQueryValueExA(key_, "Favorites", nullptr, &type_, saved_.data(), &size) == ERROR_SUCCESS;
            saved_.resize(size);
        }
        ::RegSetValueExA(key_, "Favorites", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                         static_cast<DWORD>(folder.size() + 1));
    }
    ~FavoritesFolder() {
        if (key_) {
            if (hadValue_)
                ::RegSetValueExA(key_, "Favorites", 0, type_, saved_.data(),
                                 static_cast<DWORD>(saved_.size()));
            else
                ::RegDeleteValueA(key_, "Favorites");
            ::RegCloseKey(key_);
        }
        if (owned_)
            ::ReleaseMutex(mutex_);
        if (mutex_)
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
    HANDLE mutex_ = nullptr;
    bool owned_ = false;
    HKEY key_ = nullptr;
    bool hadValue_ = false;
    DWORD type_ = REG_EXPAND_SZ;
    std::vector<BYTE> saved_;
};
