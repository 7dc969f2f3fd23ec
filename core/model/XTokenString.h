#pragma once
// The core's one routine for splitting a text into tokens at a set of delimiter characters.
#include "VxApi.h"
#include "model/VStringList.h"

#include <string>
#include <vector>

// Appends the tokens of text to tokens (entries already there stay) and returns the array's size.
// Returns 0 and leaves the array untouched when text or delimiters is null or empty.
//  - delimiters: every character of it is a delimiter; one is consumed after each token.
//  - maxTokens: when above 0, no token is added once the array holds that many entries (entries
//    present before the call count).
//  - trim: white space is removed from both ends of each token.
//  - escapes: a backslash takes the next character literally and is dropped itself.
//  - doubleQuotes: a token that begins with a double quote runs to the next one, delimiters included;
//    the quotes are dropped.
//  - keepEmpty: empty tokens are added (a run of n delimiters gives n - 1 of them, a trailing delimiter
//    one more); otherwise runs of delimiters count as one separator.
// Blanks and tabs that are not delimiters belong to the token they precede. The trail byte of a
// double-byte character is never taken for a delimiter, quote or backslash.
VX_CORE_API int XTokenString(const char* text, const char* delimiters, std::vector<std::string>& tokens,
                             int maxTokens = 0, bool trim = false, bool escapes = false,
                             bool doubleQuotes = false, bool keepEmpty = false);
