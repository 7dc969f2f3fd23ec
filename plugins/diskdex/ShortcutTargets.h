#pragma once
// Reads what shortcut files (.lnk) point at, for one walk on one thread: the shell's link object is made
// once, with COM held for the reader's life, and loads one file after another.
#include "util/CShellLink.h"
#include "util/ComRef.h"

#include <memory>
#include <string>
#include <string_view>

class CShortcutTargets {
public:
    CShortcutTargets();
    ~CShortcutTargets();
    CShortcutTargets(const CShortcutTargets&) = delete;
    CShortcutTargets& operator=(const CShortcutTargets&) = delete;

    // True for a name that ends in ".lnk", in any case.
    static bool isShortcut(std::string_view name);
    // The file-system path the shortcut at path points at, or empty: not a shortcut the shell can read,
    // or one whose target has no path (a Control Panel item, a store app).
    std::string read(const std::string& path);

private:
    vx::CComInitScope com;
    std::unique_ptr<CShellLink> link; // made on the first read; null after it failed once
    bool failed = false;
};
