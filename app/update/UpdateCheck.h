#pragma once
// The update check: the maker's web server publishes the latest version as the first line of
// "<maker's address>/curversion.dat". A worker thread fetches it, the window thread compares it with the
// program's own version and shows the "Update Check" dialog. This header brings all of it: the texts
// (Versions.h), the exchange (VersionRequest.h), the worker (here) and the dialog (UpdateCheckDlg.h).
#include "UpdateCheckDlg.h"
#include "VersionRequest.h"
#include "Versions.h"
#include "util/Win32Handle.h"

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

namespace update {

// What a check found, handed from the worker to the window.
struct FetchResult {
    bool silent = true;
    bool found = false; // line holds a version
    std::string line;
};

// Runs one fetch at a time on a worker thread. Lives on the window's thread.
class CUpdateChecker {
public:
    CUpdateChecker();
    ~CUpdateChecker() { stop(); }
    CUpdateChecker(const CUpdateChecker&) = delete;
    CUpdateChecker& operator=(const CUpdateChecker&) = delete;

    // Starts a fetch and returns true. While one is running no other starts (false), but an interactive
    // request makes the running one interactive. At its end the worker posts message to window with a
    // FetchResult* from new in lParam: from then on the window's handler owns it (and must call
    // finished()); if the post fails, the worker deletes it.
    bool start(HWND window, UINT message, const std::string& makerUrl, const std::string& ownVersion,
               DWORD timeoutMs, bool silent);
    // On receipt of the message: waits for the worker to return (joined, its handle closed).
    void finished();
    // Ends a running fetch without waiting for its time-outs, waits for the worker and closes its handle,
    // and deletes results still queued for the window. Call before the window is destroyed.
    void stop();
    bool isRunning() const { return worker.joinable(); }

private:
    void run();

    std::thread worker;
    vx::CHandle cancel;
    HWND window = nullptr;
    UINT message = 0;
    std::string url, agent;
    DWORD timeoutMs = kDefaultTimeoutMs;
    std::atomic<bool> silent{true};
};

} // namespace update
