#pragma once
// Text files in one of four encodings: ANSI (bytes in a code page), UTF-16 big-endian, UTF-16
// little-endian and UTF-8. The reader recognises the encoding by the byte-order mark (a file without one is
// ANSI); the writer writes the mark of its encoding (none for ANSI).
//
// Lines end at CR LF, at a lone CR and at a lone LF. A file that opened has one line more than it has line
// ends: an empty file is one empty line, a file ending in a line end has an empty last line.
//
// Narrow strings are in the object's code page (the active one unless set). Conversions always take whole
// lines, so a double-byte character or a surrogate pair is never cut in two. UTF-8 is read strictly:
// every invalid sequence becomes one U+FFFD and never takes the byte after it (a line end stays a line
// end); four-byte sequences (characters above U+FFFF, such as emoji) become surrogate pairs.
#include "VxApi.h"
#include "util/Win32Handle.h"

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

class VX_CORE_API CTextFileBase {
public:
    enum TEXTENCODING {
        EncodingAnsi = 0,
        EncodingUtf16BigEndian = 1,
        EncodingUtf16LittleEndian = 2,
        EncodingUtf8 = 3,
    };

    CTextFileBase(const CTextFileBase&) = delete;
    CTextFileBase& operator=(const CTextFileBase&) = delete;
    virtual ~CTextFileBase();

    TEXTENCODING GetEncoding() const { return encoding; }
    bool IsOpen() const { return file != nullptr && file != INVALID_HANDLE_VALUE; }
    // Closes the file when the object opened it itself, and forgets it either way. False when closing
    // failed (for a writer: also when buffered text could not be written out).
    virtual bool Close();

    void SetCodePage(UINT page) { codePage = page; }
    UINT GetCodePage() const { return codePage; }
    // What narrow text gets for a character the code page cannot hold; 0 means the system's choice.
    void SetUnknownChar(char c) { unknownChar = c; }
    // Set when a conversion to the code page had to replace a character; stays set until reset.
    bool IsDataLost() const { return dataLost; }
    void ResetDataLostFlag() { dataLost = false; }

    // Narrow text in codePage to UTF-16; empty when the conversion fails.
    static void ConvertCharToWstring(std::string_view from, std::wstring& to, UINT codePage = CP_ACP);
    // UTF-16 to narrow text in codePage. Characters the page cannot hold become unknownChar (the system's
    // choice when 0), and *dataLost is then set; an unpaired surrogate counts as such a character.
    static void ConvertWcharToString(std::wstring_view from, std::string& to, UINT codePage = CP_ACP,
                                     bool* dataLost = nullptr, char unknownChar = 0);

protected:
    explicit CTextFileBase(TEXTENCODING encoding);
    // Opens fileName with CreateFile and owns the handle; false (and not open) on failure.
    bool OpenOwned(const char* fileName, DWORD access, DWORD share, DWORD disposition);
    // Uses a handle the caller keeps: never closed here.
    void UseForeign(HANDLE handle) { file = handle; }
    void CharToWstring(std::string_view from, std::wstring& to) const {
        ConvertCharToWstring(from, to, codePage);
    }
    void WcharToString(std::wstring_view from, std::string& to) {
        ConvertWcharToString(from, to, codePage, &dataLost, unknownChar);
    }

    TEXTENCODING encoding;
    HANDLE file = nullptr;
    vx::CHandle ownedFile; // holds file when the object opened it itself
    std::vector<char> buffer;
    std::size_t bufferPos = 0;   // next byte to read, or bytes waiting to be written
    std::size_t bufferCount = 0; // bytes the last read placed in the buffer
    char unknownChar = 0;
    bool dataLost = false;
    UINT codePage = CP_ACP;
};

