#include "util/MarkupScanner.h"

#include <cstring>

namespace markup {

namespace {

bool isSpace(wchar_t c) {
    return c == 9 || c == 10 || c == 12 || c == 13 || c == 32;
}

bool isAsciiAlnum(wchar_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// What may stand between "&" and ";": a name, or "#" and digits. Anything else ends the reference,
// so "a&b=1" in an address keeps its "=" and a bare "&" never takes a quote or a "<" with it.
bool isEntityChar(wchar_t c, bool first) {
    if (first)
        return c == '#' || isAsciiAlnum(c) || c == '_' || c == ':';
    return isAsciiAlnum(c) || c == '_' || c == ':' || c == '-' || c == '.';
}

bool nameIs(const char* name, int length, const char* expected) {
    return static_cast<int>(std::strlen(expected)) == length && std::memcmp(name, expected, length) == 0;
}

wchar_t builtInEntity(const char* name, int length) {
    if (nameIs(name, length, "lt"))
        return L'<';
    if (nameIs(name, length, "gt"))
        return L'>';
    if (nameIs(name, length, "amp"))
        return L'&';
    if (nameIs(name, length, "apos"))
        return L'\'';
    if (nameIs(name, length, "quot"))
        return L'"';
    return 0;
}

bool endsWith(const std::wstring& text, const wchar_t* tail, std::size_t length) {
    return text.size() >= length && text.compare(text.size() - length, length, tail, length) == 0;
}

} // namespace

scanner::scanner(instream& input) : input(&input) {}

wchar_t scanner::resolve_entity(const char* name, int length) {
    return 0;
}

wchar_t scanner::read() {
    if (pushedBackCount > 0)
        return pushedBack[--pushedBackCount];
    if (inputEnded)
        return 0;
    wchar_t c = input->get_char();
    if (c == 0)
        inputEnded = true;
    return c;
}

void scanner::unread(wchar_t c) {
    // The end needs no pushing back: inputEnded answers 0 from now on.
    if (c != 0 && pushedBackCount < 2)
        pushedBack[pushedBackCount++] = c;
}

void scanner::appendName(char* name, int& length, wchar_t c) {
    if (length < NameLength - 1) {
        // Names are ASCII in practice; a character past Latin-1 has no meaningful low byte.
        name[length++] = c <= 0xFF ? static_cast<char>(c) : '?';
        name[length] = '\0';
    }
}

scanner::token_type scanner::get_token() {
    switch (state) {
    case State::Head:
        return scanHead();
    case State::Comment:
    case State::Cdata:
    case State::EntityDecl:
        return scanSection(state);
    case State::Body:
        break;
    }
    return scanBody();
}

scanner::token_type scanner::scanBody() {
    value.clear();
    wchar_t c = read();
    if (c == 0)
        return EndOfInput;
    if (c == '<')
        return scanTag();
    bool space = false;
    if (c == '&') {
        scanEntity();
    } else {
        space = isSpace(c);
        value.push_back(c);
    }
    // A run longer than a chunk simply goes on in the next token of the same type.
    while (static_cast<int>(value.size()) < ChunkLength) {
        c = read();
        if (c == 0)
            break;
        if (c == '&' || c == '<' || isSpace(c) != space) {
            unread(c);
            break;
        }
        value.push_back(c);
    }
    return space ? Space : Word;
}

scanner::token_type scanner::scanTag() {
    tagNameLength = 0;
    tagName[0] = '\0';
    wchar_t c = read();
    const bool endTag = c == '/';
    if (endTag)
        c = read();
    while (c != '/' && c != '>') {
        if (c == 0)
            return ErrorToken;
        if (isSpace(c)) {
            do
                c = read();
            while (isSpace(c));
            if (c == 0)
                return ErrorToken;
            break;
        }
        appendName(tagName, tagNameLength, c);
        if (!endTag) {
            State section = State::Body;
            token_type start = ErrorToken;
            if (nameIs(tagName, tagNameLength, "!--")) {
                section = State::Comment;
                start = CommentStart;
            } else if (nameIs(tagName, tagNameLength, "!ENTITY")) {
                section = State::EntityDecl;
                start = EntityDeclStart;
            } else if (nameIs(tagName, tagNameLength, "![CDATA[")) {
                section = State::Cdata;
                start = CdataStart;
            }
            if (section != State::Body) {
                state = section;
                value.clear();
                sectionCarry.clear();
                declQuoted = false;
                gotTail = false;
                return start;
            }
        }
        c = read();
    }
    if (endTag)
        return c == '>' ? TagEnd : ErrorToken;
    unread(c);
    state = State::Head;
    return TagStart;
}

scanner::token_type scanner::scanHead() {
    wchar_t c = read();
    while (isSpace(c))
        c = read();
    if (c == '>') {
        state = State::Body;
        return scanBody();
    }
    if (c == '/') {
        c = read();
        if (c == '>') {
            state = State::Body;
            return TagEnd;
        }
        unread(c);
        return ErrorToken;
    }
    attrNameLength = 0;
    attrName[0] = '\0';
    value.clear();
    while (c != '=') {
        if (c == 0)
            return EndOfInput;
        if (c == '<')
            return ErrorToken;
        if (c == '>') {
            unread(c);
            return Attribute;
        }
        if (isSpace(c)) {
            do
                c = read();
            while (isSpace(c));
            if (c != '=') {
                unread(c);
                return Attribute;
            }
            break;
        }
        if (c == '/') {
            // "<br clear/>": the "/" closes the tag rather than joining the name.
            wchar_t next = read();
            if (next == '>') {
                unread(next);
                unread(c);
                return Attribute;
            }
            appendName(attrName, attrNameLength, c);
            c = next;
            continue;
        }
        appendName(attrName, attrNameLength, c);
        c = read();
    }
    return scanAttributeValue();
}

scanner::token_type scanner::scanAttributeValue() {
    wchar_t c = read();
    while (isSpace(c))
        c = read();
    if (c == '"' || c == '\'') {
        const wchar_t quote = c;
        for (;;) {
            c = read();
            if (c == 0)
                return ErrorToken;
            if (c == quote)
                return Attribute;
            if (c == '&')
                scanEntity();
            else
                value.push_back(c);
            if (value.size() > static_cast<std::size_t>(MaxValueLength))
                return ErrorToken;
        }
    }
    for (;;) {
        if (c == 0)
            return ErrorToken;
        if (isSpace(c))
            return Attribute;
        if (c == '>') {
            unread(c);
            return Attribute;
        }
        if (c == '/') {
            // An unquoted address keeps its slashes; only "/>" ends the value (and the tag).
            wchar_t next = read();
            if (next == '>') {
                unread(next);
                unread(c);
                return Attribute;
            }
            value.push_back(c);
            c = next;
            continue;
        }
        if (c == '&')
            scanEntity();
        else
            value.push_back(c);
        if (value.size() > static_cast<std::size_t>(MaxValueLength))
            return ErrorToken;
        c = read();
    }
}

scanner::token_type scanner::scanSection(State section) {
    const token_type endToken = section == State::Comment ? CommentEnd
                                : section == State::Cdata ? CdataEnd
                                                          : EntityDeclEnd;
    if (gotTail) {
        gotTail = false;
        state = State::Body;
        return endToken;
    }
    const wchar_t* marker = section == State::Comment ? L"-->" : L"]]>";
    value = sectionCarry;
    sectionCarry.clear();
    for (;;) {
        wchar_t c = read();
        if (c == 0)
            return value.empty() ? EndOfInput : Data;
        if (section == State::EntityDecl) {
            if (c == '"') {
                declQuoted = !declQuoted;
            } else if (c == '>' && !declQuoted) {
                gotTail = true;
                return Data;
            }
            value.push_back(c);
        } else {
            value.push_back(c);
            if (endsWith(value, marker, 3)) {
                value.resize(value.size() - 3);
                gotTail = true;
                return Data;
            }
        }
        if (static_cast<int>(value.size()) >= ChunkLength) {
            // "--" at the end of a full chunk may be the start of "-->": it waits for the next chunk,
            // where the marker is then seen whole.
            std::size_t keep = 0;
            if (section != State::EntityDecl)
                keep = endsWith(value, marker, 2) ? 2 : endsWith(value, marker, 1) ? 1 : 0;
            sectionCarry.assign(value, value.size() - keep, keep);
            value.resize(value.size() - keep);
            return Data;
        }
    }
}

void scanner::scanEntity() {
    char name[32];
    int length = 0;
    wchar_t c = read();
    while (length < 31 && isEntityChar(c, length == 0)) {
        name[length++] = static_cast<char>(c);
        c = read();
    }
    name[length] = '\0';
    if (c == ';') {
        wchar_t resolved = builtInEntity(name, length);
        if (!resolved && length > 0)
            resolved = resolve_entity(name, length);
        if (resolved) {
            value.push_back(resolved);
            return;
        }
    } else {
        // Not a complete reference: the character that ended it is text of its own.
        unread(c);
    }
    value.push_back(L'&');
    value.append(name, name + length);
    if (c == ';')
        value.push_back(L';');
}

} // namespace markup
