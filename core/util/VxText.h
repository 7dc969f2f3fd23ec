#pragma once
// Text helpers shared by the whole system. Strings are narrow, in the active code page.
#include "VxApi.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace vx {

// Lower-cases n bytes of src into dst (which may be src itself), following the active code page:
// single-byte pages through a table made once from CharLowerBuffA, multi-byte pages (DBCS, UTF-8)
// byte-wise while the text is ASCII and through CharLowerBuffA otherwise, so that a DBCS trail byte
// that happens to look like 'A'..'Z' is never changed. Never calls tolower on a negative char.
VX_CORE_API void lowerInto(const char* src, std::size_t n, char* dst);
VX_CORE_API void toLower(std::string& text);
VX_CORE_API std::string lowered(std::string text);

// The value of a hexadecimal digit in either case, or -1 for any other character.
inline int hexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// White space as the C locale knows it: blank, tab, CR, LF, VT, FF.
inline bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}
VX_CORE_API std::string trimmed(std::string_view text);

// Conversions between narrow text (the active code page unless another is named) and UTF-16, sized by
// the system first: no fixed buffers. Text the code page cannot hold comes out as the system substitutes.
VX_CORE_API std::wstring widened(std::string_view text, unsigned codePage = 0 /* CP_ACP */);
VX_CORE_API std::string narrowed(std::wstring_view text, unsigned codePage = 0 /* CP_ACP */);
// narrowed into an existing string, reusing its storage (for loops over many names).
VX_CORE_API void narrowInto(std::wstring_view text, std::string& out, unsigned codePage = 0 /* CP_ACP */);
// An address (URL or path) that other programs stored as UTF-16, as narrow text that still leads where
// it did. Windows would "best fit" a character the code page lacks to a look-alike (the fullwidth
// hyphen U+FF0D to "-", the division slash U+2215 to "/"), turning a harmless text into a switch or a
// separator: such a character is written instead as its UTF-8 bytes, percent-encoded, which is what a
// URL means by it anyway.
VX_CORE_API std::string narrowedAddress(std::wstring_view text, unsigned codePage = 0 /* CP_ACP */);

// True when every byte is below 0x80.
VX_CORE_API bool isAscii(std::string_view text);
// UTF-8 text that another program stored, in the active code page; plain ASCII comes back as it is.
// Invalid UTF-8 comes out as the system substitutes it (U+FFFD where the page holds it).
VX_CORE_API std::string fromUtf8(std::string_view text);
// The same for an address: what the code page lacks is percent-encoded as narrowedAddress does.
VX_CORE_API std::string addressFromUtf8(std::string_view text);

// True when c starts a two-byte character of the active code page (DBCS pages only; never for UTF-8).
// Scanners use it to step over the trail byte, which may look like '\\' or another ASCII character.
VX_CORE_API bool isLeadByte(char c);

} // namespace vx
