// The program's message boxes show names outside ASCII as themselves.
#include "Startup.h"
#include "support/ForeignNames.h"
#include "support/Watchdog.h"

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
    shownCaptions.clear();
    // A box that got past the hook would wait for a user.
    mustFinishWithin(20000, "the question", [] {
        for (const ForeignName& name : foreignNames())
            EXPECT_FALSE(startup::confirmUrlOpening("search-ms:query=" + name.narrow));
    });
    ASSERT_EQ(shownTexts.size(), foreignNames().size());
    for (std::size_t i = 0; i < shownTexts.size(); ++i) {
        EXPECT_NE(shownTexts[i].find(L"search-ms:query=" + foreignNames()[i].wide), std::wstring::npos);
        EXPECT_EQ(shownCaptions[i], L"Verbinox");
    }
}
