#pragma once
// The settings tree of the program, the core and the plug-ins, and its XML file.
#include "VxApi.h"

#include <map>
#include <string>
#include <vector>

namespace vx {
class XmlElement;
}

// One named node of the settings tree: child nodes in the order they were added and a table of named
// text parameters. Keys and child names are compared exactly (case-sensitive).
class VX_CORE_API VPreferencesNode {
public:
    // Nodes live on the core library's heap: created here, destroyed only by deleteThis.
    static VPreferencesNode* createInstance(const char* name);
    // Destroys the node and all its descendants.
    void deleteThis();

    const std::string& getName() const { return name; }

    // Appends the child and takes ownership of it. Names need not be unique.
    void addChild(VPreferencesNode* child);
    int getNumChildren() const { return static_cast<int>(children.size()); }
    // Throws std::invalid_argument for an index outside 0..count-1.
    VPreferencesNode* getChild(int index) const;
    // The first child of that name, or null.
    VPreferencesNode* getChild(const char* childName) const;

    // Each form stores the value as text under key, replacing an earlier value.
    void setParam(const char* key, bool value);         // "true" / "false"
    void setParam(const char* key, int value);          // "%d"
    void setParam(const char* key, unsigned int value); // "%d", so 2^31 and above come out negative
    void setParam(const char* key, const std::string& value);
    // Without this a string literal would pick the bool form (pointer to bool beats a conversion to
    // std::string) and be stored as "true".
    void setParam(const char* key, const char* value);
    void setParam(const char* key, const unsigned char* data, unsigned int length); // "%02x" per byte

    // Each form returns true and fills the out argument when the key exists. On a missing key the
    // out argument is left alone, except for the unsigned form, which then sets it to 0.
    bool getParam(const char* key, bool& value) const; // true only for the exact text "true"
    bool getParam(const char* key, int& value) const;  // like atoi
    bool getParam(const char* key, unsigned int& value) const;
    bool getParam(const char* key, std::string& value) const;
    // Pairs of hex digits in either case. Text of odd length or with a non-hex character is refused
    // (false, out arguments untouched). On success *data is a new array that the caller frees with
    // delete[] (an empty one for empty text) and *length its size.
    bool getParam(const char* key, unsigned char** data, unsigned int* length) const;

    // Appends this node as an element (parameters as attributes, children as child elements) to parent.
    bool save(vx::XmlElement& parent) const;
    // Replaces this node's parameters with the element's attributes and adds its child elements as
    // child nodes. False, after reading what it could, when the element's name is not this node's.
    bool load(const vx::XmlElement& element);

private:
    explicit VPreferencesNode(const char* nodeName);
    ~VPreferencesNode();
    VPreferencesNode(const VPreferencesNode&) = delete;
    VPreferencesNode& operator=(const VPreferencesNode&) = delete;

    std::string name;
    std::vector<VPreferencesNode*> children; // owned
    // Sorted by key, so that a file is written the same way every time and diffs stay small.
    std::map<std::string, std::string> params;
};

// Reads and writes the preferences file. The file holds one top-level element named after the root,
// which holds the root node's own element: loading returns a fresh root "Verbinox" whose only child is
// the saved root, so the shape stays the same through any number of load and save cycles.
class VX_CORE_API VPreferences {
public:
    // A new tree that the caller owns (free it with deleteThis), or null when the file is missing,
    // unreadable or not well-formed XML. A file without any element gives a root without children.
    static VPreferencesNode* load(const std::string& path);
    // The same, and on failure why: the system's error code when the file could not be opened or read
    // (ERROR_FILE_NOT_FOUND when there is none; a file another program holds or that the user may not
    // read says nothing about its contents), 0 when it was read but is not well-formed XML.
    static VPreferencesNode* load(const std::string& path, unsigned long& readError);
    // Writes the tree to path through a temporary file that replaces the old file only once it is
    // complete on disk. A node or key whose name is not an XML name is left out of the file (a node
    // with everything below it). False, with the old file untouched, when anything fails, such as a
    // tree nested deeper than the file allows (ERROR_INVALID_DATA), a read-only file or a full disk:
    // GetLastError tells why.
    static bool save(const std::string& path, const VPreferencesNode* root);
};
