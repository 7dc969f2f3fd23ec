#pragma once
// Narrow text handed to the system and read back from it: window texts, message boxes, drawing, fonts.
// The narrow strings are in the active code page, UTF-8 through the program's manifest, but not every A
// function converts with that page: under Wine 8 the GDI text calls read the bytes in the locale's ANSI
// page ("ñandú" is drawn as "Ã±andÃº"). So each of these widens with the strings' own page and calls the
// W function, and narrows what it reads the same way.
#include "VxApi.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace vx {

VX_CORE_API std::string windowText(HWND window);
VX_CORE_API bool setWindowText(HWND window, std::string_view text);
VX_CORE_API std::string dlgItemText(HWND dialog, int id);
VX_CORE_API bool setDlgItemText(HWND dialog, int id, std::string_view text);
VX_CORE_API int messageBox(HWND owner, std::string_view text, std::string_view caption, UINT type);

// DrawTextW of the text, with DrawText's rectangle and format (DT_CALCRECT measures into rect).
// DT_MODIFYSTRING is dropped: it would write an ellipsis past the end of the converted copy.
VX_CORE_API int drawText(HDC dc, std::string_view text, RECT& rect, UINT format);
// How fittedText shortens a line too long for its width. Each puts one U+2026 where it cuts and never cuts
// inside a surrogate pair or before a combining mark.
enum class TextFit {
    End,  // a title: keeps its start
    Name, // a file name: keeps its extension and a few characters before it, cuts in the middle
    Path, // a path or URL: keeps its last "\" or "/" component whole and as much of its start as fits
};
// The text as it fits width pixels in the DC's selected font, measured with GetTextExtentExPointW: the
// text itself when it fits; when not even the ellipsis and the kept end fit, the ellipsis and as much of
// the end as fits; empty when not even the ellipsis fits.
VX_CORE_API std::wstring fittedText(HDC dc, std::wstring_view text, int width, TextFit fit);
// DrawTextW of the text fitted to the rectangle's width. DrawText's own ellipses are dropped from the
// format: DT_PATH_ELLIPSIS cuts a name without a backslash at its end, losing the extension, and under
// Wine it puts the ellipsis first while showing the text's beginning.
VX_CORE_API int drawFittedText(HDC dc, std::string_view text, RECT& rect, UINT format, TextFit fit);
// The text's extent in the DC's font, one line.
VX_CORE_API SIZE textExtent(HDC dc, std::string_view text);

// Copies a face name into the narrow record: as many whole characters as fit its 32 bytes with their
// terminator, never half of one (a double-byte page's pair, or UTF-8's lead byte with its continuation
// bytes): a name cut in a character would come out with a replacement character at its end.
VX_CORE_API void setFaceName(LOGFONTA& font, std::string_view name);
// Font records: the same record with its face name converted (a narrowed one cut as setFaceName cuts).
VX_CORE_API LOGFONTW wideFont(const LOGFONTA& font);
VX_CORE_API LOGFONTA narrowFont(const LOGFONTW& font);
// CreateFontIndirectW of the record; null on failure.
VX_CORE_API HFONT createFont(const LOGFONTA& font);
// A font record whose height was made for one DPI, made for another (96 = 100 %); the record as it is
// when either is 0 or both are the same.
VX_CORE_API LOGFONTA fontForDpi(LOGFONTA font, UINT from, UINT to);
// The font's record through GetObjectW; false (record untouched) when font is not a font.
VX_CORE_API bool fontRecord(HFONT font, LOGFONTA& record);

} // namespace vx
