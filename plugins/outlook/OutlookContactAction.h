#pragma once
// "Outlook contact": opens a contact in the mail program, either the chosen result or, after its keyword,
// the first contact whose name or address holds the typed text. Problems go to the plug-in's log.
#include "model/VAction.h"

#include <memory>

class COutlookSession;
class VOutlookPlugin;

class VOutlookContactAction : public VAction {
public:
    VOutlookContactAction(std::shared_ptr<COutlookSession> profile, VOutlookPlugin* plugin);
    VOutlookContactAction(const VOutlookContactAction&) = delete;
    VOutlookContactAction& operator=(const VOutlookContactAction&) = delete;
    // Destroys the icon it loaded.
    ~VOutlookContactAction() override;

    bool isResultSupported(VResult* result) const override;
    std::string getActionText(VProperty* property) const override;
    // Shows the contact whose entry id is the result's.
    bool execute(VResult* result, VProperty* property, const std::string& searchText) override;
    // Shows the first contact whose names or addresses hold the text (at their start with the
    // string-start option; in any case unless searches are case-sensitive).
    bool execute(const std::string& text) override;

private:
    std::shared_ptr<COutlookSession> profile;
    VOutlookPlugin* owner;
};
