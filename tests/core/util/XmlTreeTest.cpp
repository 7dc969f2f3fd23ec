#include "util/XmlTree.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// depth levels of <n>, with inner at the bottom.
std::string nested(int depth, const std::string& inner = std::string()) {
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "<n>";
    text += inner;
    for (int i = 0; i < depth; ++i)
        text += "</n>";
    return text;
}

TEST(XmlTree, ReaderKeepsElementsAndAttributesInDocumentOrder) {
    vx::XmlElement document;
    ASSERT_TRUE(
        vx::parseXml("<?xml version=\"1.0\"?><!-- c --><r z=\"1\" a=\"&lt;&#65;&gt;\">text<b/><!-- x --><c>"
                     "<d/></c><b q=''/></r>\n<!-- after -->",
                     document));
    ASSERT_EQ(1u, document.children.size());
    const vx::XmlElement& r = document.children[0];
    EXPECT_EQ("r", r.name);
    ASSERT_EQ(2u, r.attributes.size());
    EXPECT_EQ("z", r.attributes[0].first);
    EXPECT_EQ("<A>", *r.findAttribute("a"));
    ASSERT_EQ(3u, r.children.size());
    EXPECT_EQ("b", r.children[0].name);
    EXPECT_EQ("c", r.children[1].name);
    ASSERT_EQ(1u, r.children[1].children.size());
    EXPECT_EQ("", *r.children[2].findAttribute("q"));
    EXPECT_EQ(nullptr, r.children[2].findAttribute("Q"));
}

TEST(XmlTree, ReferencesToBlanksSurviveWhileLiteralBlanksBecomeSpaces) {
    vx::XmlElement document;
    ASSERT_TRUE(vx::parseXml(
        "<!-- &#xA; --><r a=\"1&#9;2&#10;3&#x0D;4&#x00a;5\" b=\"1\t2\n3\" c=\"&amp;#xA;\"/>", document));
    const vx::XmlElement& r = document.children.at(0);
    EXPECT_EQ("1\t2\n3\r4\n5", *r.findAttribute("a"));
    EXPECT_EQ("1 2 3", *r.findAttribute("b"));
    EXPECT_EQ("&#xA;", *r.findAttribute("c"));
}

TEST(XmlTree, NestingDeeperThanTheLimitIsRefusedByReaderAndPrinter) {
    vx::XmlElement document;
    EXPECT_TRUE(vx::parseXml(nested(vx::maxXmlDepth), document));
    EXPECT_FALSE(vx::parseXml(nested(vx::maxXmlDepth + 1), document));
    EXPECT_FALSE(vx::parseXml(nested(vx::maxXmlDepth, "<n/>"), document));

    vx::XmlElement root("n");
    vx::XmlElement* deepest = &root;
    for (int i = 1; i < vx::maxXmlDepth; ++i)
        deepest = &deepest->addChild("n");
    std::string text;
    EXPECT_TRUE(vx::printXml(root, text));
    deepest->addChild("n");
    EXPECT_FALSE(vx::printXml(root, text));
}

TEST(XmlTree, PrinterLeavesOutWhatIsNotNamedByAnXmlNameButRefusesSuchARoot) {
    std::string text;
    // "a\xD7b" holds the multiplication sign of code page 1252, which no XML name may hold.
    for (const char* name : {"", "1st", "a b", "a<b", "-x",
                             "a\xD7"
                             "b"}) {
        vx::XmlElement element(name);
        EXPECT_FALSE(vx::printXml(element, text)) << name;
        vx::XmlElement holder("Core");
        holder.setAttribute(name, "v");
        holder.setAttribute("Kept", "1");
        holder.addChild(name).addChild("Below");
        holder.addChild("Folder");
        ASSERT_TRUE(vx::printXml(holder, text)) << name;
        EXPECT_EQ("<Core Kept=\"1\">\r\n    <Folder />\r\n</Core>\r\n", text) << name;
        holder.children.pop_back();
        ASSERT_TRUE(vx::printXml(holder, text)) << name;
        EXPECT_EQ("<Core Kept=\"1\" />\r\n", text) << name;
    }
    vx::XmlElement fine("Plugin_Mgr-2.x");
    fine.setAttribute("ns:Key", "1");
    fine.setAttribute("ns:Key", "2");
    ASSERT_TRUE(vx::printXml(fine, text));
    EXPECT_EQ("<Plugin_Mgr-2.x ns:Key=\"2\" />\r\n", text);
}

TEST(XmlTree, BlanksBeforeTheFirstElementAreAllowed) {
    vx::XmlElement document;
    ASSERT_TRUE(vx::parseXml("\r\n\t<r a=\"1\"/>", document));
    EXPECT_EQ("r", document.children.at(0).name);
}

TEST(XmlTree, DocumentTypeDeclarationIsSkippedUnread) {
    vx::XmlElement document;
    // Port 1 on the loopback refuses connections: fetching the DTD would fail the parse.
    ASSERT_TRUE(vx::parseXml("<?xml version=\"1.0\"?><!-- x -->\n"
                             "<!DOCTYPE Verbinox SYSTEM \"http://127.0.0.1:1/x.dtd\">\n<Verbinox a=\"1\"/>",
                             document));
    EXPECT_EQ("1", *document.children.at(0).findAttribute("a"));
    ASSERT_TRUE(vx::parseXml(
        "<!DOCTYPE Verbinox [\n  <!-- ]> ' --> <?pi ]>?>\n"
        "  <!ATTLIST Verbinox a CDATA \"]>\"> <!ENTITY e '\"]>'>\n]>\n<Verbinox><Core/></Verbinox>",
        document));
    EXPECT_EQ("Core", document.children.at(0).children.at(0).name);
}

TEST(XmlTree, EntityOfASkippedDocumentTypeIsNotExpandedButRefused) {
    vx::XmlElement document;
    EXPECT_FALSE(vx::parseXml("<!DOCTYPE V [<!ENTITY e \"boom\">]>\n<V a=\"&e;\"/>", document));
}

} // namespace
