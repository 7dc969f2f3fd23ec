// vxsearch's console page: UTF-8 while it prints to a console, the previous page back afterwards, and
// files and pipes left alone.
#include "vxsearch/ConsoleOutput.h"

#include <gtest/gtest.h>

#include <windows.h>

TEST(ConsoleOutput, APipeIsNotAConsoleAndKeepsTheConsolesPage) {
    HANDLE read = nullptr, write = nullptr;
    ASSERT_TRUE(::CreatePipe(&read, &write, nullptr, 0));
    const UINT before = ::GetConsoleOutputCP();
    {
        const Utf8ConsoleOutput output(write);
        EXPECT_FALSE(output.changed());
        EXPECT_EQ(::GetConsoleOutputCP(), before);
    }
    EXPECT_EQ(::GetConsoleOutputCP(), before);
    EXPECT_FALSE(isConsole(write));
    ::CloseHandle(read);
    ::CloseHandle(write);
}

TEST(ConsoleOutput, AConsoleShowsUtf8WhileItLivesAndItsOwnPageAfterwards) {
    ::FreeConsole();
    if (!::AllocConsole())
        GTEST_SKIP() << "no console for this process (error " << ::GetLastError() << ")";
    HANDLE console = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(console, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(isConsole(console));
    ASSERT_TRUE(::SetConsoleOutputCP(850));
    {
        const Utf8ConsoleOutput output(console);
        EXPECT_TRUE(output.changed());
        EXPECT_EQ(::GetConsoleOutputCP(), static_cast<UINT>(CP_UTF8));
    }
    EXPECT_EQ(::GetConsoleOutputCP(), 850u);
    // A console already showing UTF-8 is left as it is, and stays so.
    ASSERT_TRUE(::SetConsoleOutputCP(CP_UTF8));
    {
        const Utf8ConsoleOutput output(console);
        EXPECT_FALSE(output.changed());
    }
    EXPECT_EQ(::GetConsoleOutputCP(), static_cast<UINT>(CP_UTF8));
    ::CloseHandle(console);
    ::FreeConsole();
}
