#include "model/VPreferences.h"
#include "util/SafeFile.h"
#include "util/XmlTree.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

namespace {

struct NodeDeleter {
    void operator()(VPreferencesNode* node) const { node->deleteThis(); }
};
using NodePtr = std::unique_ptr<VPreferencesNode, NodeDeleter>;

NodePtr makeNode(const char* name) {
    return NodePtr(VPreferencesNode::createInstance(name));
}

VPreferencesNode* addChild(VPreferencesNode* parent, const char* name) {
    VPreferencesNode* child = VPreferencesNode::createInstance(name);
    parent->addChild(child);
    return child;
}

std::string getText(const VPreferencesNode* node, const char* key) {
    std::string value = "<missing>";
    node->getParam(key, value);
    return value;
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

bool exists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Text in the active code page made from UTF-16, so the test holds whatever page Wine runs with.
std::string fromWide(const wchar_t* text) {
    int size = ::WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text, -1, &result[0], size, nullptr, nullptr);
    result.resize(static_cast<std::size_t>(size) - 1);
    return result;
}

// A fresh folder under %TEMP% per test, emptied and removed afterwards.
class PreferencesFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH + 1];
        ASSERT_NE(0u, ::GetTempPathA(sizeof temp, temp));
        folder = std::string(temp) + "vx-prefs-" + std::to_string(::GetCurrentProcessId()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + "\\";
        ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
        path = folder + "Verbinox.xml";
    }
    void TearDown() override {
        WIN32_FIND_DATAA found;
        HANDLE search = ::FindFirstFileA((folder + "*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                ::SetFileAttributesA((folder + found.cFileName).c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileA((folder + found.cFileName).c_str());
            } while (::FindNextFileA(search, &found));
            ::FindClose(search);
        }
        ::RemoveDirectoryA(folder.c_str());
    }

    // The tree the program writes on exit, in small.
    static NodePtr makeRealisticTree() {
        NodePtr root = makeNode("Verbinox");
        VPreferencesNode* window = addChild(root.get(), "Window");
        window->setParam("Left", -1200);
        window->setParam("Top", 80);
        window->setParam("HotKeyModifier", 2u);
        window->setParam("HotKey", 32u);
        window->setParam("ShowIcons", true);
        VPreferencesNode* core = addChild(root.get(), "Core");
        core->setParam("LiveSearching", false);
        core->setParam("MinSearchChars", 3);
        VPreferencesNode* plugins = addChild(core, "PluginMgr");
        VPreferencesNode* diskdex = addChild(plugins, "Diskdex");
        VPreferencesNode* folderNode = addChild(diskdex, "Folder");
        folderNode->setParam("Path", "C:\\Users\\Public\\Documents\\");
        folderNode->setParam("Include", "*.doc;*.txt");
        addChild(diskdex, "Folder")->setParam("Path", "%STARTMENU%");
        addChild(plugins, "Webquery")->setParam("Engines", 15);
        VPreferencesNode* shortcuts = addChild(core, "ShortcutMgr");
        VPreferencesNode* shortcut = addChild(shortcuts, "Shortcut");
        shortcut->setParam("Text", "np");
        shortcut->setParam("Keyword", "notepad");
        VPreferencesNode* fonts = addChild(core, "Fonts");
        const unsigned char logFont[] = {0xF3, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
                                         0x90, 0x01, 0x54, 0x61, 0x68, 0x00};
        fonts->setParam("Font", logFont, sizeof logFont);
        fonts->setParam("TextColor", 0x00FF8000u);
        return root;
    }

    std::string folder;
    std::string path;
};

// ---- typed parameters ----

TEST(PreferencesNodeParams, BoolIsTrueOnlyForTheExactTextTrue) {
    NodePtr node = makeNode("Core");
    bool value = true;
    node->setParam("Flag", false);
    EXPECT_EQ("false", getText(node.get(), "Flag"));
    EXPECT_TRUE(node->getParam("Flag", value));
    EXPECT_FALSE(value);
    node->setParam("Flag", std::string("True"));
    EXPECT_TRUE(node->getParam("Flag", value));
    EXPECT_FALSE(value);
    node->setParam("Flag", true);
    EXPECT_TRUE(node->getParam("Flag", value));
    EXPECT_TRUE(value);
}

