// The update check's texts: the version file's address, the user agent, the program's own version, and
// reading and comparing version lines.
#include "Versions.h"

#include "FileVersionInfo.h"
#include "model/XTokenString.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace update {

std::string versionFileUrl(const std::string& makerUrl) {
    return makerUrl + "/curversion.dat";
}

std::string userAgent(const std::string& ownVersion) {
    return "VerbinoxUpdater/" + ownVersion;
}

std::string ownVersion() {
    CFileVersionInfo info;
    return info.Create(::GetModuleHandleW(nullptr)) ? info.GetProductVersion() : std::string();
}

bool firstLine(const std::string& bytes, bool bodyEnded, std::string& line) {
    std::size_t end = bytes.find('\n');
    if (end == std::string::npos) {
        if (!bodyEnded)
            return false;
        end = bytes.size();
    }
    std::size_t begin = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    line.clear();
    for (std::size_t i = begin; i < end; ++i) {
        if (bytes[i] != '\r')
            line += bytes[i];
    }
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) {
        line.clear();
        return true;
    }
    line = line.substr(first, line.find_last_not_of(" \t") - first + 1);
    return true;
}

bool isVersionLine(const std::string& line) {
    bool digitBefore = false;
    for (char c : line) {
        if (c >= '0' && c <= '9') {
            digitBefore = true;
        } else if (c == '.' && digitBefore) {
            digitBefore = false;
        } else {
            return false;
        }
    }
    return digitBefore;
}

namespace {

// Decimal numbers of any length, compared by value: leading zeros dropped, then the longer is larger.
int compareNumbers(const std::string& a, const std::string& b) {
    const std::string x = a.substr(std::min(a.find_first_not_of('0'), a.size()));
    const std::string y = b.substr(std::min(b.find_first_not_of('0'), b.size()));
    if (x.size() != y.size())
        return x.size() < y.size() ? -1 : 1;
    return x.compare(y) < 0 ? -1 : (x == y ? 0 : 1);
}

bool isNumber(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

} // namespace

int compareVersions(const std::string& own, const std::string& latest) {
    std::vector<std::string> a, b;
    XTokenString(own.c_str(), ".", a, 4);
    XTokenString(latest.c_str(), ".", b, 4);
    if (a.size() != 4 || b.size() != 4)
        return 0;
    for (int i = 0; i < 3; ++i) {
        if (!isNumber(a[i]) || !isNumber(b[i]))
            return 0;
        if (int order = compareNumbers(a[i], b[i]))
            return order;
    }
    return 0;
}

} // namespace update
