#pragma once
// What the plug-in keeps of its module (util/ThisModule.h names the module itself).
#include <windows.h>

namespace outlook {
// The icon every contact shows: loaded on first use and shared. The last plug-in object to go destroys
// it, after every contact of its library is gone.
HICON contactIcon();
void releaseContactIcon();
} // namespace outlook
