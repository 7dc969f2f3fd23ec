#include "model/XTokenString.h"
#include "util/VxText.h"

#include <cstring>
#include <string_view>

int XTokenString(const char* text, const char* delimiters, std::vector<std::string>& tokens, int maxTokens,
                 bool trim, bool escapes, bool doubleQuotes, bool keepEmpty) {
    if (text == nullptr || *text == '\0' || delimiters == nullptr || *delimiters == '\0')
        return 0;

    const std::string_view delims(delimiters);
    const std::size_t length = std::strlen(text);
    auto isDelimiter = [&](char c) { return delims.find(c) != std::string_view::npos; };
    auto isFull = [&] { return maxTokens > 0 && tokens.size() >= static_cast<std::size_t>(maxTokens); };

    std::size_t pos = 0;
    if (!keepEmpty) {
        while (pos < length && !vx::isLeadByte(text[pos]) && isDelimiter(text[pos]))
            ++pos;
    }

    bool endedAtDelimiter = false;
    while (pos < length) {
        std::string token;
        // Blanks before the token (and before an opening quote) belong to it, unless they are delimiters:
        // then they end an empty token, so that a run of blank delimiters does not glue onto the next word.
        while (pos < length && (text[pos] == ' ' || text[pos] == '\t') && !isDelimiter(text[pos]))
            token += text[pos++];

        const bool quoted = doubleQuotes && pos < length && text[pos] == '"';
        if (quoted)
            ++pos;

        while (pos < length) {
            char c = text[pos];
            if (vx::isLeadByte(c)) {
                token += c;
                if (++pos < length)
                    token += text[pos++];
                continue;
            }
            if (quoted ? c == '"' : isDelimiter(c))
                break;
            if (escapes && c == '\\') {
                if (++pos >= length)
                    break; // a backslash at the very end ends the token
                c = text[pos];
                if (vx::isLeadByte(c) && pos + 1 < length) {
                    token += c;
                    ++pos;
                    c = text[pos];
                }
            }
            token += c;
            ++pos;
        }

        endedAtDelimiter = false;
        if (pos < length) {
            endedAtDelimiter = !quoted;
            ++pos; // the delimiter, or the closing quote
            if (quoted && pos < length && !vx::isLeadByte(text[pos]) && isDelimiter(text[pos])) {
                ++pos;
                endedAtDelimiter = true;
            }
        }

        if (trim)
            token = vx::trimmed(token);
        if (!token.empty() || keepEmpty) {
            if (isFull())
                return static_cast<int>(tokens.size());
            tokens.push_back(std::move(token));
        }
    }

    if (keepEmpty && endedAtDelimiter && !isFull())
        tokens.emplace_back();
    return static_cast<int>(tokens.size());
}
