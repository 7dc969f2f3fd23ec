#pragma once
// What the plug-in keeps of its module (util/ThisModule.h names the module itself).
#include <windows.h>

#include <string>

namespace webquery {
// The folder of the module's file, ending in a backslash.
std::string moduleFolder();
} // namespace webquery
