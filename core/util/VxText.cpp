#include "util/VxText.h"

#include <windows.h>

namespace vx {
namespace {

struct LowerTable {
    bool singleByte = true;
    unsigned char map[256];

    LowerTable() {
        CPINFO info{};
        singleByte = ::GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 1;
        for (int i = 0; i < 256; ++i)
            map[i] = static_cast<unsigned char>(i);
        if (singleByte) {
            char bytes[256];
            for (int i = 1; i < 256; ++i)
                bytes[i] = static_cast<char>(i);
            ::CharLowerBuffA(bytes + 1, 255);
            for (int i = 1; i < 256; ++i)
                map[i] = static_cast<unsigned char>(bytes[i]);
        } else {
            for (int c = 'A'; c <= 'Z'; ++c)
                map[c] = static_cast<unsigned char>(c - 'A' + 'a');
        }
    }
};

const LowerTable& table() {
    static const LowerTable t; // thread-safe initialisation (C++11 statics)
    return t;
}

} // namespace

void lowerInto(const char* src, std::size_t n, char* dst) {
    const LowerTable& t = table();
    if (t.singleByte) {
        for (std::size_t i = 0; i < n; ++i)
            dst[i] = static_cast<char>(t.map[static_cast<unsigned char>(src[i])]);
        return;
    }
    bool ascii = true;
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(src[i]);
        if (c >= 0x80) {
            ascii = false;
            break;
        }
        dst[i] = static_cast<char>(t.map[c]);
    }
    if (ascii)
        return;
    if (dst != src) {
        for (std::size_t i = 0; i < n; ++i)
            dst[i] = src[i];
    }
    // CharLowerBuffA takes a DWORD count; texts of 4 GB do not occur, but cut in safe steps anyway.
    std::size_t done = 0;
    while (done < n) {
        DWORD step = static_cast<DWORD>(n - done > 0x40000000u ? 0x40000000u : n - done);
        ::CharLowerBuffA(dst + done, step);
        done += step;
    }
}

void toLower(std::string& text) {
    if (!text.empty())
        lowerInto(text.data(), text.size(), &text[0]);
}

std::string lowered(std::string text) {
    toLower(text);
    return text;
}

bool isLeadByte(char c) {
    struct LeadTable {
        bool lead[256] = {};
        LeadTable() {
            for (int i = 0x80; i < 256; ++i)
                lead[i] = ::IsDBCSLeadByte(static_cast<BYTE>(i)) != FALSE;
        }
    };
    static const LeadTable t;
    return t.lead[static_cast<unsigned char>(c)];
}

std::string trimmed(std::string_view text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return std::string(text.substr(begin, end - begin));
}

std::wstring widened(std::string_view text, unsigned codePage) {
    if (text.empty())
        return std::wstring();
    int n = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

void narrowInto(std::wstring_view text, std::string& out, unsigned codePage) {
    int n = text.empty() ? 0
                         : ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                                 nullptr, 0, nullptr, nullptr);
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    if (n > 0)
        ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                              nullptr);
}

std::string narrowed(std::wstring_view text, unsigned codePage) {
    std::string out;
    narrowInto(text, out, codePage);
    return out;
}

namespace {

void appendPercentUtf8(std::string& out, std::wstring_view character) {
    static const char kHex[] = "0123456789ABCDEF";
    // An unpaired surrogate has no UTF-8 form; the conversion gives U+FFFD for it.
    for (char byte : narrowed(character, CP_UTF8)) {
        const auto c = static_cast<unsigned char>(byte);
        out += '%';
        out += kHex[c >> 4];
        out += kHex[c & 0x0F];
    }
}

} // namespace

std::string narrowedAddress(std::wstring_view text, unsigned codePage) {
    // Most addresses are ASCII, which every ANSI page and UTF-8 hold as it is.
    std::string ascii;
    ascii.reserve(text.size());
    for (wchar_t c : text) {
        if (c >= 0x80)
            break;
        ascii += static_cast<char>(c);
    }
    if (ascii.size() == text.size())
        return ascii;
    const unsigned page = codePage == CP_ACP ? ::GetACP() : codePage;
    std::string whole = narrowed(text, page);
    // Whatever comes back unchanged was held exactly: the usual case, and every text in UTF-8.
    if (page == CP_UTF8 || widened(whole, page) == text)
        return whole;
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t length = 1;
        if (at + 1 < text.size() && text[at] >= 0xD800 && text[at] <= 0xDBFF && text[at + 1] >= 0xDC00 &&
            text[at + 1] <= 0xDFFF)
            length = 2;
        const std::wstring_view character = text.substr(at, length);
        const std::string bytes = narrowed(character, page);
        if (widened(bytes, page) == character)
            out += bytes;
        else
            appendPercentUtf8(out, character);
        at += length;
    }
    return out;
}

bool isAscii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

std::string fromUtf8(std::string_view text) {
    if (isAscii(text))
        return std::string(text);
    return narrowed(widened(text, CP_UTF8));
}

std::string addressFromUtf8(std::string_view text) {
    if (isAscii(text))
        return std::string(text);
    return narrowedAddress(widened(text, CP_UTF8));
}

} // namespace vx
