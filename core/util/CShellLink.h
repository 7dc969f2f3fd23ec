#pragma once
// Shortcut files (.lnk) and Internet shortcut files (.url), read and written through the shell's own
// objects so that the rest of the system never touches COM. The thread that uses a wrapper must have
// initialised COM before the first call, and a wrapper stays on that thread.
//
// Texts are narrow strings in the active code page. Reading never truncates silently: a text longer than
// the first buffer is asked for again with a larger one.
#include "VxApi.h"
#include "util/ComRef.h"

#include <windows.h>
#include <shlobj.h>
#include <intshcut.h>

#include <string>

namespace vx {

// An item identifier list from the shell's task allocator. A copy clones the list, so every owner frees
// its own list exactly once.
class CItemIdList {
public:
    CItemIdList() = default;
    // Adopts the list.
    explicit CItemIdList(PIDLIST_ABSOLUTE list) noexcept : list_(list) {}
    CItemIdList(const CItemIdList& other) : list_(Clone(other.list_)) {}
    CItemIdList(CItemIdList&& other) noexcept : list_(other.Detach()) {}
    CItemIdList& operator=(const CItemIdList& other) {
        if (this != &other)
            Attach(Clone(other.list_));
        return *this;
    }
    CItemIdList& operator=(CItemIdList&& other) noexcept {
        if (this != &other)
            Attach(other.Detach());
        return *this;
    }
    ~CItemIdList() { Free(); }

    PIDLIST_ABSOLUTE Get() const { return list_; }
    // Adopts the list and frees the one held before, unless it is the same list.
    void Attach(PIDLIST_ABSOLUTE list) {
        if (list == list_)
            return;
        Free();
        list_ = list;
    }
    PIDLIST_ABSOLUTE Detach() {
        PIDLIST_ABSOLUTE list = list_;
        list_ = nullptr;
        return list;
    }
    void Free() {
        if (list_ != nullptr)
            ::ILFree(list_);
        list_ = nullptr;
    }

private:
    static PIDLIST_ABSOLUTE Clone(PIDLIST_ABSOLUTE list) {
        return list != nullptr ? static_cast<PIDLIST_ABSOLUTE>(::ILClone(list)) : nullptr;
    }

    PIDLIST_ABSOLUTE list_ = nullptr;
};

} // namespace vx

// The properties of a shortcut, as a plain record. Copies are independent: each holds its own clone of
// the identifier list.
class VX_CORE_API CShellLinkInfo {
public:
    CShellLinkInfo() = default;
    CShellLinkInfo(const CShellLinkInfo&) = default;
    CShellLinkInfo(CShellLinkInfo&&) = default;
    CShellLinkInfo& operator=(const CShellLinkInfo&) = default;
    CShellLinkInfo& operator=(CShellLinkInfo&&) = default;
    virtual ~CShellLinkInfo();

    std::string path;           // target path; for an Internet shortcut, the URL
    vx::CItemIdList pathIDList; // target as an identifier list; when set, it wins over path on saving
    std::string arguments;
    std::string description;
    WORD hotKey = 0;          // virtual key in the low byte, HOTKEYF_* modifiers in the high byte
    std::string iconLocation; // file holding the icon, kept as text (never looked up)
    int iconLocationIndex = 0;
    int showCommand = SW_SHOW;
    std::string workingDirectory;
};

// A shortcut file (.lnk) through the shell link object. Not copyable: it holds the object's interfaces.
class VX_CORE_API CShellLink : public CShellLinkInfo {
public:
    CShellLink();
    ~CShellLink() override;
    CShellLink(const CShellLink&) = delete;
    CShellLink& operator=(const CShellLink&) = delete;

    // Creates the shell object if not done yet (false when that fails), then copies every field of info.
    bool Create(const CShellLinkInfo& info);
    // Writes the fields to the shortcut object and saves it as fileName. True when the file was written.
    virtual bool Save(const std::string& fileName);
    // Reads fileName. False when the object cannot be created or the file cannot be loaded; the fields
    // are then left as they were.
    virtual bool Load(const std::string& fileName);
    // Lets the shell find a moved target (flags: SLR_*; window: parent of any dialog, or null). The
    // fields are not refreshed.
    bool Resolve(HWND window, DWORD flags);

    std::string GetPath() const { return path; }
    virtual std::string GetArguments() const { return arguments; }
    std::string GetDescription() const { return description; }
    WORD GetHotKey() const { return hotKey; }
    std::string GetIconLocation() const { return iconLocation; }
    int GetIconLocationIndex() const { return iconLocationIndex; }
    // The list stays owned by this object; clone it to keep it.
    virtual PIDLIST_ABSOLUTE GetPathIDList() const { return pathIDList.Get(); }
    int GetShowCommand() const { return showCommand; }
    std::string GetWorkingDirectory() const { return workingDirectory; }

    void SetPath(const std::string& value) { path = value; }
    virtual void SetArguments(const std::string& value) { arguments = value; }
    void SetDescription(const std::string& value) { description = value; }
    void SetHotKey(WORD value) { hotKey = value; }
    void SetIconLocation(const std::string& value) { iconLocation = value; }
    void SetIconLocationIndex(int value) { iconLocationIndex = value; }
    // Takes ownership of list; the list held before is freed.
    virtual void SetPathIDList(PIDLIST_ABSOLUTE list) { pathIDList.Attach(list); }
    void SetShowCommand(int value) { showCommand = value; }
    void SetWorkingDirectory(const std::string& value) { workingDirectory = value; }

protected:
    // Creates the shell object on the first call; later calls report how that went without retrying.
    virtual bool Initialise();

    vx::CComRef<IShellLinkA> link_;
    vx::CComRef<IPersistFile> file_;
    bool initialised_ = false;
};

// An Internet shortcut file (.url) through the Internet shortcut object. The target is the URL, kept in
// path; there are no arguments and no identifier list.
//
// The working directory, description, hot key and show command go through the object's shell link
// interface, which Wine's Internet shortcut object does not offer: there they are neither read nor written.
class VX_CORE_API CUrlShellLink : public CShellLink {
public:
    CUrlShellLink();
    ~CUrlShellLink() override;

    bool Save(const std::string& fileName) override;
    bool Load(const std::string& fileName) override;
    // Carries out verb on the URL (flags: IURL_INVOKECOMMAND_FL_*; an empty verb passes none, for use
    // with IURL_INVOKECOMMAND_FL_USE_DEFAULT_VERB). True on success.
    bool Invoke(HWND window, DWORD flags, const std::string& verb);

    std::string GetArguments() const override { return std::string(); }
    void SetArguments(const std::string&) override {}
    PIDLIST_ABSOLUTE GetPathIDList() const override { return nullptr; }
    // An Internet shortcut has no identifier list; the list handed over is freed at once.
    void SetPathIDList(PIDLIST_ABSOLUTE list) override;

protected:
    bool Initialise() override;

private:
    vx::CComRef<IUniformResourceLocatorA> locator_;
    vx::CComRef<IPropertySetStorage> properties_;
};