TEST(PreferencesNodeParams, IntIsDecimalAndReadLikeAtoi) {
    NodePtr node = makeNode("Core");
    int value = 0;
    node->setParam("N", -42);
    EXPECT_EQ("-42", getText(node.get(), "N"));
    node->setParam("Blanks", "  +17px");
    EXPECT_TRUE(node->getParam("Blanks", value));
    EXPECT_EQ(17, value);
    node->setParam("Word", "abc");
    EXPECT_TRUE(node->getParam("Word", value));
    EXPECT_EQ(0, value);
    node->setParam("Huge", "99999999999");
    EXPECT_TRUE(node->getParam("Huge", value));
    EXPECT_EQ(INT_MAX, value);
    value = 7;
    EXPECT_FALSE(node->getParam("Missing", value));
    EXPECT_EQ(7, value);
}

TEST(PreferencesNodeParams, UnsignedIsWrittenSignedAndReadBackBitForBit) {
    NodePtr node = makeNode("Core");
    unsigned int value = 1;
    node->setParam("Color", 4294967295u);
    EXPECT_EQ("-1", getText(node.get(), "Color"));
    EXPECT_TRUE(node->getParam("Color", value));
    EXPECT_EQ(4294967295u, value);
    node->setParam("HandWritten", "4294967295");
    EXPECT_TRUE(node->getParam("HandWritten", value));
    EXPECT_EQ(4294967295u, value);
    value = 5;
    EXPECT_FALSE(node->getParam("Missing", value));
    EXPECT_EQ(0u, value);
}

TEST(PreferencesNodeParams, StringLiteralIsStoredAsItsText) {
    NodePtr node = makeNode("Core");
    node->setParam("Browser", "C:\\Program Files\\Opera\\opera.exe");
    EXPECT_EQ("C:\\Program Files\\Opera\\opera.exe", getText(node.get(), "Browser"));
    node->setParam("Browser", "");
    EXPECT_EQ("", getText(node.get(), "Browser"));
    std::string untouched = "keep";
    EXPECT_FALSE(node->getParam("browser", untouched));
    EXPECT_EQ("keep", untouched);
}

TEST(PreferencesNodeParams, BinaryIsLowercaseHexAndReadsEitherCase) {
    NodePtr node = makeNode("Fonts");
    const unsigned char bytes[] = {0x00, 0xAB, 0x10};
    node->setParam("Font", bytes, 3u);
    EXPECT_EQ("00ab10", getText(node.get(), "Font"));
    node->setParam("Upper", "00AB10");
    unsigned char* data = nullptr;
    unsigned int length = 0;
    ASSERT_TRUE(node->getParam("Upper", &data, &length));
    ASSERT_EQ(3u, length);
    EXPECT_EQ(0, memcmp(bytes, data, 3));
    delete[] data;
    node->setParam("Empty", bytes, 0u);
    data = nullptr;
    ASSERT_TRUE(node->getParam("Empty", &data, &length));
    EXPECT_EQ(0u, length);
    EXPECT_NE(nullptr, data);
    delete[] data;
}

TEST(PreferencesNodeParams, BinaryRefusesOddLengthAndNonHexPairs) {
    NodePtr node = makeNode("Fonts");
    unsigned char sentinel = 0x5A;
    for (const char* text : {"abc", "0g", "zz10", " 1", "+1", "0x", "1-"}) {
        node->setParam("Font", text);
        unsigned char* data = &sentinel;
        unsigned int length = 99;
        EXPECT_FALSE(node->getParam("Font", &data, &length)) << text;
        EXPECT_EQ(&sentinel, data) << text;
        EXPECT_EQ(99u, length) << text;
    }
    EXPECT_EQ(0x5A, sentinel);
}

TEST(PreferencesNodeTree, ChildrenAreFoundByExactNameOrIndex) {
    NodePtr root = makeNode("Verbinox");
    VPreferencesNode* first = addChild(root.get(), "Folder");
    VPreferencesNode* second = addChild(root.get(), "Folder");
    EXPECT_EQ(2, root->getNumChildren());
    EXPECT_EQ(first, root->getChild("Folder"));
    EXPECT_EQ(second, root->getChild(1));
    EXPECT_EQ(nullptr, root->getChild("folder"));
    EXPECT_THROW(root->getChild(2), std::invalid_argument);
    EXPECT_THROW(root->getChild(-1), std::invalid_argument);
}

TEST(PreferencesNodeTree, LoadOfAnElementWithAnotherNameFailsAndClearsParams) {
    NodePtr node = makeNode("Core");
    node->setParam("Old", 1);
    vx::XmlElement element("core");
    element.setAttribute("New", "2");
    EXPECT_FALSE(node->load(element));
    EXPECT_EQ("<missing>", getText(node.get(), "Old"));
    EXPECT_EQ("<missing>", getText(node.get(), "New"));
}

