#pragma once
// The contacts of the default Contacts folder, from a cache or read afresh for each search. The mail
// component is only ever called on the session's own thread: searches hand their reading to it and wait.
#include "ContactValues.h"
#include "engine/VIndexer.h"

#include <memory>
#include <vector>

class COutlookSession;
class VOutlookContact;
class VOutlookContactAction;
class VOutlookPlugin;

class VContactIndexer : public VIndexer {
public:
    VContactIndexer(VOutlookPlugin* plugin, std::shared_ptr<COutlookSession> session);
    // Stops the worker, then logs off the profile and cleans up the helper object.
    ~VContactIndexer() override;

    // Creates and logs on the profile, creates the helper object, registers the contact action as the
    // default for names and builds the first cache. False when the component cannot be had.
    bool init() override;
    bool reservedFlag() override { return false; }
    // Reads the folder into the cache (cached mode); in live mode only empties it.
    void updateCache() override;
    std::string getSourceDescription() const override { return "the Contacts folder of the default profile"; }

    VOutlookContactAction* getContactAction() const { return contactAction; }
    std::size_t getCachedCount() const { return cache.size(); }

protected:
    void search() override;

private:
    struct Deleter {
        void operator()(VOutlookContact* contact) const;
    };
    using ContactPtr = std::unique_ptr<VOutlookContact, Deleter>;
    // Contacts for the values, in ascending order of display text (equal texts in reading order); with
    // onlyMatching, only those the search text matches, stopping when the search is cancelled.
    std::vector<ContactPtr> makeContacts(const std::vector<ContactValues>& read, bool onlyMatching) const;
    bool matches(const ContactValues& values) const;
    bool matches(const VOutlookContact& contact) const;

    std::shared_ptr<COutlookSession> session;
    VOutlookContactAction* contactAction = nullptr; // owned by the core once registered
};
