// The library's one export.
#include "DiskdexPlugin.h"

#include <new>

extern "C" __declspec(dllexport) VPlugin* pluginInit() {
    return new (std::nothrow) VDiskdexPlugin();
}
