#include "engine/UrlOpening.h"

#include "util/VxText.h"

#include <windows.h>

#include <cwctype>

namespace vx {
namespace {

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isSchemeCharacter(char c) {
    return isAsciiLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// What the shell runs rather than shows, written as PATHEXT is; PATHEXT itself adds whatever else the
// machine makes runnable.
const wchar_t kProgramExtensions[] =
    L".exe;.com;.bat;.cmd;.pif;.scr;.cpl;.msi;.msc;.msp;.mst;.hta;.js;.jse;.vb;.vbs;.vbe;.ws;.wsf;.wsh;.wsc;"
    L".sct;.ps1;.psm1;.psd1;.ps1xml;.ps2;.ps2xml;.psc1;.psc2;.lnk;.url;.reg;.jar;.application;.appref-ms;"
    L".scf;.inf;.chm;.hlp;.shb;.shs;.appx;.msix;.appxbundle;.msixbundle;.appinstaller;.diagcab;.gadget;"
    L".xbap;.library-ms;.search-ms;.searchconnector-ms;.settingcontent-ms";

std::wstring asciiLowered(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return text;
}

// Whether a list such as PATHEXT's (";"-separated, blanks and case ignored, the dots optional) holds the
// extension, given lower-cased with its dot.
bool listsExtension(const std::wstring& list, const std::wstring& extension) {
    std::size_t at = 0;
    while (at <= list.size()) {
        std::size_t end = list.find(L';', at);
        if (end == std::wstring::npos)
            end = list.size();
        std::wstring entry = asciiLowered(list.substr(at, end - at));
        const std::size_t first = entry.find_first_not_of(L' '), last = entry.find_last_not_of(L' ');
        entry = first == std::wstring::npos ? std::wstring() : entry.substr(first, last - first + 1);
        if (!entry.empty() && entry[0] != L'.')
            entry.insert(entry.begin(), L'.');
        if (entry.size() > 1 && entry == extension)
            return true;
        at = end + 1;
    }
    return false;
}

bool isProgramExtension(const std::wstring& extension) {
    if (listsExtension(kProgramExtensions, extension))
        return true;
    const DWORD size = ::GetEnvironmentVariableW(L"PATHEXT", nullptr, 0);
    if (size == 0)
        return false;
    std::wstring list(size, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(L"PATHEXT", &list[0], size);
    list.resize(length < size ? length : 0);
    return listsExtension(list, extension);
}

std::wstring fullPathName(const std::wstring& path) {
    const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return std::wstring();
    std::wstring full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size)
        return std::wstring();
    full.resize(length);
    return full;
}

// A document or a folder on a drive of this machine ("C:\..." with backslashes).
bool isLocalDocumentPath(const std::wstring& path) {
    const wchar_t root[] = {path[0], L':', L'\\', L'\0'};
    switch (::GetDriveTypeW(root)) {
    case DRIVE_FIXED:
    case DRIVE_REMOVABLE:
    case DRIVE_CDROM:
    case DRIVE_RAMDISK:
        break;
    default:
        return false; // a mapped share, or no such drive
    }
    // Resolved as opening resolves it: "." and ".." folded, and the dots and blanks that end a name
    // dropped ("x.exe." and "x.exe " run x.exe).
    std::wstring full = fullPathName(path);
    if (full.size() < 3 || full[1] != L':' || full[2] != L'\\' ||
        std::towupper(full[0]) != std::towupper(path[0]))
        return false;
    while (full.size() > 3 && full.back() == L'\\')
        full.pop_back();
    if (full.size() == 3)
        return true; // the drive itself
    std::wstring name = full.substr(full.find_last_of(L'\\') + 1);
    // "x.exe:stream" and "x.exe::$DATA" name the file itself.
    name = name.substr(0, name.find(L':'));
    while (!name.empty() && (name.back() == L'.' || name.back() == L' '))
        name.pop_back();
    if (name.empty())
        return false;
    const std::size_t dot = name.find_last_of(L'.');
    if (dot == std::wstring::npos) {
        // Without an extension the shell tries PATHEXT's ("C:\...\calc" runs calc.exe): only a folder
        // that is there is safe.
        const DWORD attributes = ::GetFileAttributesW(full.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    return !isProgramExtension(asciiLowered(name.substr(dot)));
}

// The local path a file: URL's text after the colon names, or empty when it names none: a share
// ("//host/x", "////host/x"), a path relative to something, or a form the shell may read otherwise.
std::string localPathOfFileUrl(std::string text) {
    for (char& c : text) {
        if (c == '\\')
            c = '/';
    }
    std::size_t slashes = 0;
    while (slashes < text.size() && text[slashes] == '/')
        ++slashes;
    // "file:C:/", "file:/C:/", "file://C:/" and "file:///C:/"; four slashes or more are a share.
    if (slashes > 3)
        return std::string();
    std::string path = text.substr(slashes);
    if (path.size() < 2 || !isAsciiLetter(path[0]) || (path[1] != ':' && path[1] != '|') ||
        (path.size() > 2 && path[2] != '/'))
        return std::string();
    path[1] = ':';
    if (path.size() == 2)
        path += '/';
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

std::string percentDecoded(const std::string& text) {
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '%' && at + 2 < text.size() && vx::hexDigitValue(text[at + 1]) >= 0 &&
            vx::hexDigitValue(text[at + 2]) >= 0) {
            out += static_cast<char>(vx::hexDigitValue(text[at + 1]) * 16 + vx::hexDigitValue(text[at + 2]));
            at += 2;
        } else {
            out += text[at];
        }
    }
    return out;
}

bool isLocalDocumentUrl(const std::string& afterScheme) {
    // Which of its readings the shell takes (escapes decoded or not, "?" and "#" ending the path or
    // part of a name) differs between versions: every one must be harmless.
    for (const std::string& reading : {afterScheme, percentDecoded(afterScheme)}) {
        for (char c : reading) {
            // A quote or a control character could end the name early for whoever reads it next.
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == '"')
                return false;
        }
        for (std::size_t cut : {std::string::npos, reading.find('?'), reading.find('#')}) {
            const std::string path = localPathOfFileUrl(reading.substr(0, cut));
            if (path.empty() || !isLocalDocumentPath(widened(path)))
                return false;
        }
    }
    return true;
}

enum class BrowserFamily { Unknown, Chromium, Firefox };

BrowserFamily familyOf(const std::string& program) {
    const std::string name = lowered(program.substr(program.find_last_of("\\/") + 1));
    for (const char* chromium : {"chrome.exe", "chromium.exe", "msedge.exe", "brave.exe", "vivaldi.exe"}) {
        if (name == chromium)
            return BrowserFamily::Chromium;
    }
    return name == "firefox.exe" ? BrowserFamily::Firefox : BrowserFamily::Unknown;
}

// The URL as one argument: quoted, with any quote inside percent-encoded so it cannot end the
// argument early and smuggle switches to the browser.
std::string quotedUrlArgument(const std::string& url) {
    std::string arg = "\"";
    for (char c : url) {
        if (c == '"')
            arg += "%22";
        else
            arg += c;
    }
    // A trailing backslash would escape the closing quote for the C runtime's argument parser.
    std::size_t backslashes = 0;
    for (std::size_t i = url.size(); i-- > 0 && url[i] == '\\';)
        ++backslashes;
    arg.append(backslashes, '\\');
    arg += '"';
    return arg;
}

} // namespace

std::string urlScheme(const std::string& url, std::size_t* rest) {
    std::size_t start = 0;
    while (start < url.size() && (static_cast<unsigned char>(url[start]) <= ' ' || url[start] == '"'))
        ++start;
    if (start == url.size() || !isAsciiLetter(url[start]))
        return std::string();
    std::size_t end = start + 1;
    while (end < url.size() && isSchemeCharacter(url[end]))
        ++end;
    if (end == url.size() || url[end] != ':' || end - start < 2)
        return std::string(); // no scheme at all, or a drive letter
    if (rest)
        *rest = end + 1;
    return lowered(url.substr(start, end - start));
}

bool isHarmlessAddress(const std::string& url) {
    std::size_t rest = 0;
    const std::string scheme = urlScheme(url, &rest);
    if (scheme == "http" || scheme == "https" || scheme == "ftp" || scheme == "mailto")
        return true;
    return scheme == "file" && isLocalDocumentUrl(url.substr(rest));
}

bool browserParameters(const std::string& program, const std::string& url, std::string& parameters) {
    switch (familyOf(program)) {
    case BrowserFamily::Chromium:
        // Everything after "--" is an address to open, never a switch ("--gpu-launcher=...").
        parameters = "-- " + quotedUrlArgument(url);
        return true;
    case BrowserFamily::Firefox:
        // With -osint the browser accepts nothing but "-url" and the one address that follows it.
        parameters = "-osint -url " + quotedUrlArgument(url);
        return true;
    case BrowserFamily::Unknown:
        break;
    }
    // Without a marker only an address that starts with a letter (a scheme or a drive) is sure to be
    // taken for one: browsers trim their arguments and read "-" and "/" as switches.
    if (url.empty() || !isAsciiLetter(url[0]))
        return false;
    parameters = quotedUrlArgument(url);
    return true;
}

} // namespace vx
