#include "util/CRegValue.h"

#include "util/VxText.h"
#include "util/Win32Handle.h"

#include <vector>

namespace {

vx::CRegKeyHandle openKey(HKEY root, const std::string& path, REGSAM access) {
    HKEY key = nullptr;
    if (root == nullptr || ::RegOpenKeyExA(root, path.c_str(), 0, access, &key) != ERROR_SUCCESS)
        return vx::CRegKeyHandle();
    return vx::CRegKeyHandle(key);
}

// The views a read looks in, in order. Under the machine's key, 64-bit Windows shows a 32-bit program
// the redirected (32-bit) view of "Software" unless it asks for another, and keeps what 64-bit
// installers wrote in the other one: the 64-bit view first, then the 32-bit one, whatever this build
// is. 32-bit Windows ignores both flags and has only the one view. Every other root has one view.
struct Views {
    REGSAM flags[2];
    int count;
};
Views viewsOf(HKEY root) {
    if (root == HKEY_LOCAL_MACHINE)
        return {{KEY_WOW64_64KEY, KEY_WOW64_32KEY}, 2};
    return {{0, 0}, 1};
}

// Calls read(key) on the key opened for reading in each view until one answers true.
template <class Read> bool readAnyView(HKEY root, const std::string& path, Read read) {
    const Views views = viewsOf(root);
    for (int i = 0; i < views.count; ++i) {
        vx::CRegKeyHandle key = openKey(root, path, KEY_QUERY_VALUE | views.flags[i]);
        if (key && read(key.Get()))
            return true;
    }
    return false;
}

} // namespace

CRegBase::CRegBase(const std::string& keyText, HKEY root) : baseKey(root) {
    const std::size_t n = keyText.size();
    std::size_t start = 0;
    while (start < n && keyText[start] == '\\')
        ++start;
    // The last backslash is the one before the value name. In a double-byte code page the trail byte of
    // a character may be 0x5C, which is no separator: characters are stepped over whole.
    std::size_t last = std::string::npos, pathEnd = start, textEnd = start;
    for (std::size_t i = start; i < n;) {
        if (keyText[i] == '\\') {
            last = i;
            pathEnd = textEnd; // the key path without the backslashes before the name
            ++i;
            continue;
        }
        i += vx::isLeadByte(keyText[i]) && i + 1 < n ? 2 : 1;
        textEnd = i;
    }
    if (last == std::string::npos) {
        valueName = keyText.substr(start);
        return;
    }
    keyPath = keyText.substr(start, pathEnd - start);
    valueName = keyText.substr(last + 1);
}

LONG CRegBase::removeValue() {
    vx::CRegKeyHandle key = openKey(baseKey, keyPath, KEY_SET_VALUE);
    if (!key)
        return baseKey == nullptr ? ERROR_INVALID_HANDLE : ERROR_FILE_NOT_FOUND;
    return ::RegDeleteValueA(key.Get(), valueName.c_str());
}

LONG CRegBase::removeKey() {
    if (baseKey == nullptr)
        return ERROR_INVALID_HANDLE;
    // RegDeleteTree with an empty path empties the root itself: every key of HKEY_CURRENT_USER, say.
    if (keyPath.empty())
        return ERROR_INVALID_PARAMETER;
    return ::RegDeleteTreeA(baseKey, keyPath.c_str());
}

bool CRegBase::load(std::string& value) const {
    return readAnyView(baseKey, keyPath, [&](HKEY key) {
        // Another program may make the value longer between asking its size and reading it: ask again.
        for (int attempt = 0; attempt < 8; ++attempt) {
            DWORD size = 0;
            if (::RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
                return false;
            // One byte more than the value holds: a string stored without its terminating NUL still ends.
            std::vector<char> data(static_cast<std::size_t>(size) + 1, '\0');
            DWORD got = size;
            LONG result = ::RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr,
                                             reinterpret_cast<BYTE*>(data.data()), &got);
            if (result == ERROR_MORE_DATA)
                continue;
            if (result != ERROR_SUCCESS)
                return false;
            data[got < size ? got : size] = '\0';
            value.assign(data.data());
            return true;
        }
        return false;
    });
}

bool CRegBase::loadExact(void* data, DWORD size) const {
    return readAnyView(baseKey, keyPath, [&](HKEY key) {
        // A longer value fails with ERROR_MORE_DATA; a shorter one is caught by the size it reports.
        DWORD got = size;
        return ::RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr, static_cast<BYTE*>(data), &got) ==
                   ERROR_SUCCESS &&
               got == size;
    });
}

bool CRegBase::load(DWORD& value) const {
    return loadExact(&value, sizeof(value));
}

bool CRegBase::load(vx::CRect& value) const {
    return loadExact(static_cast<RECT*>(&value), sizeof(RECT));
}

bool CRegBase::load(vx::CPoint& value) const {
    return loadExact(static_cast<POINT*>(&value), sizeof(POINT));
}

bool CRegBase::storeBytes(DWORD type, const void* data, DWORD size) {
    if (baseKey == nullptr)
        return false;
    HKEY raw = nullptr;
    if (::RegCreateKeyExA(baseKey, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                          nullptr, &raw, nullptr) != ERROR_SUCCESS)
        return false;
    vx::CRegKeyHandle key(raw);
    return ::RegSetValueExA(key.Get(), valueName.c_str(), 0, type, static_cast<const BYTE*>(data), size) ==
           ERROR_SUCCESS;
}

bool CRegBase::store(const std::string& value) {
    if (value.size() >= MAXDWORD)
        return false;
    return storeBytes(REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

bool CRegBase::store(DWORD value) {
    return storeBytes(REG_DWORD, &value, sizeof(value));
}

bool CRegBase::store(const vx::CRect& value) {
    const RECT& r = value;
    return storeBytes(REG_BINARY, &r, sizeof(RECT));
}

bool CRegBase::store(const vx::CPoint& value) {
    const POINT& p = value;
    return storeBytes(REG_BINARY, &p, sizeof(POINT));
}
