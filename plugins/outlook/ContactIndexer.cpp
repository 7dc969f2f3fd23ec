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

// How often the builder asks the folder whether it changed. Each check is three or four calls handed
// to the component's thread, which waits meanwhile: rare enough to cost nothing, soon enough that a
// contact saved in the mail program is found by the time the user looks for it.
const DWORD kFollowIntervalMs = 2000;
} // namespace

void VContactIndexer::Deleter::operator()(VOutlookContact* contact) const {
    contact->deleteThis();
}

VContactIndexer::VContactIndexer(VOutlookPlugin* plugin, std::shared_ptr<COutlookSession> session)
    : VIndexer(plugin), session(std::move(session)) {}

VContactIndexer::~VContactIndexer() {
    // The worker and the builder use the session: they end before it logs off.
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
    return true;
}

std::shared_ptr<const VContactIndexer::Contacts> VContactIndexer::currentContacts() const {
    vx::CCriticalSectionLock hold(cacheGuard);
    return contacts;
}

void VContactIndexer::swapIn(std::shared_ptr<const Contacts> replacement) {
    {
        vx::CCriticalSectionLock hold(cacheGuard);
        contacts.swap(replacement);
    }
    // The old cache dies here, outside the guard, unless a search still holds it.
}

std::size_t VContactIndexer::getCachedCount() const {
    std::shared_ptr<const Contacts> now = currentContacts();
    return now ? now->size() : 0;
}

void VContactIndexer::rebuild(const std::function<bool()>& stop) {
    if (!session)
        return;
    if (getLiveSearching()) {
        // Searches read the folder themselves; a cache would only go stale.
        swapIn(nullptr);
        builtToken.clear();
        return;
    }
    try {
        // Read before the contacts: a change made while they are read shows at the next check.
        std::string token;
        if (!session->readChangeToken(token, stop))
            return;
        std::vector<ContactValues> read;
        if (!session->readContacts(read, stop) || (stop && stop()))
            return;
        auto built = std::make_shared<Contacts>(makeContacts(read, false));
        swapIn(std::move(built));
        builtToken = std::move(token);
    } catch (...) {
        // Out of memory half-way: the cache it had rather than part of one.
    }
}

DWORD VContactIndexer::followInterval() const {
    return kFollowIntervalMs;
}

void VContactIndexer::follow(const std::function<bool()>& stop) {
    if (!session || getLiveSearching())
        return;
    std::string token;
    // A component that knows neither count nor time gives nothing to follow: "Update Cache" still works.
    if (!session->readChangeToken(token, stop) || token.empty() || token == builtToken)
        return;
    rebuild(stop);
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

VContactIndexer::Contacts VContactIndexer::makeContacts(const std::vector<ContactValues>& read,
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
    Contacts out;
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
    } else if (const std::shared_ptr<const Contacts> cached = currentContacts()) {
        for (const ContactPtr& contact : *cached) {
            if (cancelRequested())
                break;
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
