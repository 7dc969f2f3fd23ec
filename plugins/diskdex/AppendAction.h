#pragma once
// "Append": the keyword, a short file name and a line of text appends that line to the file.
#include "model/VAction.h"

#include <string>
#include <vector>

class VPreferencesNode;

class VAppendAction : public VAction {
public:
    struct AppendFile {
        std::string shortcutName;
        std::string fileName;
    };

    explicit VAppendAction(VPlugin* plugin);
    VAppendAction(const VAppendAction&) = delete;
    VAppendAction& operator=(const VAppendAction&) = delete;
    // Destroys the icon it loaded.
    ~VAppendAction() override;
    // Appends the line to the file named by the text's first word. False when the file cannot be opened
    // or written, so the window beeps; an unknown name is told in a message box.
    bool execute(const std::string& text) override;
    using VAction::execute;

    void loadPrefs(VPreferencesNode* node);
    void savePrefs(VPreferencesNode* parent) const;
    // The "File" records of an "AppendAction" node, and one such node added to parent: what the
    // plug-in keeps and writes back even while the action itself could not be registered.
    static std::vector<AppendFile> readFiles(VPreferencesNode* node);
    static void writeFiles(VPreferencesNode* parent, const std::vector<AppendFile>& files);
    const std::vector<AppendFile>& getFiles() const { return files; }
    void addFile(const std::string& shortcutName, const std::string& fileName);

    // How the unknown-name message is shown; tests replace it.
    using MessageHook = void (*)(const char* text);
    static MessageHook setMessageHook(MessageHook hook);
    // The line as written: %t and %d become the time and date, \n and \t a line feed and a tab.
    static std::string expandLine(const std::string& line);

private:
    std::vector<AppendFile> files;
};
