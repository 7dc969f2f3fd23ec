#pragma once
// A small pull tokenizer for HTML and XML text. The caller hands it characters through an instream and
// calls get_token until EndOfInput (or ErrorToken); the name and value of each token are read with
// get_tag_name, get_attr_name and get_value. It keeps no tree and does not validate; unknown entity
// references are kept as text.
//
// Memory stays bounded whatever the input: text runs, comments, CDATA sections and entity declarations
// come in chunks of at most ChunkLength characters, names are cut at NameLength - 1 characters, and an
// attribute value, which must reach the caller whole (a long URL is useless cut), grows up to
// MaxValueLength characters; a longer one is reported as ErrorToken rather than cut.
#include "VxApi.h"

#include <string>

namespace markup {

class VX_CORE_API instream {
public:
    virtual ~instream() = default;
    // The next character, or 0 at the end of the input. The scanner asks no more after the first 0.
    virtual wchar_t get_char() = 0;
};

class VX_CORE_API scanner {
public:
    enum token_type {
        ErrorToken = -1,
        EndOfInput = 0,
        TagStart = 1,  // a start tag's name was read: get_tag_name
        TagEnd = 2,    // "</name>", or "/>" closing a start tag (the name is still the start tag's)
        Attribute = 3, // get_attr_name and get_value (empty for an attribute without "=")
        Word = 4,      // a run of text without whitespace: get_value
        Space = 5,     // a run of whitespace: get_value
        Data = 6,      // a chunk of a comment, CDATA section or entity declaration: get_value
        CommentStart = 7,
        CommentEnd = 8,
        CdataStart = 9,
        CdataEnd = 10,
        EntityDeclStart = 13,
        EntityDeclEnd = 14,
    };

    // Enumerators rather than static members: nothing to import from the library when one is used.
    enum limits : int { NameLength = 128, ChunkLength = 1023, MaxValueLength = 4 * 1024 * 1024 };

    // The scanner reads from input but never owns it.
    explicit scanner(instream& input);
    scanner(const scanner&) = default;
    scanner& operator=(const scanner&) = default;
    virtual ~scanner() = default;

    token_type get_token();
    // Valid until the next get_token.
    const wchar_t* get_value() const { return value.c_str(); }
    int get_value_length() const { return static_cast<int>(value.size()); }
    // Tag and attribute names keep the low byte of each character.
    const char* get_tag_name() const { return tagName; }
    const char* get_attr_name() const { return attrName; }

protected:
    // The character an entity name (without "&" and ";") stands for, or 0 when unknown. Asked only for
    // names other than the five built-in ones; subclasses add entities here.
    virtual wchar_t resolve_entity(const char* name, int length);

private:
    enum class State { Body, Head, Comment, Cdata, EntityDecl };

    wchar_t read();
    void unread(wchar_t c);
    token_type scanBody();
    token_type scanTag();
    token_type scanHead();
    token_type scanAttributeValue();
    token_type scanSection(State section);
    // Called after "&": appends the character the reference stands for, or the reference as written.
    void scanEntity();
    static void appendName(char* name, int& length, wchar_t c);

    State state = State::Body;
    std::wstring value;
    char tagName[NameLength] = {};
    int tagNameLength = 0;
    char attrName[NameLength] = {};
    int attrNameLength = 0;
    instream* input;
    // Look-ahead given back, read last-in first-out: at most two characters ("/>" after an unquoted
    // attribute value) are ever pending.
    wchar_t pushedBack[2] = {};
    int pushedBackCount = 0;
    bool inputEnded = false;
    // The end marker of the current section has been consumed: the next call returns its end token.
    bool gotTail = false;
    // Characters at the end of a full chunk that may begin the section's end marker: held back and
    // delivered (or recognised as the marker) with the next chunk.
    std::wstring sectionCarry;
    // Inside double quotes in an entity declaration, across chunks.
    bool declQuoted = false;
};

} // namespace markup
