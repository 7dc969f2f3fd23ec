#include "ShortcutTargets.h"

CShortcutTargets::CShortcutTargets() = default;
CShortcutTargets::~CShortcutTargets() = default;

bool CShortcutTargets::isShortcut(std::string_view name) {
    if (name.size() < 4)
        return false;
    const std::string_view ext = name.substr(name.size() - 4);
    return ext[0] == '.' && (ext[1] | 0x20) == 'l' && (ext[2] | 0x20) == 'n' && (ext[3] | 0x20) == 'k';
}

std::string CShortcutTargets::read(const std::string& path) {
    if (failed)
        return std::string();
    if (!link)
        link = std::make_unique<CShellLink>();
    // The object keeps the fields of the last file it loaded: a file that fails to load must not
    // answer with its predecessor's target.
    link->SetPath(std::string());
    if (!link->Load(path)) {
        // No link object on this machine: no shortcut will load, so none is tried again.
        if (!link->Create(CShellLinkInfo()))
            failed = true;
        return std::string();
    }
    std::string target = link->GetPath();
    // A path the shell could not give whole is worth nothing as a name to match or a program to rank.
    if (target.find('\0') != std::string::npos)
        return std::string();
    return target;
}
