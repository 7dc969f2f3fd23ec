#include "model/VBuiltinActions.h"

#include "engine/VVerbinoxCore.h"
#include "util/CPath.h"
#include "util/CoreModule.h"
#include "util/Shell.h"
#include "util/VxText.h"

#include <cstring>

VRunAction::VRunAction() : VAction("Run", "run", "Run Command Line", nullptr) {
    addSupportedType(VProperty::FileType | VProperty::UrlType);
    setIcon(vx::loadCoreIcon(110));
}

std::string VRunAction::getActionText(VProperty* property) const {
    if (!property)
        return std::string();
    switch (property->getPropertyType()) {
    case VProperty::FileType: {
        // A file by its name, a folder by its last folder's name.
        CPath path(property->getValue());
        return "Open " + (path.IsFilePath() ? path.GetFileName() : path.GetDir(path.GetDirCount() - 1));
    }
    case VProperty::UrlType:
        return "Browse " + property->getValue();
    default:
        return std::string();
    }
}

bool VRunAction::execute(VResult*, VProperty* property, const std::string&) {
    if (!property)
        return false;
    switch (property->getPropertyType()) {
    case VProperty::FileType:
        return vx::shellOpen(property->getValue());
    case VProperty::UrlType:
        // Addresses come from results, which read them from bookmarks, history and other stored data.
        return VVerbinoxCore::instance()->openUrl(property->getValue(), std::string(),
                                                  VVerbinoxCore::UrlOrigin::DataFile);
    default:
        return false;
    }
}

bool VRunAction::execute(const std::string& text) {
    return vx::shellOpen(text);
}

VMailAction::VMailAction() : VAction("Email", "email", "Draft email message", nullptr) {
    addSupportedType(VProperty::EmailType);
    setIcon(vx::loadCoreIcon(101));
}

std::string VMailAction::getActionText(VProperty* property) const {
    if (!property || !isTypeSupported(property->getPropertyType()))
        return std::string();
    return "Email " + property->getValue();
}

bool VMailAction::execute(VResult*, VProperty* property, const std::string&) {
    if (!property || property->getPropertyType() != VProperty::EmailType)
        return false;
    return execute(property->getValue());
}

bool VMailAction::execute(const std::string& text) {
    return vx::shellOpen("mailto:" + vx::trimmed(text));
}

VCopyAction::VCopyAction() : VAction("Copy", "copy", "Copy text to clipboard", nullptr) {
    addSupportedType(VProperty::AllTypes);
    setIcon(vx::loadCoreIcon(109));
}

std::string VCopyAction::getActionText(VProperty* property) const {
    if (!property || !isTypeSupported(property->getPropertyType()))
        return std::string();
    return "Copy text to Clipboard: " + property->getValue();
}

bool VCopyAction::execute(VResult*, VProperty* property, const std::string&) {
    if (!property || !isTypeSupported(property->getPropertyType()))
        return false;
    return copyToClipboard(property->getValue());
}

bool VCopyAction::execute(const std::string& text) {
    return copyToClipboard(text);
}

namespace {
const VCopyAction::ClipboardCalls systemClipboard = {&::OpenClipboard, &::EmptyClipboard, &::SetClipboardData,
                                                     &::CloseClipboard};
VCopyAction::ClipboardCalls clipboard = systemClipboard;
} // namespace

VCopyAction::ClipboardCalls VCopyAction::setClipboardCalls(const ClipboardCalls& calls) {
    ClipboardCalls previous = clipboard;
    clipboard.open = calls.open ? calls.open : systemClipboard.open;
    clipboard.empty = calls.empty ? calls.empty : systemClipboard.empty;
    clipboard.setData = calls.setData ? calls.setData : systemClipboard.setData;
    clipboard.close = calls.close ? calls.close : systemClipboard.close;
    return previous;
}

bool VCopyAction::copyToClipboard(const std::string& text) {
    if (text.empty())
        return true;
    if (!clipboard.open(nullptr))
        return false;
    bool ok = clipboard.empty() != FALSE;
    // As UTF-16: the system makes CF_TEXT from it for readers that ask, in their own code page. CF_TEXT
    // of ours would be read in the clipboard locale's ANSI page, not in the UTF-8 our strings hold.
    const std::wstring wide = vx::widened(text);
    HGLOBAL block = nullptr;
    if (ok) {
        // Room for the text and its NUL, in steps of 4096 bytes.
        const SIZE_T bytes = (wide.size() + 1) * sizeof(wchar_t);
        block = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, ((bytes + 4095) / 4096) * 4096);
        ok = block != nullptr;
    }
    if (ok) {
        void* memory = ::GlobalLock(block);
        ok = memory != nullptr;
        if (ok) {
            std::memcpy(memory, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
            ::GlobalUnlock(block);
        }
    }
    if (ok) {
        ok = clipboard.setData(CF_UNICODETEXT, block) != nullptr;
        if (ok)
            block = nullptr; // the clipboard owns it now
    }
    if (block)
        ::GlobalFree(block);
    if (!clipboard.close())
        ok = false;
    return ok;
}
