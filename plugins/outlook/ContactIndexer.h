#pragma once
// The contacts of the default Contacts folder, from a cache or read afresh for each search. The mail
// component is only ever called on the session's own thread: searches and the indexer's builder hand
// their reading to it and wait. The cache is built on the builder, never on the window thread, and
// follows the folder through a cheap check of its item count and modification time.
#include "ContactValues.h"
#include "engine/VIndexer.h"
#include "util/Win32Handle.h"

#include <memory>
#include <string>
#include <vector>

class COutlookSession;
class VOutlookContact;
class VOutlookContactAction;
class VOutlookPlugin;

class VContactIndexer : public VIndexer {
public:
    VContactIndexer(VOutlookPlugin* plugin, std::shared_ptr<COutlookSession> session);
    // Stops the worker and the builder, then logs off the profile and cleans up the helper object.
    ~VContactIndexer() override;

    // Creates and logs on the profile, creates the helper object and registers the contact action as the
    // default for names. False when the component cannot be had. Builds nothing: the plug-in asks for
    // the first cache once the indexer is registered.
    bool init() override;
    bool reservedFlag() override { return false; }
    // Asks the builder for a new cache and returns at once.
    void updateCache() override { requestRebuild(); }
    std::string getSourceDescription() const override { return "the Contacts folder of the default profile"; }

    VOutlookContactAction* getContactAction() const { return contactAction; }
    std::size_t getCachedCount() const;

protected:
    void search() override;
    // Reads the folder into a new cache and swaps it in; in live mode only empties it. A reading cut
    // short (the indexer stopping, the component failing or not answering) keeps the cache it had.
    void rebuild(const std::function<bool()>& stop) override;
    DWORD followInterval() const override;
    // Rebuilds when the folder's change token differs from the one the cache was built from.
    void follow(const std::function<bool()>& stop) override;

private:
    struct Deleter {
        void operator()(VOutlookContact* contact) const;
    };
    using ContactPtr = std::unique_ptr<VOutlookContact, Deleter>;
    using Contacts = std::vector<ContactPtr>;
    // Contacts for the values, in ascending order of display text (equal texts in reading order).
    Contacts makeContacts(const std::vector<ContactValues>& read) const;
    // How a contact meets the running search: its best matching field (names, addresses, numbers), and
    // that field's length. get(field) gives the field's text. Worker only.
    template <class Get> VSearchQuery::Candidate rankFields(Get get) const;
    // The key of a matching contact, with what the user chose before for its identity.
    VRankKey keyFor(VSearchQuery::Candidate candidate, const VOutlookContact& contact) const;
    // The cache as it is now: a search keeps the one it started with while a new one is swapped in.
    std::shared_ptr<const Contacts> currentContacts() const;
    void swapIn(std::shared_ptr<const Contacts> replacement);

    std::shared_ptr<COutlookSession> session;
    VOutlookContactAction* contactAction = nullptr; // owned by the core once registered
    mutable vx::CCriticalSection cacheGuard;        // held only to copy or swap the two below
    std::shared_ptr<const Contacts> contacts;
    std::string builtToken; // the folder's change token read just before the cache's reading; builder only
};
