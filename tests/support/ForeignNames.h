#pragma once
// Names outside ASCII as users' files carry them: Latin-1, Cyrillic, CJK and an emoji (a surrogate pair
// in UTF-16), each as the system shows it and narrowed in the active code page. The test programs that
// use them run with the program's own code page, UTF-8 (support/utf8.rc), so the narrow forms hold
// exactly what the program's strings hold.
#include "ImportHook.h"
#include "util/VxText.h"

#include <windows.h>

#include <string>
#include <vector>

struct ForeignName {
    std::wstring wide;
    std::string narrow;
};

inline const std::vector<ForeignName>& foreignNames() {
    static const std::vector<ForeignName> names = [] {
        std::vector<ForeignName> out;
        for (const wchar_t* name :
             {L"\u00F1and\u00FA.html", L"Stra\u00DFe", L"\u041F\u0440\u0438\u0432\u0435\u0442.txt",
              L"\u65E5\u672C\u8A9E.doc", L"\U0001F389party.txt"})
            out.push_back({name, vx::narrowed(name)});
        return out;
    }();
    return names;
}

// Every text a module hands to DrawTextW while it lives, drawn on as the system would draw it.
class DrawnTexts {
public:
    explicit DrawnTexts(HMODULE module) : hook(module, "user32.dll", "DrawTextW", &DrawnTexts::record) {
        texts().clear();
        next() = hook.original<Draw>();
    }
    bool installed() const { return hook.installed(); }
    static std::vector<std::wstring>& texts() {
        static std::vector<std::wstring> drawn;
        return drawn;
    }
    static bool has(const std::wstring& text) {
        for (const std::wstring& drawn : texts()) {
            if (drawn == text)
                return true;
        }
        return false;
    }

private:
    using Draw = int(WINAPI*)(HDC, LPCWSTR, int, LPRECT, UINT);
    static Draw& next() {
        static Draw function = nullptr;
        return function;
    }
    static int WINAPI record(HDC dc, LPCWSTR text, int length, LPRECT rect, UINT format) {
        texts().push_back(length < 0 ? std::wstring(text)
                                     : std::wstring(text, static_cast<std::size_t>(length)));
        return next()(dc, text, length, rect, format);
    }
    ImportHook hook;
};
