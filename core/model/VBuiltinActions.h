#pragma once
// The three actions of the core itself: run a file or URL, draft an e-mail, copy text.
#include "model/VAction.h"

class VX_CORE_API VRunAction : public VAction {
public:
    VRunAction();
    std::string getActionText(VProperty* property) const override;
    bool execute(VResult* result, VProperty* property, const std::string& searchText) override;
    bool execute(const std::string& text) override;
};

class VX_CORE_API VMailAction : public VAction {
public:
    VMailAction();
    std::string getActionText(VProperty* property) const override;
    bool execute(VResult* result, VProperty* property, const std::string& searchText) override;
    bool execute(const std::string& text) override;
};

class VX_CORE_API VCopyAction : public VAction {
public:
    VCopyAction();
    std::string getActionText(VProperty* property) const override;
    bool execute(VResult* result, VProperty* property, const std::string& searchText) override;
    bool execute(const std::string& text) override;
    // Puts text on the clipboard as CF_UNICODETEXT. False when any clipboard step fails; empty text is a
    // no-op. The clipboard is closed again whatever failed, and a block it did not take is freed.
    static bool copyToClipboard(const std::string& text);

    // The clipboard calls copyToClipboard makes, so tests can make each of them fail.
    struct ClipboardCalls {
        BOOL(WINAPI* open)(HWND owner);
        BOOL(WINAPI* empty)();
        HANDLE(WINAPI* setData)(UINT format, HANDLE data);
        BOOL(WINAPI* close)();
    };
    // Replaces the calls and returns the previous ones; a null member means the system's.
    static ClipboardCalls setClipboardCalls(const ClipboardCalls& calls);
};
