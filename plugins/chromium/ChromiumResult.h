#pragma once
// An address found in one browser's bookmarks or history: it opens in that browser when the core's
// option says so, and a bookmark shows its folder path as its second line.
#include "engine/VUrlIndexer.h"

#include <string>

namespace chromium {
struct Browser;
}

class VChromiumUrlResult : public VUrlEntryResult {
public:
    static VChromiumUrlResult* createInstance(VPlugin* plugin, const chromium::Browser* browser);
    void deleteThis() override;
    // Opens the address through the core, naming this result's browser (empty: the default browser).
    bool select() override;

    const chromium::Browser* getBrowser() const { return browser; }

private:
    VChromiumUrlResult(VPlugin* plugin, const chromium::Browser* browser);

    const chromium::Browser* browser; // the plug-in's, which outlives every result
};
