#pragma once
// The one core object: registries of indexers, actions and listeners, search dispatch, and the
// settings every part of the system shares.
#include "VxApi.h"
#include "engine/VChoiceMemory.h"
#include "engine/VReaderWriterLock.h"
#include "engine/VSearchQuery.h"
#include "model/VProperty.h"
#include "util/Win32Handle.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class VAction;
class VElement;
class VIndexer;
class VPlugin;
class VPluginManager;
class VPreferencesNode;
class VResult;
class VResultListener;
class VActionListener;

class VX_CORE_API VVerbinoxCore {
public:
    // The process-wide object, created on the first call (on the main thread, before any worker).
    static VVerbinoxCore* instance();
    // Destroys the object (shutting it down first when that was not done); the next instance()
    // creates a fresh one. While it is being destroyed, instance() still answers this core.
    void deleteThis();

    // Registers the built-in actions and loads the plug-ins. Main thread.
    void startUp();
    // Cancels the search and joins every worker, shuts the plug-ins down, destroys every action,
    // indexer and leftover listener, then the plug-ins, and unloads their libraries.
    void shutDown();

    VPluginManager* getPluginManager() const { return pluginManager; }
    const std::string& getAppPath() const { return appPath; }
    const std::string& getAppLocation() const { return appLocation; }
    const std::string& getPluginsPath() const { return pluginsPath; }
    // Plug-ins are looked for here; by default appLocation + "Plugins\\". Call before startUp.
    void setPluginsPath(const std::string& path) { pluginsPath = path; }

    // Registries. Every operation takes the writer lock, except the getters. Removing an indexer, an
    // action or a plug-in's objects joins their workers after the lock is released, so a worker that
    // reads the registries meanwhile is never waited for under the lock it waits on.
    bool registerIndexer(VIndexer* indexer);
    bool unregisterIndexer(VIndexer* indexer);
    bool registerAction(VAction* action);
    bool unregisterAction(VAction* action);
    // One result listener at most: it owns what it is given, so a second would receive (and destroy)
    // the same results. A second registration is refused (false) and the listener stays the caller's.
    bool registerResultListener(VResultListener* listener);
    void registerActionListener(VActionListener* listener);
    void unregisterResultListener(VResultListener* listener);
    void unregisterActionListener(VActionListener* listener);
    void unregisterPlugin(VPlugin* plugin);
    int getNumActions() const { return static_cast<int>(actions.size()); }
    // Throws std::invalid_argument for an index outside 0..count-1.
    VAction* getAction(int index) const;
    // By shortcut text, or else the first action whose keyword equals text (both case-sensitive).
    VAction* getAction(const std::string& text, bool byShortcut) const;
    int getNumActionsSupportingType(PropertyType type) const;
    int getNumIndexers() const { return static_cast<int>(indexers.size()); }
    VIndexer* getIndexer(int index) const;
    void acquireReaderLock() const { lock.AcquireReaderLock(); }
    void releaseReaderLock() const { lock.ReleaseReaderLock(); }
    void acquireWriterLock() { lock.AcquireWriterLock(); }
    void releaseWriterLock() { lock.ReleaseWriterLock(); }

    // Search.
    void startSeach(const std::string& text, uint32_t& searchId);
    void cancelSearch(uint32_t searchId);
    uint32_t getCurrentSearchId() const { return currentSearchId.load(); }
    bool isSearching() const { return currentSearchId.load() != 0; }
    // From worker threads: results of the current search go to the listeners, the rest are destroyed.
    void addResult(uint32_t searchId, VResult* result);
    void addResults(uint32_t searchId, VResult** results, int count);
    void addAction(uint32_t searchId, VAction* action);
    // From worker threads: a source of that search found count results beyond the ones it handed on.
    void addOverflow(uint32_t searchId, uint64_t count);
    // Asks every indexer to rebuild its cache on its own thread; returns at once. Refused while a
    // search is current.
    void updateCache();
    // Waits for every indexer's asked-for builds; true when they ended within ms. Not the window's:
    // for tools and tests.
    bool waitForCaches(DWORD ms = INFINITE);

