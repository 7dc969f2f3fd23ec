#pragma once
// A small in-memory XML tree of elements and attributes, with a reader built on the platform's XmlLite
// and a printer of our own. Only elements and attributes are kept: declarations, comments, text and
// processing instructions are skipped when reading and never printed. Names and values are narrow
// strings in the active code page; the printed file is UTF-8.
#include "VxApi.h"

#include <string>
#include <utility>
#include <vector>

namespace vx {

class VX_CORE_API XmlElement {
public:
    XmlElement() = default;
    explicit XmlElement(std::string elementName) : name(std::move(elementName)) {}

    // Appends a child and returns it; a reference that lives until the next child is added here.
    XmlElement& addChild(std::string childName);
    // Replaces the value of the attribute of that name, or appends a new one.
    void setAttribute(const std::string& key, std::string value);
    // Null when there is no attribute of that name (case-sensitive).
    const std::string* findAttribute(const std::string& key) const;

    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes; // in document order
    std::vector<XmlElement> children;
};

// Parses a whole document held in memory. Its encoding: UTF-16 or UTF-8 by byte-order mark, else the
// one the XML declaration names, else UTF-8 when the bytes are valid UTF-8, else the legacy ANSI code
// page of the user's locale (files of earlier versions and "ANSI" files of text editors). A document
// type declaration before the first element is skipped unread: nothing it names is fetched and no
// entity it defines is expanded (a reference to one makes the document unreadable). On success
// `document` (its name left empty) receives the top-level element as its only child, or no child for a
// document that holds no element, say only a declaration and comments. False for text that is not
// well-formed (including a document cut short), nested deeper than maxXmlDepth, or an empty input.
VX_CORE_API bool parseXml(const std::string& bytes, XmlElement& document);
// The same for a file; false also when the file cannot be read. readError, when given, tells which:
// the system's error code for a file that could not be opened or read (ERROR_FILE_NOT_FOUND for a
// missing one, ERROR_SHARING_VIOLATION for one another program holds), 0 for one that was read whole.
VX_CORE_API bool readXmlFile(const std::string& path, XmlElement& document,
                             unsigned long* readError = nullptr);

// Elements nested deeper than this are refused by the reader and the printer, so that a hostile file
// cannot exhaust the stack of the recursive code that walks a tree.
constexpr int maxXmlDepth = 256;

// Prints an element and everything below it: no declaration, one element per line ended by CR LF,
// four spaces of indentation per level, childless elements in the short form `<Name a="1" />`, attribute
// values in double quotes with & < > " and tab, CR and LF written as references. Text is converted from
// the active code page to UTF-8; other control characters cannot appear in XML 1.0 at all and are left
// out. An attribute, or a child element with everything below it, whose name is not an XML name is left
// out too, so that the rest can still be saved. False (text untouched) when the root's own name is not
// an XML name or the tree is deeper than maxXmlDepth.
VX_CORE_API bool printXml(const XmlElement& root, std::string& text);

} // namespace vx
