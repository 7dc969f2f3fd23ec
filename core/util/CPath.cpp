#include "util/CPath.h"
#include "util/VxText.h"
#include "util/Win32Handle.h"

#include <shlwapi.h>

#include <algorithm>
#include <ctime>
#include <stdexcept>
#include <string_view>

namespace {

bool isSlash(char c) {
    return c == '\\' || c == '/';
}

// Position of the last character of text that is a backslash, stepping over double-byte characters.
std::size_t lastBackslash(const std::string& text) {
    std::size_t found = std::string::npos;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (vx::isLeadByte(text[i]))
            ++i;
        else if (text[i] == '\\')
            found = i;
    }
    return found;
}

// True when the last character (not merely the last byte) is a backslash or a forward slash.
bool endsWithSlash(const std::string& text) {
    if (text.empty() || !isSlash(text.back()))
        return false;
    std::size_t i = 0, last = 0;
    while (i < text.size()) {
        last = i;
        i += (vx::isLeadByte(text[i]) && i + 1 < text.size()) ? 2 : 1;
    }
    return last == text.size() - 1;
}

void trimBlanks(std::string& text) {
    std::size_t begin = text.find_first_not_of(' ');
    if (begin == std::string::npos) {
        text.clear();
        return;
    }
    text.erase(text.find_last_not_of(' ') + 1);
    text.erase(0, begin);
}

void removeAll(std::string& text, char c, bool& removed) {
    std::size_t kept = 0;
    for (char ch : text) {
        if (ch == c)
            removed = true;
        else
            text[kept++] = ch;
    }
    text.resize(kept);
}

// A switch name as the arguments list keeps it: '/', '-' and blanks removed; the prefix is '-' when the
// name held one, else '/'.
std::string cleanSwitchName(std::string name, char& prefix) {
    bool slash = false, dash = false, blank = false;
    removeAll(name, '/', slash);
    removeAll(name, '-', dash);
    removeAll(name, ' ', blank);
    prefix = dash ? '-' : '/';
    return name;
}

CPath::CArgument makeArgument(const std::string& rawName, const std::string& value) {
    char prefix = '/';
    std::string name = cleanSwitchName(rawName, prefix);
    return CPath::CArgument(prefix, name, value);
}

// Splits a command-line arguments text into switches and values: a word starting with '/' or '-' is a
// switch that takes the next value (a word, or a double-quoted text); a switch followed by another switch
// has no value; a value without a pending switch is an argument without name.
std::vector<CPath::CArgument> parseArguments(const std::string& text) {
    std::vector<CPath::CArgument> list;
    std::string rest = text;
    trimBlanks(rest);
    if (rest.empty())
        return list;
    rest += ' ';

    std::string pending;
    bool hasPending = false;
    std::size_t start = 0;
    std::size_t pos = rest.find_first_of(" \"", start);
    while (pos != std::string::npos) {
        std::string value;
        bool hasValue = false;
        std::size_t cut;
        if (rest[pos] == '"') {
            std::size_t close = rest.find('"', pos + 1);
            if (close == std::string::npos)
                break;
            value = rest.substr(pos + 1, close - pos - 1);
            hasValue = true;
            cut = close;
        } else {
            if (rest[start] == '/' || rest[start] == '-') {
                if (hasPending)
                    list.push_back(makeArgument(pending, std::string()));
                pending = rest.substr(start, pos - start);
                hasPending = true;
            } else {
                value = rest.substr(start, pos - start);
                hasValue = true;
            }
            cut = pos;
        }
        if (hasValue) {
            list.push_back(makeArgument(pending, value));
            pending.clear();
            hasPending = false;
        }
        start = rest.find_first_not_of(' ', cut + 1);
        if (start == std::string::npos)
            break;
        pos = rest.find_first_of(" \"", start);
    }
    if (hasPending)
        list.push_back(makeArgument(pending, std::string()));
    return list;
}

// The platform's path calls below take MAX_PATH buffers: longer texts are refused, never cut.
bool fitsMaxPath(const std::string& text) {
    return !text.empty() && text.size() < MAX_PATH;
}

bool pathExists(const std::string& path) {
    return fitsMaxPath(path) && ::PathFileExistsA(path.c_str()) != FALSE;
}

