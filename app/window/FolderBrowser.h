#pragma once
// Browse mode: the entries of a typed path such as "c:\data\re", as file results.
#include <string>
#include <vector>

class VFileResult;

// The folders (with a trailing backslash) and then the files whose names start with the text after the
// last backslash, in the order the file system lists them; hidden and system entries are left out.
// The caller owns the results.
std::vector<VFileResult*> listTypedPath(const std::string& typed);

// True for a text that names a path to browse: a letter, ":" and "\", and more than two characters.
bool isBrowsePath(const std::string& text);
