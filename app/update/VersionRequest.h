#pragma once
// The update check's one exchange with the maker's web server: a GET of the version file through
// WinHTTP, read only as far as its first line.
#include <windows.h>

#include <cstddef>
#include <string>

namespace update {

// How long resolving, connecting, sending and each wait for the server may take.
constexpr DWORD kDefaultTimeoutMs = 5000;
// At most this much of the body is read: a version line is short, and the server may send anything.
constexpr std::size_t kLineLimit = 256;

// One GET of the version file. True with its first line when the server answered 200 and the line is a
// version. Ends early when cancel (an event, may be null) is set; waits at most timeoutMs for each step.
bool fetchVersionLine(const std::string& makerUrl, const std::string& agent, DWORD timeoutMs, HANDLE cancel,
                      std::string& line);

} // namespace update
