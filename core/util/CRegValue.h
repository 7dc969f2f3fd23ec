#pragma once
// Registry values that behave like variables: reading the object reads the value (or a default when it is
// missing), assigning to it writes the value. Each read or write opens and closes the key itself; an
// object is used by one thread at a time.
//
// The key text names key and value together: "Software\\Maker\\Program\\Value" is the value "Value" of
// the key "Software\\Maker\\Program" below the root; a text ending in a backslash names the key's default
// value, a text without one a value of the root itself. Leading backslashes are ignored.
//
// A read under HKEY_LOCAL_MACHINE looks in the registry's 64-bit view first and then in its 32-bit one,
// so that a 32-bit build on 64-bit Windows also finds what 64-bit installers wrote (and a 64-bit build
// what 32-bit ones wrote). Writes go where the system sends them.
#include "VxApi.h"

#include <windows.h>

#include <stdexcept>
#include <string>

namespace vx {

// The Windows records with comparison, as registry-backed values need it.
struct CRect : RECT {
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(LONG l, LONG t, LONG r, LONG b) : RECT{l, t, r, b} {}
    CRect(const RECT& r) : RECT(r) {}
    bool operator==(const RECT& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const RECT& o) const { return !(*this == o); }
};

struct CPoint : POINT {
    CPoint() : POINT{0, 0} {}
    CPoint(LONG x, LONG y) : POINT{x, y} {}
    CPoint(const POINT& p) : POINT(p) {}
    bool operator==(const POINT& o) const { return x == o.x && y == o.y; }
    bool operator!=(const POINT& o) const { return !(*this == o); }
};

} // namespace vx

// Where a value lives, and the registry calls shared by every value type.
class VX_CORE_API CRegBase {
public:
    // Bound to nothing: reads give the default, writes do nothing.
    CRegBase() = default;
    CRegBase(const std::string& keyText, HKEY root);

    // Deletes the value; the platform's result code.
    LONG removeValue();
    // Deletes the key with all its subkeys and values. An empty key path is refused
    // (ERROR_INVALID_PARAMETER): it would name the root, whose subkeys must never go.
    LONG removeKey();

    HKEY getBaseKey() const { return baseKey; }
    const std::string& getKeyPath() const { return keyPath; }
    const std::string& getValueName() const { return valueName; }

protected:
    // Each load is false when the key or the value is missing or cannot be read; the registry type is
    // not checked. Values of a fixed size must have exactly that size.
    bool load(std::string& value) const;
    bool load(DWORD& value) const;
    bool load(vx::CRect& value) const;
    bool load(vx::CPoint& value) const;
    // Each store creates the key when needed; false when the key or the value cannot be written.
    bool store(const std::string& value);
    bool store(DWORD value);
    bool store(const vx::CRect& value);
    bool store(const vx::CPoint& value);

private:
    bool loadExact(void* data, DWORD size) const;
    bool storeBytes(DWORD type, const void* data, DWORD size);

    HKEY baseKey = nullptr;
    std::string valueName;
    std::string keyPath;
};

// Standard strings are the only strings here: the "Std" family shares the base.
using CRegStdBase = CRegBase;

// The cache and its rules, shared by every value type.
template <class T> class CRegValue : public CRegBase {
public:
    CRegValue() = default;
    CRegValue(const std::string& keyText, const T& defaultValue, bool force, HKEY root)
        : CRegBase(keyText, root), defaultValue(defaultValue), force(force) {
        refresh();
    }

    // The registry's value, kept in the cache; the default when it cannot be read (the cache unchanged).
    T read() { return refresh() ? value : defaultValue; }
    // Stores the cached value; the read flag is set when that succeeded.
    void write() {
        if (store(value))
            isRead = true;
    }
    // The cache, or the registry when nothing was read yet or every access must go there.
    operator T() { return current(); }

    // A removed value reads as the default again.
    LONG removeValue() {
        LONG result = CRegBase::removeValue();
        if (result == ERROR_SUCCESS)
            isRead = false;
        return result;
    }
    LONG removeKey() {
        LONG result = CRegBase::removeKey();
        if (result == ERROR_SUCCESS)
            isRead = false;
        return result;
    }

    const T& getDefault() const { return defaultValue; }
    bool isForced() const { return force; }

protected:
    bool refresh() {
        T fresh{};
        if (!load(fresh))
            return false;
        value = fresh;
        isRead = true;
        return true;
    }
    const T& current() {
        if ((!isRead || force) && !refresh())
            return defaultValue;
        return value;
    }
    // Writes unless the cache already holds that very value from the registry. A value that was never
    // read or written is always written, even when it equals what the cache happens to hold.
    void assign(const T& newValue) {
        if (force || !isRead || newValue != value) {
            value = newValue;
            write();
        }
    }

    T value{};
    T defaultValue{};
    bool isRead = false;
    bool force = false;
};