// ---- the file ----

TEST_F(PreferencesFileTest, SmallTreeIsPrintedInTheDocumentedForm) {
    NodePtr root = makeNode("Verbinox");
    VPreferencesNode* window = addChild(root.get(), "Window");
    window->setParam("Y", 20);
    window->setParam("X", 10);
    window->setParam("X", 11); // set twice, written once
    VPreferencesNode* core = addChild(root.get(), "Core");
    core->setParam("LiveSearching", true);
    addChild(core, "PluginMgr");
    ASSERT_TRUE(VPreferences::save(path, root.get()));
    EXPECT_EQ("<Verbinox>\r\n"
              "    <Verbinox>\r\n"
              "        <Window X=\"11\" Y=\"20\" />\r\n"
              "        <Core LiveSearching=\"true\">\r\n"
              "            <PluginMgr />\r\n"
              "        </Core>\r\n"
              "    </Verbinox>\r\n"
              "</Verbinox>\r\n",
              readBytes(path));
    EXPECT_FALSE(exists(path + ".tmp"));
}

TEST_F(PreferencesFileTest, RealisticTreeRoundTripsThroughTheFile) {
    NodePtr original = makeRealisticTree();
    ASSERT_TRUE(VPreferences::save(path, original.get()));
    std::string firstText = readBytes(path);

    NodePtr loaded(VPreferences::load(path));
    ASSERT_NE(nullptr, loaded);
    EXPECT_EQ("Verbinox", loaded->getName());
    ASSERT_EQ(1, loaded->getNumChildren());
    VPreferencesNode* saved = loaded->getChild("Verbinox");
    ASSERT_NE(nullptr, saved);
    ASSERT_EQ(2, saved->getNumChildren());
    EXPECT_EQ("Window", saved->getChild(0)->getName());
    VPreferencesNode* core = saved->getChild(1);
    ASSERT_EQ(3, core->getNumChildren());
    int left = 0;
    EXPECT_TRUE(saved->getChild(0)->getParam("Left", left));
    EXPECT_EQ(-1200, left);
    VPreferencesNode* diskdex = core->getChild("PluginMgr")->getChild("Diskdex");
    ASSERT_EQ(2, diskdex->getNumChildren());
    EXPECT_EQ("C:\\Users\\Public\\Documents\\", getText(diskdex->getChild(0), "Path"));
    EXPECT_EQ("%STARTMENU%", getText(diskdex->getChild(1), "Path"));
    unsigned char* font = nullptr;
    unsigned int length = 0;
    ASSERT_TRUE(core->getChild("Fonts")->getParam("Font", &font, &length));
    EXPECT_EQ(12u, length);
    delete[] font;

    // Saving the loaded tree's saved node again gives the same file, byte for byte.
    ASSERT_TRUE(VPreferences::save(path, saved));
    EXPECT_EQ(firstText, readBytes(path));
}

TEST_F(PreferencesFileTest, SpecialCharactersAndNonAsciiTextRoundTrip) {
    const std::string awkward = "a&b <c> \"q\" 'a' tab\there\r\nnext  two  blanks ";
    const std::string french = fromWide(L"\u00e9t\u00e9 \u00e0 No\u00ebl");
    NodePtr root = makeNode("Verbinox");
    VPreferencesNode* node = addChild(root.get(), "Core");
    node->setParam("Awkward", awkward);
    node->setParam("French", french);
    ASSERT_TRUE(VPreferences::save(path, root.get()));

    std::string text = readBytes(path);
    EXPECT_NE(std::string::npos,
              text.find("Awkward=\"a&amp;b &lt;c&gt; &quot;q&quot; 'a' tab&#x9;here&#xD;&#xA;"));
    EXPECT_NE(std::string::npos, text.find("French=\"\xC3\xA9t\xC3\xA9 \xC3\xA0 No\xC3\xABl\"")); // UTF-8

    NodePtr loaded(VPreferences::load(path));
    ASSERT_NE(nullptr, loaded);
    VPreferencesNode* core = loaded->getChild("Verbinox")->getChild("Core");
    EXPECT_EQ(awkward, getText(core, "Awkward"));
    EXPECT_EQ(french, getText(core, "French"));
}

TEST_F(PreferencesFileTest, ControlCharacterInAValueDoesNotMakeTheFileUnreadable) {
    NodePtr root = makeNode("Verbinox");
    addChild(root.get(), "Core")
        ->setParam("Odd", std::string("a\x01"
                                      "b\x1f"
                                      "c"));
    ASSERT_TRUE(VPreferences::save(path, root.get()));
    NodePtr loaded(VPreferences::load(path));
    ASSERT_NE(nullptr, loaded);
    EXPECT_EQ("abc", getText(loaded->getChild("Verbinox")->getChild("Core"), "Odd"));
}

