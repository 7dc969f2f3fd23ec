// The program's message boxes show names outside ASCII as themselves.
#include "Startup.h"
#include "support/ForeignNames.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

std::vector<std::wstring> shownTexts, shownCaptions;

// The box as the core shows it, answered No at once.
int WINAPI recordBox(HWND, LPCWSTR text, LPCWSTR caption, UINT) {
    shownTexts.push_back(text);
    shownCaptions.push_back(caption);
    return IDNO;
}

} // namespace

TEST(MessageBoxText, TheQuestionBeforeAnUnusualAddressNamesItAsItIs) {
    ASSERT_EQ(::GetACP(), static_cast<UINT>(CP_UTF8));
    ImportHook box(::GetModuleHandleW(L"VerbinoxCore.dll"), "user32.dll", "MessageBoxW", &recordBox);
    ASSERT_TRUE(box.installed()) << "boxes are shown through MessageBoxW";
    shownTexts.clear();
    for (const ForeignName& name : foreignNames()) {
        EXPECT_FALSE(startup::confirmUrlOpening("search-ms:query=" + name.narrow));
        ASSERT_FALSE(shownTexts.empty());
        EXPECT_NE(shownTexts.back().find(L"search-ms:query=" + name.wide), std::wstring::npos);
        EXPECT_EQ(shownCaptions.back(), L"Verbinox");
    }
}
