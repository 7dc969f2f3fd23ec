// Names outside ASCII at the core's boundaries to the system: drawing, the clipboard, the shell, fonts.
#include "support/CoreFixture.h"
#include "support/ForeignNames.h"
#include "support/TempFolder.h"

#include "model/VBuiltinActions.h"
#include "model/VFileResult.h"
#include "model/VPreferences.h"
#include "util/Shell.h"
#include "util/SystemText.h"

#include <windows.h>

namespace {

class ForeignNames : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        ASSERT_EQ(::GetACP(), static_cast<UINT>(CP_UTF8)) << "the program's code page";
    }
    HMODULE coreModule() const { return ::GetModuleHandleW(L"VerbinoxCore.dll"); }
};

std::wstring clipboardUnicode() {
    std::wstring text = L"<cannot open>";
    if (!::OpenClipboard(nullptr))
        return text;
    text = L"<no CF_UNICODETEXT>";
    if (HANDLE h = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* p = static_cast<const wchar_t*>(::GlobalLock(h))) {
            const std::size_t room = ::GlobalSize(h) / sizeof(wchar_t);
            text = wcsnlen(p, room) < room ? std::wstring(p) : L"<no terminating NUL>";
            ::GlobalUnlock(h);
        }
    }
    ::CloseClipboard();
    return text;
}

struct ShellRequest {
    std::wstring file, parameters, directory;
};
std::vector<ShellRequest> shellRequests;

// The shell as the core reaches it; nothing starts.
HINSTANCE WINAPI recordShellExecute(HWND, LPCWSTR, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, INT) {
    shellRequests.push_back({file ? file : L"", parameters ? parameters : L"", directory ? directory : L""});
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
}

} // namespace

TEST_F(ForeignNames, ElementsDrawTheirNamesAsThemselves) {
    core->loadPrefs(nullptr); // the fonts
    DrawnTexts drawn(coreModule());
    ASSERT_TRUE(drawn.installed()) << "the core draws through DrawTextW";
    HDC dc = ::CreateCompatibleDC(nullptr);
    const RECT item{0, 0, 300, 40}, icon{0, 0, 16, 16}, line1{20, 0, 300, 20}, line2{20, 20, 300, 40};
    for (const ForeignName& name : foreignNames()) {
        VFileResult* file = VFileResult::createInstance(nullptr);
        file->setFile(CPath("C:\\Users\\" + name.narrow + "\\" + name.narrow));
        DrawnTexts::texts().clear();
        file->draw(dc, item, icon, line1, line2, false, false);
        file->draw(dc, item, icon, line1, false, false);
        file->deleteThis();
        const std::wstring path = L"C:\\Users\\" + name.wide + L"\\" + name.wide;
        EXPECT_EQ(DrawnTexts::texts(), (std::vector<std::wstring>{name.wide, path, name.wide}));
    }
    ::DeleteDC(dc);
}

TEST_F(ForeignNames, CopyPutsTheNameOnTheClipboardAsItself) {
    VCopyAction copy;
    for (const ForeignName& name : foreignNames()) {
        VProperty path(VProperty::FileType, "C:\\" + name.narrow);
        ASSERT_TRUE(copy.execute(nullptr, &path, ""));
        EXPECT_EQ(clipboardUnicode(), L"C:\\" + name.wide);
    }
    // A text whose UTF-16 form fills a 4096-byte block but for its terminator.
    const std::string block = std::string(2047 - 1, 'p') + foreignNames()[3].narrow.substr(0, 3);
    ASSERT_TRUE(VCopyAction::copyToClipboard(block));
    EXPECT_EQ(clipboardUnicode(), std::wstring(2046, L'p') + L"\u65E5");
}

