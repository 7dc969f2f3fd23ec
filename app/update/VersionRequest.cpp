// The GET of the version file: WinHTTP driven asynchronously, each step awaited with its own time-out
// and the caller's cancel event.
#include "VersionRequest.h"

#include "Versions.h"
#include "util/VxText.h"
#include "util/Win32Handle.h"

#include <winhttp.h>

#include <atomic>

namespace update {

namespace {

// What a request and WinHTTP's callback share. WinHTTP may call back after the worker gave up on it
// (Wine finishes a blocked receive on its own thread even after its handle was closed), so the
// completion event and the read buffer live here, freed by whichever lets go last: the worker when it
// returns, the callback when the request handle closes.
struct Exchange {
    std::atomic<long> references{1};
    vx::CHandle completed{};
    std::atomic<DWORD> status{0};
    std::atomic<DWORD> bytes{0};
    char buffer[kLineLimit];

    Exchange() { completed.Attach(::CreateEventW(nullptr, FALSE, FALSE, nullptr)); }
    void release() {
        if (--references == 0)
            delete this;
    }
};

void CALLBACK onRequestStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID, DWORD length) {
    auto* exchange = reinterpret_cast<Exchange*>(context);
    if (!exchange)
        return; // the session's and the connection's own notices
    switch (status) {
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
        exchange->release();
        return;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
        exchange->bytes = length;
        break;
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
        break;
    default:
        return;
    }
    exchange->status = status;
    ::SetEvent(exchange->completed.Get());
}

class CInternetHandle {
public:
    explicit CInternetHandle(HINTERNET handle = nullptr) : handle(handle) {}
    ~CInternetHandle() { reset(); }
    CInternetHandle(const CInternetHandle&) = delete;
    CInternetHandle& operator=(const CInternetHandle&) = delete;
    HINTERNET get() const { return handle; }
    void reset(HINTERNET value = nullptr) {
        if (handle)
            ::WinHttpCloseHandle(handle);
        handle = value;
    }

private:
    HINTERNET handle;
};

// The user's proxy settings: Windows 8.1 and later read them, script included, for this access type.
// Older systems refuse it; there the user's fixed proxy is taken, else WinHTTP's own configuration.
HINTERNET openSession(const std::wstring& agent) {
    const DWORD flags = WINHTTP_FLAG_ASYNC;
    HINTERNET session = ::WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                      WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, flags);
    if (session)
        return session;
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG user{};
    if (::WinHttpGetIEProxyConfigForCurrentUser(&user)) {
        if (user.lpszProxy)
            session =
                ::WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_NAMED_PROXY, user.lpszProxy,
                              user.lpszProxyBypass ? user.lpszProxyBypass : WINHTTP_NO_PROXY_BYPASS, flags);
        for (LPWSTR text : {user.lpszAutoConfigUrl, user.lpszProxy, user.lpszProxyBypass}) {
            if (text)
                ::GlobalFree(text);
        }
    }
    if (!session)
        session = ::WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                WINHTTP_NO_PROXY_BYPASS, flags);
    return session;
}

// The request runs asynchronously and this thread waits for each step itself: under Wine a closed
// handle does not end a blocked synchronous receive, and the time-out options alone cannot be cancelled.
class VersionRequest {
public:
    VersionRequest(DWORD timeoutMs, HANDLE cancel) : timeoutMs(timeoutMs), cancel(cancel) {}
    ~VersionRequest() {
        request.reset();
        connection.reset();
        session.reset();
        if (exchange)
            exchange->release();
    }

    bool get(const std::string& url, const std::string& agent, std::string& line) {
        std::wstring wideUrl = vx::widened(url);
        URL_COMPONENTS parts{};
        parts.dwStructSize = sizeof(parts);
        parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
        if (!::WinHttpCrackUrl(wideUrl.c_str(), 0, 0, &parts))
            return false;
        const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
        const std::wstring path = std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength) +
                                  std::wstring(parts.lpszExtraInfo, parts.dwExtraInfoLength);

