#pragma once
// Change notifications for one folder and everything below it, read without blocking: the builder
// polls between its checks. Windows reports changes at any depth; Wine 8 only those in the folder
// itself, so this only hurries the check of folder times along, which catches the rest.
#include "util/Win32Handle.h"

#include <windows.h>

#include <string>
#include <vector>

class CFolderWatch {
public:
    CFolderWatch() = default;
    ~CFolderWatch() { stop(); }
    CFolderWatch(const CFolderWatch&) = delete;
    CFolderWatch& operator=(const CFolderWatch&) = delete;

    // Watches longFolder (the "\\?\" form); false when it cannot be opened.
    bool start(const std::wstring& longFolder);
    // Cancels the read under way and waits for the system to let go of the buffer. Any thread.
    void stop();
    bool isWatching() const { return pending; }
    const std::wstring& folder() const { return watched; }
    // True when something arrived since the last call: the names (relative to the folder) created,
    // removed, renamed, or of shortcuts written are added to changed (other files' writes are passed
    // over); overflow is set when the system dropped some. A read
    // ended by an error (the thread that asked for it ended, the folder went) counts as an overflow.
    bool poll(std::vector<std::wstring>& changed, bool& overflow);

private:
    bool arm();

    std::wstring watched;
    vx::CHandle dir;
    vx::CHandle event;
    OVERLAPPED overlapped{};
    std::vector<DWORD> buffer; // DWORD-aligned, as ReadDirectoryChangesW requires
    bool pending = false;
};
