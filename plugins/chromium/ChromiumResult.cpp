#include "ChromiumResult.h"

#include "ChromiumBrowsers.h"
#include "engine/VVerbinoxCore.h"

VChromiumUrlResult* VChromiumUrlResult::createInstance(VPlugin* plugin, const chromium::Browser* browser) {
    return new VChromiumUrlResult(plugin, browser);
}

VChromiumUrlResult::VChromiumUrlResult(VPlugin* plugin, const chromium::Browser* browser)
    : VUrlEntryResult(plugin), browser(browser) {}

void VChromiumUrlResult::deleteThis() {
    delete this;
}

bool VChromiumUrlResult::select() {
    return VVerbinoxCore::instance()->openUrl(getUrl(), browser ? browser->program : std::string(),
                                              VVerbinoxCore::UrlOrigin::DataFile);
}