TEST_F(PreferencesFileTest, HandEditedFileWithDeclarationAndCommentsLoads) {
    writeBytes(path,
               "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
               "<!-- edited by hand -->\r\n"
               "<Verbinox>\n"
               "  <Verbinox>\n"
               "    <!-- the search options -->\n"
               "    <Core LiveSearching='true' Browser=\"C:\\a &amp; b\\x.exe\" Name=\"&#xE9;\">stray text\n"
               "      <?pi ignored?><PluginMgr></PluginMgr>\n"
               "    </Core>\n"
               "  </Verbinox>\n"
               "</Verbinox>\n");
    NodePtr loaded(VPreferences::load(path));
    ASSERT_NE(nullptr, loaded);
    VPreferencesNode* core = loaded->getChild("Verbinox")->getChild("Core");
    ASSERT_NE(nullptr, core);
    EXPECT_EQ("true", getText(core, "LiveSearching"));
    EXPECT_EQ("C:\\a & b\\x.exe", getText(core, "Browser"));
    EXPECT_EQ(fromWide(L"\u00e9"), getText(core, "Name"));
    ASSERT_EQ(1, core->getNumChildren());
    EXPECT_EQ("PluginMgr", core->getChild(0)->getName());
}

TEST_F(PreferencesFileTest, MissingEmptyOrMalformedFileGivesNull) {
    EXPECT_EQ(nullptr, VPreferences::load(folder + "absent.xml"));
    writeBytes(path, "");
    EXPECT_EQ(nullptr, VPreferences::load(path));
    writeBytes(path, "<Verbinox><Verbinox><Core></Verbinox></Verbinox>");
    EXPECT_EQ(nullptr, VPreferences::load(path));
    writeBytes(path, "<Verbinox><Core a=\"1\" a=\"2\"");
    EXPECT_EQ(nullptr, VPreferences::load(path));
    // Cut short, as after a full disk or an editor that crashed while saving: the file ends after the
    // Fonts node, with the nodes around it still open.
    ASSERT_TRUE(VPreferences::save(path, makeRealisticTree().get()));
    const std::string whole = readBytes(path);
    writeBytes(path, whole.substr(0, whole.find('\n', whole.find("<Fonts")) + 1));
    EXPECT_EQ(nullptr, VPreferences::load(path));
}

TEST_F(PreferencesFileTest, FileWithoutElementsGivesRootWithoutChildren) {
    for (const char* text : {"<!-- nothing yet -->", "<?xml version=\"1.0\"?>"}) {
        writeBytes(path, text);
        NodePtr loaded(VPreferences::load(path));
        ASSERT_NE(nullptr, loaded) << text;
        EXPECT_EQ("Verbinox", loaded->getName());
        EXPECT_EQ(0, loaded->getNumChildren()) << text;
    }
}

TEST_F(PreferencesFileTest, SaveOverATargetHeldOpenFailsAndKeepsTheOldFile) {
    NodePtr root = makeRealisticTree();
    ASSERT_TRUE(VPreferences::save(path, root.get()));
    const std::string before = readBytes(path);

    root->getChild("Core")->setParam("LiveSearching", true);
    HANDLE held =
        ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_FALSE(VPreferences::save(path, root.get()));
    ::CloseHandle(held);

    EXPECT_EQ(before, readBytes(path));
    EXPECT_FALSE(exists(path + ".tmp"));
    NodePtr loaded(VPreferences::load(path));
    ASSERT_NE(nullptr, loaded);
    EXPECT_EQ("false", getText(loaded->getChild("Verbinox")->getChild("Core"), "LiveSearching"));
}

TEST_F(PreferencesFileTest, SaveThatCannotCreateItsTemporaryFailsAndKeepsTheOldFile) {
    NodePtr root = makeRealisticTree();
    ASSERT_TRUE(VPreferences::save(path, root.get()));
    const std::string before = readBytes(path);
    // A folder in the temporary's place: the file cannot be created, as in a folder without write access.
    ASSERT_TRUE(::CreateDirectoryA((path + ".tmp").c_str(), nullptr));

    root->getChild("Window")->setParam("Left", 5);
    EXPECT_FALSE(VPreferences::save(path, root.get()));
    EXPECT_EQ(before, readBytes(path));
    ::RemoveDirectoryA((path + ".tmp").c_str());
    EXPECT_FALSE(VPreferences::save(folder + "no-such-folder\\Verbinox.xml", root.get()));
    EXPECT_FALSE(exists(folder + "no-such-folder"));
}

