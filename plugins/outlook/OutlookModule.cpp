#include "OutlookModule.h"

#include "util/ThisModule.h"

#include "resource.h"

#include <mutex>

namespace {
std::mutex iconLock;
HICON sharedContactIcon = nullptr;
} // namespace

namespace outlook {

HICON contactIcon() {
    // Contacts are made on the main thread and on search workers alike.
    std::lock_guard<std::mutex> hold(iconLock);
    if (!sharedContactIcon)
        sharedContactIcon = vx::loadModuleIcon(IDI_CONTACT);
    return sharedContactIcon;
}

void releaseContactIcon() {
    std::lock_guard<std::mutex> hold(iconLock);
    if (sharedContactIcon)
        ::DestroyIcon(sharedContactIcon);
    sharedContactIcon = nullptr;
}

} // namespace outlook
