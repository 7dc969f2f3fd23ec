#pragma once
// The short names the program shows for virtual-key codes (the global hot-key, for one).
#include <string>

// "Space", "F5", "Win", ... ; a code without a name of its own is the character of that code, so
// letters and digits show as themselves.
std::string keyName(unsigned virtualKey);
