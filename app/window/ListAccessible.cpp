#include "ListAccessible.h"

#include <oleauto.h>

const IID kIidAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

namespace {

// What a child id names: the object itself, a row (0-based), or nothing.
enum : int { Self = -1, NoChild = -2 };

int childOf(const VARIANT& child, int count) {
    if (child.vt != VT_I4)
        return NoChild;
    if (child.lVal == CHILDID_SELF)
        return Self;
    return child.lVal >= 1 && child.lVal <= count ? static_cast<int>(child.lVal) - 1 : NoChild;
}

void setChild(VARIANT* out, int row) {
    out->vt = VT_I4;
    out->lVal = row == Self ? CHILDID_SELF : row + 1;
}

HRESULT giveText(const std::wstring& text, BSTR* out) {
    *out = text.empty() ? nullptr : ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (text.empty())
        return S_FALSE;
    return *out ? S_OK : E_OUTOFMEMORY;
}

LONG objectIdOf(LPARAM lParam) {
    // The id arrives as a DWORD; 64-bit senders may or may not extend its sign.
    return static_cast<LONG>(static_cast<DWORD>(lParam));
}

// The system's object for a window, and the parts of IAccessible every object here shares: reference
// counting, IDispatch without type information, and what it hands on to the system's object.
class Delegating : public IAccessible {
public:
    explicit Delegating(IAccessible* standard) : standard(standard) {}
    virtual ~Delegating() {
        if (standard)
            standard->Release();
    }
    Delegating(const Delegating&) = delete;
    Delegating& operator=(const Delegating&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IDispatch) ||
            ::IsEqualIID(iid, kIidAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = ::InterlockedDecrement(&refs);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        return standard ? standard->get_accParent(parent) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        return standard ? standard->get_accChildCount(count) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        return standard ? standard->get_accChild(child, out) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* out) override {
        return standard ? standard->get_accName(child, out) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* out) override {
        return standard ? standard->get_accValue(child, out) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* out) override {
        return standard ? standard->get_accDescription(child, out) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* out) override {
        return standard ? standard->get_accRole(child, out) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* out) override {
        return standard ? standard->get_accState(child, out) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* out) override {
        return standard ? standard->get_accHelp(child, out) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return standard ? standard->get_accHelpTopic(file, child, topic) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* out) override {
        return standard ? standard->get_accKeyboardShortcut(child, out) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* out) override {
        return standard ? standard->get_accFocus(out) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* out) override {
        return standard ? standard->get_accSelection(out) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* out) override {
        return standard ? standard->get_accDefaultAction(child, out) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        return standard ? standard->accSelect(flags, child) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child) override {
        return standard ? standard->accLocation(left, top, width, height, child) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        return standard ? standard->accNavigate(direction, start, end) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* out) override {
        return standard ? standard->accHitTest(x, y, out) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        return standard ? standard->accDoDefaultAction(child) : E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

protected:
    IAccessible* standard;

private:
    LONG refs = 1;
};

IAccessible* standardObject(HWND hwnd) {
    IAccessible* standard = nullptr;
    if (FAILED(::CreateStdAccessibleObject(hwnd, OBJID_CLIENT, kIidAccessible,
                                           reinterpret_cast<void**>(&standard))))
        return nullptr;
    return standard;
}

// A control under a name of ours; everything else as the system has it.
class Named : public Delegating {
public:
    Named(IAccessible* standard, const wchar_t* name) : Delegating(standard), name(name) {}
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* out) override {
        if (!out)
            return E_POINTER;
        if (child.vt == VT_I4 && child.lVal == CHILDID_SELF)
            return giveText(name, out);
        return Delegating::get_accName(child, out);
    }

private:
    std::wstring name;
};

} // namespace

// The list's client object: a list of list items, one per row.
class VListAccessibility::Object : public Delegating {
public:
    Object(HWND hwnd, IAccessible* standard, VAccessibleRows* rows, const wchar_t* name)
        : Delegating(standard), hwnd(hwnd), rows(rows), name(name) {}