namespace {

// A disk that fills up after a few bytes: the first write takes part of what it is given, the next
// fails as WriteFile does then.
int fullDiskWrites = 0;
BOOL WINAPI writeToFullDisk(HANDLE file, LPCVOID data, DWORD size, LPDWORD done, LPOVERLAPPED overlapped) {
    if (fullDiskWrites++ == 0)
        return ::WriteFile(file, data, size < 10 ? size : 10, done, overlapped);
    *done = 0;
    ::SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

} // namespace

TEST_F(PreferencesFileTest, ASaveThatCannotBeCompletedKeepsTheOldFileAndSaysWhy) {
    NodePtr root = makeRealisticTree();
    ASSERT_TRUE(VPreferences::save(path, root.get()));
    const std::string before = readBytes(path);
    root->getChild("Core")->setParam("LiveSearching", true);

    vx::FileWriteCall previous = vx::setFileWriteCall(&writeToFullDisk);
    const bool saved = VPreferences::save(path, root.get());
    const DWORD error = ::GetLastError();
    vx::setFileWriteCall(previous);
    EXPECT_FALSE(saved);
    EXPECT_EQ(static_cast<DWORD>(ERROR_DISK_FULL), error);
    EXPECT_EQ(2, fullDiskWrites) << "cut short, not refused outright";
    EXPECT_EQ(before, readBytes(path));

    // Windows refuses to replace a read-only file; Wine's MoveFileEx would replace it.
    ASSERT_TRUE(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(VPreferences::save(path, root.get()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), ::GetLastError());
    EXPECT_EQ(before, readBytes(path));
    EXPECT_TRUE(::GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(exists(path + ".tmp"));
}

TEST_F(PreferencesFileTest, TreeThatCannotBeWrittenAsXmlLeavesTheOldFile) {
    NodePtr root = makeRealisticTree();
    ASSERT_TRUE(VPreferences::save(path, root.get()));
    const std::string before = readBytes(path);
    VPreferencesNode* deepest = root->getChild("Core");
    for (int depth = 0; depth < vx::maxXmlDepth; ++depth)
        deepest = addChild(deepest, "Deeper");
    EXPECT_FALSE(VPreferences::save(path, root.get()));
    EXPECT_EQ(before, readBytes(path));
    EXPECT_FALSE(exists(path + ".tmp"));
}

TEST_F(PreferencesFileTest, NodesAndKeysWithoutXmlNamesAreLeftOutOfTheFile) {
    NodePtr root = makeNode("Verbinox");
    VPreferencesNode* core = addChild(root.get(), "Core");
    core->setParam("1st", 1);
    core->setParam("Kept", 2);
    addChild(core, "a b")->setParam("Lost", 3);
    addChild(core, "PluginMgr");
    ASSERT_TRUE(VPreferences::save(path, root.get()));

    NodePtr loaded(VPreferences::load(path));
    ASSERT_NE(nullptr, loaded);
    VPreferencesNode* loadedCore = loaded->getChild("Verbinox")->getChild("Core");
    EXPECT_EQ("<missing>", getText(loadedCore, "1st"));
    EXPECT_EQ("2", getText(loadedCore, "Kept"));
    ASSERT_EQ(1, loadedCore->getNumChildren());
    EXPECT_EQ("PluginMgr", loadedCore->getChild(0)->getName());
}

// Files of earlier versions and "ANSI" files of text editors hold the locale's legacy code page (1252 in
// the test process, where 0xE9 is e acute) unless they declare an encoding.
TEST_F(PreferencesFileTest, FileNotInUtf8IsReadInTheEncodingItDeclaresElseInTheLegacyCodePage) {
    for (const char* declaration :
         {"", "<?xml version=\"1.0\"?>\r\n", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n"}) {
        writeBytes(path, std::string(declaration) + "<Verbinox><Verbinox><Core Path=\"C:\\Users\\Ren\xE9\" "
                                                    "Line=\"a&#xA;b\"/></Verbinox></Verbinox>");
        NodePtr loaded(VPreferences::load(path));
        ASSERT_NE(nullptr, loaded) << declaration;
        VPreferencesNode* core = loaded->getChild("Verbinox")->getChild("Core");
        EXPECT_EQ(fromWide(L"C:\\Users\\Ren\u00e9"), getText(core, "Path")) << declaration;
        EXPECT_EQ("a\nb", getText(core, "Line")) << declaration;
    }
}

} // namespace
