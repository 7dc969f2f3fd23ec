// The searches: addresses built from typed terms, the default engines, their settings and who owns them.
#include "WebqueryFixture.h"

#include "support/ShellCapture.h"
#include "util/VxText.h"

#include <commctrl.h>

#include <cstring>
#include <set>

namespace {

const std::string kGoogle = "https://www.google.com/search?q=";
const std::string kGoogleSuffix = "&sourceid=Verbinox";

class SearchActionTest : public WebqueryTest {
protected:
    void SetUp() override {
        WebqueryTest::SetUp();
        plugin->loadPrefs(nullptr);
    }
    // The address the core's action of that keyword opened for the text, or "(nothing)".
    std::string opened(const std::string& keyword, const std::string& text) {
        ShellCapture shell;
        VAction* action = core->getAction(keyword, false);
        if (!action)
            return "(no action " + keyword + ")";
        const bool ok = action->execute(text);
        if (ShellCapture::requests().empty())
            return ok ? "(true, nothing opened)" : "(nothing)";
        return ok ? ShellCapture::requests().back().file : "(false)";
    }
};

} // namespace

TEST_F(SearchActionTest, TypedTermsReachTheEngineEncodedAndJoinedByPlus) {
    EXPECT_EQ(opened("google", "pizza new york"), kGoogle + "pizza+new+york" + kGoogleSuffix);
    EXPECT_EQ(opened("google", "AT&T c++ #1"), kGoogle + "AT%26T+c%2B%2B+%231" + kGoogleSuffix);
    EXPECT_EQ(opened("google", "100% a/b?c=d"), kGoogle + "100%25+a%2Fb%3Fc%3Dd" + kGoogleSuffix);
    EXPECT_EQ(opened("google", "\"new york\"  pizza"), kGoogle + "new%20york+pizza" + kGoogleSuffix)
        << "a quoted phrase is one term and keeps its blank";
    EXPECT_EQ(opened("google", vx::narrowed(L"caf\u00e9 x-y_z.~")),
              kGoogle + "caf%C3%A9+x-y_z.~" + kGoogleSuffix)
        << "UTF-8 bytes, whatever the code page";
    EXPECT_EQ(opened("wiki", "Alan Turing"), "https://en.wikipedia.org/wiki/Alan+Turing");
    EXPECT_EQ(opened("yahoo", " tabs\tand\r\nlines "), "https://search.yahoo.com/search?p=tabs+and+lines");
    EXPECT_EQ(opened("gmaps", "paris"), "https://maps.google.com/maps?f=q&hl=en&q=paris" + kGoogleSuffix);
}

TEST_F(SearchActionTest, TextWithoutTermsOrRefusedByTheShellFails) {
    for (const char* text : {"", "   ", "\t\r\n", "\"\""})
        EXPECT_EQ(opened("google", text), "(nothing)") << "[" << text << "]";
    ShellCapture shell;
    ShellCapture::answer() = false;
    EXPECT_FALSE(core->getAction("google", false)->execute("pizza"));
}

TEST_F(SearchActionTest, AnAddressTooLongFailsInsteadOfOpening) {
    ShellCapture shell;
    VAction* google = core->getAction("google", false);
    const std::size_t room = VSearchAction::kMaxUrlLength - kGoogle.size() - kGoogleSuffix.size();
    EXPECT_TRUE(google->execute(std::string(room, 'a')));
    ASSERT_EQ(ShellCapture::requests().size(), 1u);
    EXPECT_EQ(ShellCapture::requests()[0].file.size(), VSearchAction::kMaxUrlLength);
    EXPECT_FALSE(google->execute(std::string(room + 1, 'a')));
    EXPECT_FALSE(google->execute(std::string(room / 3 + 1, '&'))) << "the encoded length counts";
    EXPECT_EQ(ShellCapture::requests().size(), 1u);
}

TEST_F(SearchActionTest, AUsersOwnAddressKeepsItsEscapesAndLosesOnlyUnsafeCharacters) {
    auto* search = new CountedSearch(plugin, "mine");
    search->setUrl("https://x.example/a b/%7Euser?q=");
    search->setSuffix("&t=1 2");
    plugin->addAction(search);
    EXPECT_EQ(opened("mine", "x"), "https://x.example/a%20b/%7Euser?q=x&t=1%202");
}

