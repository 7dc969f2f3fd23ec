#include "AppendAction.h"

#include "util/ThisModule.h"
#include "model/VPreferences.h"
#include "util/SystemText.h"

#include <windows.h>

#include <cstdio>

namespace {

void showMessageBox(const char* text) {
    vx::messageBox(nullptr, text, "Verbinox", MB_OK | MB_ICONINFORMATION);
}

VAppendAction::MessageHook messageHook = &showMessageBox;

void replaceAll(std::string& text, const std::string& what, const std::string& with) {
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

} // namespace

VAppendAction::VAppendAction(VPlugin* plugin) : VAction("Append", "Append", "Append Command Line", plugin) {
    setIcon(vx::loadModuleIcon(5003));
}

VAppendAction::~VAppendAction() {
    if (getIcon())
        ::DestroyIcon(getIcon());
}

VAppendAction::MessageHook VAppendAction::setMessageHook(MessageHook hook) {
    MessageHook previous = messageHook;
    messageHook = hook ? hook : &showMessageBox;
    return previous;
}

void VAppendAction::addFile(const std::string& shortcutName, const std::string& fileName) {
    files.push_back({shortcutName, fileName});
}

std::string VAppendAction::expandLine(const std::string& line) {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char time[16], date[16];
    // The C runtime's _strtime and _strdate forms: HH:MM:SS and MM/DD/YY.
    std::snprintf(time, sizeof(time), "%02u:%02u:%02u", now.wHour, now.wMinute, now.wSecond);
    std::snprintf(date, sizeof(date), "%02u/%02u/%02u", now.wMonth, now.wDay, now.wYear % 100);
    std::string out = line;
    replaceAll(out, "%t", time);
    replaceAll(out, "%d", date);
    replaceAll(out, "\\n", "\n");
    replaceAll(out, "\\t", "\t");
    return out;
}

bool VAppendAction::execute(const std::string& text) {
    const std::size_t nameEnd = text.find(' ');
    if (nameEnd == 0 || nameEnd == std::string::npos)
        return true; // no name, or nothing after it
    const std::string name = text.substr(0, nameEnd);
    const std::size_t lineStart = text.find_first_not_of(' ', nameEnd);
    if (lineStart == std::string::npos)
        return true;
    const std::string line = expandLine(text.substr(lineStart));

    for (const AppendFile& f : files) {
        if (f.shortcutName != name)
            continue;
        // Text mode, so every line feed is written as CR LF, as Notepad expects.
        FILE* out = std::fopen(f.fileName.c_str(), "a");
        if (!out)
            return false;
        bool ok = std::fputs(line.c_str(), out) >= 0 && std::fputc('\n', out) != EOF;
        ok = std::fclose(out) == 0 && ok;
        return ok;
    }
    messageHook("No File Exists with Given Shortcut");
    return true;
}

std::vector<VAppendAction::AppendFile> VAppendAction::readFiles(VPreferencesNode* node) {
    std::vector<AppendFile> out;
    if (!node)
        return out;
    for (int i = 0; i < node->getNumChildren(); ++i) {
        VPreferencesNode* child = node->getChild(i);
        if (child->getName() != "File")
            continue;
        AppendFile f;
        child->getParam("shortcutname", f.shortcutName);
        child->getParam("filename", f.fileName);
        out.push_back(f);
    }
    return out;
}

void VAppendAction::loadPrefs(VPreferencesNode* node) {
    std::vector<AppendFile> read = readFiles(node);
    files.insert(files.end(), read.begin(), read.end());
}

void VAppendAction::savePrefs(VPreferencesNode* parent) const {
    writeFiles(parent, files);
}

void VAppendAction::writeFiles(VPreferencesNode* parent, const std::vector<AppendFile>& files) {
    if (!parent)
        return;
    VPreferencesNode* node = VPreferencesNode::createInstance("AppendAction");
    for (const AppendFile& f : files) {
        VPreferencesNode* child = VPreferencesNode::createInstance("File");
        child->setParam("shortcutname", f.shortcutName);
        child->setParam("filename", f.fileName);
        node->addChild(child);
    }
    parent->addChild(node);
}
