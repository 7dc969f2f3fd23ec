#pragma once
// The module that the calling code is compiled into - the program, a plug-in library, or a test program
// that links a plug-in's code - and icons from its resources. Header-only on purpose: the linker gives
// every module its own __ImageBase, so each module that includes this gets its own answer.
#include <windows.h>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace vx {

inline HMODULE thisModule() {
    return reinterpret_cast<HMODULE>(&__ImageBase);
}

// A new 16 x 16 icon of this module's resources, which the caller destroys (before the module goes).
inline HICON loadModuleIcon(int resourceId) {
    return static_cast<HICON>(
        ::LoadImageW(thisModule(), MAKEINTRESOURCEW(resourceId), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
}

} // namespace vx