TEST_F(SearchActionTest, OnlyTextPropertiesAreSearched) {
    VAction* yahoo = core->getAction("yahoo", false);
    VProperty text(VProperty::TextType, "hello");
    VProperty url(VProperty::UrlType, "https://example.com/");
    EXPECT_EQ(yahoo->getActionText(&text), "Yahoo search:hello");
    ShellCapture shell;
    EXPECT_FALSE(yahoo->execute(nullptr, &url, "hello"));
    EXPECT_TRUE(yahoo->execute(nullptr, &text, "ignored"));
    ASSERT_EQ(ShellCapture::requests().size(), 1u);
    EXPECT_EQ(ShellCapture::requests()[0].file, "https://search.yahoo.com/search?p=hello");
}

TEST_F(SearchActionTest, AFirstRunRegistersFifteenHttpsEnginesWithTheirIcons) {
    EXPECT_EQ(keywords(),
              (std::vector<std::string>{"google", "gmaps", "yahoo", "wiki", "cl", "ebay", "imdb", "utube",
                                        "myspace", "msdn", "amazon", "dict", "accu", "thes", "cp"}));
    for (VSearchAction* action : plugin->getActions()) {
        EXPECT_TRUE(plugin->isRegistered(action)) << action->getKeyword();
        EXPECT_EQ(action->getUrl().compare(0, 8, "https://"), 0) << action->getUrl();
        EXPECT_EQ(action->getUrl().find("&amp;"), std::string::npos) << action->getUrl();
        EXPECT_NE(action->getIcon(), nullptr) << action->getIconPath();
        EXPECT_GE(plugin->findIcon(action->getIconPath()), 0) << action->getIconPath();
    }
    EXPECT_EQ(plugin->getActions()[13]->getIconPath(), imagesFolder() + "dictionary.ico");
    EXPECT_EQ(ImageList_GetImageCount(plugin->getImageList()), 13);
    EXPECT_EQ(plugin->findIcon(vx::lowered(imagesFolder()) + "GOOGLE.ICO"),
              plugin->findIcon(imagesFolder() + "google.ico"));
}

TEST_F(SearchActionTest, SearchesSurviveTheFileAndStoredAddressesStayAsWritten) {
    VSearchAction* first = plugin->getActions()[0];
    first->setUrl("http://old.example/find?a=1&amp;q="); // an address a user's file kept
    first->setSuffix("");
    first->setIconPath("");
    plugin->removeAction(plugin->getActions()[1]);
    std::vector<std::vector<std::string>> before;
    for (VSearchAction* a : plugin->getActions())
        before.push_back(fields(a));
    reloadThroughFile();
    std::vector<std::vector<std::string>> after;
    for (VSearchAction* a : plugin->getActions())
        after.push_back(fields(a));
    EXPECT_EQ(after, before);
    EXPECT_EQ(plugin->getActions()[0]->getIcon(), nullptr);
    EXPECT_NE(plugin->getActions()[1]->getIcon(), nullptr);
}

namespace {

// The plug-in over an image list that refuses the icons of some files.
class RefusingWebqueryPlugin : public VWebqueryPlugin {
public:
    using VWebqueryPlugin::VWebqueryPlugin;
    std::set<int> refusedCalls; // by the order in which icons are added, from 0
protected:
    int addIcon(HIMAGELIST list, HICON icon) override {
        return refusedCalls.count(calls++) ? -1 : VWebqueryPlugin::addIcon(list, icon);
    }

private:
    int calls = 0;
};

// The image as the list draws it over a grey background.
std::vector<uint32_t> drawn(HIMAGELIST list, int index) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 16;
    info.bmiHeader.biHeight = -16;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    std::vector<uint32_t> pixels(16 * 16, 0x00808080u);
    std::memcpy(bits, pixels.data(), pixels.size() * sizeof(uint32_t));
    ::ImageList_Draw(list, index, dc, 0, 0, ILD_NORMAL);
    ::GdiFlush();
    std::memcpy(pixels.data(), bits, pixels.size() * sizeof(uint32_t));
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::DeleteObject(bitmap);
    return pixels;
}

} // namespace

TEST_F(WebqueryTest, AnIconTheImageListRefusesKeepsItsPlaceForTheIconsAfterIt) {
    RefusingWebqueryPlugin refusing(imagesFolder());
    refusing.refusedCalls = {0};
    HIMAGELIST list = refusing.getImageList();
    HIMAGELIST whole = plugin->getImageList();
    const int files = static_cast<int>(plugin->getIconFiles().size());
    ASSERT_GE(files, 2);
    ASSERT_EQ(refusing.getIconFiles(), plugin->getIconFiles());
    EXPECT_EQ(ImageList_GetImageCount(list), files);
    for (int i = 1; i < files; ++i)
        EXPECT_EQ(drawn(list, i), drawn(whole, i)) << "the icon of " << plugin->getIconFiles()[i];
    EXPECT_NE(drawn(list, 0), drawn(whole, 0)) << "a blank in the refused one's place";
}

