#pragma once
// "Searching": offline or real-time searching, the matching and ranking options, learning from what the
// user chooses, the minimum length of a search, the results per source and the re-search delay.
#include "PrefsSheet.h"

class PrefsPageSearching : public PrefsPage {
public:
    explicit PrefsPageSearching(CVerbinoxDlg* window);

    // Refuses a minimum length outside 1 to 10 or results per source outside 1 to 10000, or either not
    // a number.
    int findInvalid(std::string& why) override;
    void apply() override;

private:
    void onInitPage() override;
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam) override;
    void updateUrlOptions();
    void updateLearning();
    // Asks first; forgets at once when the answer is yes.
    void forgetChoices();

    // "Search url domains only": no choice while only titles are searched.
    DependentOption domainOnly;
};