        session.reset(openSession(vx::widened(agent)));
        if (!session.get())
            return false;
        const int timeout = static_cast<int>(timeoutMs);
        ::WinHttpSetTimeouts(session.get(), timeout, timeout, timeout, timeout);
        // WinHttpSetTimeouts leaves the wait for the answer's headers alone under Wine (it waited for
        // ever): this option sets it.
        DWORD answerTimeout = timeoutMs;
        ::WinHttpSetOption(session.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &answerTimeout,
                           sizeof(answerTimeout));
        const DWORD notices = WINHTTP_CALLBACK_FLAG_SENDREQUEST_COMPLETE |
                              WINHTTP_CALLBACK_FLAG_HEADERS_AVAILABLE | WINHTTP_CALLBACK_FLAG_READ_COMPLETE |
                              WINHTTP_CALLBACK_FLAG_REQUEST_ERROR | WINHTTP_CALLBACK_FLAG_HANDLES;
        if (::WinHttpSetStatusCallback(session.get(), &onRequestStatus, notices, 0) ==
            WINHTTP_INVALID_STATUS_CALLBACK)
            return false;
        connection.reset(::WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
        if (!connection.get())
            return false;
        // No cache: WinHTTP keeps none, and the refresh flag asks proxies for a fresh copy too.
        const DWORD flags =
            WINHTTP_FLAG_REFRESH | (parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0);
        request.reset(::WinHttpOpenRequest(connection.get(), L"GET", path.c_str(), nullptr,
                                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
        if (!request.get())
            return false;
        exchange = new Exchange();
        DWORD_PTR context = reinterpret_cast<DWORD_PTR>(exchange);
        if (!exchange->completed.IsValid() ||
            !::WinHttpSetOption(request.get(), WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof(context)))
            return false;
        ++exchange->references; // the callback's, let go when the request handle closes

        if (!::WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                                  0, context) ||
            !step(WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE))
            return false;
        if (!::WinHttpReceiveResponse(request.get(), nullptr) ||
            !step(WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE))
            return false;
        DWORD code = 0, size = sizeof(code);
        if (!::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                   WINHTTP_HEADER_NAME_BY_INDEX, &code, &size, WINHTTP_NO_HEADER_INDEX) ||
            code != HTTP_STATUS_OK)
            return false;

        std::string body;
        bool ended = false;
        while (!ended && body.size() < kLineLimit && body.find('\n') == std::string::npos) {
            if (!::WinHttpReadData(request.get(), exchange->buffer,
                                   static_cast<DWORD>(kLineLimit - body.size()), nullptr) ||
                !step(WINHTTP_CALLBACK_STATUS_READ_COMPLETE))
                return false;
            const DWORD got = exchange->bytes;
            ended = got == 0;
            body.append(exchange->buffer, got);
        }
        return firstLine(body, ended, line) && isVersionLine(line);
    }

private:
    // Waits for the pending call's completion: false on an error, a time-out or cancellation.
    bool step(DWORD expected) {
        HANDLE events[2] = {exchange->completed.Get(), cancel};
        const DWORD count = cancel ? 2 : 1;
        if (::WaitForMultipleObjects(count, events, FALSE, timeoutMs) != WAIT_OBJECT_0)
            return false;
        return exchange->status == expected;
    }

    DWORD timeoutMs;
    HANDLE cancel;
    CInternetHandle session, connection, request;
    Exchange* exchange = nullptr;
};

} // namespace

bool fetchVersionLine(const std::string& makerUrl, const std::string& agent, DWORD timeoutMs, HANDLE cancel,
                      std::string& line) {
    line.clear();
    VersionRequest request(timeoutMs, cancel);
    if (request.get(versionFileUrl(makerUrl), agent, line))
        return true;
    line.clear();
    return false;
}

} // namespace update
