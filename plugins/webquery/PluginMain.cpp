// The library's one export.
#include "WebqueryPlugin.h"

#include <new>

extern "C" __declspec(dllexport) VPlugin* pluginInit() {
    return new (std::nothrow) VWebqueryPlugin();
}
