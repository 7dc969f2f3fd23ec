#pragma once
// Ready-made results: a file or folder on disk, a file that takes its icon from a shell item, a URL.
#include "model/VResult.h"
#include "util/CPath.h"

#include <shlobj.h>

class VX_CORE_API VFileResult : public VResult {
public:
    static VFileResult* createInstance(VPlugin* plugin);
    // Destroys the element's icon, if it has one.
    ~VFileResult() override;

    std::string getDisplayText() const override;
    std::string getDisplayText1() const override { return getDisplayText(); }
    std::string getDisplayText2() const override;
    void draw(HDC dc, const RECT& item, const RECT& iconRect, const RECT& line1, const RECT& line2,
              bool selected, bool showIcon) const override;
    void draw(HDC dc, const RECT& item, const RECT& iconRect, const RECT& text, bool selected,
              bool showIcon) const override;
    // Opens the path with the shell, in the path's own folder.
    bool select() override;

    void setFile(const CPath& file);
    // The path text without arguments. Cheaper than setFile for a result built in a hot loop: the text
    // is parsed only when getPath asks for it.
    void setFile(const std::string& pathText);
    std::string getFile() const { return fileProperty.getValue(); }
    const CPath& getPath() const;
    CPath& getPath();
    bool isDir() const { return !getPath().IsFilePath(); }
    // Values, path and a duplicate of the other's icon.
    void copyFrom(const VFileResult& other);

protected:
    explicit VFileResult(VPlugin* plugin);
    void drawFileIcon(HDC dc, const RECT& iconRect) const;
    void releaseIcon();

private:
    VProperty fileProperty;
    mutable CPath path;
    mutable bool pathParsed = true;
};

// Three words about a shell item; the second is its absolute identifier list. Not owned by the result.
struct VX_CORE_API VShellItemInfo {
    UINT_PTR first = 0;
    LPITEMIDLIST pidl = nullptr;
    UINT_PTR third = 0;
};

class VX_CORE_API VShellFileResult : public VFileResult {
public:
    static VShellFileResult* createInstance(VPlugin* plugin);
    std::string getDisplayText() const override;
    void draw(HDC dc, const RECT& item, const RECT& iconRect, const RECT& text, bool selected,
              bool showIcon) const override;
    using VFileResult::draw;
    // Takes the path and the shell's icon (with the link overlay) of the item.
    void setShellInfo(const CPath& file, VShellItemInfo* info);
    VShellItemInfo* getShellInfo() const { return shellInfo; }
    void setOverlayIcon(int index) { overlayIcon = index; }

protected:
    explicit VShellFileResult(VPlugin* plugin);

private:
    VShellItemInfo* shellInfo = nullptr;
    int overlayIcon = 0;
};

class VX_CORE_API VUrlResult : public VResult {
public:
    static VUrlResult* createInstance(VPlugin* plugin);
    std::string getDisplayText() const override;
    std::string getDisplayText1() const override { return getDisplayText(); }
    std::string getDisplayText2() const override { return urlProperty.getValue(); }
    void draw(HDC dc, const RECT& item, const RECT& iconRect, const RECT& line1, const RECT& line2,
              bool selected, bool showIcon) const override;
    void draw(HDC dc, const RECT& item, const RECT& iconRect, const RECT& text, bool selected,
              bool showIcon) const override;
    // Opens the URL through the core, in the owning plug-in's browser when that option is on.
    bool select() override;

    void setUrl(const std::string& url) { urlProperty.setPropertyValue(url); }
    void setDescription(const std::string& text) { descriptionProperty.setPropertyValue(text); }
    std::string getUrl() const { return urlProperty.getValue(); }
    std::string getDescription() const { return descriptionProperty.getValue(); }
    void copyFrom(const VUrlResult& other);

protected:
    explicit VUrlResult(VPlugin* plugin);

private:
    VProperty urlProperty;
    VProperty descriptionProperty; // shown, but not a listed property
};
