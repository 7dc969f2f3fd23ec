#include "util/XmlTree.h"

#include "util/VxText.h"

#include "util/Win32Handle.h"

#include <windows.h>
#include <objbase.h>
#include <shlwapi.h>
// MinGW-w64's libuuid lacks IID_IXmlReader: this is the one file that defines it.
#include <initguid.h>
#include <xmllite.h>

#include <limits>
#include <memory>

namespace vx {
namespace {

struct ComRelease {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename T> using ComOwner = std::unique_ptr<T, ComRelease>;

// XmlLite hands out UTF-16; the rest of the system speaks the active code page. Characters the code
// page lacks become its default character, as everywhere else in the system.
std::string narrowFromWide(const WCHAR* text, UINT length) {
    return vx::narrowed(std::wstring_view(text, length));
}

std::string utf8FromNarrow(const std::string& text) {
    return vx::narrowed(vx::widened(text), CP_UTF8);
}

bool readQualifiedName(IXmlReader* reader, std::string& name) {
    const WCHAR* text = nullptr;
    UINT length = 0;
    if (FAILED(reader->GetQualifiedName(&text, &length)))
        return false;
    name = narrowFromWide(text, length);
    return true;
}

// Stand-ins for the references &#x9; &#xA; &#xD; while a buggy reader is parsing (see
// readerFoldsBlankReferences): Unicode noncharacters, which no code page but UTF-8 can even hold and
// no text meant for people contains.
constexpr WCHAR blankStandInBase = 0xFDD0; // + 9, 10 or 13

bool readAttributes(IXmlReader* reader, XmlElement& element, bool restoreBlanks) {
    HRESULT hr = reader->MoveToFirstAttribute();
    while (hr == S_OK) {
        std::string key;
        const WCHAR* value = nullptr;
        UINT length = 0;
        if (!readQualifiedName(reader, key) || FAILED(reader->GetValue(&value, &length)))
            return false;
        if (restoreBlanks) {
            std::wstring restored(value, length);
            for (WCHAR& c : restored) {
                if (c == blankStandInBase + L'\t' || c == blankStandInBase + L'\n' ||
                    c == blankStandInBase + L'\r')
                    c = static_cast<WCHAR>(c - blankStandInBase);
            }
            element.attributes.emplace_back(std::move(key), narrowFromWide(restored.data(), length));
        } else {
            element.attributes.emplace_back(std::move(key), narrowFromWide(value, length));
        }
        hr = reader->MoveToNextAttribute();
    }
    return SUCCEEDED(hr);
}

// XML 1.0 (fifth edition) name characters. A name the reader refuses would make the whole file
// unreadable, so the printer checks every character, not only ASCII: in code page 1252 the bytes 0xD7
// (the multiplication sign) or 0x81 (a C1 control) convert to characters no XML name may hold.
bool isNameStartChar(unsigned c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' ||
           (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) ||
           (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool isNameChar(unsigned c) {
    return isNameStartChar(c) || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

// The UTF-8 form of a name in the active code page, or false when it is not an XML name.
bool xmlName(const std::string& name, std::string& utf8) {
    std::wstring wide = vx::widened(name);
    if (wide.empty())
        return false;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        unsigned c = wide[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
            wide[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00u);
        if (!(i == 0 ? isNameStartChar(c) : isNameChar(c)))
            return false;
    }
    utf8 = vx::narrowed(wide, CP_UTF8);
    return true;
}

void appendAttributeValue(const std::string& utf8, std::string& out) {
    for (char ch : utf8) {
        switch (ch) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        // A literal tab or line end in an attribute is turned into a blank by every XML reader:
        // character references are the only way these survive.
        case '\t':
            out += "&#x9;";
            break;
        case '\n':
            out += "&#xA;";
            break;
        case '\r':
            out += "&#xD;";
            break;
        default:
            // The other C0 controls are not XML 1.0 characters even as references; writing one would
            // make the whole file unreadable.
            if (static_cast<unsigned char>(ch) >= 0x20)
                out += ch;
            break;
        }
    }
}

// Prints an element whose name is already known to be an XML name, as `utf8Name`. Attributes and
// children whose names are not XML names are left out, with everything below them: one bad name set by
// a plug-in must not keep every other setting from being saved.
bool printElement(const XmlElement& element, const std::string& utf8Name, int depth, std::string& out) {
    if (depth >= maxXmlDepth)
        return false;
    std::string indent(static_cast<std::size_t>(depth) * 4, ' ');
    out += indent;
    out += '<';
    out += utf8Name;
    std::string name;
    for (const auto& attribute : element.attributes) {
        if (!xmlName(attribute.first, name))
            continue;
        out += ' ';
        out += name;
        out += "=\"";
        appendAttributeValue(utf8FromNarrow(attribute.second), out);
        out += '"';
    }
    const std::size_t shortFormEnd = out.size();
    out += ">\r\n";
    bool anyChild = false;
    for (const XmlElement& child : element.children) {
        if (!xmlName(child.name, name))
            continue;
        if (!printElement(child, name, depth + 1, out))
            return false;
        anyChild = true;
    }
    if (!anyChild) {
        out.resize(shortFormEnd);
        out += " />\r\n";
        return true;
    }
    out += indent;
    out += "</";
    out += utf8Name;
    out += ">\r\n";
    return true;
}

bool startsAsUtf16(const std::string& bytes) {
    unsigned char first = static_cast<unsigned char>(bytes[0]);
    unsigned char second = bytes.size() > 1 ? static_cast<unsigned char>(bytes[1]) : 0xFF;
    return (first == 0xFF && second == 0xFE) || (first == 0xFE && second == 0xFF) || first == 0 ||
           second == 0;
}

// Wine's XmlLite asserts, and so ends the whole process, when the input stops right after the XML
// declaration or a byte-order mark. White space after the document is allowed by XML and keeps the
// reader off that path; it is added in the encoding the text starts with.
std::string withTrailingBlank(std::string bytes) {
    if (!startsAsUtf16(bytes))
        bytes += '\n';
    else if (static_cast<unsigned char>(bytes[0]) == 0xFE || bytes[0] == 0)
        bytes.append("\0\n", 2); // big-endian
    else
        bytes.append("\n\0", 2);
    return bytes;
}

// Replaces every character reference to a tab, LF or CR (&#x9; &#10; &#x00D; ...) in UTF-8 text by
// the UTF-8 form of its stand-in. Outside attribute values such a reference is in text, a comment, a
// processing instruction or a CDATA section, all of which the tree drops: nothing else changes.
std::string withBlankStandIns(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (bytes.compare(i, 2, "&#") == 0) {
            bool hex = i + 2 < bytes.size() && bytes[i + 2] == 'x';
            std::size_t j = i + (hex ? 3 : 2);
            unsigned value = 0;
            std::size_t digits = 0;
            for (; j < bytes.size() && value <= 0xFFFF; ++j, ++digits) {
                char c = bytes[j];
                if (c >= '0' && c <= '9')
                    value = value * (hex ? 16 : 10) + static_cast<unsigned>(c - '0');
                else if (hex && c >= 'a' && c <= 'f')
                    value = value * 16 + static_cast<unsigned>(c - 'a' + 10);
                else if (hex && c >= 'A' && c <= 'F')
                    value = value * 16 + static_cast<unsigned>(c - 'A' + 10);
                else
                    break;
            }
            if (digits > 0 && j < bytes.size() && bytes[j] == ';' &&
                (value == 9 || value == 10 || value == 13)) {
                // U+FDD9, U+FDDA, U+FDDD in UTF-8.
                out += "\xEF\xB7";
                out += static_cast<char>(0x90 + value);
                i = j + 1;
                continue;
            }
        }
        out += bytes[i++];
    }
    return out;
}

bool isXmlBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool startsWith(const std::string& text, std::size_t at, const char* prefix) {
    return text.compare(at, std::char_traits<char>::length(prefix), prefix) == 0;
}

std::size_t afterByteOrderMark(const std::string& text) {
    return startsWith(text, 0, "\xEF\xBB\xBF") ? 3 : 0;
}

std::size_t skipBlanks(const std::string& text, std::size_t i) {
    while (i < text.size() && isXmlBlank(text[i]))
        ++i;
    return i;
}

bool equalsIgnoringAsciiCase(const std::string& text, std::size_t at, std::size_t length, const char* word) {
    if (std::char_traits<char>::length(word) != length)
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        char a = text[at + i], b = word[i];
        if (a >= 'A' && a <= 'Z')
            a = static_cast<char>(a - 'A' + 'a');
        if (a != b)
            return false;
    }
    return true;
}

// Where the encoding name of the XML declaration that opens 8-bit text lies, as {offset, length};
// length 0 when there is no declaration or it names no encoding.
std::pair<std::size_t, std::size_t> declaredEncoding(const std::string& text) {
    const std::size_t none = std::string::npos;
    if (!startsWith(text, 0, "<?xml") || text.size() < 6 || !isXmlBlank(text[5]))
        return {0, 0};
    std::size_t end = text.find("?>", 5);
    if (end == std::string::npos)
        return {0, 0};
    for (std::size_t at = text.find("encoding", 5); at != none && at < end;
         at = text.find("encoding", at + 1)) {
        if (!isXmlBlank(text[at - 1]))
            continue;
        std::size_t i = skipBlanks(text, at + 8);
        if (i >= end || text[i] != '=')
            continue;
        i = skipBlanks(text, i + 1);
        if (i >= end || (text[i] != '"' && text[i] != '\''))
            return {0, 0};
        std::size_t close = text.find(text[i], i + 1);
        if (close == none || close >= end)
            return {0, 0};
        return {i + 1, close - i - 1};
    }
    return {0, 0};
}

// The Windows code page of an encoding name an editor may put in the declaration. Wine's XmlLite knows
// only UTF-8, UTF-16 and US-ASCII and refuses every other name (WC_E_ENCNAME), so these are decoded
// here on every system alike. 0 for a name left to XmlLite.
UINT codePageOfEncoding(const std::string& text, std::size_t at, std::size_t length) {
    static const struct {
        const char* name;
        UINT page;
    } pages[] = {
        {"us-ascii", 20127},    {"iso-8859-1", 28591},  {"latin1", 28591},       {"iso-8859-2", 28592},
        {"iso-8859-5", 28595},  {"iso-8859-7", 28597},  {"iso-8859-9", 28599},   {"iso-8859-15", 28605},
        {"windows-1250", 1250}, {"windows-1251", 1251}, {"windows-1252", 1252},  {"windows-1253", 1253},
        {"windows-1254", 1254}, {"windows-1255", 1255}, {"windows-1256", 1256},  {"windows-1257", 1257},
        {"windows-1258", 1258}, {"shift_jis", 932},     {"gb2312", 936},         {"gbk", 936},
        {"big5", 950},          {"euc-kr", 949},        {"ks_c_5601-1987", 949}, {"koi8-r", 20866}};
    for (const auto& entry : pages) {
        if (equalsIgnoringAsciiCase(text, at, length, entry.name))
            return entry.page;
    }
    return 0;
}

bool isUtf8(const std::string& text) {
    return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                 nullptr, 0) > 0;
}

// The code page a plain text editor saves "ANSI" files in, and earlier versions wrote the settings in.
// Not GetACP(): with the UTF-8 active-code-page manifest that is 65001 for this program.
UINT legacyAnsiCodePage() {
    DWORD page = 0;
    if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                         reinterpret_cast<LPWSTR>(&page), sizeof page / sizeof(WCHAR)) == 0 ||
        page == 0 || page == CP_UTF8)
        page = ::GetACP();
    return page;
}

