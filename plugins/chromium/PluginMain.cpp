// The library's one export.
#include "ChromiumPlugin.h"

#include <new>

extern "C" __declspec(dllexport) VPlugin* pluginInit() {
    return new (std::nothrow) VChromiumPlugin();
}