std::string moduleFileName() {
    std::string buffer(MAX_PATH, '\0');
    while (buffer.size() <= 32768) {
        DWORD n = ::GetModuleFileNameA(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return std::string();
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
    return std::string();
}

std::string longForm(const std::string& text) {
    std::size_t last = lastBackslash(text);
    if (last == std::string::npos || last <= 1)
        return text;
    std::string result = longForm(text.substr(0, last));
    if (result.empty())
        return result;
    result += '\\';
    if (last == text.size() - 1)
        return result;
    // A wildcard would let find-first-file answer with some other file's name.
    if (text.find_first_of("*?", last) != std::string::npos)
        return std::string();
    WIN32_FIND_DATAA found;
    HANDLE find = ::FindFirstFileA(text.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return std::string();
    ::FindClose(find);
    return result + found.cFileName;
}

// A file time as local time in seconds since 1970, the way the framework's time class takes it: to local
// file time, to calendar fields, then back through _mktime64 (daylight saving decided by the C runtime).
__time64_t localTimeFromFileTime(const FILETIME& fileTime) {
    FILETIME local;
    SYSTEMTIME fields;
    if (!::FileTimeToLocalFileTime(&fileTime, &local) || !::FileTimeToSystemTime(&local, &fields))
        throw std::invalid_argument("file time cannot be converted to local time");
    std::tm t{};
    t.tm_year = fields.wYear - 1900;
    t.tm_mon = fields.wMonth - 1;
    t.tm_mday = fields.wDay;
    t.tm_hour = fields.wHour;
    t.tm_min = fields.wMinute;
    t.tm_sec = fields.wSecond;
    t.tm_isdst = -1;
    __time64_t result = fields.wYear < 1900 ? -1 : _mktime64(&t);
    if (result == -1)
        throw std::invalid_argument("file time out of the range of local time");
    return result;
}

} // namespace

CPath::CArgument::~CArgument() = default;

CPath::CPath(const char* path, bool isFolderPath, bool hasArguments) {
    if (path != nullptr)
        SetPath(std::string(path), isFolderPath, hasArguments);
}

CPath::CPath(const std::string& path, bool isFolderPath, bool hasArguments) {
    SetPath(path, isFolderPath, hasArguments);
}

CPath::CPath(int which) {
    SetPath(which);
}

CPath::~CPath() = default;

CPath& CPath::operator=(const char* path) {
    if (path != nullptr)
        SetPath(std::string(path));
    else
        Clear();
    return *this;
}

CPath& CPath::operator=(const std::string& path) {
    SetPath(path);
    return *this;
}

void CPath::Clear() {
    originalPath.clear();
    drive.clear();
    driveLabel.clear();
    folder.clear();
    fileTitle.clear();
    extName.clear();
    arguments.clear();
    argList.clear();
    relative = false;
    fileInfo = BY_HANDLE_FILE_INFORMATION{};
}

void CPath::SetPath(int which) {
    if (which == 0)
        SetPath(std::string(::GetCommandLineA()), false, true);
    else if (which == 1)
        SetPath(moduleFileName());
    else
        Clear();
}

void CPath::SetPath(const std::string& path, bool isFolderPath, bool hasArguments) {
    Clear();
    originalPath = path;
    // The path part, narrowed step by step without copies.
    std::string_view buffer = originalPath;

    if (hasArguments) {
        // The platform's splitter: arguments start after the first blank outside double quotes. That blank
        // goes with them; without arguments, one trailing blank is dropped.
        const char* text = originalPath.c_str();
        const char* args = ::PathGetArgsA(text);
        if (args != nullptr && *args != '\0') {
            arguments = args;
            buffer = buffer.substr(0, static_cast<std::size_t>(args - text) - 1);
            argList = parseArguments(arguments);
        } else if (!buffer.empty() && buffer.back() == ' ') {
            buffer.remove_suffix(1);
        }
    }

    if (!buffer.empty() && buffer.front() == '"' && buffer.back() == '"')
        buffer = buffer.size() >= 2 ? buffer.substr(1, buffer.size() - 2) : std::string_view();
    if (buffer.empty())
        return;

    // Drive, folder (up to the last slash), name and extension (from the name's last dot), as the C
    // library's splitter divides them, but for texts of any length.
    std::size_t at = 0;
    if (buffer.size() >= 2 && buffer[1] == ':' && !vx::isLeadByte(buffer[0])) {
        drive = std::string(buffer.substr(0, 2));
        at = 2;
    }
    std::size_t nameStart = at, lastDot = std::string::npos;
    for (std::size_t i = at; i < buffer.size(); ++i) {
        char c = buffer[i];
        if (vx::isLeadByte(c)) {
            ++i;
        } else if (isSlash(c)) {
            nameStart = i + 1;
            lastDot = std::string::npos;
        } else if (c == '.') {
            lastDot = i;
        }
    }
    folder = std::string(buffer.substr(at, nameStart - at));
    for (char& c : folder) {
        if (c == '/')
            c = '\\';
    }
    std::size_t nameEnd = lastDot == std::string::npos ? buffer.size() : lastDot;

    if (isFolderPath) {
        // The whole last name, dots included, is a folder.
        folder = AddBackSlash(AddBackSlash(folder).append(buffer.substr(nameStart)));
    } else {
        fileTitle = std::string(buffer.substr(nameStart, nameEnd - nameStart));
        if (lastDot != std::string::npos)
            extName = std::string(buffer.substr(lastDot + 1));
    }
    relative = !folder.empty() && folder[0] != '\\';
}

std::string CPath::GetExtension() const {
    return extName.empty() ? std::string() : "." + extName;
}

std::string CPath::GetFileName() const {
    return fileTitle + GetExtension();
}

bool CPath::IsNetworkPath() const {
    return drive.empty() && folder.size() >= 2 && folder[0] == '\\' && folder[1] == '\\';
}

template <class Visit> int CPath::VisitDirs(Visit visit) const {
    if (folder.empty())
        return 0;
    // Skip the root: one backslash, or the two of a network path (\\server\share\...).
    std::size_t start = relative ? 0 : (IsNetworkPath() ? 2 : 1);
    int count = 0;
    for (std::size_t i = start; i < folder.size(); ++i) {
        if (vx::isLeadByte(folder[i])) {
            ++i;
        } else if (folder[i] == '\\') {
            if (visit(count, start, i))
                return count + 1;
            ++count;
            start = i + 1;
        }
    }
    return count;
}

std::string CPath::GetDir(int index) const {
    if (index < 0)
        return folder;
    std::string name;
    VisitDirs([&](int i, std::size_t begin, std::size_t end) {
        if (i != index)
            return false;
        name = folder.substr(begin, end - begin);
        return true;
    });
    return name;
}

int CPath::GetDirCount() const {
    return VisitDirs([](int, std::size_t, std::size_t) { return false; });
}

std::string CPath::GetPath(bool appendArguments, bool original) const {
    std::string path = original ? originalPath : GetLocation() + GetFileName();
    if (appendArguments) {
        std::string args = GetArgument(-1);
        if (!args.empty()) {
            if (!path.empty()) {
                if (path.find(' ') != std::string::npos && path.front() != '"')
                    path = '"' + path + '"';
                path += ' ';
            }
            path += args;
        }
    }
    return path;
}

CPath::operator const char*() {
    pathCache = GetPath();
    return pathCache.c_str();
}

bool CPath::ExistFile() const {
    return IsFilePath() && pathExists(GetPath());
}

bool CPath::ExistLocation() const {
    return pathExists(GetLocation());
}

std::string CPath::GetShortPath() const {
    std::string path = GetPath();
    if (!fitsMaxPath(path))
        return std::string();
    char buffer[MAX_PATH];
    DWORD n = ::GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return std::string();
    return std::string(buffer, n);
}

std::string CPath::GetLongPath() const {
    std::string path = GetPath();
    if (!fitsMaxPath(path))
        return std::string();
    return longForm(path);
}

std::string CPath::GetAbsolutePath(const std::string& base) const {
    if (!relative || base.empty())
        return std::string();
    std::string joined = AddBackSlash(base) + GetPath();
    if (!fitsMaxPath(joined))
        return std::string();
    char buffer[MAX_PATH];
    if (!::PathCanonicalizeA(buffer, joined.c_str()))
        return std::string();
    return buffer;
}

std::string CPath::GetRelativePath(const std::string& from) const {
    if (relative)
        return std::string();
    std::string path = GetPath();
    // A folder given with its trailing backslash is the same folder; some implementations of the platform
    // call then answer "\b" instead of ".\b". A root ("C:\", "\") keeps its backslash.
    std::string base = from;
    if (base.size() > 1 && endsWithSlash(base) && base[base.size() - 2] != ':')
        base.pop_back();
    if (!fitsMaxPath(path) || !fitsMaxPath(base))
        return std::string();
    char buffer[MAX_PATH];
    DWORD targetAttributes = IsFilePath() ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_DIRECTORY;
    if (!::PathRelativePathToA(buffer, base.c_str(), FILE_ATTRIBUTE_DIRECTORY, path.c_str(),
                               targetAttributes))
        return std::string();
    std::string result = buffer;
    if (result.size() >= 2 && result[0] == '.' && result[1] == '\\')
        result.erase(0, 2);
    return result;
}

bool CPath::ReadFileInfo() {
    fileInfo = BY_HANDLE_FILE_INFORMATION{};
    std::string path = GetPath();
    if (!fitsMaxPath(path))
        return false;
    // Without backup semantics a folder does not open: folders have no size or times here.
    vx::CHandle file;
    file.Attach(::CreateFileA(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return false;
    if (!::GetFileInformationByHandle(file.Get(), &fileInfo)) {
        fileInfo = BY_HANDLE_FILE_INFORMATION{};
        return false;
    }
    return true;
}

bool CPath::GetFileSize(int64_t& size) {
    size = 0;
    if (!ReadFileInfo())
        return false;
    size =
        static_cast<int64_t>((static_cast<uint64_t>(fileInfo.nFileSizeHigh) << 32) | fileInfo.nFileSizeLow);
    return true;
}

bool CPath::GetFileTime(__time64_t& time, int which) {
    time = 0;
    if (!ReadFileInfo())
        return false;
    const FILETIME& fileTime = which == CreationTime    ? fileInfo.ftCreationTime
                               : which == LastWriteTime ? fileInfo.ftLastWriteTime
                                                        : fileInfo.ftLastAccessTime;
    time = localTimeFromFileTime(fileTime);
    return true;
}

std::string CPath::GetDriveLabel(bool computerNameForNetwork) {
    if (relative)
        return std::string();
    if (computerNameForNetwork && IsNetworkPath())
        return GetDir(0);
    if (!driveLabel.empty())
        return driveLabel;

    std::string root;
    if (!drive.empty())
        root = drive + "\\";
    else if (IsNetworkPath() && GetDirCount() > 1)
        root = "\\\\" + GetDir(0) + "\\" + GetDir(1) + "\\";
    if (!fitsMaxPath(root))
        return std::string();
    char label[MAX_PATH + 1] = {};
    if (::GetVolumeInformationA(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0))
        driveLabel = label;
    return driveLabel;
}

std::string CPath::AddBackSlash(std::string text, bool forwardSlash) {
    if (!text.empty() && !endsWithSlash(text))
        text += forwardSlash ? '/' : '\\';
    return text;
}

std::string CPath::RemoveBackSlash(std::string text) {
    if (endsWithSlash(text))
        text.pop_back();
    return text;
}

void CPath::SetArguments(const std::string& text) {
    arguments = text;
    argList = parseArguments(text);
}

void CPath::RebuildArguments() {
    arguments.clear();
    for (const CArgument& argument : argList) {
        if (!argument.name.empty()) {
            arguments += ' ';
            arguments += argument.prefix;
            arguments += argument.name;
        }
        if (!argument.value.empty()) {
            arguments += ' ';
            if (argument.value.find(' ') != std::string::npos)
                arguments += '"' + argument.value + '"';
            else
                arguments += argument.value;
        }
    }
    arguments.erase(0, std::min(arguments.find_first_not_of(' '), arguments.size()));
}

std::string CPath::GetArgument(int index, bool name) const {
    if (index < 0)
        return arguments;
    if (index >= GetArgCount())
        return std::string();
    return name ? argList[index].name : argList[index].value;
}

int CPath::FindArgument(const std::string& name) const {
    char prefix;
    std::string wanted = vx::lowered(cleanSwitchName(name, prefix));
    if (wanted.empty())
        return -1;
    for (std::size_t i = 0; i < argList.size(); ++i) {
        if (argList[i].name.size() == wanted.size() && vx::lowered(argList[i].name) == wanted)
            return static_cast<int>(i);
    }
    return -1;
}

void CPath::AddSetArgument(const std::string& name, const std::string& value) {
    int index = FindArgument(name);
    if (index >= 0) {
        argList[index].value = value;
    } else {
        char prefix;
        std::string clean = cleanSwitchName(name, prefix);
        argList.emplace_back(prefix, clean, value);
    }
    RebuildArguments();
}

void CPath::RemoveArgument(int index) {
    if (index < 0 || index >= GetArgCount())
        return;
    argList.erase(argList.begin() + index);
    RebuildArguments();
}
