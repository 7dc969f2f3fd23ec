#pragma once
// A Windows path, possibly quoted and possibly followed by command-line arguments, split once into drive,
// folder, file title, extension and arguments. Texts of any length are parsed; the operations that ask the
// platform about the file (existence, short and long forms, absolute and relative forms, size, times, the
// volume label) work on paths below MAX_PATH and fail cleanly (empty or false) for longer ones.
//
// Paths are narrow strings in the active code page; a double-byte character's trail byte is never taken
// for a separator. Const operations do not change the object, so a const CPath may be read from several
// threads at once; GetFileSize, GetFileTime, GetDriveLabel and the conversion to const char* keep what they
// read in the object and are not const.
#include "VxApi.h"

#include <windows.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

class VX_CORE_API CPath {
public:
    // One command-line argument: a switch ("/name" or "-name") with its value, a switch without value, or a
    // value without switch (empty name).
    class VX_CORE_API CArgument {
    public:
        CArgument() = default;
        CArgument(char prefix, const std::string& name, const std::string& value)
            : prefix(prefix), name(name), value(value) {}
        CArgument(const CArgument&) = default;
        CArgument& operator=(const CArgument&) = default;
        virtual ~CArgument();

        char prefix = '/'; // the switch character, '/' or '-'
        std::string name;  // without the prefix
        std::string value;
    };

    // Which time GetFileTime reports; any other number means the last access.
    enum FileTimeKind { CreationTime = 0, LastAccessTime = 1, LastWriteTime = 2 };

    CPath() = default;
    CPath(const char* path, bool isFolderPath = false, bool hasArguments = false);
    CPath(const std::string& path, bool isFolderPath = false, bool hasArguments = false);
    // 0: the process's command line (program path and arguments); 1: the program's own file; else empty.
    explicit CPath(int which);
    CPath(const CPath&) = default;
    CPath(CPath&&) = default;
    CPath& operator=(const CPath&) = default;
    CPath& operator=(CPath&&) = default;
    CPath& operator=(const char* path);
    CPath& operator=(const std::string& path);
    virtual ~CPath();

    // Replaces everything the object held. With isFolderPath, the last name is a folder (the folder part
    // then ends with it and a backslash, and there is no title or extension); with hasArguments, the text is
    // a command line whose arguments start after the first blank outside double quotes. Surrounding
    // double quotes are removed from the path part; forward slashes in the folder become backslashes.
    void SetPath(const std::string& path, bool isFolderPath = false, bool hasArguments = false);
    // 0 and 1 as for the constructor from a number; any other number empties the object.
    void SetPath(int which);

    std::string GetDrive() const { return drive; }             // "C:", empty for relative and network paths
    std::string GetFileTitle() const { return fileTitle; }     // the file name without extension
    std::string GetExtName() const { return extName; }         // the extension without dot
    std::string GetExtension() const;                          // "." and the extension, or empty
    std::string GetFileName() const;                           // title and extension
    std::string GetLocation() const { return drive + folder; } // drive and folder part
    // Below 0: the whole folder part; else the folder name at that index, or empty when there is none.
    // For a network path (\\server\share\...) the first two names are the server and the share.
    std::string GetDir(int index = -1) const;
    int GetDirCount() const;
    // The original text when original is set, else location and file name; with appendArguments, followed
    // by a blank and the arguments when there are any (a path holding a blank is then double-quoted).
    std::string GetPath(bool appendArguments = false, bool original = false) const;
    // GetPath(), kept in the object: valid until the next conversion, an assignment or the object's end.
    explicit operator const char*();
    std::string GetOriginalPath() const { return originalPath; }

    // True when the folder part does not start with a backslash (a bare file name has none: not relative).
    bool IsRelativePath() const { return relative; }
    bool IsLocalPath() const { return !drive.empty() && !relative; }
    bool IsFilePath() const { return !fileTitle.empty() || !extName.empty(); }
    bool ExistFile() const;
    bool ExistLocation() const;
    std::string GetShortPath() const; // the 8.3 form; empty when the platform has none
    std::string GetLongPath() const;  // every name as the file system spells it; empty when one is missing
    // For a relative path: base, a backslash and the path, with "." and ".." resolved; empty otherwise or
    // when base is empty.
    std::string GetAbsolutePath(const std::string& base) const;
    // For a path that is not relative: the relative path from the folder `from` to it, without a leading
    // ".\"; empty otherwise or when there is none (another drive).
    std::string GetRelativePath(const std::string& from) const;
    // The file's size; false (and 0) when the file cannot be opened for reading. Folders report false.
    bool GetFileSize(int64_t& size);
    // One of the file's times as local time, in seconds since 1970 (what _localtime64 takes); false (and 0)
    // when the file cannot be opened. Throws std::invalid_argument for a time that cannot be converted.
    bool GetFileTime(__time64_t& time, int which);
    // The volume label of the path's drive or network share, read once and kept. With
    // computerNameForNetwork, a network path's label is the name of its computer instead.
    std::string GetDriveLabel(bool computerNameForNetwork = false);

    // Appends a backslash (a forward slash with forwardSlash) unless text is empty or already ends with
    // either slash.
    static std::string AddBackSlash(std::string text, bool forwardSlash = false);
    // Removes one trailing backslash or forward slash, if there is one.
    static std::string RemoveBackSlash(std::string text);

    // Replaces the arguments with a command-line text, parsed into switches and values.
    void SetArguments(const std::string& text);
    int GetArgCount() const { return static_cast<int>(argList.size()); }
    // Below 0: the whole arguments text (as given, or rebuilt after a change through the list); else the
    // name (name set) or value of the argument at that index, or empty when there is none.
    std::string GetArgument(int index = -1, bool name = false) const;
    // The index of the first argument whose name equals name without regard to case ('/', '-' and blanks
    // in name are ignored); -1 when there is none or the cleaned name is empty.
    int FindArgument(const std::string& name) const;
    // Replaces the value of the argument of that name, or appends a new one (its prefix '-' when the name
    // holds a '-', else '/').
    void AddSetArgument(const std::string& name, const std::string& value);
    // Removes the argument at that index; other indexes do nothing.
    void RemoveArgument(int index);

private:
    void Clear();
    void RebuildArguments();
    // Calls visit(index, begin, end) for each folder name until it returns true; returns the names seen.
    template <class Visit> int VisitDirs(Visit visit) const;
    bool IsNetworkPath() const;
    bool ReadFileInfo();

    std::string originalPath;
    std::string drive;
    std::string driveLabel;
    std::string folder;
    std::string fileTitle;
    std::string extName;
    std::string arguments;
    std::vector<CArgument> argList;
    bool relative = false;
    BY_HANDLE_FILE_INFORMATION fileInfo{};
    std::string pathCache;
};
