#include "FolderBrowser.h"

#include "model/VFileResult.h"
#include "util/Win32Handle.h"

#include <windows.h>

#include <cctype>
#include <cstring>

bool isBrowsePath(const std::string& text) {
    return text.size() > 2 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':' &&
           text[2] == '\\';
}

std::vector<VFileResult*> listTypedPath(const std::string& typed) {
    std::vector<VFileResult*> folders, files;
    std::size_t cut = typed.find_last_of('\\');
    if (cut == std::string::npos)
        return folders;
    std::string folder = typed.substr(0, cut + 1);
    folder[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(folder[0])));
    std::string pattern = folder + typed.substr(cut + 1);
    if (pattern.back() != '*')
        pattern += '*';

    WIN32_FIND_DATAA data;
    vx::CFindHandle find(::FindFirstFileA(pattern.c_str(), &data));
    if (!find.IsValid())
        return folders;
    try {
        do {
            if (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
                continue;
            if (std::strcmp(data.cFileName, ".") == 0 || std::strcmp(data.cFileName, "..") == 0)
                continue;
            const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            std::vector<VFileResult*>& list = isFolder ? folders : files;
            list.reserve(list.size() + 1);
            VFileResult* result = VFileResult::createInstance(nullptr);
            list.push_back(result);
            result->setFile(folder + data.cFileName + (isFolder ? "\\" : ""));
        } while (::FindNextFileA(find.Get(), &data));
        folders.reserve(folders.size() + files.size());
    } catch (...) {
        for (VFileResult* r : folders)
            r->deleteThis();
        for (VFileResult* r : files)
            r->deleteThis();
        throw;
    }
    folders.insert(folders.end(), files.begin(), files.end());
    return folders;
}
