#pragma once
// What opening an address may do: whether it can start a program rather than show something, and how it
// is handed to a browser program so that it is never read as one of the browser's switches.
#include <string>

namespace vx {

// The scheme of an address, lower-cased, where the shell looks for it (after leading blanks and quotes,
// which it skips); empty for a path, a drive letter being no scheme. rest is set to the text after the
// colon.
std::string urlScheme(const std::string& url, std::size_t* rest = nullptr);

// True for an address that shows a page, a document or a folder and starts nothing: http, https, ftp,
// mailto, and file: to a document or a folder on a local drive. Not a path without a scheme, a program
// or a script (by extension, PATHEXT's too), a share (\\host\..., file://host/...), or another scheme.
bool isHarmlessAddress(const std::string& url);

// The parameters that start a browser program on url: the end-of-options marker of the program's family
// (Chromium's "--", Firefox's "-osint -url"), then url as one quoted argument. For a browser whose marker
// is not known, false when url does not start with a letter, since it could then pass for a switch.
bool browserParameters(const std::string& program, const std::string& url, std::string& parameters);

} // namespace vx
