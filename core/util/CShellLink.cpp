#include "util/CShellLink.h"

#include "util/VxText.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Largest buffer a text is asked for with; far beyond what the shell stores in a shortcut.
constexpr int kMaxTextSize = 65536;

// The file name made absolute: a relative name would be taken relative to whatever the shell object
// thinks, and profile reads of a relative name look in the Windows folder.
std::string fullName(const std::string& fileName) {
    if (fileName.empty())
        return fileName;
    DWORD size = ::GetFullPathNameA(fileName.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return fileName;
    std::string full(size, '\0');
    DWORD length = ::GetFullPathNameA(fileName.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size)
        return fileName;
    full.resize(length);
    return full;
}

// Asks read(buffer, size) for a text and stores it in out when the call reports S_OK (S_FALSE means "no
// such text", e.g. a target without a file-system path). The shell cuts a long text to the buffer without
// saying so, and Wine 8 then leaves it without a terminator: a buffer that comes back (nearly) full is
// asked for again, four times larger. Two bytes of slack cover a double-byte character cut in half.
template <class Read> bool readText(Read read, int initialSize, std::string& out) {
    for (int size = initialSize;; size *= 4) {
        std::vector<char> buffer(static_cast<std::size_t>(size) + 1, '\0');
        if (read(buffer.data(), size) != S_OK)
            return false;
        buffer[static_cast<std::size_t>(size)] = '\0';
        std::size_t length = std::strlen(buffer.data());
        if (length + 2 < static_cast<std::size_t>(size) || size >= kMaxTextSize) {
            out.assign(buffer.data(), length);
            return true;
        }
    }
}

// The fields every shell link interface carries besides target, arguments and icon.
void readCommonFields(IShellLinkA* link, CShellLinkInfo& info) {
    readText([&](char* buffer, int size) { return link->GetWorkingDirectory(buffer, size); }, MAX_PATH,
             info.workingDirectory);
    readText([&](char* buffer, int size) { return link->GetDescription(buffer, size); }, INFOTIPSIZE,
             info.description);
    WORD hotKey = 0;
    if (SUCCEEDED(link->GetHotkey(&hotKey)))
        info.hotKey = hotKey;
    int showCommand = 0;
    if (SUCCEEDED(link->GetShowCmd(&showCommand)))
        info.showCommand = showCommand;
}

void writeCommonFields(IShellLinkA* link, const CShellLinkInfo& info) {
    link->SetWorkingDirectory(info.workingDirectory.c_str());
    link->SetDescription(info.description.c_str());
    link->SetHotkey(info.hotKey);
    link->SetShowCmd(info.showCommand);
}

// One value of the [InternetShortcut] section of a .url file, as text; false when the key is absent.
bool readUrlFileValue(const std::string& fileName, const char* key, std::string& out) {
    // A default that no file holds tells an absent key from an empty value.
    const char* absent = "\x01";
    for (DWORD size = MAX_PATH;; size *= 4) {
        std::vector<char> buffer(size, '\0');
        DWORD length = ::GetPrivateProfileStringA("InternetShortcut", key, absent, buffer.data(), size,
                                                  fileName.c_str());
        // A value cut to the buffer comes back as size - 1 characters.
        if (length + 1 < size || size >= static_cast<DWORD>(kMaxTextSize)) {
            std::string value(buffer.data(), length);
            if (value == absent)
                return false;
            out = value;
            return true;
        }
    }
}

} // namespace

CShellLinkInfo::~CShellLinkInfo() = default;

// ---------------------------------------------------------------------------------------------------------
// CShellLink

CShellLink::CShellLink() = default;
CShellLink::~CShellLink() = default;

bool CShellLink::Initialise() {
    if (initialised_)
        return link_ && file_;
    initialised_ = true;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  link_.PutVoid())))
        return false;
    return SUCCEEDED(link_.Query(IID_IPersistFile, file_));
}

bool CShellLink::Create(const CShellLinkInfo& info) {
    if (!Initialise())
        return false;
    static_cast<CShellLinkInfo&>(*this) = info;
    return true;
}

bool CShellLink::Save(const std::string& fileName) {
    if (!Initialise())
        return false;
    std::string name = fullName(fileName);
    // Either target replaces the other in the object; the identifier list wins when there is one.
    if (pathIDList.Get() != nullptr)
        link_->SetIDList(pathIDList.Get());
    else
        link_->SetPath(path.c_str());
    link_->SetWorkingDirectory(workingDirectory.c_str());
    link_->SetIconLocation(iconLocation.c_str(), iconLocationIndex);
    link_->SetDescription(description.c_str());
    link_->SetArguments(arguments.c_str());
    link_->SetHotkey(hotKey);
    link_->SetShowCmd(showCommand);
    return SUCCEEDED(file_->Save(vx::widened(name).c_str(), TRUE));
}

