#include "ContactIndexer.h"

#include "OutlookContact.h"
#include "OutlookContactAction.h"
#include "OutlookPlugin.h"
#include "OutlookSession.h"
#include "engine/VVerbinoxCore.h"

#include <algorithm>

namespace {
// What a search looks at, in this order.
const ContactValues::Field kMatchedFields[] = {
    ContactValues::SearchText1, ContactValues::SearchText2, ContactValues::Email1, ContactValues::Email2,
    ContactValues::Email3,      ContactValues::Phone1,      ContactValues::Phone2, ContactValues::Phone3,
};
} // namespace

void VContactIndexer::Deleter::operator()(VOutlookContact* contact) const {
    contact->deleteThis();
}

VContactIndexer::VContactIndexer(VOutlookPlugin* plugin, std::shared_ptr<COutlookSession> session)
    : VIndexer(plugin), session(std::move(session)) {}

VContactIndexer::~VContactIndexer() {
    stopWorker();
    if (session)
        session->logOff();
}

bool VContactIndexer::init() {
    if (!session || !session->createProfile())
        return false;
    // A profile that cannot log on gives no contacts and opens none: as good as no component.
    if (!session->logOn() || !session->createUtils())
        return false;
    VVerbinoxCore* core = VVerbinoxCore::instance();
    auto* action = new VOutlookContactAction(session, static_cast<VOutlookPlugin*>(getPlugin()));
    if (core->registerAction(action)) {
        contactAction = action;
        core->setDefaultAction(VProperty::NameType, action);
    } else {
        // Another plug-in owns the keyword: ours would never be offered.
        action->deleteThis();
    }
    if (!getLiveSearching())
        updateCache();
    return true;
}

void VContactIndexer::updateCache() {
    clearCache();
    if (getLiveSearching() || !session)
        return;
    try {
        std::vector<ContactValues> read;
        session->readContacts(read);
        std::vector<ContactPtr> contacts = makeContacts(read, false);
        cache.reserve(contacts.size());
        for (ContactPtr& contact : contacts)
            cache.push_back(contact.release());
    } catch (...) {
        // Out of memory half-way: no cache rather than part of one.
        clearCache();
    }
}

bool VContactIndexer::matches(const ContactValues& values) const {
    for (ContactValues::Field field : kMatchedFields) {
        if (match(values[field], false))
            return true;
    }
    return false;
}

bool VContactIndexer::matches(const VOutlookContact& contact) const {
    for (ContactValues::Field field : kMatchedFields) {
        if (match(contact.get(field), false))
            return true;
    }
    return false;
}

std::vector<VContactIndexer::ContactPtr> VContactIndexer::makeContacts(const std::vector<ContactValues>& read,
                                                                       bool onlyMatching) const {
    std::vector<std::pair<std::string, ContactPtr>> sorted;
    for (const ContactValues& values : read) {
        if (onlyMatching && (isCancelled() || !matches(values)))
            continue;
        ContactPtr contact(new VOutlookContact(getPlugin()));
        contact->setValues(values);
        std::string text = contact->getDisplayText();
        sorted.emplace_back(std::move(text), std::move(contact));
    }
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<ContactPtr> out;
    out.reserve(sorted.size());
    for (auto& entry : sorted)
        out.push_back(std::move(entry.second));
    return out;
}

void VContactIndexer::search() {
    if (!session)
        return;
    VResultBatch found;
    if (getLiveSearching()) {
        std::vector<ContactValues> read;
        // The reading runs on the session's thread; a cancelled search stops waiting for it at once.
        if (!session->readContacts(read, [this] { return isCancelled(); }))
            return;
        for (ContactPtr& contact : makeContacts(read, true))
            found.add(contact.release());
    } else {
        for (VResult* cached : cache) {
            if (cancelRequested())
                break;
            auto* contact = static_cast<VOutlookContact*>(cached);
            if (!matches(*contact))
                continue;
            auto* copy = new VOutlookContact(getPlugin());
            found.add(copy);
            copy->copyFrom(*contact);
        }
    }
    // A cancelled search's results die with the batch.
    if (!isCancelled())
        found.deliver(searchId);
}
