#pragma once
// The Outlook contacts plug-in: the contacts of the default mail profile as results, and an action that
// opens a contact in the mail program. It exists only while the mail component can be created.
#include "OutlookSession.h"
#include "engine/VPlugin.h"

#include <atomic>
#include <memory>

class VContactIndexer;

class VOutlookPlugin : public VPlugin {
public:
    // What choosing a contact does (the "ContactAction" setting).
    enum ContactActionChoice { NewEmail = 0, OpenContact = 1 };

    explicit VOutlookPlugin(outlook::Component component = outlook::Component());
    // Ends the component's thread, after the indexer logged off.
    ~VOutlookPlugin() override;

    std::string getName() override { return name; }
    std::string getDescription() override { return description; }
    std::string getAuthor() override { return author; }
    std::string getVersion() override { return version; }
    // Starts the component's thread, logs on and registers the indexer; false, leaving nothing running,
    // when the component cannot be created or logged on.
    bool startUp() override;
    bool shutDown() override { return true; }
    bool hasEditablePrefs() const override { return true; }
    void editPrefs(HWND parent) override;
    void loadPrefs(VPreferencesNode* node) override;
    void savePrefs(VPreferencesNode* node) override;

    // Appends the message and a line break to "outlook.log" in the program's folder; nothing happens when
    // the file cannot be opened.
    static void log(const std::string& message);
    VContactIndexer* getIndexer() const { return indexer; }

    // One setting for the whole process; values other than OpenContact compose an e-mail.
    static int getContactAction() { return contactAction.load(); }
    static void setContactAction(int value) { contactAction.store(value); }

private:
    static std::atomic<int> contactAction;
    static std::atomic<int> instances;
    outlook::Component component;
    std::shared_ptr<COutlookSession> session;
    VContactIndexer* indexer = nullptr; // registered with the core, which owns it
    std::string name = "Outlook";
    std::string description = "Outlook extension";
    std::string author = "Ormandel";
    std::string version = "1.0";
};