TEST_F(ForeignNames, TheShellIsAskedToOpenTheNamesThemselves) {
    ImportHook shell(coreModule(), "shell32.dll", "ShellExecuteW", &recordShellExecute);
    ASSERT_TRUE(shell.installed()) << "the core asks the shell through ShellExecuteW";
    shellRequests.clear();
    for (const ForeignName& name : foreignNames()) {
        EXPECT_TRUE(
            vx::shellOpen("C:\\" + name.narrow + "\\" + name.narrow, name.narrow, "C:\\" + name.narrow));
        ASSERT_EQ(shellRequests.size(), 1u);
        EXPECT_EQ(shellRequests[0].file, L"C:\\" + name.wide + L"\\" + name.wide);
        EXPECT_EQ(shellRequests[0].parameters, name.wide);
        EXPECT_EQ(shellRequests[0].directory, L"C:\\" + name.wide);
        shellRequests.clear();
    }
}

TEST_F(ForeignNames, FontFaceNamesReachTheSystemAsThemselvesAndSurviveThePreferencesFile) {
    const std::wstring gothic = L"\uFF2D\uFF33 \u30B4\u30B7\u30C3\u30AF"; // a Japanese face name
    auto faceOfFont1 = [this] {
        LOGFONTW made{};
        ::GetObjectW(core->getFont1(), sizeof(made), &made);
        return std::wstring(made.lfFaceName);
    };
    LOGFONTA lf{};
    lf.lfHeight = -12;
    lstrcpyA(lf.lfFaceName, vx::narrowed(gothic).c_str());
    core->setFont1(&lf);
    EXPECT_EQ(faceOfFont1(), gothic);
    LOGFONTA read{};
    ASSERT_TRUE(core->getFont1(&read));
    EXPECT_STREQ(read.lfFaceName, lf.lfFaceName);

    TempFolder folder;
    const std::string file = folder.sub("Verbinox.xml");
    VPreferencesNode* root = VPreferencesNode::createInstance("Verbinox");
    core->savePrefs(root);
    ASSERT_TRUE(VPreferences::save(file, root));
    root->deleteThis();
    core->loadPrefs(nullptr); // the default fonts again
    ASSERT_NE(faceOfFont1(), gothic);
    VPreferencesNode* loaded = VPreferences::load(file);
    ASSERT_NE(loaded, nullptr);
    core->loadPrefs(loaded->getChild("Verbinox"));
    loaded->deleteThis();
    EXPECT_EQ(faceOfFont1(), gothic);
}

TEST_F(ForeignNames, NarrowedFaceNamesAreCutAtWholeCharacters) {
    // Eleven CJK characters take 33 bytes: ten fit the narrow record's 31.
    LOGFONTW longFace{};
    wcscpy(longFace.lfFaceName, std::wstring(11, L'\u8A9E').c_str());
    EXPECT_EQ(std::string(vx::narrowFont(longFace).lfFaceName), vx::narrowed(std::wstring(10, L'\u8A9E')));
    // Twenty-nine letters and an emoji take 33 bytes: the emoji is left out, never half of it kept.
    wcscpy(longFace.lfFaceName, (std::wstring(29, L'a') + L"\U0001F389").c_str());
    EXPECT_EQ(std::string(vx::narrowFont(longFace).lfFaceName), std::string(29, 'a'));
    // A face that fits comes back whole, and widening gives it back as it was.
    wcscpy(longFace.lfFaceName, L"\u041F\u0440\u0438\u0432\u0435\u0442 \U0001F389");
    EXPECT_STREQ(vx::wideFont(vx::narrowFont(longFace)).lfFaceName, longFace.lfFaceName);
}

TEST_F(ForeignNames, AFaceNameTooLongForTheRecordInTheSettingsFileIsCutAtWholeCharacters) {
    // Thirty letters and an "é": the 32 bytes do not fit the record's 31, and half an "é" is no name.
    TempFolder folder;
    const std::string file = folder.sub("Verbinox.xml");
    ASSERT_TRUE(folder.writeFile("Verbinox.xml", "<Verbinox><Verbinox><Core><Fonts><Font1 Name=\"" +
                                                     std::string(30, 'a') +
                                                     "\xC3\xA9\" Height=\"-12\" />"
                                                     "</Fonts></Core></Verbinox></Verbinox>"));
    VPreferencesNode* loaded = VPreferences::load(file);
    ASSERT_NE(loaded, nullptr);
    core->loadPrefs(loaded->getChild("Verbinox"));
    loaded->deleteThis();
    LOGFONTW made{};
    ASSERT_NE(::GetObjectW(core->getFont1(), sizeof(made), &made), 0);
    EXPECT_EQ(std::wstring(made.lfFaceName), std::wstring(30, L'a')) << "no replacement character at its end";
}

