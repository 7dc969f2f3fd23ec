#pragma once
// Starting one of our own programs from a test. Under Wine, once in several hundred starts
// CreateProcess fails with ERROR_INTERNAL_ERROR (1359), or the new process ends at once with a failure
// code before any code of ours ran. The test programs themselves get one more start in that case
// (scripts/wine-test.sh); programs a test starts get the same single retry, reported with what the first
// start gave, so a lost start never fails a test while a program that fails on its own still does.
#include <windows.h>

#include <cstdio>
#include <string>

// CreateProcessA, tried a second time when the first call fails. False (with the last error of the second
// call) only when both fail.
inline bool createProcessOnceMore(const std::string& exe, const std::string& commandLine, BOOL inheritHandles,
                                  DWORD flags, const std::string& folder, STARTUPINFOA& si,
                                  PROCESS_INFORMATION& pi) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::string command = commandLine; // CreateProcess may write into it
        if (::CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, inheritHandles, flags, nullptr,
                             folder.empty() ? nullptr : folder.c_str(), &si, &pi))
            return true;
        if (attempt == 0) {
            std::fprintf(stderr, "process start: %s did not start (error %lu); starting it again\n",
                         exe.c_str(), static_cast<unsigned long>(::GetLastError()));
            ::Sleep(100);
        }
    }
    return false;
}
