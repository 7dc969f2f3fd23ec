// The library's one export.
#include "FirefoxPlugin.h"

#include <new>

extern "C" __declspec(dllexport) VPlugin* pluginInit() {
    return new (std::nothrow) VFirefoxPlugin();
}
