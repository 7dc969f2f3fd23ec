#include "ConsoleOutput.h"

#include <atomic>

namespace {

// The page to restore, for the control handler: it runs on a thread of its own.
std::atomic<UINT> pageToRestore{0};

BOOL WINAPI restoreOnEnd(DWORD) {
    if (const UINT page = pageToRestore.exchange(0))
        ::SetConsoleOutputCP(page);
    return FALSE; // the default handler still ends the program
}

} // namespace

bool isConsole(HANDLE output) {
    DWORD mode = 0;
    return output && output != INVALID_HANDLE_VALUE && ::GetConsoleMode(output, &mode) != FALSE;
}

Utf8ConsoleOutput::Utf8ConsoleOutput(HANDLE output) {
    if (!isConsole(output))
        return;
    const UINT page = ::GetConsoleOutputCP();
    if (page == 0 || page == CP_UTF8 || !::SetConsoleOutputCP(CP_UTF8))
        return;
    previous_ = page;
    pageToRestore = page;
    ::SetConsoleCtrlHandler(restoreOnEnd, TRUE);
}

Utf8ConsoleOutput::~Utf8ConsoleOutput() {
    if (!previous_)
        return;
    ::SetConsoleCtrlHandler(restoreOnEnd, FALSE);
    pageToRestore = 0;
    ::SetConsoleOutputCP(previous_);
}
