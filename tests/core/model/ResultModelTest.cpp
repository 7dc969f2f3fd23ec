#include "support/CoreFixture.h"

#include "model/VBuiltinActions.h"

#include <windows.h>

#include <stdexcept>
#include <thread>

namespace {

class TwoPropertyResult : public VResult {
public:
    TwoPropertyResult(VPlugin* plugin, const std::string& a, const std::string& b)
        : VResult(plugin), first(VProperty::FileType, a), second(VProperty::TextType, b) {
        addProperty(&first);
        addProperty(&second);
    }
    std::string getDisplayText() const override { return first.getValue(); }
    std::string getDisplayText1() const override { return first.getValue(); }
    std::string getDisplayText2() const override { return second.getValue(); }
    bool select() override { return false; }
    VProperty first, second;
};

class EmptyResult : public VResult {
public:
    EmptyResult() : VResult(nullptr) {}
    std::string getDisplayText() const override { return "Mmmm"; }
    std::string getDisplayText1() const override { return "Mmmm"; }
    std::string getDisplayText2() const override { return "Mmmm"; }
    bool select() override { return false; }
};

} // namespace

TEST(ResultModel, PropertyIndexErrorsThrowInvalidArgument) {
    EmptyResult empty;
    EXPECT_EQ(empty.getPropertyCount(), 0);
    EXPECT_THROW(empty.getDefaultProperty(), std::invalid_argument);
    TwoPropertyResult r(nullptr, "a", "b");
    EXPECT_THROW(r.getProperty(-1), std::invalid_argument);
    EXPECT_THROW(r.getProperty(2), std::invalid_argument);
    EXPECT_EQ(r.getProperty(1), &r.second);
    EXPECT_EQ(r.getDefaultProperty(), &r.first);
}

TEST(ResultModel, InvalidArgumentCrossesFromTheCoreIntoAnotherModule) {
    // Thrown inside VerbinoxCore.dll, caught in the fakes DLL's object's caller here: with a static GCC
    // runtime this aborts on i686.
    FakeResult fake(nullptr, "x");
    bool caught = false;
    try {
        fake.getProperty(5);
    } catch (const std::invalid_argument&) {
        caught = true;
    }
    EXPECT_TRUE(caught);
}

TEST(ResultModel, DestroyingAResultLeavesItsPropertiesAlone) {
    VProperty* external = new VProperty(VProperty::UrlType, "http://x/");
    auto* result = new EmptyResult();
    result->addProperty(external);
    result->deleteThis();
    EXPECT_EQ(external->getValue(), "http://x/");
    external->deleteThis();
}

TEST(ResultModel, CopyFromCopiesValuesAndIconButKeepsPluginAndTypes) {
    FakePlugin pa, pb;
    TwoPropertyResult a(&pa, "a1", "a2"), b(&pb, "b1", "b2");
    HICON icon = VProperty::iconForPropertyType(VProperty::UrlType);
    a.setIcon(icon);
    b.copyFrom(a);
    EXPECT_EQ(b.first.getValue(), "a1");
    EXPECT_EQ(b.second.getValue(), "a2");
    EXPECT_EQ(b.getIcon(), icon);
    EXPECT_EQ(b.getPlugin(), &pb);
    EXPECT_EQ(b.second.getPropertyType(), VProperty::TextType);
    FakeResult shorter(nullptr, "s");
    EXPECT_THROW(shorter.copyFrom(a), std::invalid_argument) << "the target lacks a second property";
}

TEST(ResultModel, PropertyEqualityValidityAndIcons) {
    VProperty a(VProperty::TextType, "Hello"), b(VProperty::TextType, "hello");
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(a == VProperty(VProperty::TextType, "Hello"));
    EXPECT_FALSE(a == VProperty(VProperty::NameType, "Hello"));
    EXPECT_FALSE(VProperty(VProperty::TextType, "").isValid());
    EXPECT_NE(VProperty::iconForPropertyType(VProperty::EmailType), nullptr);
    EXPECT_EQ(VProperty::iconForPropertyType(VProperty::EmailType), VProperty::s_emailTypeIcon);
    EXPECT_EQ(
        VProperty::iconForPropertyType(static_cast<PropertyType>(VProperty::TextType | VProperty::FileType)),
        nullptr);
    for (HICON h : {VProperty::s_textTypeIcon, VProperty::s_fileTypeIcon, VProperty::s_urlTypeIcon,
                    VProperty::s_nameTypeIcon, VProperty::s_addressTypeIcon, VProperty::s_phoneTypeIcon,
                    VProperty::s_imTypeIcon})
        EXPECT_NE(h, nullptr);
}

