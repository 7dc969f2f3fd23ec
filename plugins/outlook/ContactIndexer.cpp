#include "ContactIndexer.h"

#include "OutlookContact.h"
#include "OutlookContactAction.h"
#include "OutlookPlugin.h"
#include "OutlookSession.h"
#include "engine/VBestOf.h"
#include "engine/VVerbinoxCore.h"

#include <algorithm>

namespace {
// What a search looks at, in this order: the names first, so a name's match wins over an equal one of
// an address or a number.
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
        auto built = std::make_shared<Contacts>(makeContacts(read));
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

template <class Get> VSearchQuery::Candidate VContactIndexer::rankFields(Get get) const {
    VSearchQuery::Candidate best;
    std::string_view bestField;
    for (ContactValues::Field field : kMatchedFields) {
        const std::string& value = get(field);
        if (value.empty())
            continue;
        const VSearchQuery::Match how = rankMatch(value, std::string_view());
        if (how.group > best.match.group || (how.group == best.match.group && how.kind > best.match.kind)) {
            best.match = how;
            bestField = value;
        }
    }
    // Shorter is better among the texts that matched: a number matched in two contacts ties, and the
    // contacts keep their order.
    if (best.match)
        best.nameChars = VSearchQuery::countCharacters(bestField);
    return best;
}

VRankKey VContactIndexer::keyFor(VSearchQuery::Candidate candidate, const VOutlookContact& contact) const {
    const VSearchQuery& query = getQuery();
    if (query.hasLearned()) {
        if (const VProperty* identity = contact.getDefaultProperty())
            candidate.learned = query.learnedWeight(identity->getPropertyType(), identity->getValue());
    }
    return rankKeyFor(candidate);
}

VContactIndexer::Contacts VContactIndexer::makeContacts(const std::vector<ContactValues>& read) const {
    std::vector<std::pair<std::string, ContactPtr>> sorted;
    for (const ContactValues& values : read) {
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
    // The best few, by the cache's contact or the index of what a live search read; results are made
    // only for them.
    struct Hit {
        const VOutlookContact* cached;
        std::size_t read;
    };
    VBestOf<Hit> best(resultsLimit());
    std::vector<ContactValues> read;
    std::shared_ptr<const Contacts> cached;
    if (getLiveSearching()) {
        // The reading runs on the session's thread; a cancelled search stops waiting for it at once.
        if (!session->readContacts(read, [this] { return isCancelled(); }))
            return;
        // Offered in the cache's order (by display text), so both modes rank ties alike. One contact
        // object serves to read every matching item's display text and identity.
        struct Found {
            std::string text;
            std::size_t index;
            VRankKey key;
        };
        std::vector<Found> matching;
        ContactPtr scratch(new VOutlookContact(getPlugin()));
        for (std::size_t i = 0; i < read.size() && !cancelRequested(); ++i) {
            const ContactValues& values = read[i];
            const VSearchQuery::Candidate candidate = rankFields(
                [&values](ContactValues::Field field) -> const std::string& { return values[field]; });
            if (!candidate.match)
                continue;
            scratch->setValues(values);
            matching.push_back(Found{scratch->getDisplayText(), i, keyFor(candidate, *scratch)});
        }
        std::stable_sort(matching.begin(), matching.end(),
                         [](const Found& a, const Found& b) { return a.text < b.text; });
        for (const Found& f : matching)
            best.offer(f.key, Hit{nullptr, f.index});
    } else if ((cached = currentContacts())) {
        for (const ContactPtr& contact : *cached) {
            if (cancelRequested())
                break;
            const VOutlookContact& c = *contact;
            const VSearchQuery::Candidate candidate =
                rankFields([&c](ContactValues::Field field) -> const std::string& { return c.get(field); });
            if (candidate.match)
                best.offer(keyFor(candidate, c), Hit{&c, 0});
        }
    }
    if (isCancelled())
        return;

    VResultBatch found;
    const uint64_t more = best.dropped();
    for (auto& kept : best.take()) {
        auto* contact = new VOutlookContact(getPlugin());
        found.add(contact);
        if (kept.second.cached)
            contact->copyFrom(*kept.second.cached);
        else
            contact->setValues(read[kept.second.read]);
        contact->setRankKey(kept.first);
    }
    // A cancelled search's results die with the batch.
    if (!isCancelled())
        found.deliver(searchId, more);
}
