// The update check's worker: one fetch at a time on a thread of its own, its finding posted to the window.
#include "UpdateCheck.h"

#include <memory>
#include <system_error>

namespace update {

CUpdateChecker::CUpdateChecker() {
    cancel.Attach(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

bool CUpdateChecker::start(HWND window, UINT message, const std::string& makerUrl,
                           const std::string& ownVersion, DWORD timeoutMs, bool silent) {
    if (worker.joinable()) {
        if (!silent)
            this->silent = false;
        return false;
    }
    this->window = window;
    this->message = message;
    url = makerUrl;
    agent = userAgent(ownVersion);
    this->timeoutMs = timeoutMs;
    this->silent = silent;
    ::ResetEvent(cancel.Get());
    try {
        worker = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void CUpdateChecker::run() {
    try {
        std::unique_ptr<FetchResult> result(new FetchResult());
        result->found = fetchVersionLine(url, agent, timeoutMs, cancel.Get(), result->line);
        result->silent = silent;
        if (::PostMessageW(window, message, 0, reinterpret_cast<LPARAM>(result.get())))
            result.release(); // the window's now
    } catch (...) {
        // Out of memory: no answer, as when the server gives none.
    }
}

void CUpdateChecker::finished() {
    if (worker.joinable())
        worker.join();
}

void CUpdateChecker::stop() {
    if (!worker.joinable())
        return;
    ::SetEvent(cancel.Get());
    finished();
    MSG queued;
    while (::PeekMessageW(&queued, window, message, message, PM_REMOVE))
        delete reinterpret_cast<FetchResult*>(queued.lParam);
}

} // namespace update