TEST(ResultModel, ActionsSupportTypesByMask) {
    VCopyAction copy;
    for (unsigned bit = 2; bit <= 256; bit <<= 1)
        EXPECT_TRUE(copy.isTypeSupported(bit));
    EXPECT_TRUE(copy.isTypeSupported(VProperty::FileType | VProperty::UrlType));
    VRunAction run;
    EXPECT_FALSE(run.isTypeSupported(VProperty::NameType));
    EXPECT_TRUE(run.isTypeSupported(VProperty::UrlType | VProperty::NameType));
    EXPECT_EQ(run.getElementType(), VElement::ActionElement);
    EXPECT_EQ(run.getDisplayText2(), "Run Command Line");
    EXPECT_NE(run.getIcon(), nullptr);
}

namespace {

// Counts the pixels of a colour in a 32-bit DIB.
int countColour(const DWORD* bits, int n, COLORREF c) {
    DWORD want = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    int count = 0;
    for (int i = 0; i < n; ++i)
        count += (bits[i] & 0xFFFFFF) == want;
    return count;
}

} // namespace

using ElementDrawing = CoreTest;

TEST_F(ElementDrawing, SelectedElementsUseTheHighlightColourOnBothLines) {
    LOGFONTA lf{};
    lf.lfHeight = -14;
    lf.lfQuality = NONANTIALIASED_QUALITY;
    lstrcpyA(lf.lfFaceName, "Tahoma");
    core->setFont1(&lf);
    core->setFont2(&lf);
    const COLORREF red = RGB(255, 0, 0), blue = RGB(0, 0, 255);
    core->setTextColor1(red);
    core->setTextColor2(blue);

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 200;
    info.bmiHeader.biHeight = -40;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = ::CreateCompatibleDC(nullptr);
    HBITMAP bmp = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bmp, nullptr);
    HGDIOBJ old = ::SelectObject(dc, bmp);
    ::SetBkMode(dc, TRANSPARENT);
    RECT item{0, 0, 200, 40}, icon{0, 0, 16, 16}, line1{20, 0, 200, 20}, line2{20, 20, 200, 40};
    EmptyResult element;

    element.draw(dc, item, icon, line1, line2, false, true);
    ::GdiFlush();
    const DWORD* px = static_cast<const DWORD*>(bits);
    EXPECT_GT(countColour(px, 200 * 20, red), 0);
    EXPECT_GT(countColour(px + 200 * 20, 200 * 20, blue), 0);
    EXPECT_EQ(::GetTextColor(dc), RGB(0, 0, 0)) << "the previous colour is restored";

    std::fill(static_cast<DWORD*>(bits), static_cast<DWORD*>(bits) + 200 * 40, 0);
    element.draw(dc, item, icon, line1, line2, true, true);
    ::GdiFlush();
    COLORREF highlight = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
    EXPECT_EQ(countColour(px, 200 * 40, red), 0);
    EXPECT_EQ(countColour(px, 200 * 40, blue), 0);
    EXPECT_GT(countColour(px, 200 * 20, highlight), 0);
    EXPECT_GT(countColour(px + 200 * 20, 200 * 20, highlight), 0);

    ::SelectObject(dc, old);
    ::DeleteObject(bmp);
    ::DeleteDC(dc);
}

TEST(ResultModel, PropertyIconsLoadOnceWhenManyThreadsBuildTheFirstProperties) {
    std::vector<std::thread> threads;
    std::vector<HICON> seen(8);
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&seen, i] { seen[i] = VProperty(VProperty::FileType, "x").getIcon(); });
    for (std::thread& t : threads)
        t.join();
    for (HICON h : seen) {
        EXPECT_NE(h, nullptr);
        EXPECT_EQ(h, seen[0]);
    }
}
