// The library's one export.
#include "OutlookPlugin.h"

extern "C" __declspec(dllexport) VPlugin* pluginInit() {
    try {
        return new VOutlookPlugin();
    } catch (...) {
        return nullptr;
    }
}