TEST_F(WebqueryTest, AWebqueryNodeIsReadAsItStands) {
    VPreferencesNode* root = VPreferencesNode::createInstance("PluginMgr");
    VPreferencesNode* mine = VPreferencesNode::createInstance("Webquery");
    root->addChild(mine);
    plugin->loadPrefs(root);
    EXPECT_TRUE(plugin->getActions().empty()) << "no searches, and no defaults either";

    VPreferencesNode* other = VPreferencesNode::createInstance("Other");
    other->setParam("SearchKeyword", "nope");
    VPreferencesNode* partial = VPreferencesNode::createInstance("SearchAction");
    partial->setParam("SearchKeyword", "part");
    mine->addChild(other);
    mine->addChild(partial);
    plugin->loadPrefs(root);
    root->deleteThis();
    ASSERT_EQ(keywords(), std::vector<std::string>{"part"});
    EXPECT_EQ(fields(plugin->getActions()[0]), (std::vector<std::string>{"", "part", "", "", "", ""}));
    EXPECT_EQ(core->getAction("part", false), plugin->getActions()[0]);
}

TEST_F(WebqueryTest, ASearchRefusedForItsKeywordIsKeptSavedAndDestroyedByThePlugin) {
    VAction* builtinCopy = core->getAction("copy", false);
    auto* refused = new CountedSearch(plugin, "copy");
    plugin->addAction(refused);
    EXPECT_FALSE(plugin->isRegistered(refused));
    EXPECT_EQ(core->getAction("copy", false), builtinCopy);
    VPreferencesNode* root = saved();
    EXPECT_EQ(root->getChild("Webquery")->getNumChildren(), 1);
    root->deleteThis();

    auto* second = new CountedSearch(plugin, "copy");
    plugin->addAction(second);
    second->setKeyword("copy2");
    plugin->actionEdited(second);
    EXPECT_TRUE(plugin->isRegistered(second)) << "offered again once its keyword is free";
    EXPECT_EQ(core->getAction("copy2", false), second);

    dropPlugin();
    EXPECT_EQ(CountedSearch::destroyed(), 2) << "the refused one by the plug-in, the other by the core";
    EXPECT_EQ(core->getAction("copy", false), builtinCopy);
}

TEST_F(WebqueryTest, AKeywordEditedToOneInUseIsRefusedLikeAnAddedOne) {
    auto* alpha = new CountedSearch(plugin, "alpha");
    auto* beta = new CountedSearch(plugin, "beta");
    plugin->addAction(alpha);
    plugin->addAction(beta);
    const int registered = core->getNumActions();
    beta->setKeyword("alpha");
    plugin->actionEdited(beta);
    EXPECT_FALSE(plugin->isRegistered(beta)) << "two actions hold one keyword";
    EXPECT_EQ(core->getAction("alpha", false), alpha);
    EXPECT_EQ(core->getNumActions(), registered - 1);
    VPreferencesNode* root = saved();
    EXPECT_EQ(root->getChild("Webquery")->getNumChildren(), 2) << "kept and saved all the same";
    root->deleteThis();

    beta->setKeyword("copy");
    plugin->actionEdited(beta);
    EXPECT_FALSE(plugin->isRegistered(beta)) << "the built-in copy action holds that one";
    beta->setKeyword("beta2");
    plugin->actionEdited(beta);
    EXPECT_TRUE(plugin->isRegistered(beta));
    EXPECT_EQ(core->getAction("beta2", false), beta);
    dropPlugin();
    EXPECT_EQ(CountedSearch::destroyed(), 2);
}

TEST_F(WebqueryTest, RemovingASearchTakesItsShortcutAndDefaultEntriesAndDestroysIt) {
    auto* search = new CountedSearch(plugin, "zz");
    auto* refused = new CountedSearch(plugin, "zz");
    plugin->addAction(search);
    plugin->addAction(refused);
    core->setShortcut("z", search);
    core->setDefaultAction(VProperty::NameType, search);

    plugin->removeAction(search);
    EXPECT_EQ(CountedSearch::destroyed(), 1);
    EXPECT_EQ(core->getAction("z", true), nullptr);
    EXPECT_EQ(core->getAction("zz", false), nullptr);
    EXPECT_EQ(core->getDefaultAction(VProperty::NameType), nullptr);

    plugin->removeAction(refused);
    EXPECT_EQ(CountedSearch::destroyed(), 2);
    EXPECT_TRUE(plugin->getActions().empty());
    plugin->removeAction(refused); // no longer listed: nothing happens
    EXPECT_EQ(CountedSearch::destroyed(), 2);
}