    // Options, read by workers while they match.
    bool getLiveSearching() const { return liveSearching.load(); }
    // Asks every indexer to rebuild its cache (or drop it, going live) when the value changes.
    void setLiveSearching(bool value);
    int getSearchMinChars() const { return searchMinChars.load(); }
    void setSearchMinChars(int value) { searchMinChars.store(value); }
    bool getSearchCaseSensitive() const { return searchCaseSensitive.load(); }
    void setSearchCaseSensitive(bool value) { searchCaseSensitive.store(value); }
    bool getSearchStringStart() const { return searchStringStart.load(); }
    void setSearchStringStart(bool value) { searchStringStart.store(value); }
    bool getSearchUrlDescriptionsOnly() const { return searchUrlDescriptionsOnly.load(); }
    void setSearchUrlDescriptionsOnly(bool value) { searchUrlDescriptionsOnly.store(value); }
    bool getSearchUrlDomainOnly() const { return searchUrlDomainOnly.load(); }
    void setSearchUrlDomainOnly(bool value) { searchUrlDomainOnly.store(value); }
    // Ranking: results ordered by how well they match and what was chosen before ("RankResults"); off,
    // they keep arrival order.
    bool getRankResults() const { return rankResults.load(); }
    void setRankResults(bool value) { rankResults.store(value); }
    // The most results one source hands on for one search, its best ones ("ResultsPerSource", >= 1).
    int getResultsPerSource() const { return resultsPerSource.load(); }
    void setResultsPerSource(int value) { resultsPerSource.store(value < 1 ? 1 : value); }
    // "cafe" finds "Café" ("FoldAccents").
    bool getSearchFoldAccents() const { return searchFoldAccents.load(); }
    void setSearchFoldAccents(bool value) { searchFoldAccents.store(value); }
    // Remembering what the user chose for a text ("LearnChoices").
    bool getLearnChoices() const { return learnChoices.load(); }
    void setLearnChoices(bool value) { learnChoices.store(value); }
    // The options the matching reads, as one record.
    VSearchOptions getSearchOptions() const;

    // The query a search of text runs with: the options now, and what the user chose before for text
    // when learning is on. startSeach hands one to every indexer.
    VSearchQueryPtr makeQuery(const std::string& text) const;
    // Remembers that element (a result: its default property; an action: its name) was run for text,
    // when learning is on, and saves the memory. Main thread or a tool's.
    void recordChoice(const std::string& text, const VElement* element);
    // Forgets every choice and removes the file ("Forget what I chose").
    void forgetChoices();
    // The memory itself (never null after construction); tests point it elsewhere with setChoiceFile.
    VChoiceMemory& getChoiceMemory() { return *choices; }
    // Reads the memory from path (empty: the default place) instead; for tests and tools.
    void setChoiceFile(const std::string& path);

    bool getOpenUrlsInPluginsBrowser() const { return openUrlsInPluginsBrowser.load(); }
    void setOpenUrlsInPluginsBrowser(bool value) { openUrlsInPluginsBrowser.store(value); }
    bool getOpenUrlsInNewWindow() const { return openUrlsInNewWindow.load(); }
    void setOpenUrlsInNewWindow(bool value) { openUrlsInNewWindow.store(value); }

    // Fonts and colours the elements draw with. The core owns the GDI objects.
    HFONT getFont() const { return font; }
    HFONT getFont1() const { return font1; }
    HFONT getFont2() const { return font2; }
    bool getFont(LOGFONTA* record) const;
    bool getFont1(LOGFONTA* record) const;
    bool getFont2(LOGFONTA* record) const;
    void setFont(const LOGFONTA* record);
    void setFont1(const LOGFONTA* record);
    void setFont2(const LOGFONTA* record);
    // The records above, as stored, keep their heights at 96 DPI, so the file reads the same whatever
    // monitor it was saved on; the fonts drawn with are made for this DPI (96 until it is set).
    void setFontDpi(UINT dpi);
    UINT getFontDpi() const { return fontDpi; }
    COLORREF getTextColor() const { return textColor; }
    COLORREF getTextColor1() const { return textColor1; }
    COLORREF getTextColor2() const { return textColor2; }
    void setTextColor(COLORREF color) { textColor = color; }
    void setTextColor1(COLORREF color) { textColor1 = color; }
    void setTextColor2(COLORREF color) { textColor2 = color; }
    // The program draws its lists in colours of its own (the dark theme): rows then show text in
    // defaultText where the user's colour is black, the default, which would not read on a dark
    // background, and in selectedText on the selected row. CLR_INVALID for both: the system's colours.
    void setThemeTextColors(COLORREF defaultText, COLORREF selectedText);
    // The colour a row's text is drawn in, for the user's colour of that line.
    COLORREF drawnTextColor(COLORREF chosen, bool selected) const;

    // Reads the "Core" child of the program's root node (null: defaults), hands "PluginMgr" to the
    // plug-ins, creates the fonts and binds the shortcuts. Call after startUp.
    void loadPrefs(VPreferencesNode* root);
    // Writes "Core" with its options, "PluginMgr", "ShortcutMgr" and "Fonts" under node.
    void savePrefs(VPreferencesNode* node);