    void detach() { rows = nullptr; }

    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        if (!count)
            return E_POINTER;
        if (!rows)
            return CO_E_OBJNOTCONNECTED;
        *count = rows->accessibleRowCount();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!rows)
            return CO_E_OBJNOTCONNECTED;
        // Rows are simple elements: their parent answers for them.
        return childOf(child, rows->accessibleRowCount()) >= 0 ? S_FALSE : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!rows)
            return CO_E_OBJNOTCONNECTED;
        const int row = childOf(child, rows->accessibleRowCount());
        if (row == NoChild)
            return E_INVALIDARG;
        return giveText(row == Self ? name : rows->accessibleRowName(row), out);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* out) override {
        return forRows(child, out, [&] { return Delegating::get_accValue(child, out); });
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* out) override {
        return forRows(child, out, [&] { return Delegating::get_accDescription(child, out); });
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* out) override {
        return forRows(child, out, [&] { return Delegating::get_accHelp(child, out); });
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* out) override {
        return forRows(child, out, [&] { return Delegating::get_accKeyboardShortcut(child, out); });
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* out) override {
        return forRows(child, out, [&] { return Delegating::get_accDefaultAction(child, out); });
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* out) override {
        if (!out)
            return E_POINTER;
        out->vt = VT_EMPTY;
        if (!rows)
            return CO_E_OBJNOTCONNECTED;
        const int row = childOf(child, rows->accessibleRowCount());
        if (row == NoChild)
            return E_INVALIDARG;
        out->vt = VT_I4;
        out->lVal = row == Self ? ROLE_SYSTEM_LIST : ROLE_SYSTEM_LISTITEM;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* out) override {
        if (!out)
            return E_POINTER;
        out->vt = VT_EMPTY;
        if (!rows)
            return CO_E_OBJNOTCONNECTED;
        const int row = childOf(child, rows->accessibleRowCount());
        if (row == NoChild)
            return E_INVALIDARG;
        if (row == Self) {
            const HRESULT result = Delegating::get_accState(child, out);
            if (SUCCEEDED(result) && out->vt == VT_I4 && !rows->isAccessibleShown())
                out->lVal |= STATE_SYSTEM_INVISIBLE;
            return result;
        }
        long state = rows->isAccessibleRowSelectable(row) ? STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE
                                                          : STATE_SYSTEM_READONLY;
        if (row == rows->accessibleSelectedRow())
            state |= STATE_SYSTEM_SELECTED | STATE_SYSTEM_FOCUSED;
        RECT client, shown;
        const RECT at = rows->accessibleRowRect(row);
        ::GetClientRect(hwnd, &client);
        if (!::IntersectRect(&shown, &client, &at))
            state |= STATE_SYSTEM_OFFSCREEN | STATE_SYSTEM_INVISIBLE;
        if (!rows->isAccessibleShown())
            state |= STATE_SYSTEM_INVISIBLE;
        out->vt = VT_I4;
        out->lVal = state;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* out) override { return selection(out); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* out) override { return selection(out); }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        if (!rows)
            return CO_E_OBJNOTCONNECTED;
        const int row = childOf(child, rows->accessibleRowCount());
        if (row == NoChild)
            return E_INVALIDARG;
        if (row == Self)
            return Delegating::accSelect(flags, child);
        // One row is selected at a time, and it is the one with the focus.
        if ((flags & (SELFLAG_ADDSELECTION | SELFLAG_EXTENDSELECTION | SELFLAG_REMOVESELECTION)) ||
            !(flags & (SELFLAG_TAKESELECTION | SELFLAG_TAKEFOCUS)) || !rows->isAccessibleRowSelectable(row))
            return E_INVALIDARG;
        rows->accessibleSelect(row);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child) override {
        if (!left || !top || !width || !height)
            return E_POINTER;
        if (!rows)
            return CO_E_OBJNOTCONNECTED;
        const int row = childOf(child, rows->accessibleRowCount());
        if (row == NoChild)
            return E_INVALIDARG;
        if (row == Self)
            return Delegating::accLocation(left, top, width, height, child);
        RECT at = rows->accessibleRowRect(row);
        ::MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&at), 2);
        *left = at.left;
        *top = at.top;
        *width = at.right - at.left;
        *height = at.bottom - at.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        if (!end)
            return E_POINTER;
        end->vt = VT_EMPTY;
        if (!rows)
            return CO_E_OBJNOTCONNECTED;
        const int count = rows->accessibleRowCount();
        const int row = childOf(start, count);
        if (row == NoChild)
            return E_INVALIDARG;
        int to = NoChild;
        if (row == Self && (direction == NAVDIR_FIRSTCHILD || direction == NAVDIR_LASTCHILD))
            to = count == 0 ? NoChild : direction == NAVDIR_FIRSTCHILD ? 0 : count - 1;
        else if (row == Self)
            return Delegating::accNavigate(direction, start, end);
        else if (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN)
            to = row + 1 < count ? row + 1 : NoChild;
        else if (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP)
            to = row > 0 ? row - 1 : NoChild;
        if (to == NoChild)
            return S_FALSE;
        setChild(end, to);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* out) override {
        if (!out)
            return E_POINTER;
        out->vt = VT_EMPTY;
        if (!rows)
            return CO_E_OBJNOTCONNECTED;
        POINT at{x, y};
        RECT client;
        ::ScreenToClient(hwnd, &at);
        ::GetClientRect(hwnd, &client);
        if (!::PtInRect(&client, at))
            return Delegating::accHitTest(x, y, out);
        const int count = rows->accessibleRowCount();
        for (int row = 0; row < count; ++row) {
            const RECT r = rows->accessibleRowRect(row);
            if (::PtInRect(&r, at)) {
                setChild(out, row);
                return S_OK;
            }
        }
        setChild(out, Self);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        if (!rows)
            return CO_E_OBJNOTCONNECTED;
        const int row = childOf(child, rows->accessibleRowCount());
        if (row == NoChild)
            return E_INVALIDARG;
        return row == Self ? Delegating::accDoDefaultAction(child) : DISP_E_MEMBERNOTFOUND;
    }

