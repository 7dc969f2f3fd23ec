#pragma once
// The common controls 6 look for a library's dialogs even when the host program's manifest does not ask
// for it: the library's own manifest (resource 2) is made active while the dialog's controls are created.
// Only the creation needs the context: each control keeps the class it was created with.
#include <windows.h>
#include <commctrl.h>

namespace vx {

class CVisualStyleScope {
public:
    // controlClasses: the ICC_* classes the dialog uses, registered from the activated comctl32.
    CVisualStyleScope(HMODULE module, DWORD controlClasses) {
        ACTCTXA request{};
        request.cbSize = sizeof(request);
        request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.hModule = module;
        request.lpResourceName = MAKEINTRESOURCEA(2);
        context = ::CreateActCtxA(&request);
        if (context != INVALID_HANDLE_VALUE && !::ActivateActCtx(context, &cookie))
            cookie = 0;
        INITCOMMONCONTROLSEX controls{};
        controls.dwSize = sizeof(controls);
        controls.dwICC = controlClasses;
        ::InitCommonControlsEx(&controls);
    }
    ~CVisualStyleScope() {
        if (cookie)
            ::DeactivateActCtx(0, cookie);
        if (context != INVALID_HANDLE_VALUE)
            ::ReleaseActCtx(context);
    }
    CVisualStyleScope(const CVisualStyleScope&) = delete;
    CVisualStyleScope& operator=(const CVisualStyleScope&) = delete;

private:
    HANDLE context = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie = 0;
};

} // namespace vx
