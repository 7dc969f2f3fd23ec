// The Outlook plug-in as the plug-in manager loads it, built to create the fake component's test
// registrations instead of the real component's.
#include "FakeOutlook.h"
#include "OutlookPlugin.h"

extern "C" __declspec(dllexport) VPlugin* pluginInit() {
    try {
        outlook::Component component;
        component.sessionProgId = FAKE_SESSION_PROGID;
        component.utilsProgId = FAKE_UTILS_PROGID;
        return new VOutlookPlugin(component);
    } catch (...) {
        return nullptr;
    }
}
