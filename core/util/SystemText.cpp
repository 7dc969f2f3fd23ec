#include "util/SystemText.h"

#include "util/VxText.h"

#include <commctrl.h>

#include <cstring>
#include <cwchar>

namespace vx {

std::string windowText(HWND window) {
    const int n = ::GetWindowTextLengthW(window);
    if (n <= 0)
        return std::string();
    // Between ANSI and Unicode windows the length may be an upper bound: keep what was copied.
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, &text[0], n + 1)));
    return narrowed(text);
}

bool setWindowText(HWND window, std::string_view text) {
    return ::SetWindowTextW(window, widened(text).c_str()) != FALSE;
}

std::string dlgItemText(HWND dialog, int id) {
    return windowText(::GetDlgItem(dialog, id));
}

bool setDlgItemText(HWND dialog, int id, std::string_view text) {
    return ::SetDlgItemTextW(dialog, id, widened(text).c_str()) != FALSE;
}

int messageBox(HWND owner, std::string_view text, std::string_view caption, UINT type) {
    return ::MessageBoxW(owner, widened(text).c_str(), widened(caption).c_str(), type);
}

void setListItemText(HWND list, int row, int column, std::string_view text) {
    std::wstring wide = widened(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = &wide[0];
    ::SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

int drawText(HDC dc, std::string_view text, RECT& rect, UINT format) {
    std::wstring wide = widened(text);
    return ::DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &rect, format & ~DT_MODIFYSTRING);
}

SIZE textExtent(HDC dc, std::string_view text) {
    const std::wstring wide = widened(text);
    SIZE extent{0, 0};
    ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &extent);
    return extent;
}

namespace {

// Everything of a font record but its face name.
template <typename To, typename From> void copyMetrics(To& to, const From& from) {
    to.lfHeight = from.lfHeight;
    to.lfWidth = from.lfWidth;
    to.lfEscapement = from.lfEscapement;
    to.lfOrientation = from.lfOrientation;
    to.lfWeight = from.lfWeight;
    to.lfItalic = from.lfItalic;
    to.lfUnderline = from.lfUnderline;
    to.lfStrikeOut = from.lfStrikeOut;
    to.lfCharSet = from.lfCharSet;
    to.lfOutPrecision = from.lfOutPrecision;
    to.lfClipPrecision = from.lfClipPrecision;
    to.lfQuality = from.lfQuality;
    to.lfPitchAndFamily = from.lfPitchAndFamily;
}

} // namespace

void setFaceName(LOGFONTA& font, std::string_view name) {
    const std::size_t limit = sizeof(font.lfFaceName) - 1;
    const bool utf8 = ::GetACP() == CP_UTF8;
    std::size_t n = 0;
    while (n < name.size()) {
        std::size_t step = (isLeadByte(name[n]) && n + 1 < name.size()) ? 2 : 1;
        if (utf8) {
            while (n + step < name.size() && (static_cast<unsigned char>(name[n + step]) & 0xC0) == 0x80)
                ++step;
        }
        if (n + step > limit)
            break;
        n += step;
    }
    std::memcpy(font.lfFaceName, name.data(), n);
    font.lfFaceName[n] = '\0';
}

LOGFONTW wideFont(const LOGFONTA& font) {
    LOGFONTW wide{};
    copyMetrics(wide, font);
    const std::wstring face =
        widened(std::string_view(font.lfFaceName, strnlen(font.lfFaceName, LF_FACESIZE)));
    const std::size_t n = face.size() < LF_FACESIZE - 1 ? face.size() : LF_FACESIZE - 1;
    std::wmemcpy(wide.lfFaceName, face.data(), n);
    wide.lfFaceName[n] = L'\0';
    return wide;
}

LOGFONTA narrowFont(const LOGFONTW& font) {
    LOGFONTA narrow{};
    copyMetrics(narrow, font);
    setFaceName(narrow, narrowed(std::wstring_view(font.lfFaceName, wcsnlen(font.lfFaceName, LF_FACESIZE))));
    return narrow;
}

HFONT createFont(const LOGFONTA& font) {
    const LOGFONTW wide = wideFont(font);
    return ::CreateFontIndirectW(&wide);
}

bool fontRecord(HFONT font, LOGFONTA& record) {
    LOGFONTW wide{};
    if (!font || ::GetObjectW(font, sizeof(wide), &wide) != sizeof(wide))
        return false;
    record = narrowFont(wide);
    return true;
}

} // namespace vx
