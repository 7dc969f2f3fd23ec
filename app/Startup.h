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

// Marks this process as the running copy for that instance name, once the instance mutex is its own:
// a named mapping that holds the process id, kept for as long as the process lives. False when the
// mapping could not be made.
bool markRunningCopy(const std::string& instanceName);
// The marked copy's top-level window of that class, waiting up to waitMs for a copy that is still
// starting to mark itself and make its window; null when there is none. Windows of the class or title
// in any other process (a test, a folder window named after the program) never count.
HWND findRunningCopy(const std::string& instanceName, const wchar_t* windowClass, DWORD waitMs);

// What loading the preferences file found.
struct PreferencesLoad {
    // No settings were read: the file is missing, or it gave none.
    bool firstRun = true;
    // The file exists but gave no settings; oldFile says where it is now.
    bool unreadable = false;
    // "<name>.bak" when the unreadable file could be put aside, else its own path.
    std::string oldFile;
    // False when the unreadable file is still in its place: it may be sound and only held by another
    // program or closed to this user, so nothing is ever saved over it.
    bool mayWrite = true;
    // The system's error code when the file could not be opened or read; 0 when it was read but is not
    // a settings file (cut short, not XML).
    DWORD readError = 0;
};

// Loads the preferences file. A missing file gives null. A file that exists but gives no settings,
// because it is not XML or because it cannot be opened or read even after a few short waits for
// whoever holds it, is renamed to "<name>.bak", replacing an older one, so that the save at exit
// writes a fresh file without destroying what the user may still want back; that also gives null.
VPreferencesNode* loadPreferences(const std::string& path, PreferencesLoad& outcome);

// The system's text for an error code, on one line, without its final full stop.
std::string systemMessage(DWORD error);
// What the tray balloon tells the user after start-up reset the settings; empty when it did not.
std::string unreadableNotice(const PreferencesLoad& outcome);
// What the user is told when a save failed: while running the program will try again, at exit it
// cannot.
std::string saveFailureNotice(const std::string& path, DWORD error, bool willRetry);

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
