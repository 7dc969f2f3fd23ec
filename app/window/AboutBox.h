#pragma once
// The "About Verbinox" box: the program's name and version from its version resource, when it was
// built, and a link to the maker's home page. Centred on the work area of its owner's monitor.
#include "util/ModuleDialog.h"

class CAboutBox : public vx::CModuleDialog {
public:
    CAboutBox();

protected:
    BOOL onInit() override;
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam) override;
};
