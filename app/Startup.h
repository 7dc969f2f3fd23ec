#pragma once
// What the program does before and around its window: the single-instance name, the preferences file
// with its fallback for an unreadable one, the desktop shortcuts that mirror two settings, and the
// global hot-key.
#include <windows.h>

#include <string>

class VPreferencesNode;

namespace startup {

// The single-instance mutex's name for a base name and a scope: 1 per desktop, 2 per logon session,
// 4 per user; any other scope gives the base name.
enum InstanceScope { PerDesktop = 1, PerSession = 2, PerUser = 4 };
std::string uniqueInstanceName(const std::string& base, int scope);

// Loads the preferences file. A missing file gives null. A file that exists but cannot be read (cut
// short, not XML) is renamed to "<name>.bak", replacing an older one, so that the save at exit writes
// a fresh file without destroying what the user may still want back; that also gives null. In both
// cases firstRun is set.
VPreferencesNode* loadPreferences(const std::string& path, bool& firstRun, std::string* backupMade = nullptr);

// "Verbinox.lnk" in the user's Startup folder and in the Quick Launch folder under APPDATA; empty when
// the folder cannot be found (an unset APPDATA, a failed folder query): never a relative path, which
// would put the shortcut in the current folder.
std::string startupShortcutPath();
std::string quickLaunchShortcutPath();
bool shortcutExists(const std::string& path);
// Creates the shortcut to the program (target, description "Verbinox", working folder) or deletes it.
// False when the path is empty or the file could not be made; a failed deletion is ignored.
bool syncShortcut(const std::string& path, bool present, const std::string& target,
                  const std::string& folder);

// Registers hot-key 1 of the window with the modifiers and key. During a first run a taken combination
// is tried once more with Alt, and modifiers then hold Alt. False when no registration succeeded.
bool registerHotKey(HWND window, UINT& modifiers, UINT key, bool firstRun);

// The core's confirmation for an address that may start a program instead of showing a page: a Yes/No
// message box that names the address, No by default. True when the user chose Yes.
bool confirmUrlOpening(const std::string& url);
// The window the confirmation box is modal to (null: none): the search window, so that neither a key
// nor the hot-key reaches it, and nothing frees the result being opened, while the box asks.
void setConfirmationOwner(HWND owner);

} // namespace startup
