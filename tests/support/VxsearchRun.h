#pragma once
// The real vxsearch.exe in a private program folder of a test's own: the core's DLLs and the runtime
// copied beside it, with only the plug-ins a test names, so its settings file and plug-ins are the test's.
#include "support/ProcessStart.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

struct VxsearchOutcome {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out;
    std::string err;
    std::vector<std::vector<std::string>> rows; // tab-separated lines of out
};

// Lays out folder\prog with vxsearch.exe, every DLL of the build and the named plug-ins ("Plugins\X.vll").
inline ::testing::AssertionResult makeVxsearchFolder(const TempFolder& folder,
                                                     std::initializer_list<const char*> plugins) {
    const std::string bin = programFolder();
    if (!folder.makeDir("prog") || !folder.makeDir("prog\\Plugins"))
        return ::testing::AssertionFailure() << "no program folder";
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((bin + "*.dll").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return ::testing::AssertionFailure() << "no DLLs beside the tests";
    do {
        ::CopyFileA((bin + data.cFileName).c_str(),
                    folder.sub(std::string("prog\\") + data.cFileName).c_str(), FALSE);
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
    std::vector<std::string> files{"vxsearch.exe"};
    files.insert(files.end(), plugins.begin(), plugins.end());
    for (const std::string& file : files) {
        if (!::CopyFileA((bin + file).c_str(), folder.sub("prog\\" + file).c_str(), FALSE))
            return ::testing::AssertionFailure() << "cannot copy " << file;
    }
    return ::testing::AssertionSuccess();
}

namespace vxsearch_detail {

// One start of vxsearch with its output in out<n>.txt and err<n>.txt; false when it could not be started.
inline bool runOnce(const TempFolder& folder, const std::string& arguments, const std::string& n,
                    VxsearchOutcome& outcome) {
    // Output goes to files, not pipes: Wine's helper processes may inherit a pipe's write end and
    // keep it open long after vxsearch has ended.
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    // Detached, so that no console helper of Wine's holds the inherited handles; fresh files every run.
    const std::string outFile = folder.sub("out" + n + ".txt"), errFile = folder.sub("err" + n + ".txt");
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE out = ::CreateFileA(outFile.c_str(), GENERIC_WRITE, share, &sa, CREATE_ALWAYS, 0, nullptr);
    HANDLE err = ::CreateFileA(errFile.c_str(), GENERIC_WRITE, share, &sa, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out;
    si.hStdError = err;
    si.hStdInput = nullptr;
    PROCESS_INFORMATION pi{};
    const std::string exe = folder.sub("prog\\vxsearch.exe");
    const bool started = createProcessOnceMore(exe, "\"" + exe + "\" " + arguments, TRUE, DETACHED_PROCESS,
                                               folder.path(), si, pi);
    const DWORD startError = ::GetLastError();
    ::CloseHandle(out);
    ::CloseHandle(err);
    if (!started) {
        ADD_FAILURE() << "vxsearch did not start: " << startError;
        return false;
    }
    if (::WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) {
        ::TerminateProcess(pi.hProcess, 99);
        ADD_FAILURE() << "vxsearch did not end";
    }
    ::GetExitCodeProcess(pi.hProcess, &outcome.exitCode);
    ::CloseHandle(pi.hProcess);
    ::CloseHandle(pi.hThread);
    return true;
}

} // namespace vxsearch_detail

// Runs folder\prog\vxsearch.exe with arguments in folder; run numbers the output files.
inline VxsearchOutcome runVxsearch(const TempFolder& folder, const std::string& arguments, int run) {
    VxsearchOutcome outcome;
    const std::string n = std::to_string(run);
    if (!vxsearch_detail::runOnce(folder, arguments, n, outcome))
        return outcome;
    // vxsearch says something on every path that fails; a failure in silence is a start Wine lost.
    if (outcome.exitCode != 0 && folder.readFile("out" + n + ".txt").empty() &&
        folder.readFile("err" + n + ".txt").empty()) {
        std::fprintf(stderr,
                     "process start: vxsearch ended with %lu before printing anything; started again\n",
                     static_cast<unsigned long>(outcome.exitCode));
        if (!vxsearch_detail::runOnce(folder, arguments, n, outcome))
            return outcome;
    }
    outcome.out = folder.readFile("out" + n + ".txt");
    outcome.err = folder.readFile("err" + n + ".txt");
    std::istringstream lines(outcome.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> cols;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            cols.push_back(line.substr(start, tab - start));
        cols.push_back(line.substr(start));
        outcome.rows.push_back(cols);
    }
    return outcome;
}
