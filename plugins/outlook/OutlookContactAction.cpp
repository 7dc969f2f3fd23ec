#include "OutlookContactAction.h"

#include "OutlookContact.h"
#include "OutlookModule.h"
#include "OutlookPlugin.h"
#include "OutlookSession.h"
#include "engine/VVerbinoxCore.h"
#include "resource.h"
#include "util/VxText.h"

VOutlookContactAction::VOutlookContactAction(std::shared_ptr<COutlookSession> profile, VOutlookPlugin* plugin)
    : VAction("Outlook contact", "outlookcontact", "Open Outlook Contact", plugin),
      profile(std::move(profile)), owner(plugin) {
    addSupportedType(VProperty::NameType);
    setIcon(outlook::loadIcon(IDI_CONTACT));
}

VOutlookContactAction::~VOutlookContactAction() {
    if (getIcon())
        ::DestroyIcon(getIcon());
}

bool VOutlookContactAction::isResultSupported(VResult* result) const {
    return dynamic_cast<VOutlookContact*>(result) != nullptr;
}

std::string VOutlookContactAction::getActionText(VProperty* property) const {
    if (!property || property->getPropertyType() != VProperty::NameType)
        return std::string();
    return "Open Contact: " + property->getValue();
}

namespace {

bool showAndLog(COutlookSession* session, VOutlookPlugin* owner,
                const std::vector<ContactValues::Field>& fields, COutlookSession::ItemTest test) {
    COutlookSession::OpenOutcome outcome = session->showFirst(fields, std::move(test));
    for (const std::string& problem : outcome.problems)
        owner->log(problem);
    return outcome.shown;
}

} // namespace

bool VOutlookContactAction::execute(VResult* result, VProperty* property, const std::string& searchText) {
    auto* contact = dynamic_cast<VOutlookContact*>(result);
    if (!contact || !profile)
        return false;
    try {
        const std::string entryId = contact->get(ContactValues::EntryId);
        return showAndLog(
            profile.get(), owner, {ContactValues::EntryId},
            [entryId](const ContactValues& values) { return values[ContactValues::EntryId] == entryId; });
    } catch (...) {
        return false;
    }
}

bool VOutlookContactAction::execute(const std::string& text) {
    if (!profile)
        return false;
    try {
        std::string wanted = vx::trimmed(text);
        if (wanted.empty()) {
            // An empty text would be found in every contact: the first one would open, whoever it is.
            owner->log("Couldn't find contact");
            return false;
        }
        VVerbinoxCore* core = VVerbinoxCore::instance();
        const bool caseSensitive = core->getSearchCaseSensitive();
        const bool atStart = core->getSearchStringStart();
        if (!caseSensitive)
            vx::toLower(wanted);
        auto passes = [wanted, caseSensitive, atStart](const ContactValues& values) {
            for (ContactValues::Field field :
                 {ContactValues::Name1, ContactValues::Name2, ContactValues::Email1, ContactValues::Email2,
                  ContactValues::Email3}) {
                std::string candidate = caseSensitive ? values[field] : vx::lowered(values[field]);
                std::size_t at = candidate.find(wanted);
                if (at != std::string::npos && (!atStart || at == 0))
                    return true;
            }
            return false;
        };
        return showAndLog(profile.get(), owner,
                          {ContactValues::Name1, ContactValues::Name2, ContactValues::Email1,
                           ContactValues::Email2, ContactValues::Email3},
                          passes);
    } catch (...) {
        return false;
    }
}