// Brings 8-bit text to UTF-8 where XmlLite would not read it right: text without a byte-order mark
// or declared encoding that is not UTF-8 is in the legacy ANSI code page (files of earlier versions,
// or saved as "ANSI" by an editor), and a declared encoding from the table above is decoded here and
// the declaration made to say UTF-8. False when the text is left in an encoding XmlLite decodes.
bool toUtf8(std::string& text) {
    if (afterByteOrderMark(text) != 0)
        return true;
    auto label = declaredEncoding(text);
    UINT page = 0;
    if (label.second == 0) {
        if (isUtf8(text))
            return true;
        page = legacyAnsiCodePage();
    } else if (equalsIgnoringAsciiCase(text, label.first, label.second, "utf-8")) {
        return true;
    } else {
        page = codePageOfEncoding(text, label.first, label.second);
        if (page == 0)
            return false;
    }
    std::wstring wide = vx::widened(text, page);
    if (wide.empty())
        return false;
    text = vx::narrowed(wide, CP_UTF8);
    // The declaration is ASCII in every page of the table, so it is where it was.
    if (label.second != 0)
        text.replace(label.first, label.second, "UTF-8");
    return true;
}

// Index just past the '>' that closes a document type declaration whose body starts at i, or npos.
// Quoted literals and, in the internal subset, comments and processing instructions may hold '>'.
std::size_t endOfDocumentType(const std::string& text, std::size_t i) {
    const std::size_t none = std::string::npos;
    bool inSubset = false;
    while (i < text.size()) {
        const char* close = nullptr;
        if (text[i] == '"')
            close = "\"";
        else if (text[i] == '\'')
            close = "'";
        else if (inSubset && startsWith(text, i, "<!--"))
            close = "-->";
        else if (inSubset && startsWith(text, i, "<?"))
            close = "?>";
        if (close) {
            i = text.find(close, i + 1);
            if (i == none)
                return none;
            i += std::char_traits<char>::length(close);
            continue;
        }
        if (text[i] == '[')
            inSubset = true;
        else if (text[i] == ']')
            inSubset = false;
        else if (text[i] == '>' && !inSubset)
            return i + 1;
        ++i;
    }
    return none;
}

