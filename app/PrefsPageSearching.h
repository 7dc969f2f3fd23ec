#pragma once
// "Searching": offline or real-time searching, the matching options, the minimum length of a search
// and the re-search delay.
#include "PrefsSheet.h"

class PrefsPageSearching : public PrefsPage {
public:
    explicit PrefsPageSearching(CVerbinoxDlg* window);

    // Refuses a minimum length outside 1 to 10, or one that is not a number.
    int findInvalid(std::string& why) override;
    void apply() override;

private:
    void onInitPage() override;
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam) override;
    void updateUrlOptions();
};