bool CShellLink::Load(const std::string& fileName) {
    if (!Initialise())
        return false;
    std::string name = fullName(fileName);
    if (FAILED(file_->Load(vx::widened(name).c_str(), STGM_READ)))
        return false;

    readText([&](char* buffer, int size) { return link_->GetPath(buffer, size, nullptr, SLGP_UNCPRIORITY); },
             MAX_PATH, path);
    // Wine leaves the out-parameter untouched when the shortcut holds no list: start from null.
    PIDLIST_ABSOLUTE list = nullptr;
    if (SUCCEEDED(link_->GetIDList(&list)))
        pathIDList.Attach(list);
    else if (list != nullptr)
        ::ILFree(list);
    // The icon location is only the stored text; nothing looks at the file it names, which may sit on
    // another machine.
    int iconIndex = 0;
    if (readText([&](char* buffer, int size) { return link_->GetIconLocation(buffer, size, &iconIndex); },
                 MAX_PATH, iconLocation))
        iconLocationIndex = iconIndex;
    readText([&](char* buffer, int size) { return link_->GetArguments(buffer, size); }, INFOTIPSIZE,
             arguments);
    readCommonFields(link_.Get(), *this);
    return true;
}

bool CShellLink::Resolve(HWND window, DWORD flags) {
    if (!Initialise() || !link_)
        return false;
    return link_->Resolve(window, flags) == S_OK;
}

// ---------------------------------------------------------------------------------------------------------
// CUrlShellLink

CUrlShellLink::CUrlShellLink() = default;

// The locator and property set are released here, before the base releases its interfaces.
CUrlShellLink::~CUrlShellLink() = default;

bool CUrlShellLink::Initialise() {
    if (initialised_)
        return locator_ && file_;
    initialised_ = true;
    if (FAILED(::CoCreateInstance(CLSID_InternetShortcut, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IUniformResourceLocatorA, locator_.PutVoid())))
        return false;
    // Wine's Internet shortcut object has no shell link interface; the URL, the icon and the file itself
    // do not need it, so its absence only leaves the other fields alone.
    locator_.Query(IID_IShellLinkA, link_);
    locator_.Query(IID_IPropertySetStorage, properties_);
    return SUCCEEDED(locator_.Query(IID_IPersistFile, file_));
}

void CUrlShellLink::SetPathIDList(PIDLIST_ABSOLUTE list) {
    if (list != nullptr)
        ::ILFree(list);
}

bool CUrlShellLink::Save(const std::string& fileName) {
    if (!Initialise())
        return false;
    std::string name = fullName(fileName);
    // Taken as it is: guessing a protocol would change the text the caller gave.
    locator_->SetURL(path.c_str(), 0);

    // The icon goes through the object's property set, the one route both Windows and Wine store.
    if (properties_) {
        vx::CComRef<IPropertyStorage> storage;
        if (SUCCEEDED(
                properties_->Open(FMTID_Intshcut, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, storage.Put()))) {
            PROPSPEC keys[2] = {};
            keys[0].ulKind = PRSPEC_PROPID;
            keys[0].propid = PID_IS_ICONFILE;
            keys[1].ulKind = PRSPEC_PROPID;
            keys[1].propid = PID_IS_ICONINDEX;
            if (iconLocation.empty()) {
                storage->DeleteMultiple(2, keys);
            } else {
                std::wstring iconFile = vx::widened(iconLocation);
                PROPVARIANT values[2];
                ::PropVariantInit(&values[0]);
                ::PropVariantInit(&values[1]);
                values[0].vt = VT_LPWSTR;
                values[0].pwszVal = &iconFile[0];
                values[1].vt = VT_I4;
                values[1].lVal = iconLocationIndex;
                storage->WriteMultiple(2, keys, values, PID_FIRST_USABLE);
            }
            storage->Commit(STGC_DEFAULT);
        }
    }
    if (link_)
        writeCommonFields(link_.Get(), *this);
    return SUCCEEDED(file_->Save(vx::widened(name).c_str(), TRUE));
}

bool CUrlShellLink::Load(const std::string& fileName) {
    if (!Initialise())
        return false;
    std::string name = fullName(fileName);
    if (FAILED(file_->Load(vx::widened(name).c_str(), STGM_READ)))
        return false;

    // Read as UTF-16 and narrowed without best fit: the narrow interface would map a character the code
    // page lacks to a look-alike, and a fullwidth "--" would come back as a switch.
    path.clear();
    vx::CComRef<IUniformResourceLocatorW> wide;
    wchar_t* url = nullptr;
    if (SUCCEEDED(locator_.Query(IID_IUniformResourceLocatorW, wide)) && wide->GetURL(&url) == S_OK && url)
        path = vx::narrowedAddress(url);
    if (url != nullptr)
        ::CoTaskMemFree(url);

    // The icon is read as the text the file holds. Asking the object instead would hand the location to
    // its icon handler, which fetches http and \\server\share icons; and Wine 8 fills only the low 16 bits
    // of the index it reports.
    std::string iconFile;
    if (readUrlFileValue(name, "IconFile", iconFile)) {
        iconLocation = iconFile;
        std::string index;
        iconLocationIndex = readUrlFileValue(name, "IconIndex", index) ? std::atoi(index.c_str()) : 0;
    } else {
        iconLocation.clear();
        iconLocationIndex = 0;
    }

    if (link_)
        readCommonFields(link_.Get(), *this);
    return true;
}

bool CUrlShellLink::Invoke(HWND window, DWORD flags, const std::string& verb) {
    if (!Initialise())
        return false;
    URLINVOKECOMMANDINFOA info = {};
    info.dwcbSize = sizeof(info);
    info.dwFlags = flags;
    info.hwndParent = window;
    info.pcszVerb = verb.empty() ? nullptr : verb.c_str();
    return SUCCEEDED(locator_->InvokeCommand(&info));
}