// Wine's XmlLite takes 8-bit text that starts with a blank for an empty document: its first Read answers
// S_FALSE, and a hand-edited file with a blank first line would load without a single setting.
void removeLeadingBlanks(std::string& text) {
    std::size_t start = afterByteOrderMark(text);
    text.erase(start, skipBlanks(text, start) - start);
}

// XmlLite either refuses a document type declaration (DtdProcessing_Prohibit) or expands the entities
// it defines and may fetch the external subset it names (DtdProcessing_Parse; Wine's reader even fails
// with E_NOTIMPL on any internal subset). A settings file needs none of it, and hand-edited ones copied
// from elsewhere sometimes carry one: the declaration is cut out of the prolog, before the first
// element, so the rest reads. An entity it defined is then undeclared, and the document is refused.
void removeDocumentType(std::string& text) {
    const std::size_t start = afterByteOrderMark(text);
    std::size_t i = start;
    for (;;) {
        i = skipBlanks(text, i);
        const char* close = startsWith(text, i, "<!--") ? "-->" : startsWith(text, i, "<?") ? "?>" : nullptr;
        if (!close)
            break;
        i = text.find(close, i + 2);
        if (i == std::string::npos)
            return;
        i += std::char_traits<char>::length(close);
    }
    if (!startsWith(text, i, "<!DOCTYPE"))
        return;
    std::size_t end = endOfDocumentType(text, i + 9);
    // The blanks after a declaration that opened the text would open it now.
    if (end != std::string::npos)
        text.erase(i, (i == start ? skipBlanks(text, end) : end) - i);
}

