#pragma once
// Requests to the shell, behind one seam so tests can capture them instead of starting programs.
#include "VxApi.h"

#include <string>

namespace vx {

// Opens a file, folder, URL or "mailto:" text with its default verb (no owner window, normal show
// state); parameters go to a program, directory is its working folder (none when empty). True when the
// shell reports success.
VX_CORE_API bool shellOpen(const std::string& file, const std::string& parameters = std::string(),
                           const std::string& directory = std::string());

// Replaces what shellOpen does; returns the previous hook. Null restores the shell.
using ShellOpenHook = bool (*)(const std::string& file, const std::string& parameters,
                               const std::string& directory);
VX_CORE_API ShellOpenHook setShellOpenHook(ShellOpenHook hook);

} // namespace vx
