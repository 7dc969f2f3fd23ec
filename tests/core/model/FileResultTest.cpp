#include "support/CoreFixture.h"
#include "support/ShellCapture.h"

#include "model/VFileResult.h"

#include <stdexcept>

namespace {

class BrowserPlugin : public FakePlugin {
public:
    std::string getBrowserPath() const override { return "C:\\Web\\surf.exe"; }
};

// Results die through deleteThis; this keeps each test's ones.
template <class T> struct Owned {
    T* p;
    explicit Owned(T* result) : p(result) {}
    ~Owned() { p->deleteThis(); }
    T* operator->() const { return p; }
};

} // namespace

using FileResults = CoreTest;

TEST_F(FileResults, FilesShowTheirNameAsWrittenAndTheWholePathBelow) {
    Owned<VFileResult> r(VFileResult::createInstance(nullptr));
    r->setFile(CPath("C:\\Docs\\Report.TXT"));
    EXPECT_EQ(r->getDisplayText(), "Report.TXT");
    EXPECT_EQ(r->getDisplayText1(), "Report.TXT");
    EXPECT_EQ(r->getDisplayText2(), "C:\\Docs\\Report.TXT");
    EXPECT_EQ(r->getFile(), "C:\\Docs\\Report.TXT");
    EXPECT_FALSE(r->isDir());
    EXPECT_EQ(r->getDefaultProperty()->getPropertyType(), VProperty::FileType);
}

TEST_F(FileResults, ShortcutsHideTheirExtensionOnBothLines) {
    Owned<VFileResult> r(VFileResult::createInstance(nullptr));
    r->setFile(std::string("C:\\Menu\\Programs\\Editor.LNK"));
    EXPECT_EQ(r->getDisplayText(), "Editor");
    EXPECT_EQ(r->getDisplayText2(), "C:\\Menu\\Programs\\Editor");
    EXPECT_EQ(r->getFile(), "C:\\Menu\\Programs\\Editor.LNK");
}

TEST_F(FileResults, FoldersShowTheirLastName) {
    Owned<VFileResult> r(VFileResult::createInstance(nullptr));
    r->setFile(std::string("C:\\Users\\Ann\\Projects\\"));
    EXPECT_TRUE(r->isDir());
    EXPECT_EQ(r->getDisplayText(), "Projects");
    EXPECT_EQ(r->getDisplayText2(), "C:\\Users\\Ann\\Projects\\");
}

TEST_F(FileResults, CopyingGivesEachResultItsOwnIcon) {
    Owned<VFileResult> a(VFileResult::createInstance(nullptr)), b(VFileResult::createInstance(nullptr));
    a->setFile(std::string("C:\\x\\a.txt"));
    a->setIcon(::CopyIcon(VProperty::iconForPropertyType(VProperty::FileType)));
    b->copyFrom(*a.p);
    EXPECT_EQ(b->getFile(), "C:\\x\\a.txt");
    EXPECT_EQ(b->getDisplayText(), "a.txt");
    ASSERT_NE(b->getIcon(), nullptr);
    EXPECT_NE(b->getIcon(), a->getIcon());
    // Destroying one (and its icon) leaves the other's icon usable.
    a->setFile(std::string("C:\\x\\b.txt"));
    EXPECT_EQ(a->getIcon(), nullptr);
    ICONINFO info{};
    EXPECT_TRUE(::GetIconInfo(b->getIcon(), &info));
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
}

TEST_F(FileResults, SelectOpensTheFileInItsOwnFolder) {
    ShellCapture shell;
    Owned<VFileResult> r(VFileResult::createInstance(nullptr));
    r->setFile(std::string("D:\\Music\\song.mp3"));
    EXPECT_TRUE(r->select());
    ASSERT_EQ(ShellCapture::requests().size(), 1u);
    EXPECT_EQ(ShellCapture::requests()[0].file, "D:\\Music\\song.mp3");
    EXPECT_EQ(ShellCapture::requests()[0].directory, "D:\\Music\\");
    ShellCapture::answer() = false;
    EXPECT_FALSE(r->select());
}

TEST_F(FileResults, UrlResultsShowTheDescriptionAboveTheUrl) {
    Owned<VUrlResult> r(VUrlResult::createInstance(nullptr));
    r->setUrl("http://example.org/");
    EXPECT_EQ(r->getDisplayText1(), "http://example.org/");
    EXPECT_EQ(r->getDisplayText2(), "http://example.org/");
    r->setDescription("Example");
    EXPECT_EQ(r->getDisplayText(), "Example");
    EXPECT_EQ(r->getDisplayText2(), "http://example.org/");
    EXPECT_EQ(r->getPropertyCount(), 1);
    EXPECT_THROW(r->getProperty(1), std::invalid_argument) << "the description is not a listed property";
    Owned<VUrlResult> copy(VUrlResult::createInstance(nullptr));
    copy->copyFrom(*r.p);
    EXPECT_EQ(copy->getDescription(), "Example");
    EXPECT_EQ(copy->getUrl(), "http://example.org/");
}

TEST_F(FileResults, UrlSelectUsesThePluginsBrowserWhenAsked) {
    ShellCapture shell;
    BrowserPlugin plugin;
    Owned<VUrlResult> r(VUrlResult::createInstance(&plugin));
    r->setUrl("http://example.org/");
    EXPECT_TRUE(r->select());
    core->setOpenUrlsInPluginsBrowser(true);
    EXPECT_TRUE(r->select());
    ASSERT_EQ(ShellCapture::requests().size(), 2u);
    EXPECT_EQ(ShellCapture::requests()[0].file, "http://example.org/");
    EXPECT_EQ(ShellCapture::requests()[1].file, "C:\\Web\\surf.exe");
    EXPECT_EQ(ShellCapture::requests()[1].parameters, "\"http://example.org/\"");
}