// Runs the reader over input and builds the tree of its elements.
bool readDocument(const std::string& input, bool restoreBlanks, XmlElement& document) {
    IXmlReader* rawReader = nullptr;
    if (FAILED(::CreateXmlReader(IID_IXmlReader, reinterpret_cast<void**>(&rawReader), nullptr)))
        return false;
    ComOwner<IXmlReader> reader(rawReader);
    // A document type declaration is refused rather than expanded (no entity bombs in a settings file).
    // One in the prolog of 8-bit text never gets this far: removeDocumentType cuts it out.
    reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
    // Depth is judged below; the reader's own limit only has to lie beyond ours.
    reader->SetProperty(XmlReaderProperty_MaxElementDepth, maxXmlDepth + 8);
    ComOwner<IStream> stream(
        ::SHCreateMemStream(reinterpret_cast<const BYTE*>(input.data()), static_cast<UINT>(input.size())));
    if (!stream || FAILED(reader->SetInput(stream.get())))
        return false;

    XmlElement result;
    // The open elements, outermost first. Only the innermost one gains children, so pointers to its
    // ancestors stay valid while the vectors below them grow.
    std::vector<XmlElement*> open{&result};
    // Wine's XmlLite never reports the end of a document cut short inside an open element: Read keeps
    // answering S_OK with the same node (a blank at line 0, or the last start tag again), and a loop
    // waiting for S_FALSE spins forever. Each node covers at least one character of the input, so more
    // reads than input bytes, or the same kind of node twice at one place, means the reader is stuck.
    std::size_t readsLeft = input.size() + 1;
    XmlNodeType type = XmlNodeType_None;
    XmlNodeType previousType = XmlNodeType_None;
    UINT previousLine = 0, previousPosition = 0;
    HRESULT hr;
    while ((hr = reader->Read(&type)) == S_OK) {
        UINT line = 0, position = 0;
        if (type == XmlNodeType_None || readsLeft-- == 0 || FAILED(reader->GetLineNumber(&line)) ||
            FAILED(reader->GetLinePosition(&position)))
            return false;
        if (type == previousType && line == previousLine && position == previousPosition)
            return false;
        previousType = type;
        previousLine = line;
        previousPosition = position;
        if (type == XmlNodeType_Element) {
            // Asked before moving to the attributes: on an attribute the reader answers false.
            bool empty = reader->IsEmptyElement() != FALSE;
            std::string name;
            // open.size() - 1 is the depth of the new element, the top level being 0.
            if (static_cast<int>(open.size()) > maxXmlDepth || !readQualifiedName(reader.get(), name))
                return false;
            XmlElement& element = open.back()->addChild(std::move(name));
            if (!readAttributes(reader.get(), element, restoreBlanks))
                return false;
            if (!empty)
                open.push_back(&element);
        } else if (type == XmlNodeType_EndElement) {
            if (open.size() < 2)
                return false;
            open.pop_back();
        }
    }
    // E_PENDING cannot come from a memory stream; like any failure it means the text is not usable.
    if (hr != S_FALSE || open.size() != 1)
        return false;
    document = std::move(result);
    return true;
}

