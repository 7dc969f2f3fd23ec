#pragma once
// vxsearch prints UTF-8. A console shows the bytes it is given in its own output code page (437 or 850 on
// most machines), so names outside ASCII come out garbled there unless the page is UTF-8 while vxsearch
// writes; a file or a pipe takes the bytes as they are, and its reader decides.

#include <windows.h>

// Sets the console's output page to UTF-8 while it lives, when output is a console, and puts the
// previous page back when it goes (or when the console is closed or Ctrl+C ends the program first: the
// page belongs to the console, and the shell that started vxsearch keeps it). Nothing changes when
// output is a file or a pipe, or when the console refuses the page.
class Utf8ConsoleOutput {
public:
    explicit Utf8ConsoleOutput(HANDLE output);
    ~Utf8ConsoleOutput();
    Utf8ConsoleOutput(const Utf8ConsoleOutput&) = delete;
    Utf8ConsoleOutput& operator=(const Utf8ConsoleOutput&) = delete;

    // Whether the page was changed, so is restored.
    bool changed() const { return previous_ != 0; }

private:
    UINT previous_ = 0;
};

// Whether output is a console: GetConsoleMode succeeds only on a console's handle.
bool isConsole(HANDLE output);
