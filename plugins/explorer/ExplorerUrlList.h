#pragma once
// Internet Explorer's browsing history as the shell's URL-history service lists it, copied into plain
// records. The service is reached through a replaceable factory: Wine has none (its enumerator answers
// E_NOTIMPL), and tests hand in one of their own.
#include <windows.h>
#include <urlhist.h>

#include <functional>
#include <string>
#include <vector>

// One history record. Times are OLE dates; a flag is set when its time could not be converted.
struct CExplorerUrl {
    std::string url;
    std::string title; // empty when the record has none
    double lastUpdated = 0;
    bool lastUpdatedInvalid = false;
    double lastVisited = 0;
    bool lastVisitedInvalid = false;
    double expires = 0;
    bool expiresInvalid = false;

    // Copies the record's texts and times; the record keeps its strings.
    static CExplorerUrl fromRecord(const STATURL& record);
};

class CExplorerUrlList {
public:
    // Replaces the list with every record of the history, in the service's order. COM is held on the
    // calling thread for the duration. stop, when given, is asked before each record and ends the
    // listing early. False, with what was listed so far, when the service or its enumerator cannot be
    // had; a record that cannot be fetched ends the list without failing it.
    bool enumerate(const std::function<bool()>& stop = nullptr);

    std::size_t size() const { return urls.size(); }
    bool empty() const { return urls.empty(); }
    const CExplorerUrl& operator[](std::size_t index) const { return urls[index]; }
    std::vector<CExplorerUrl>::const_iterator begin() const { return urls.begin(); }
    std::vector<CExplorerUrl>::const_iterator end() const { return urls.end(); }

    // How the service is created: by default the shell's URL-history object. Returns the previous
    // factory; null restores the default. Set it before any search runs.
    using HistoryFactory = HRESULT (*)(IUrlHistoryStg2** history);
    static HistoryFactory setHistoryFactory(HistoryFactory factory);

    // The files the service keeps its records in, whose changes tell that the history changed: the
    // older versions' "index.dat" under the History folder and the newer ones' web cache database.
    // Either may be missing. Tests point the look-up elsewhere; null restores the default.
    static std::vector<std::string> historyFiles();
    using HistoryFilesLookup = std::vector<std::string> (*)();
    static HistoryFilesLookup setHistoryFilesLookup(HistoryFilesLookup lookup);

private:
    std::vector<CExplorerUrl> urls;
};