class VX_CORE_API CTextFileRead : public CTextFileBase {
public:
    // Opens the file for reading, letting others read, write, rename and delete it meanwhile, and reads
    // the byte-order mark. A file that cannot be opened reads as nothing: ReadLine and Read answer false.
    explicit CTextFileRead(const char* fileName);
    explicit CTextFileRead(const std::string& fileName) : CTextFileRead(fileName.c_str()) {}
    // Reads from the handle's current position (mark first); the handle stays the caller's.
    explicit CTextFileRead(HANDLE handle);

    // The next line without its line end; false (and empty) when there is none left. Narrow lines of a
    // Unicode file are converted to the code page, 16-bit lines of an ANSI file from it.
    bool ReadLine(std::string& line);
    bool ReadLine(std::wstring& line);
    // The rest of the file, its lines joined with separator (between lines, not after the last). False
    // when the file is not open.
    bool Read(std::string& all, std::string_view separator);
    bool Read(std::wstring& all, std::wstring_view separator);
    // True once the last line has been read (or when the file is not open).
    bool Eof() const { return endOfFile; }
    // Nothing is read after closing.
    bool Close() override;

private:
    void ReadByteOrderMark();
    bool Refill();
    int NextByte();
    void UnreadByte(int byte);
    // The next character: a byte for ANSI files, a UTF-16 unit, or a whole code point for UTF-8; -1 at
    // the end of the file.
    long NextChar();
    long NextUtf8();
    // Appends the characters of one line (code points widened to UTF-16 for a wide line) and consumes
    // its line end; sets endOfFile when the file ended instead.
    template <class Line> void CollectLine(Line& line);
    std::size_t RemainingBytesHint() const;

    bool endOfFile = true;
    bool noMoreBytes = false;
    unsigned char unread[3] = {};
    int unreadCount = 0;
    long pushedBack = -1; // a character read past a CR, or -1
    std::string scratchBytes;
    std::wstring scratchUnits;
};

class VX_CORE_API CTextFileWrite : public CTextFileBase {
public:
    // Creates or truncates the file and writes the encoding's byte-order mark. Callers check IsOpen:
    // a writer whose file could not be created writes no mark, and a write that must go to the file
    // then throws (see Write).
    CTextFileWrite(const char* fileName, TEXTENCODING encoding);
    CTextFileWrite(const std::string& fileName, TEXTENCODING encoding)
        : CTextFileWrite(fileName.c_str(), encoding) {}
    // Writes the mark at the handle's current position; the handle stays the caller's.
    CTextFileWrite(HANDLE handle, TEXTENCODING encoding);
    ~CTextFileWrite() override;

    // Narrow text goes to an ANSI file as it is and to a Unicode file converted from the code page; 16-bit
    // text goes to a Unicode file as it is (UTF-8 with four bytes for a surrogate pair, also when its two
    // halves come in two calls) and to an ANSI file converted to the code page. Text is buffered; when
    // the buffer must go to the file and cannot, std::system_error is thrown with the platform's code.
    void Write(const char* text);
    void Write(const wchar_t* text);
    void Write(std::string_view text);
    void Write(std::wstring_view text);
    void Write(const std::string& text) { Write(std::string_view(text)); }
    void Write(const std::wstring& text) { Write(std::wstring_view(text)); }
    void Write(char c) { Write(std::string_view(&c, 1)); }
    void Write(wchar_t c) { Write(std::wstring_view(&c, 1)); }
    template <class Text> CTextFileWrite& operator<<(const Text& text) {
        Write(text);
        return *this;
    }
    // Carriage return and line feed.
    void WriteEndl();
    // Writes out what is buffered, then closes as the base does; false when the text could not be written
    // (a writer that is not open discards it).
    bool Close() override;

private:
    void WriteByteOrderMark();
    void PutBytes(const char* bytes, std::size_t count);
    void PutUnits(std::wstring_view units);
    void PutUtf8(std::wstring_view units);
    // A high surrogate held back from the previous call is written alone (as a lost character).
    void FlushPendingSurrogate();
    bool FlushBuffer();

    wchar_t pendingHigh = 0;
};
