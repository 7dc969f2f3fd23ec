#pragma once
// The browsers of the family this plug-in reads, where each keeps its profiles, and where its program is.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace chromium {

// One browser the plug-in knows of.
struct BrowserKind {
    const char* key;        // its preferences node, and its name in the dialog
    bool roaming;           // data under APPDATA instead of LOCALAPPDATA
    const char* dataFolder; // below that folder
    bool singleProfile;     // the data folder is the one profile (no "Default", no "Profile N")
    const char* appPath;    // its name under the registry's "App Paths", or null
    const char* installed;  // the program below an installation folder (see findProgram)
};

// Chrome, Edge, Brave, Vivaldi, Chromium and Opera, in that order.
const std::vector<BrowserKind>& browserKinds();

struct Profile {
    std::string folder; // its folder, ending in a backslash
    std::string name;   // as the browser names it to the user, in the active code page
};

// An installed browser: one whose data folder exists.
struct Browser {
    std::size_t kind = 0; // index into browserKinds()
    std::string program;  // its program, empty when none was found (the default browser is used then)
    std::vector<Profile> profiles;
};

// What finding the browsers reads from the system; tests point it elsewhere.
struct Environment {
    // An environment variable, empty when unset.
    std::function<std::string(const char* name)> variable;
    // The default value of a registry key below HKEY_CURRENT_USER (user) or HKEY_LOCAL_MACHINE.
    std::function<std::string(bool user, const std::string& key)> registryDefault;
};
// The process's own.
Environment systemEnvironment();

// Every browser whose data folder exists, with its profiles and its program.
std::vector<Browser> findBrowsers(const Environment& environment);

// The profiles in a browser's data folder (ending in a backslash): "Default" and "Profile N" first, in
// that order, then any other folder that "Local State" lists; named as "Local State" names them, by
// their folder's name otherwise. Folders that do not exist are left out.
std::vector<Profile> findProfiles(const std::string& dataFolder);

// The browser's program: the registry's "App Paths" entry when it names an existing file, else the
// first existing installation below the 64-bit and 32-bit program folders and LOCALAPPDATA. Empty when
// there is none.
std::string findProgram(const BrowserKind& kind, const Environment& environment);

} // namespace chromium
