#pragma once
// A dialog from the resources of the module that uses it (a plug-in's .vll, or a test program linking
// the plug-in's code), run modally or created without a loop of its own so that tests drive it with
// messages. Header-only for the same reason as ThisModule.h: the template is the including module's.
#include "util/ThisModule.h"
#include "util/VisualStyleScope.h"

#include <windows.h>

namespace vx {

class CModuleDialog {
public:
    CModuleDialog(const CModuleDialog&) = delete;
    CModuleDialog& operator=(const CModuleDialog&) = delete;
    // Destroys a modeless dialog that is still open.
    virtual ~CModuleDialog() {
        if (hwnd && !modal)
            ::DestroyWindow(hwnd);
    }

    // Runs the dialog modally: what ended it, or -1 when it is open already or has nothing to edit.
    INT_PTR run(HWND parent) {
        if (hwnd || !canOpen())
            return -1;
        CVisualStyleScope styles(thisModule(), controlClasses);
        modal = true;
        const DLGTEMPLATE* memory = memoryTemplate();
        const INT_PTR result =
            memory ? ::DialogBoxIndirectParamA(thisModule(), memory, parent, &CModuleDialog::dialogProc,
                                               reinterpret_cast<LPARAM>(this))
                   : ::DialogBoxParamA(thisModule(), MAKEINTRESOURCEA(templateId), parent,
                                       &CModuleDialog::dialogProc, reinterpret_cast<LPARAM>(this));
        modal = false;
        hwnd = nullptr;
        return result;
    }
    // Creates the dialog without a loop of its own, shown unless asked otherwise; closing it destroys
    // it. Null on failure.
    HWND create(HWND parent, bool show = true) {
        if (hwnd)
            return hwnd;
        if (!canOpen())
            return nullptr;
        CVisualStyleScope styles(thisModule(), controlClasses);
        modal = false;
        const DLGTEMPLATE* memory = memoryTemplate();
        HWND window =
            memory ? ::CreateDialogIndirectParamA(thisModule(), memory, parent, &CModuleDialog::dialogProc,
                                                  reinterpret_cast<LPARAM>(this))
                   : ::CreateDialogParamA(thisModule(), MAKEINTRESOURCEA(templateId), parent,
                                          &CModuleDialog::dialogProc, reinterpret_cast<LPARAM>(this));
        if (window && show)
            ::ShowWindow(window, SW_SHOW);
        return window;
    }
    HWND getHwnd() const { return hwnd; }
    // True from run() until its dialog ends; false for a dialog made by create().
    bool isModal() const { return modal; }

protected:
    // controlClasses: the ICC_* classes of the template's controls.
    CModuleDialog(int templateId, DWORD controlClasses)
        : templateId(templateId), controlClasses(controlClasses) {}

    // A template built in memory, used instead of the resource templateId names; null for the resource.
    // Asked each time the dialog opens; it must live until the dialog's controls are created.
    virtual const DLGTEMPLATE* memoryTemplate() { return nullptr; }
    // False when there is nothing to edit: the dialog does not open.
    virtual bool canOpen() const { return true; }
    // WM_INITDIALOG's work; its answer goes to the dialog manager (TRUE: it sets the focus itself).
    virtual BOOL onInit() = 0;
    // Every later message but WM_NCDESTROY, which ends the tie to the window. By default OK writes the
    // controls back (onOk) and ends with IDOK; Cancel and the close box end with IDCANCEL.
    virtual INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_CLOSE || (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL)) {
            end(IDCANCEL);
            return TRUE;
        }
        if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
            onOk();
            end(IDOK);
            return TRUE;
        }
        return FALSE;
    }
    // What OK does before the dialog ends, with the default handle.
    virtual void onOk() {}
    // Ends a modal run with result, or destroys the modeless window.
    void end(INT_PTR result) {
        if (!hwnd)
            return;
        if (modal)
            ::EndDialog(hwnd, result);
        else
            ::DestroyWindow(hwnd);
    }

    HWND hwnd = nullptr;

private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            auto* self = reinterpret_cast<CModuleDialog*>(lParam);
            ::SetWindowLongPtrA(window, DWLP_USER, lParam);
            self->hwnd = window;
            return self->onInit();
        }
        auto* self = reinterpret_cast<CModuleDialog*>(::GetWindowLongPtrA(window, DWLP_USER));
        if (!self)
            return FALSE;
        if (message == WM_NCDESTROY) {
            ::SetWindowLongPtrA(window, DWLP_USER, 0);
            self->hwnd = nullptr;
            return FALSE;
        }
        return self->handle(message, wParam, lParam);
    }

    const int templateId;
    const DWORD controlClasses;
    bool modal = false;
};

} // namespace vx
