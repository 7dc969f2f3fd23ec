#include "ExplorerModule.h"

#include "resource.h"
#include "util/ThisModule.h"

namespace explorer {

HICON resultIcon() {
    // A shared icon is the system's to free; the first indexer loads it on the window thread, before any
    // worker of ours can ask.
    static const HICON icon =
        static_cast<HICON>(::LoadImageW(vx::thisModule(), MAKEINTRESOURCEW(IDI_EXPLORER_URL), IMAGE_ICON, 16,
                                        16, LR_DEFAULTCOLOR | LR_SHARED));
    return icon;
}

} // namespace explorer
