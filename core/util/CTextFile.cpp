#include "util/CTextFile.h"

#include <algorithm>
#include <climits>
#include <system_error>

namespace {

constexpr std::size_t kBufferSize = 16 * 1024;
constexpr long kReplacement = 0xFFFD;

bool isHighSurrogate(wchar_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(wchar_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

bool hasUnpairedSurrogate(std::wstring_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isHighSurrogate(text[i]) && i + 1 < text.size() && isLowSurrogate(text[i + 1]))
            ++i;
        else if (isHighSurrogate(text[i]) || isLowSurrogate(text[i]))
            return true;
    }
    return false;
}

// The code page a conversion really uses: CP_ACP and CP_OEMCP stand for the system's pages.
UINT resolvedCodePage(UINT page) {
    if (page == CP_ACP)
        return ::GetACP();
    if (page == CP_OEMCP)
        return ::GetOEMCP();
    return page;
}

void appendCodePoint(std::wstring& line, long c) {
    if (c > 0xFFFF) {
        c -= 0x10000;
        line += static_cast<wchar_t>(0xD800 + (c >> 10));
        line += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
    } else {
        line += static_cast<wchar_t>(c);
    }
}

void appendCodePoint(std::string& line, long c) {
    line += static_cast<char>(c); // ANSI files only: c is a byte
}

} // namespace

// ---- CTextFileBase ----

CTextFileBase::CTextFileBase(TEXTENCODING encoding) : encoding(encoding), buffer(kBufferSize) {}

CTextFileBase::~CTextFileBase() {
    CTextFileBase::Close();
}