private:
    // Rows have no value, description, help, shortcut or default action of their own.
    template <class Fn> HRESULT forRows(VARIANT child, BSTR* out, Fn self) {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!rows)
            return CO_E_OBJNOTCONNECTED;
        const int row = childOf(child, rows->accessibleRowCount());
        if (row == NoChild)
            return E_INVALIDARG;
        return row == Self ? self() : S_FALSE;
    }
    // The selected row has the focus too; the keyboard's focus stays in the edit box otherwise.
    HRESULT selection(VARIANT* out) {
        if (!out)
            return E_POINTER;
        out->vt = VT_EMPTY;
        if (!rows)
            return CO_E_OBJNOTCONNECTED;
        const int row = rows->accessibleSelectedRow();
        if (row < 0 || row >= rows->accessibleRowCount())
            return S_FALSE;
        setChild(out, row);
        return S_OK;
    }

    HWND hwnd;
    VAccessibleRows* rows;
    std::wstring name;
};

VListAccessibility::~VListAccessibility() {
    if (!object)
        return;
    object->detach();
    // Clients in other processes hold it through COM's stubs: they let go of it here.
    ::CoDisconnectObject(static_cast<IAccessible*>(object), 0);
    object->Release();
}

LRESULT VListAccessibility::answer(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    if (objectIdOf(lParam) != OBJID_CLIENT)
        return 0;
    if (!object)
        object = new Object(hwnd, standardObject(hwnd), &rows, name);
    return ::LresultFromObject(kIidAccessible, wParam, static_cast<IAccessible*>(object));
}

void VListAccessibility::announce(HWND hwnd, int row, const void* item, HWND fallback) {
    if (row == announcedRow && item == announcedItem)
        return;
    announcedRow = row;
    announcedItem = item;
    if (row >= 0) {
        ::NotifyWinEvent(EVENT_OBJECT_FOCUS, hwnd, OBJID_CLIENT, row + 1);
        ::NotifyWinEvent(EVENT_OBJECT_SELECTION, hwnd, OBJID_CLIENT, row + 1);
    } else if (fallback) {
        ::NotifyWinEvent(EVENT_OBJECT_FOCUS, fallback, OBJID_CLIENT, CHILDID_SELF);
    }
}

void VListAccessibility::rowsChanged(HWND hwnd) const {
    ::NotifyWinEvent(EVENT_OBJECT_REORDER, hwnd, OBJID_CLIENT, CHILDID_SELF);
}

LRESULT answerNamedControl(HWND hwnd, WPARAM wParam, LPARAM lParam, const wchar_t* name) {
    if (objectIdOf(lParam) != OBJID_CLIENT)
        return 0;
    IAccessible* standard = standardObject(hwnd);
    if (!standard)
        return 0;
    auto* named = new Named(standard, name);
    const LRESULT result = ::LresultFromObject(kIidAccessible, wParam, static_cast<IAccessible*>(named));
    named->Release();
    return result;
}
