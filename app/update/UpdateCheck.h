#pragma once
// The update check: the maker's web server publishes the latest version as the first line of
// "<maker's address>/curversion.dat". A worker thread fetches it, the window thread compares it with the
// program's own version and shows the "Update Check" dialog.
#include "util/Win32Handle.h"

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <string>
#include <thread>

namespace update {

// How long resolving, connecting, sending and each wait for the server may take.
constexpr DWORD kDefaultTimeoutMs = 5000;
// At most this much of the body is read: a version line is short, and the server may send anything.
constexpr std::size_t kLineLimit = 256;

std::string versionFileUrl(const std::string& makerUrl);
std::string userAgent(const std::string& ownVersion);
// The "ProductVersion" string of the running program's version resource; empty without one.
std::string ownVersion();

// The first line of the first bytes of a body, without a UTF-8 byte-order mark, CRs and blanks or tabs
// at either end. False when no line end came within bytes and the body went on (bodyEnded false): a line
// that long is no version.
bool firstLine(const std::string& bytes, bool bodyEnded, std::string& line);
// Decimal numbers joined by single dots ("1.5.2.0", "1.6"); anything else (HTML, blanks) is not.
bool isVersionLine(const std::string& line);
// Below 0 when own is older than latest, above 0 when newer, 0 when equal. Only versions of four parts
// are compared, by their first three numbers as numbers; any other pair counts as equal.
int compareVersions(const std::string& own, const std::string& latest);

// One GET of the version file. True with its first line when the server answered 200 and the line is a
// version. Ends early when cancel (an event, may be null) is set; waits at most timeoutMs for each step.
bool fetchVersionLine(const std::string& makerUrl, const std::string& agent, DWORD timeoutMs, HANDLE cancel,
                      std::string& line);

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

// The "Update Check" dialog: the own and the latest version, what to make of them, and the switch for
// checking at start-up. It closes at once (result 1) when there is nothing to show.
class UpdateCheckDlg {
public:
    UpdateCheckDlg(bool silent, bool checkAtStartup)
        : silent(silent), checkAtStartup(checkAtStartup), own(update::ownVersion()) {}
    ~UpdateCheckDlg();
    UpdateCheckDlg(const UpdateCheckDlg&) = delete;
    UpdateCheckDlg& operator=(const UpdateCheckDlg&) = delete;

    // What the fetch brought; found false when it brought no version.
    void setLatest(bool found, const std::string& line) {
        this->found = found;
        latest = line;
    }
    // By default the program's own "ProductVersion".
    void setOwnVersion(const std::string& version) { own = version; }
    // Opened by "Yes" when a newer version exists.
    void setHomePage(const std::string& url) { homePage = url; }

    // Runs modally: 1 when it closed at once, IDOK for "Yes"/"OK", IDCANCEL for "No"; -1 on failure.
    INT_PTR run(HWND owner);
    // Creates it hidden without a loop of its own (tests drive it with messages). False when it closed
    // at once, with getResult() set.
    bool create(HWND owner);
    HWND getHwnd() const { return hwnd; }
    INT_PTR getResult() const { return result; }
    // The check box's value, taken from the box only by "Yes"/"OK".
    bool getCheckAtStartup() const { return checkAtStartup; }
    bool isDownloadArmed() const { return openHomePage; }

    // The "Could not get latest version info" box (type: MB_OK and its icon); tests replace it.
    using MessageHook = void (*)(HWND owner, const char* text, UINT type);
    static MessageHook setMessageHook(MessageHook hook);

private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void onInitDialog();
    void close(INT_PTR value);

    HWND hwnd = nullptr;
    bool modal = false;
    bool silent;
    bool checkAtStartup;
    bool openHomePage = false;
    bool found = false;
    bool closed = false;
    bool initialising = false;
    INT_PTR result = 0;
    std::string own, latest, homePage;
};