    // Where an address to open comes from, which decides what opens without a question.
    enum class UrlOrigin {
        // The user's own text or setting: typed in the box, a web search's address and its test. Only
        // a scheme other than a web, file or mail one asks ("ms-msdt:", "search-ms:").
        UserText,
        // Read from what other programs write: bookmarks, history, favourites, contacts. Only http,
        // https, ftp, mailto and file: to a document or a folder on a local drive open silently; a
        // program, a script, a share, a path without a scheme and any other scheme ask.
        DataFile,
    };

    // Opens a URL in the plug-in's browser (browserPath, when that option is on), a new window of the
    // default browser, or whatever window the shell's URL handler picks. An address that may start a
    // program rather than show a page is opened only when the confirmation hook agrees; without a hook
    // it is refused (false). A browser program is given its end-of-options marker before the address,
    // and one without a known marker is refused an address that could pass for a switch.
    bool openUrl(const std::string& url, const std::string& browserPath, UrlOrigin origin) const;

    // Asks the user whether such an address may be opened: true to open it. The core shows nothing
    // itself; the program installs one. Process-wide, like the shell seam; returns the previous hook.
    using UrlConfirmHook = bool (*)(const std::string& url);
    static UrlConfirmHook setUrlConfirmHook(UrlConfirmHook hook);
    // True for an address of the user's own that opens without asking: one without a scheme (a path; a
    // single letter before the colon is a drive), or one whose scheme is http, https, ftp, file or mailto,
    // in any case.
    static bool isPlainUrl(const std::string& url);

    // Keyword shortcuts: an action has at most one, a shortcut names one action.
    void setShortcut(const std::string& text, VAction* action);
    std::string getShortcut(VAction* action) const;
    // Default action per property type (a key, not a mask).
    void setDefaultAction(PropertyType type, VAction* action);
    VAction* getDefaultAction(PropertyType type) const;

    // Cancels the current search and joins every indexer's worker: nothing delivers or reads an indexer
    // until the next search starts one again.
    void stopAllWorkers();

    // Byte-wise, case-sensitive wildcard match of a whole text: "*" any run, "?" one byte. 1 or 0.
    static int wildcmp(const char* pattern, const char* text);

private:
    VVerbinoxCore();
    ~VVerbinoxCore();
    VVerbinoxCore(const VVerbinoxCore&) = delete;
    VVerbinoxCore& operator=(const VVerbinoxCore&) = delete;

    // Removes every shortcut and default-action entry that points at the action.
    void forgetAction(VAction* action);
    void deliver(uint32_t searchId, VResult** results, int count, bool single);
    // Slot 0 is the one-line font, 1 and 2 the two lines'. A null record leaves none.
    void replaceFont(int slot, const LOGFONTA* record);
    bool readFont(int slot, LOGFONTA* record) const;
    void loadFonts(VPreferencesNode* fontsNode);
    void applyDefaultShortcuts();

    VPluginManager* pluginManager = nullptr;
    std::string appPath;
    std::string appLocation;
    std::string pluginsPath;
    std::vector<VAction*> actions;
    std::vector<VIndexer*> indexers;
    std::vector<VResultListener*> resultListeners;
    std::vector<VActionListener*> actionListeners;
    std::unordered_map<std::string, VAction*> shortcuts;
    std::unordered_map<unsigned, VAction*> defaultActions;
    std::atomic<uint32_t> currentSearchId{0};
    std::atomic<uint32_t> lastSearchId{0};
    mutable VReaderWriterLock lock;
    // Guards the listener arrays while a worker delivers to them, so a listener is never called after
    // its unregistration returned. Nobody joins a worker while holding it.
    vx::CCriticalSection listenerGuard;
    std::atomic<int> searchMinChars{3};
    std::atomic<bool> searchCaseSensitive{false};
    std::atomic<bool> searchStringStart{false};
    std::atomic<bool> searchUrlDescriptionsOnly{false};
    std::atomic<bool> searchUrlDomainOnly{true};
    std::atomic<bool> liveSearching{false};
    std::atomic<bool> rankResults{true};
    std::atomic<int> resultsPerSource{200};
    std::atomic<bool> searchFoldAccents{true};
    std::atomic<bool> learnChoices{true};
    std::unique_ptr<VChoiceMemory> choices;
    std::atomic<bool> openUrlsInPluginsBrowser{false};
    std::atomic<bool> openUrlsInNewWindow{false};
    HFONT font = nullptr;
    HFONT font1 = nullptr;
    HFONT font2 = nullptr;
    LOGFONTA fontRecords[3]{};
    UINT fontDpi = 96;
    COLORREF textColor = 0;
    COLORREF textColor1 = 0;
    COLORREF textColor2 = 0;
    COLORREF themeText = CLR_INVALID;
    COLORREF themeSelectedText = CLR_INVALID;
    // Read on first need, and again while it is unknown.
    mutable std::string defaultBrowser;
};
