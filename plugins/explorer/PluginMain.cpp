// The library's one export.
#include "ExplorerPlugin.h"

#include <new>

extern "C" __declspec(dllexport) VPlugin* pluginInit() {
    return new (std::nothrow) VExplorerPlugin();
}
