#include "model/VFileResult.h"

#include "engine/VPlugin.h"
#include "engine/VVerbinoxCore.h"
#include "util/Shell.h"
#include "util/VxText.h"

#include <commctrl.h>
#include <shellapi.h>

#include <mutex>

namespace {

bool isShortcutExtension(const std::string& ext) {
    return ext.size() == 3 && vx::lowered(ext) == "lnk";
}

// The shell's small system image list, fetched once for the process.
HIMAGELIST systemSmallImages() {
    static HIMAGELIST list = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        char windows[MAX_PATH] = {};
        ::GetWindowsDirectoryA(windows, MAX_PATH);
        SHFILEINFOA info{};
        list = reinterpret_cast<HIMAGELIST>(
            ::SHGetFileInfoA(windows, 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    });
    return list;
}

} // namespace

VFileResult* VFileResult::createInstance(VPlugin* plugin) {
    return new VFileResult(plugin);
}

VFileResult::VFileResult(VPlugin* plugin)
    : VResult(plugin), fileProperty(VProperty::FileType, std::string()) {
    addProperty(&fileProperty);
}

VFileResult::~VFileResult() {
    releaseIcon();
}

void VFileResult::releaseIcon() {
    if (HICON icon = getIcon())
        ::DestroyIcon(icon);
    setIcon(nullptr);
}

void VFileResult::setFile(const CPath& file) {
    path = file;
    pathParsed = true;
    fileProperty.setPropertyValue(file.GetPath(false, false));
    releaseIcon();
}

void VFileResult::setFile(const std::string& pathText) {
    fileProperty.setPropertyValue(pathText);
    pathParsed = false;
    releaseIcon();
}

const CPath& VFileResult::getPath() const {
    if (!pathParsed) {
        path.SetPath(fileProperty.getValue());
        pathParsed = true;
    }
    return path;
}

CPath& VFileResult::getPath() {
    return const_cast<CPath&>(static_cast<const VFileResult*>(this)->getPath());
}

void VFileResult::copyFrom(const VFileResult& other) {
    HICON mine = getIcon();
    VResult::copyFrom(other); // takes the other's icon handle: replaced by a duplicate below
    setIcon(mine);
    releaseIcon();
    fileProperty.setPropertyValue(other.fileProperty.getValue());
    path = other.path;
    pathParsed = other.pathParsed;
    if (HICON icon = other.getIcon())
        setIcon(::CopyIcon(icon));
}

std::string VFileResult::getDisplayText() const {
    const CPath& p = getPath();
    if (!p.IsFilePath())
        return p.GetDir(p.GetDirCount() - 1);
    if (isShortcutExtension(p.GetExtName()))
        return p.GetFileTitle();
    return p.GetFileName();
}

std::string VFileResult::getDisplayText2() const {
    const CPath& p = getPath();
    if (p.IsFilePath() && isShortcutExtension(p.GetExtName()))
        return p.GetLocation() + p.GetFileTitle();
    return fileProperty.getValue();
}

void VFileResult::drawFileIcon(HDC dc, const RECT& r) const {
    // By name and attributes only: drawing never touches the disk.
    SHFILEINFOA info{};
    DWORD attributes = isDir() ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    if (::SHGetFileInfoA(fileProperty.getValue().c_str(), attributes, &info, sizeof(info),
                         SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES | SHGFI_ADDOVERLAYS) &&
        info.hIcon) {
        ::DrawIconEx(dc, r.left, r.top, info.hIcon, r.right - r.left, r.bottom - r.top, 0, nullptr,
                     DI_NORMAL);
        ::DestroyIcon(info.hIcon);
    }
}

void VFileResult::draw(HDC dc, const RECT&, const RECT& iconRect, const RECT& line1, const RECT& line2,
                       bool selected, bool showIcon) const {
    if (showIcon)
        drawFileIcon(dc, iconRect);
    // The name keeps its extension; the folder keeps its last component.
    drawTwoLines(dc, line1, line2, selected, vx::TextFit::Name, vx::TextFit::Path);
}

void VFileResult::draw(HDC dc, const RECT&, const RECT& iconRect, const RECT& text, bool selected,
                       bool showIcon) const {
    if (showIcon)
        drawFileIcon(dc, iconRect);
    drawOneLine(dc, text, selected, vx::TextFit::Name);
}

bool VFileResult::select() {
    return vx::shellOpen(fileProperty.getValue(), std::string(), getPath().GetLocation());
}

VShellFileResult* VShellFileResult::createInstance(VPlugin* plugin) {
    return new VShellFileResult(plugin);
}

VShellFileResult::VShellFileResult(VPlugin* plugin) : VFileResult(plugin) {
    systemSmallImages();
}

std::string VShellFileResult::getDisplayText() const {
    const CPath& p = getPath();
    return p.IsFilePath() ? p.GetFileName() : p.GetDir(p.GetDirCount() - 1);
}

void VShellFileResult::setShellInfo(const CPath& file, VShellItemInfo* info) {
    shellInfo = info;
    setFile(file);
    int index = -1;
    if (info && info->pidl) {
        SHFILEINFOA sfi{};
        if (::SHGetFileInfoA(reinterpret_cast<LPCSTR>(info->pidl), 0, &sfi, sizeof(sfi),
                             SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_LINKOVERLAY))
            index = sfi.iIcon;
    }
    HIMAGELIST list = systemSmallImages();
    setIcon(list && index >= 0 ? ImageList_GetIcon(list, index, ILD_NORMAL) : nullptr);
}

void VShellFileResult::draw(HDC dc, const RECT& item, const RECT& iconRect, const RECT& text, bool selected,
                            bool showIcon) const {
    VFileResult::draw(dc, item, iconRect, text, selected, showIcon);
    HIMAGELIST list = systemSmallImages();
    if (showIcon && overlayIcon > 0 && list)
        ImageList_Draw(list, overlayIcon, dc, iconRect.left, iconRect.top, ILD_TRANSPARENT);
}

VUrlResult* VUrlResult::createInstance(VPlugin* plugin) {
    return new VUrlResult(plugin);
}

VUrlResult::VUrlResult(VPlugin* plugin)
    : VResult(plugin), urlProperty(VProperty::UrlType, std::string()),
      descriptionProperty(VProperty::TextType, std::string()) {
    addProperty(&urlProperty);
}

std::string VUrlResult::getDisplayText() const {
    return descriptionProperty.getValue().empty() ? urlProperty.getValue() : descriptionProperty.getValue();
}

void VUrlResult::draw(HDC dc, const RECT&, const RECT& iconRect, const RECT& line1, const RECT& line2,
                      bool selected, bool showIcon) const {
    drawIcon(dc, iconRect, showIcon);
    drawTwoLines(dc, line1, line2, selected, vx::TextFit::End, vx::TextFit::Path);
}

void VUrlResult::draw(HDC dc, const RECT&, const RECT& iconRect, const RECT& text, bool selected,
                      bool showIcon) const {
    drawIcon(dc, iconRect, showIcon);
    drawOneLine(dc, text, selected, vx::TextFit::Path);
}

bool VUrlResult::select() {
    std::string browser = getPlugin() ? getPlugin()->getBrowserPath() : std::string();
    return VVerbinoxCore::instance()->openUrl(urlProperty.getValue(), browser,
                                              VVerbinoxCore::UrlOrigin::DataFile);
}

void VUrlResult::copyFrom(const VUrlResult& other) {
    VResult::copyFrom(other);
    descriptionProperty.setPropertyValue(other.descriptionProperty.getValue());
}