class CRegString : public CRegValue<std::string> {
public:
    CRegString() = default;
    explicit CRegString(const std::string& keyText, const std::string& defaultValue = std::string(),
                        bool force = false, HKEY root = HKEY_CURRENT_USER)
        : CRegValue(keyText, defaultValue, force, root) {}
    CRegString& operator=(const std::string& s) {
        assign(s);
        return *this;
    }
    CRegString& operator+=(const std::string& s) {
        assign(current() + s);
        return *this;
    }
};

class CRegStdString : public CRegString {
public:
    using CRegString::CRegString;
    using CRegString::operator=;
    // The current text; valid until the object is next read or changed.
    operator const char*() { return current().c_str(); }
};

class CRegDWORD : public CRegValue<DWORD> {
public:
    CRegDWORD() = default;
    explicit CRegDWORD(const std::string& keyText, DWORD defaultValue = 0, bool force = false,
                       HKEY root = HKEY_CURRENT_USER)
        : CRegValue(keyText, defaultValue, force, root) {}
    CRegDWORD& operator=(DWORD d) {
        assign(d);
        return *this;
    }
    CRegDWORD& operator+=(DWORD d) { return *this = current() + d; }
    CRegDWORD& operator-=(DWORD d) { return *this = current() - d; }
    CRegDWORD& operator*=(DWORD d) { return *this = current() * d; }
    // A zero divisor is refused before anything is read or written.
    CRegDWORD& operator/=(DWORD d) { return *this = current() / nonZero(d); }
    CRegDWORD& operator%=(DWORD d) { return *this = current() % nonZero(d); }
    // Shifting by the whole width or more gives 0, as shifting bit by bit would.
    CRegDWORD& operator<<=(DWORD d) { return *this = d >= 32 ? 0 : current() << d; }
    CRegDWORD& operator>>=(DWORD d) { return *this = d >= 32 ? 0 : current() >> d; }
    CRegDWORD& operator&=(DWORD d) { return *this = current() & d; }
    CRegDWORD& operator|=(DWORD d) { return *this = current() | d; }
    CRegDWORD& operator^=(DWORD d) { return *this = current() ^ d; }

private:
    static DWORD nonZero(DWORD d) {
        if (d == 0)
            throw std::invalid_argument("CRegDWORD: division by zero");
        return d;
    }
};

class CRegStdWORD : public CRegDWORD {
public:
    using CRegDWORD::CRegDWORD;
    using CRegDWORD::operator=;
};

class CRegRect : public CRegValue<vx::CRect> {
public:
    CRegRect() = default;
    explicit CRegRect(const std::string& keyText, const RECT& defaultValue = vx::CRect(), bool force = false,
                      HKEY root = HKEY_CURRENT_USER)
        : CRegValue(keyText, defaultValue, force, root) {}
    CRegRect& operator=(const RECT& r) {
        assign(r);
        return *this;
    }
    // The current rectangle; valid until the object is next read or changed.
    operator const RECT*() { return &current(); }
    // Moved by a size.
    CRegRect& operator+=(const SIZE& s) { return *this = offset(s.cx, s.cy); }
    CRegRect& operator-=(const SIZE& s) { return *this = offset(-s.cx, -s.cy); }
    // Inflated by a rectangle's four values (left and top outwards, right and bottom outwards), or
    // deflated the other way.
    CRegRect& operator+=(const RECT& by) { return *this = edges(-by.left, -by.top, by.right, by.bottom); }
    CRegRect& operator-=(const RECT& by) { return *this = edges(by.left, by.top, -by.right, -by.bottom); }
    CRegRect& operator&=(const RECT& r) {
        vx::CRect out;
        ::IntersectRect(&out, &current(), &r);
        return *this = out;
    }
    CRegRect& operator|=(const RECT& r) {
        vx::CRect out;
        ::UnionRect(&out, &current(), &r);
        return *this = out;
    }

private:
    vx::CRect offset(LONG dx, LONG dy) { return edges(dx, dy, dx, dy); }
    vx::CRect edges(LONG dl, LONG dt, LONG dr, LONG db) {
        vx::CRect r = current();
        r.left += dl;
        r.top += dt;
        r.right += dr;
        r.bottom += db;
        return r;
    }
};

class CRegPoint : public CRegValue<vx::CPoint> {
public:
    CRegPoint() = default;
    explicit CRegPoint(const std::string& keyText, const POINT& defaultValue = vx::CPoint(),
                       bool force = false, HKEY root = HKEY_CURRENT_USER)
        : CRegValue(keyText, defaultValue, force, root) {}
    CRegPoint& operator=(const POINT& p) {
        assign(p);
        return *this;
    }
    CRegPoint& operator+=(const POINT& p) { return moved(p.x, p.y); }
    CRegPoint& operator-=(const POINT& p) { return moved(-p.x, -p.y); }

private:
    CRegPoint& moved(LONG dx, LONG dy) {
        vx::CPoint c = current();
        return *this = vx::CPoint(c.x + dx, c.y + dy);
    }
};
