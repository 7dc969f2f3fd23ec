#pragma once
// Stands in for the shell's notification area for as long as it lives: every icon call succeeds, and
// the texts of the balloons shown are kept (converted to the active code page).
#include "window/TrayIconOwner.h"
#include "util/VxText.h"

#include <string>
#include <vector>

class BalloonCapture {
public:
    BalloonCapture() : previous_(CTrayIconOwner::setNotifyCall(&BalloonCapture::notify)) { texts().clear(); }
    ~BalloonCapture() { CTrayIconOwner::setNotifyCall(previous_); }
    BalloonCapture(const BalloonCapture&) = delete;
    BalloonCapture& operator=(const BalloonCapture&) = delete;

    static std::vector<std::string>& texts() {
        static std::vector<std::string> list;
        return list;
    }

private:
    static BOOL WINAPI notify(DWORD message, PNOTIFYICONDATAW record) {
        if (message == NIM_MODIFY && (record->uFlags & NIF_INFO))
            texts().push_back(vx::narrowed(record->szInfo));
        return TRUE;
    }
    CTrayIconOwner::NotifyCall previous_;
};