// XML keeps a tab, CR or LF written as a character reference in an attribute value; only literal
// ones become blanks. Wine's XmlLite turns the references into blanks as well, which would change
// every value holding a line break on each save. Asked once per process, so the stand-ins are used
// only with a reader that needs them.
bool readerFoldsBlankReferences() {
    static const bool folds = [] {
        XmlElement probe;
        return readDocument("<p v=\"&#xA;\"/>\n", false, probe) && !probe.children.empty() &&
               probe.children[0].findAttribute("v") && *probe.children[0].findAttribute("v") != "\n";
    }();
    return folds;
}

} // namespace

XmlElement& XmlElement::addChild(std::string childName) {
    children.emplace_back(std::move(childName));
    return children.back();
}

void XmlElement::setAttribute(const std::string& key, std::string value) {
    for (auto& attribute : attributes) {
        if (attribute.first == key) {
            attribute.second = std::move(value);
            return;
        }
    }
    attributes.emplace_back(key, std::move(value));
}

const std::string* XmlElement::findAttribute(const std::string& key) const {
    for (const auto& attribute : attributes) {
        if (attribute.first == key)
            return &attribute.second;
    }
    return nullptr;
}

bool parseXml(const std::string& bytes, XmlElement& document) {
    if (bytes.empty() || bytes.size() > std::numeric_limits<UINT>::max() / 2)
        return false;
    if (startsAsUtf16(bytes))
        return readDocument(withTrailingBlank(bytes), false, document);
    std::string text = bytes;
    removeLeadingBlanks(text);
    // The stand-ins are UTF-8: written into text of another encoding they would come back as garbage.
    bool standIns = toUtf8(text) && readerFoldsBlankReferences();
    removeDocumentType(text);
    if (text.empty())
        return false;
    return readDocument(withTrailingBlank(standIns ? withBlankStandIns(text) : text), standIns, document);
}

bool readXmlFile(const std::string& path, XmlElement& document, unsigned long* readError) {
    unsigned long ignored = 0;
    unsigned long& error = readError ? *readError : ignored;
    error = 0;
    CHandle file;
    file.Attach(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        error = ::GetLastError();
        return false;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size)) {
        error = ::GetLastError();
        return false;
    }
    // A preferences file is small; anything near the 32-bit address space is not ours.
    if (size.QuadPart > 64 * 1024 * 1024)
        return false;
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD done = 0;
    std::size_t offset = 0;
    while (offset < bytes.size()) {
        // A region another program has locked fails here (ERROR_LOCK_VIOLATION), not at the open.
        if (!::ReadFile(file.Get(), &bytes[offset], static_cast<DWORD>(bytes.size() - offset), &done,
                        nullptr)) {
            error = ::GetLastError();
            return false;
        }
        if (done == 0)
            break;
        offset += done;
    }
    bytes.resize(offset);
    return parseXml(bytes, document);
}

bool printXml(const XmlElement& root, std::string& text) {
    std::string name;
    std::string out;
    if (!xmlName(root.name, name) || !printElement(root, name, 0, out))
        return false;
    text = std::move(out);
    return true;
}

} // namespace vx
