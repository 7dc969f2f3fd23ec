// The library's one export.
#include "OperaPlugin.h"

#include <new>

extern "C" __declspec(dllexport) VPlugin* pluginInit() {
    return new (std::nothrow) VOperaPlugin();
}
