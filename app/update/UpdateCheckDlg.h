#pragma once
// The "Update Check" dialog: the own and the latest version, what to make of them, and the switch for
// checking at start-up. It closes at once (result 1) when there is nothing to show.
#include "Versions.h"
#include "util/ModuleDialog.h"

#include <windows.h>

#include <string>

class UpdateCheckDlg : public vx::CModuleDialog {
public:
    UpdateCheckDlg(bool silent, bool checkAtStartup);

    // What the fetch brought; found false when it brought no version.
    void setLatest(bool found, const std::string& line) {
        this->found = found;
        latest = line;
    }
    // By default the program's own "ProductVersion".
    void setOwnVersion(const std::string& version) { own = version; }
    // Opened by "Yes" when a newer version exists.
    void setHomePage(const std::string& url) { homePage = url; }

    // run(owner), the base's, runs it modally: 1 when it closed at once, IDOK for "Yes"/"OK", IDCANCEL
    // for "No"; -1 on failure.
    // Creates it hidden without a loop of its own (tests drive it with messages). False when it closed
    // at once, with getResult() set.
    bool create(HWND owner);
    INT_PTR getResult() const { return result; }
    // The check box's value, taken from the box only by "Yes"/"OK".
    bool getCheckAtStartup() const { return checkAtStartup; }
    bool isDownloadArmed() const { return openHomePage; }

    // The "Could not get latest version info" box (type: MB_OK and its icon); tests replace it.
    using MessageHook = void (*)(HWND owner, const char* text, UINT type);
    static MessageHook setMessageHook(MessageHook hook);

private:
    BOOL onInit() override;
    // Only "Yes"/"OK" and "No" end it; the rest, the close box included, is left to the dialog manager
    // (not the base's WM_CLOSE, which would end it even while "No" is greyed).
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam) override;
    void close(INT_PTR value);

    bool silent;
    bool checkAtStartup;
    bool openHomePage = false;
    bool found = false;
    bool closed = false;
    bool initialising = false;
    INT_PTR result = 0;
    std::string own, latest, homePage;
};