bool CTextFileBase::OpenOwned(const char* fileName, DWORD access, DWORD share, DWORD disposition) {
    if (fileName == nullptr || *fileName == '\0')
        return false;
    ownedFile.Attach(
        ::CreateFileA(fileName, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!ownedFile.IsValid())
        return false;
    file = ownedFile.Get();
    return true;
}

bool CTextFileBase::Close() {
    file = nullptr;
    bufferPos = bufferCount = 0;
    return ownedFile.Close();
}

void CTextFileBase::ConvertCharToWstring(std::string_view from, std::wstring& to, UINT codePage) {
    to.clear();
    if (from.empty() || from.size() > INT_MAX)
        return;
    const int length = static_cast<int>(from.size());
    int n = ::MultiByteToWideChar(codePage, 0, from.data(), length, nullptr, 0);
    if (n <= 0)
        return;
    to.resize(static_cast<std::size_t>(n));
    n = ::MultiByteToWideChar(codePage, 0, from.data(), length, &to[0], n);
    to.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
}

void CTextFileBase::ConvertWcharToString(std::wstring_view from, std::string& to, UINT codePage,
                                         bool* dataLost, char unknownChar) {
    to.clear();
    if (from.empty() || from.size() > INT_MAX)
        return;
    const int length = static_cast<int>(from.size());
    const UINT page = resolvedCodePage(codePage);
    // WideCharToMultiByte refuses a replacement character and its flag for UTF-8 and UTF-7: their only
    // characters that cannot be encoded are unpaired surrogates, found here instead.
    const bool utf = page == CP_UTF8 || page == CP_UTF7;
    const char replacement[2] = {unknownChar, '\0'};
    const char* useChar = utf || unknownChar == 0 ? nullptr : replacement;
    BOOL used = FALSE;
    BOOL* usedFlag = utf ? nullptr : &used;
    int n = ::WideCharToMultiByte(page, 0, from.data(), length, nullptr, 0, useChar, usedFlag);
    if (n > 0) {
        to.resize(static_cast<std::size_t>(n));
        n = ::WideCharToMultiByte(page, 0, from.data(), length, &to[0], n, useChar, usedFlag);
        to.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    }
    if (utf)
        used = hasUnpairedSurrogate(from);
    if (used && dataLost)
        *dataLost = true;
}

// ---- CTextFileRead ----

CTextFileRead::CTextFileRead(const char* fileName) : CTextFileBase(EncodingAnsi) {
    // The files read are other programs' (a browser's bookmarks and history), which they keep open for
    // writing and replace by renaming a new file over them: sharing anything less would make the open
    // fail while the browser runs, or make the browser's own save fail while this reads.
    OpenOwned(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
    ReadByteOrderMark();
}

CTextFileRead::CTextFileRead(HANDLE handle) : CTextFileBase(EncodingAnsi) {
    UseForeign(handle);
    ReadByteOrderMark();
}

void CTextFileRead::ReadByteOrderMark() {
    endOfFile = !IsOpen();
    if (endOfFile)
        return;
    const int b0 = NextByte();
    const int b1 = b0 < 0 ? -1 : NextByte();
    if (b0 == 0xFF && b1 == 0xFE) {
        encoding = EncodingUtf16LittleEndian;
    } else if (b0 == 0xFE && b1 == 0xFF) {
        encoding = EncodingUtf16BigEndian;
    } else if (b0 == 0xEF && b1 == 0xBB) {
        const int b2 = NextByte();
        if (b2 == 0xBF) {
            encoding = EncodingUtf8;
            return;
        }
        // No mark after all: the three bytes are the file's first text.
        UnreadByte(b2);
        UnreadByte(b1);
        UnreadByte(b0);
    } else {
        UnreadByte(b1);
        UnreadByte(b0);
    }
}

bool CTextFileRead::Close() {
    endOfFile = true;
    unreadCount = 0;
    pushedBack = -1;
    return CTextFileBase::Close();
}

bool CTextFileRead::Refill() {
    DWORD got = 0;
    if (noMoreBytes || !IsOpen() ||
        !::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) || got == 0) {
        noMoreBytes = true;
        return false;
    }
    bufferPos = 0;
    bufferCount = got;
    return true;
}

int CTextFileRead::NextByte() {
    if (unreadCount > 0)
        return unread[--unreadCount];
    if (bufferPos >= bufferCount && !Refill())
        return -1;
    return static_cast<unsigned char>(buffer[bufferPos++]);
}

void CTextFileRead::UnreadByte(int byte) {
    if (byte >= 0 && unreadCount < static_cast<int>(sizeof(unread)))
        unread[unreadCount++] = static_cast<unsigned char>(byte);
}

long CTextFileRead::NextUtf8() {
    const int lead = NextByte();
    if (lead < 0x80)
        return lead; // ASCII, or -1 at the end
    int following = 0;
    long c = 0;
    // The range allowed for the byte after the lead excludes overlong forms, encoded surrogates and
    // anything above U+10FFFF; later bytes are plain continuation bytes.
    int low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        following = 1;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        following = 2;
        c = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        following = 3;
        c = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return kReplacement; // a stray continuation byte, or a lead that never starts a valid sequence
    }
    for (int i = 0; i < following; ++i) {
        const int next = NextByte();
        if (next < low || next > high) {
            // The sequence is cut short: the byte that broke it (perhaps a line end) is read again.
            UnreadByte(next);
            return kReplacement;
        }
        c = (c << 6) | (next & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    return c;
}

long CTextFileRead::NextChar() {
    if (pushedBack >= 0) {
        long c = pushedBack;
        pushedBack = -1;
        return c;
    }
    switch (encoding) {
    case EncodingUtf8:
        return NextUtf8();
    case EncodingUtf16LittleEndian:
    case EncodingUtf16BigEndian: {
        const int first = NextByte();
        if (first < 0)
            return -1;
        const int second = NextByte();
        if (second < 0)
            return kReplacement; // an odd last byte: half a character
        return encoding == EncodingUtf16LittleEndian ? first | (second << 8) : (first << 8) | second;
    }
    default:
        return NextByte();
    }
}

template <class Line> void CTextFileRead::CollectLine(Line& line) {
    for (;;) {
        const long c = NextChar();
        if (c < 0) {
            endOfFile = true;
            return;
        }
        if (c == '\n')
            return;
        if (c == '\r') {
            const long next = NextChar();
            if (next != '\n' && next >= 0)
                pushedBack = next;
            return;
        }
        appendCodePoint(line, c);
    }
}

bool CTextFileRead::ReadLine(std::string& line) {
    line.clear();
    if (endOfFile)
        return false;
    if (encoding == EncodingAnsi) {
        CollectLine(line);
    } else {
        scratchUnits.clear();
        CollectLine(scratchUnits);
        WcharToString(scratchUnits, line);
    }
    return true;
}

bool CTextFileRead::ReadLine(std::wstring& line) {
    line.clear();
    if (endOfFile)
        return false;
    if (encoding == EncodingAnsi) {
        scratchBytes.clear();
        CollectLine(scratchBytes);
        CharToWstring(scratchBytes, line);
    } else {
        CollectLine(line);
    }
    return true;
}

std::size_t CTextFileRead::RemainingBytesHint() const {
    LARGE_INTEGER size{}, at{}, zero{};
    if (!::GetFileSizeEx(file, &size) || !::SetFilePointerEx(file, zero, &at, FILE_CURRENT))
        return 0;
    const long long left = size.QuadPart - at.QuadPart + static_cast<long long>(bufferCount - bufferPos);
    return left > 0 && left < LLONG_MAX / 2 ? static_cast<std::size_t>(left) : 0;
}

bool CTextFileRead::Read(std::string& all, std::string_view separator) {
    all.clear();
    if (!IsOpen())
        return false;
    // Only a hint: the text grows as it must, whatever the conversions make of the bytes.
    all.reserve(RemainingBytesHint());
    std::string line;
    for (bool first = true; ReadLine(line); first = false) {
        if (!first)
            all.append(separator.data(), separator.size());
        all += line;
    }
    return true;
}

bool CTextFileRead::Read(std::wstring& all, std::wstring_view separator) {
    all.clear();
    if (!IsOpen())
        return false;
    const std::size_t bytes = RemainingBytesHint();
    all.reserve(encoding == EncodingAnsi || encoding == EncodingUtf8 ? bytes : bytes / 2);
    std::wstring line;
    for (bool first = true; ReadLine(line); first = false) {
        if (!first)
            all.append(separator.data(), separator.size());
        all += line;
    }
    return true;
}

// ---- CTextFileWrite ----

CTextFileWrite::CTextFileWrite(const char* fileName, TEXTENCODING encoding) : CTextFileBase(encoding) {
    if (OpenOwned(fileName, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS))
        WriteByteOrderMark();
}

CTextFileWrite::CTextFileWrite(HANDLE handle, TEXTENCODING encoding) : CTextFileBase(encoding) {
    UseForeign(handle);
    if (IsOpen())
        WriteByteOrderMark();
}

CTextFileWrite::~CTextFileWrite() {
    Close();
}

void CTextFileWrite::WriteByteOrderMark() {
    if (encoding == EncodingUtf8)
        PutBytes("\xEF\xBB\xBF", 3);
    else if (encoding != EncodingAnsi)
        PutUnits(L"\xFEFF");
}

bool CTextFileWrite::FlushBuffer() {
    std::size_t done = 0;
    while (done < bufferPos) {
        DWORD wrote = 0;
        if (!IsOpen() ||
            !::WriteFile(file, buffer.data() + done, static_cast<DWORD>(bufferPos - done), &wrote, nullptr) ||
            wrote == 0) {
            return false;
        }
        done += wrote;
    }
    bufferPos = 0;
    return true;
}

void CTextFileWrite::PutBytes(const char* bytes, std::size_t count) {
    while (count > 0) {
        if (bufferPos == buffer.size() && !FlushBuffer()) {
            const DWORD code = IsOpen() ? ::GetLastError() : ERROR_INVALID_HANDLE;
            throw std::system_error(static_cast<int>(code), std::system_category(), "text file write");
        }
        std::size_t step = std::min(count, buffer.size() - bufferPos);
        std::copy(bytes, bytes + step, buffer.begin() + static_cast<std::ptrdiff_t>(bufferPos));
        bufferPos += step;
        bytes += step;
        count -= step;
    }
}

void CTextFileWrite::PutUnits(std::wstring_view units) {
    const bool big = encoding == EncodingUtf16BigEndian;
    char pair[2];
    for (wchar_t u : units) {
        pair[big ? 0 : 1] = static_cast<char>(u >> 8);
        pair[big ? 1 : 0] = static_cast<char>(u & 0xFF);
        PutBytes(pair, 2);
    }
}

void CTextFileWrite::PutUtf8(std::wstring_view units) {
    char out[4];
    for (std::size_t i = 0; i < units.size(); ++i) {
        unsigned long c = units[i];
        if (isHighSurrogate(units[i]) && i + 1 < units.size() && isLowSurrogate(units[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (isHighSurrogate(units[i]) || isLowSurrogate(units[i])) {
            c = kReplacement; // half a pair has no UTF-8 form
            dataLost = true;
        }
        std::size_t n;
        if (c < 0x80) {
            out[0] = static_cast<char>(c);
            n = 1;
        } else if (c < 0x800) {
            out[0] = static_cast<char>(0xC0 | (c >> 6));
            out[1] = static_cast<char>(0x80 | (c & 0x3F));
            n = 2;
        } else if (c < 0x10000) {
            out[0] = static_cast<char>(0xE0 | (c >> 12));
            out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out[2] = static_cast<char>(0x80 | (c & 0x3F));
            n = 3;
        } else {
            out[0] = static_cast<char>(0xF0 | (c >> 18));
            out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out[3] = static_cast<char>(0x80 | (c & 0x3F));
            n = 4;
        }
        PutBytes(out, n);
    }
}

void CTextFileWrite::FlushPendingSurrogate() {
    if (pendingHigh == 0)
        return;
    const wchar_t alone = pendingHigh;
    pendingHigh = 0;
    if (encoding == EncodingUtf8) {
        PutUtf8(std::wstring_view(&alone, 1));
    } else {
        std::string narrow;
        WcharToString(std::wstring_view(&alone, 1), narrow);
        PutBytes(narrow.data(), narrow.size());
    }
}

void CTextFileWrite::Write(std::string_view text) {
    FlushPendingSurrogate();
    if (encoding == EncodingAnsi) {
        PutBytes(text.data(), text.size());
        return;
    }
    std::wstring wide;
    CharToWstring(text, wide);
    if (encoding == EncodingUtf8)
        PutUtf8(wide);
    else
        PutUnits(wide);
}

void CTextFileWrite::Write(std::wstring_view text) {
    if (encoding == EncodingUtf16BigEndian || encoding == EncodingUtf16LittleEndian) {
        PutUnits(text);
        return;
    }
    // A surrogate pair written one half at a time must still be converted as one character.
    std::wstring joined;
    if (pendingHigh != 0 && !text.empty()) {
        joined.reserve(text.size() + 1);
        joined += pendingHigh;
        joined.append(text.data(), text.size());
        pendingHigh = 0;
        text = joined;
    }
    if (!text.empty() && isHighSurrogate(text.back())) {
        pendingHigh = text.back();
        text.remove_suffix(1);
    }
    if (encoding == EncodingUtf8) {
        PutUtf8(text);
        return;
    }
    std::string narrow;
    WcharToString(text, narrow);
    PutBytes(narrow.data(), narrow.size());
}

void CTextFileWrite::Write(const char* text) {
    Write(std::string_view(text ? text : ""));
}

void CTextFileWrite::Write(const wchar_t* text) {
    Write(std::wstring_view(text ? text : L""));
}

void CTextFileWrite::WriteEndl() {
    if (encoding == EncodingUtf16BigEndian || encoding == EncodingUtf16LittleEndian) {
        PutUnits(L"\r\n");
    } else {
        FlushPendingSurrogate();
        PutBytes("\r\n", 2);
    }
}

bool CTextFileWrite::Close() {
    bool written = true;
    try {
        FlushPendingSurrogate();
    } catch (const std::system_error&) {
        written = false;
    }
    // A writer that never opened discards what was written to it.
    written = (IsOpen() ? FlushBuffer() : bufferPos == 0) && written;
    bufferPos = 0;
    const bool closed = CTextFileBase::Close();
    return written && closed;
}
