#pragma once
// The texts of the update check: where the version file lies, how the program names itself to the
// server, its own version, and what a line of the version file says and how two versions compare.
#include <string>

namespace update {

std::string versionFileUrl(const std::string& makerUrl);
std::string userAgent(const std::string& ownVersion);
// The "ProductVersion" string of the running program's version resource; empty without one.
std::string ownVersion();

// The first line of the first bytes of a body, without a UTF-8 byte-order mark, CRs and blanks or tabs
// at either end. False when no line end came within bytes and the body went on (bodyEnded false): a line
// that long is no version.
bool firstLine(const std::string& bytes, bool bodyEnded, std::string& line);
// Decimal numbers joined by single dots ("1.5.2.0", "1.6"); anything else (HTML, blanks) is not.
bool isVersionLine(const std::string& line);
// Below 0 when own is older than latest, above 0 when newer, 0 when equal. Only versions of four parts
// are compared, by their first three numbers as numbers; any other pair counts as equal.
int compareVersions(const std::string& own, const std::string& latest);

} // namespace update
