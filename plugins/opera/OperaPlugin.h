#pragma once
// The Opera plug-in: Opera's bookmark file made searchable through one indexer. It has no settings; when
// no bookmark file is found it declines to start and is unloaded.
#include "engine/VPlugin.h"

#include <windows.h>

#include <string>

class VOperaBookmarksIndexer;

class VOperaPlugin : public VPlugin {
public:
    VOperaPlugin();
    ~VOperaPlugin() override;

    std::string getName() override { return name; }
    std::string getDescription() override { return description; }
    std::string getAuthor() override { return author; }
    std::string getVersion() override { return version; }
    // Finds the bookmark file (the user's profile, else the folder of the program registered as Opera's
    // mail client), registers its indexer and keeps the program as the browser; false when there is no
    // bookmark file.
    bool startUp() override;
    bool shutDown() override { return true; }
    std::string getBrowserPath() const override { return browserPath; }

    VOperaBookmarksIndexer* getIndexer() const { return indexer; }
    // The icon drawn beside every result: loaded at the first call, destroyed with the plug-in, after
    // every result (the core destroys plug-ins last).
    HICON resultIcon();

    // The program a command line starts, as Windows finds it: a quoted first argument as it stands (no
    // escapes, to the next quote); an unquoted one as the shortest run of words up to a blank that names
    // an existing file (trying ".exe" after it), else up to the first blank. Environment variables are
    // expanded first. Empty for an empty command.
    static std::string programOfCommand(const std::string& command);

protected:
    // Where the plug-in looks; tests point it elsewhere. The user's application-data folder (empty when
    // the shell has none), and the command registered for Opera as a mail client (empty when none).
    virtual std::string appDataFolder() const;
    virtual std::string mailClientCommand() const;
    // Hands the indexer to the core; false when the core refuses it.
    virtual bool registerIndexer(VOperaBookmarksIndexer* created);

private:
    std::string name = "Opera";
    std::string description = "Opera extension";
    std::string author = "Ormandel";
    std::string version = "1.0";
    std::string browserPath;
    VOperaBookmarksIndexer* indexer = nullptr; // owned by the core once registered
    HICON urlIcon = nullptr;
};