TEST_F(ForeignNames, LongNamesAreDrawnKeepingTheirExtensionAndTheirLastComponentWithinTheirLines) {
    core->loadPrefs(nullptr); // the fonts
    DrawnTexts drawn(coreModule());
    ASSERT_TRUE(drawn.installed()) << "the core draws through DrawTextW";
    HDC dc = ::CreateCompatibleDC(nullptr);
    const RECT item{0, 0, 420, 40}, icon{0, 0, 16, 16}, line1{20, 0, 170, 20}, line2{20, 20, 420, 40};
    const std::wstring name = L"Quarterly report for the board meeting, r\u00E9sum\u00E9 final.docx";
    const std::wstring folder = L"C:\\Users\\ann\\Documents\\Work\\2026\\Budget planning\\Reports";
    const std::wstring url =
        L"https://intranet.example.com/sites/finance/department/budget/reports/2026/quarterly-summary";
    VFileResult* file = VFileResult::createInstance(nullptr);
    file->setFile(CPath(vx::narrowed(folder + L"\\" + name)));
    file->draw(dc, item, icon, line1, line2, false, false);
    file->draw(dc, item, icon, line1, false, false);
    file->deleteThis();
    VUrlResult* link = VUrlResult::createInstance(nullptr);
    link->setUrl(vx::narrowed(url));
    link->draw(dc, item, icon, line1, line2, false, false);
    link->deleteThis();

    const std::vector<std::wstring> texts = DrawnTexts::texts();
    ASSERT_EQ(texts.size(), 5u);
    const auto endsWith = [](const std::wstring& text, const std::wstring& end) {
        return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
    };
    const auto fitsIn = [dc](HFONT font, const std::wstring& text, const RECT& rect) {
        HGDIOBJ old = ::SelectObject(dc, font);
        SIZE size{0, 0};
        ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        ::SelectObject(dc, old);
        return size.cx <= rect.right - rect.left;
    };
    for (const std::wstring& text : {texts[0], texts[2]}) {
        EXPECT_TRUE(endsWith(text, L"final.docx")) << vx::narrowed(text);
        EXPECT_EQ(text.substr(0, 9), L"Quarterly") << vx::narrowed(text);
        EXPECT_NE(text.find(L'\u2026'), std::wstring::npos) << vx::narrowed(text);
    }
    EXPECT_TRUE(fitsIn(core->getFont1(), texts[0], line1));
    EXPECT_TRUE(fitsIn(core->getFont(), texts[2], line1));
    EXPECT_TRUE(endsWith(texts[1], L"\\" + name)) << vx::narrowed(texts[1]);
    EXPECT_EQ(texts[1].substr(0, 3), L"C:\\") << vx::narrowed(texts[1]);
    EXPECT_TRUE(fitsIn(core->getFont2(), texts[1], line2)) << vx::narrowed(texts[1]);
    // Without a description the upper line is the URL, cut at its end.
    EXPECT_EQ(texts[3].substr(0, 16), L"https://intranet") << vx::narrowed(texts[3]);
    EXPECT_TRUE(endsWith(texts[3], L"\u2026")) << vx::narrowed(texts[3]);
    EXPECT_TRUE(endsWith(texts[4], L"/quarterly-summary")) << vx::narrowed(texts[4]);
    EXPECT_TRUE(fitsIn(core->getFont2(), texts[4], line2)) << vx::narrowed(texts[4]);
    ::DeleteDC(dc);
}
