#include "engine/VVerbinoxCore.h"

#include "engine/UrlOpening.h"
#include "engine/VIndexer.h"
#include "engine/VListeners.h"
#include "engine/VPlugin.h"
#include "engine/VPluginManager.h"
#include "model/VAction.h"
#include "model/VBuiltinActions.h"
#include "model/VResult.h"
#include "util/CPath.h"
#include "util/FileSnapshot.h"
#include "util/HighContrast.h"
#include "util/Shell.h"
#include "util/SystemText.h"
#include "util/VxText.h"
#include "util/Win32Handle.h"

#include <algorithm>
#include <new>
#include <stdexcept>

namespace {

VVerbinoxCore* s_instance = nullptr;

template <class T> bool eraseFirst(std::vector<T*>& items, T* item) {
    auto it = std::find(items.begin(), items.end(), item);
    if (it == items.end())
        return false;
    items.erase(it);
    return true;
}

} // namespace

VVerbinoxCore* VVerbinoxCore::instance() {
    if (!s_instance)
        s_instance = new (std::nothrow) VVerbinoxCore();
    return s_instance;
}

void VVerbinoxCore::deleteThis() {
    // The destructor may still shut down, and plug-ins reach the core through instance() while they
    // do: forgetting this core first would have them build a second one that then stays the instance.
    const bool current = s_instance == this;
    delete this;
    if (current)
        s_instance = nullptr;
}

VVerbinoxCore::VVerbinoxCore() : listenerGuard(400) {
    appPath = CPath(1).GetPath();
    std::replace(appPath.begin(), appPath.end(), '/', '\\');
    std::size_t cut = appPath.find_last_of('\\');
    appLocation = cut == std::string::npos ? std::string() : appPath.substr(0, cut + 1);
    pluginsPath = appLocation + "Plugins\\";
    choices = std::make_unique<VChoiceMemory>();
}

VVerbinoxCore::~VVerbinoxCore() {
    if (pluginManager)
        shutDown();
    for (HFONT f : {font, font1, font2}) {
        if (f)
            ::DeleteObject(f);
    }
}

void VVerbinoxCore::startUp() {
    VWriteLocked<VReaderWriterLock> hold(lock);
    if (pluginManager)
        return;
    pluginManager = new VPluginManager(this);

    VAction* run = new VRunAction();
    registerAction(run);
    setDefaultAction(VProperty::FileType, run);
    setDefaultAction(VProperty::UrlType, run);
    VAction* mail = new VMailAction();
    registerAction(mail);
    setDefaultAction(VProperty::EmailType, mail);
    VAction* copy = new VCopyAction();
    registerAction(copy);
    setDefaultAction(VProperty::TextType, copy);

    // Copies of browser databases that a killed or crashed run left behind would stay for good.
    vx::sweepAbandonedSnapshots();
    // Read once here; recordChoice keeps the memory and the file in step afterwards.
    choices->load();
    pluginManager->startUp();
}

void VVerbinoxCore::stopAllWorkers() {
    uint32_t current = currentSearchId.load();
    if (current)
        cancelSearch(current);
    for (VIndexer* indexer : indexers)
        indexer->stopWorker();
}

void VVerbinoxCore::shutDown() {
    // Workers deliver to listeners and read indexers: none may run while those are destroyed.
    stopAllWorkers();
    if (pluginManager)
        pluginManager->shutDown();

    std::vector<VAction*> oldActions;
    std::vector<VIndexer*> oldIndexers;
    {
        VWriteLocked<VReaderWriterLock> hold(lock);
        shortcuts.clear();
        defaultActions.clear();
        oldActions.swap(actions);
        oldIndexers.swap(indexers);
    }
    // Outside the lock: an indexer's deleteThis joins its worker.
    for (VAction* action : oldActions)
        action->deleteThis();
    for (VIndexer* indexer : oldIndexers)
        indexer->deleteThis();

    {
        vx::CCriticalSectionLock guard(listenerGuard);
        for (VResultListener* listener : resultListeners)
            listener->deleteThis();
        resultListeners.clear();
        for (VActionListener* listener : actionListeners)
            listener->deleteThis();
        actionListeners.clear();
    }

    delete pluginManager;
    pluginManager = nullptr;
}

bool VVerbinoxCore::registerIndexer(VIndexer* indexer) {
    VWriteLocked<VReaderWriterLock> hold(lock);
    if (std::find(indexers.begin(), indexers.end(), indexer) != indexers.end())
        return false;
    indexers.push_back(indexer);
    return true;
}

bool VVerbinoxCore::unregisterIndexer(VIndexer* indexer) {
    {
        VWriteLocked<VReaderWriterLock> hold(lock);
        eraseFirst(indexers, indexer);
    }
    // deleteThis joins the worker, which may be waiting for the lock as a reader right now.
    if (indexer)
        indexer->deleteThis();
    return true;
}

bool VVerbinoxCore::registerAction(VAction* action) {
    VWriteLocked<VReaderWriterLock> hold(lock);
    if (!action)
        return false;
    for (VAction* a : actions) {
        if (a && a->getKeyword() == action->getKeyword())
            return false;
    }
    actions.push_back(action);
    return true;
}

bool VVerbinoxCore::unregisterAction(VAction* action) {
    VWriteLocked<VReaderWriterLock> hold(lock);
    if (!eraseFirst(actions, action))
        return false;
    // The action goes back to its caller, who may destroy it: no map may keep pointing at it.
    forgetAction(action);
    return true;
}

void VVerbinoxCore::forgetAction(VAction* action) {
    for (auto it = shortcuts.begin(); it != shortcuts.end();) {
        if (it->second == action)
            it = shortcuts.erase(it);
        else
            ++it;
    }
    for (auto it = defaultActions.begin(); it != defaultActions.end();) {
        if (it->second == action)
            it = defaultActions.erase(it);
        else
            ++it;
    }
}

bool VVerbinoxCore::registerResultListener(VResultListener* listener) {
    VWriteLocked<VReaderWriterLock> hold(lock);
    vx::CCriticalSectionLock guard(listenerGuard);
    if (!listener || !resultListeners.empty())
        return false;
    resultListeners.push_back(listener);
    return true;
}

void VVerbinoxCore::registerActionListener(VActionListener* listener) {
    VWriteLocked<VReaderWriterLock> hold(lock);
    vx::CCriticalSectionLock guard(listenerGuard);
    actionListeners.push_back(listener);
}

void VVerbinoxCore::unregisterResultListener(VResultListener* listener) {
    VWriteLocked<VReaderWriterLock> hold(lock);
    vx::CCriticalSectionLock guard(listenerGuard);
    eraseFirst(resultListeners, listener);
}

void VVerbinoxCore::unregisterActionListener(VActionListener* listener) {
    VWriteLocked<VReaderWriterLock> hold(lock);
    vx::CCriticalSectionLock guard(listenerGuard);
    eraseFirst(actionListeners, listener);
}

void VVerbinoxCore::unregisterPlugin(VPlugin* plugin) {
    std::vector<VAction*> goneActions;
    std::vector<VIndexer*> goneIndexers;
    {
        VWriteLocked<VReaderWriterLock> hold(lock);
        for (std::size_t i = actions.size(); i-- > 0;) {
            VAction* action = actions[i];
            if (action && action->getPlugin() == plugin) {
                actions.erase(actions.begin() + static_cast<std::ptrdiff_t>(i));
                forgetAction(action);
                goneActions.push_back(action);
            }
        }
        for (std::size_t i = indexers.size(); i-- > 0;) {
            VIndexer* indexer = indexers[i];
            if (indexer && indexer->getPlugin() == plugin) {
                indexers.erase(indexers.begin() + static_cast<std::ptrdiff_t>(i));
                goneIndexers.push_back(indexer);
            }
        }
    }
    // Destroyed outside the lock: each indexer's deleteThis joins its worker.
    for (VAction* action : goneActions)
        action->deleteThis();
    for (VIndexer* indexer : goneIndexers)
        indexer->deleteThis();
}

VAction* VVerbinoxCore::getAction(int index) const {
    if (index < 0 || index >= getNumActions())
        throw std::invalid_argument("action index out of range");
    return actions[static_cast<std::size_t>(index)];
}

VIndexer* VVerbinoxCore::getIndexer(int index) const {
    if (index < 0 || index >= getNumIndexers())
        throw std::invalid_argument("indexer index out of range");
    return indexers[static_cast<std::size_t>(index)];
}

VAction* VVerbinoxCore::getAction(const std::string& text, bool byShortcut) const {
    VReadLocked<VReaderWriterLock> hold(lock);
    if (byShortcut) {
        auto it = shortcuts.find(text);
        return it == shortcuts.end() ? nullptr : it->second;
    }
    for (VAction* action : actions) {
        if (action && action->getKeyword() == text)
            return action;
    }
    return nullptr;
}

int VVerbinoxCore::getNumActionsSupportingType(PropertyType type) const {
    int n = 0;
    for (VAction* action : actions) {
        if (action && action->isTypeSupported(type))
            ++n;
    }
    return n;
}

void VVerbinoxCore::startSeach(const std::string& text, uint32_t& searchId) {
    {
        // Under the listener guard too: once the id has changed, no delivery of the old one is under way.
        VWriteLocked<VReaderWriterLock> hold(lock);
        vx::CCriticalSectionLock guard(listenerGuard);
        uint32_t id = lastSearchId.load() + 1;
        lastSearchId.store(id);
        currentSearchId.store(id);
        searchId = id;
    }
    const uint32_t id = searchId;
    const std::string keywordText = vx::trimmed(text);
    for (VAction* action : actions) {
        if (action && action->getKeyword().compare(0, keywordText.size(), keywordText) == 0)
            addAction(id, action);
    }
    // One query for every indexer: the text is prepared and the memory of choices read once per keystroke.
    const VSearchQueryPtr query = makeQuery(text);
    for (VIndexer* indexer : indexers)
        indexer->liveSearch(id, text, query);
}

VSearchQueryPtr VVerbinoxCore::makeQuery(const std::string& text) const {
    std::vector<VLearnedItem> learned;
    if (learnChoices.load())
        learned = choices->lookup(text, VChoiceMemory::currentTime());
    return std::make_shared<const VSearchQuery>(text, getSearchOptions(), std::move(learned));
}

void VVerbinoxCore::cancelSearch(uint32_t searchId) {
    if (searchId != currentSearchId.load())
        return;
    {
        VWriteLocked<VReaderWriterLock> hold(lock);
        vx::CCriticalSectionLock guard(listenerGuard);
        currentSearchId.store(0);
    }
    // Cooperative: each worker notices the flag at its next candidate; nobody waits here.
    for (VIndexer* indexer : indexers)
        indexer->cancelSearch();
}

void VVerbinoxCore::addResult(uint32_t searchId, VResult* result) {
    if (result)
        deliver(searchId, &result, 1, true);
}

void VVerbinoxCore::addResults(uint32_t searchId, VResult** results, int count) {
    if (results && count > 0)
        deliver(searchId, results, count, false);
}

void VVerbinoxCore::addOverflow(uint32_t searchId, uint64_t count) {
    if (searchId == 0 || count == 0)
        return;
    vx::CCriticalSectionLock guard(listenerGuard);
    if (searchId != currentSearchId.load())
        return;
    for (VResultListener* listener : resultListeners)
        listener->onOverflow(searchId, count);
}

VSearchOptions VVerbinoxCore::getSearchOptions() const {
    VSearchOptions options;
    options.caseSensitive = searchCaseSensitive.load();
    options.startOnly = searchStringStart.load();
    options.foldAccents = searchFoldAccents.load();
    return options;
}

void VVerbinoxCore::recordChoice(const std::string& text, const VElement* element) {
    if (!element || !learnChoices.load())
        return;
    PropertyType type = VProperty::TextType;
    std::string value;
    if (element->getElementType() == VElement::ResultElement) {
        const VResult* result = static_cast<const VResult*>(element);
        if (result->getPropertyCount() == 0)
            return;
        // The property Enter opens, which is not always the first (a contact opens its e-mail address):
        // the sources rank by that identity too.
        const VProperty* property = result->getDefaultProperty();
        type = property->getPropertyType();
        value = property->getValue();
    } else {
        // Actions are told apart from results by a type no property has.
        type = static_cast<PropertyType>(0);
        value = static_cast<const VAction*>(element)->getKeyword();
    }
    choices->record(text, type, value, VChoiceMemory::currentTime());
    choices->save();
}

void VVerbinoxCore::forgetChoices() {
    choices->clear();
}

void VVerbinoxCore::setChoiceFile(const std::string& path) {
    choices = std::make_unique<VChoiceMemory>(path);
    choices->load();
}

void VVerbinoxCore::deliver(uint32_t searchId, VResult** results, int count, bool single) {
    if (searchId != 0) {
        // The check and the calls under one guard, which the id changes take too: a listener never
        // receives results of a search that has already been replaced or cancelled.
        vx::CCriticalSectionLock guard(listenerGuard);
        if (searchId == currentSearchId.load() && !resultListeners.empty()) {
            for (VResultListener* listener : resultListeners) {
                if (single)
                    listener->onResult(searchId, results[0]);
                else
                    listener->onResults(searchId, results, count);
            }
            return;
        }
    }
    // Stale, cancelled, or nobody listening: the core disposes of them.
    for (int i = 0; i < count; ++i) {
        if (results[i])
            results[i]->deleteThis();
    }
}

void VVerbinoxCore::addAction(uint32_t searchId, VAction* action) {
    vx::CCriticalSectionLock guard(listenerGuard);
    for (VActionListener* listener : actionListeners)
        listener->onAction(searchId, action);
}

void VVerbinoxCore::updateCache() {
    if (currentSearchId.load() != 0)
        return;
    // Each indexer builds on its own thread; the caller (the window) goes on at once.
    for (VIndexer* indexer : indexers)
        indexer->requestRebuild();
}

bool VVerbinoxCore::waitForCaches(DWORD ms) {
    const DWORD start = ::GetTickCount();
    for (VIndexer* indexer : indexers) {
        DWORD left = ms;
        if (ms != INFINITE) {
            const DWORD spent = ::GetTickCount() - start;
            left = spent >= ms ? 0 : ms - spent;
        }
        if (!indexer->waitForRebuild(left))
            return false;
    }
    return true;
}

void VVerbinoxCore::setLiveSearching(bool value) {
    if (liveSearching.load() == value)
        return;
    liveSearching.store(value);
    // Each builder makes (or, going live, drops) its cache; a search meanwhile uses what it has.
    for (VIndexer* indexer : indexers)
        indexer->requestRebuild();
}

void VVerbinoxCore::replaceFont(int slot, const LOGFONTA* record) {
    HFONT* const targets[3] = {&font, &font1, &font2};
    HFONT& target = *targets[slot];
    if (target) {
        ::DeleteObject(target);
        target = nullptr;
    }
    if (!record)
        return;
    fontRecords[slot] = *record;
    target = vx::createFont(vx::fontForDpi(*record, 96, fontDpi));
}

void VVerbinoxCore::setFont(const LOGFONTA* record) {
    replaceFont(0, record);
}
void VVerbinoxCore::setFont1(const LOGFONTA* record) {
    replaceFont(1, record);
}
void VVerbinoxCore::setFont2(const LOGFONTA* record) {
    replaceFont(2, record);
}

void VVerbinoxCore::setFontDpi(UINT dpi) {
    if (!dpi || dpi == fontDpi)
        return;
    fontDpi = dpi;
    const HFONT fonts[3] = {font, font1, font2};
    for (int i = 0; i < 3; ++i) {
        if (fonts[i]) {
            const LOGFONTA record = fontRecords[i];
            replaceFont(i, &record);
        }
    }
}

void VVerbinoxCore::setThemeTextColors(COLORREF defaultText, COLORREF selectedText) {
    themeText = defaultText;
    themeSelectedText = selectedText;
}

COLORREF VVerbinoxCore::drawnTextColor(COLORREF chosen, bool selected) const {
    if (selected)
        return themeSelectedText != CLR_INVALID ? themeSelectedText : ::GetSysColor(COLOR_HIGHLIGHTTEXT);
    // A high-contrast theme's text colour is the one its background was chosen against.
    if (vx::isHighContrast())
        return ::GetSysColor(COLOR_WINDOWTEXT);
    return chosen == RGB(0, 0, 0) && themeText != CLR_INVALID ? themeText : chosen;
}

bool VVerbinoxCore::readFont(int slot, LOGFONTA* record) const {
    const HFONT fonts[3] = {font, font1, font2};
    if (!fonts[slot] || !record)
        return false;
    *record = fontRecords[slot];
    return true;
}

bool VVerbinoxCore::getFont(LOGFONTA* record) const {
    return readFont(0, record);
}
bool VVerbinoxCore::getFont1(LOGFONTA* record) const {
    return readFont(1, record);
}
bool VVerbinoxCore::getFont2(LOGFONTA* record) const {
    return readFont(2, record);
}

void VVerbinoxCore::setShortcut(const std::string& text, VAction* action) {
    for (auto it = shortcuts.begin(); it != shortcuts.end();) {
        if (it->second == action)
            it = shortcuts.erase(it);
        else
            ++it;
    }
    if (!text.empty())
        shortcuts[text] = action;
}

std::string VVerbinoxCore::getShortcut(VAction* action) const {
    for (const auto& entry : shortcuts) {
        if (entry.second == action)
            return entry.first;
    }
    return std::string();
}

void VVerbinoxCore::setDefaultAction(PropertyType type, VAction* action) {
    defaultActions[type] = action;
}

VAction* VVerbinoxCore::getDefaultAction(PropertyType type) const {
    auto it = defaultActions.find(type);
    return it == defaultActions.end() ? nullptr : it->second;
}

int VVerbinoxCore::wildcmp(const char* pattern, const char* text) {
    const char* mp = nullptr; // pattern position after the last "*"
    const char* cp = nullptr; // text position to retry from
    while (*text && *pattern != '*') {
        if (*pattern != *text && *pattern != '?')
            return 0;
        ++pattern;
        ++text;
    }
    while (*text) {
        if (*pattern == '*') {
            if (!*++pattern)
                return 1;
            mp = pattern;
            cp = text + 1;
        } else if (*pattern == *text || *pattern == '?') {
            ++pattern;
            ++text;
        } else {
            pattern = mp;
            text = cp++;
        }
    }
    while (*pattern == '*')
        ++pattern;
    return *pattern ? 0 : 1;
}

namespace {

// The program file name (no folder) of the default web browser, from the "http" verb's command line.
std::string readDefaultBrowserProgram() {
    HKEY raw = nullptr;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", 0, KEY_QUERY_VALUE, &raw) !=
        ERROR_SUCCESS)
        return std::string();
    vx::CRegKeyHandle owner(raw);
    HKEY key = owner.Get();
    std::string command;
    DWORD type = 0, size = 0;
    if (::RegQueryValueExA(key, nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ) && size > 0) {
        command.resize(size);
        if (::RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(&command[0]), &size) ==
            ERROR_SUCCESS)
            command.resize(std::min<std::size_t>(size, command.find('\0')));
        else
            command.clear();
    }
    owner.Reset();
    command = vx::trimmed(command);
    std::string program;
    if (!command.empty() && command[0] == '"') {
        std::size_t close = command.find('"', 1);
        program = command.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    } else {
        // Unquoted paths may hold blanks ("C:\\Program Files\\..."): cut after ".exe" when there is one.
        std::string lower = vx::lowered(command);
        std::size_t exe = lower.find(".exe");
        program =
            exe != std::string::npos ? command.substr(0, exe + 4) : command.substr(0, command.find(' '));
    }
    std::size_t cut = program.find_last_of("\\/");
    return cut == std::string::npos ? program : program.substr(cut + 1);
}

std::atomic<VVerbinoxCore::UrlConfirmHook> urlConfirmHook{nullptr};

} // namespace

VVerbinoxCore::UrlConfirmHook VVerbinoxCore::setUrlConfirmHook(UrlConfirmHook hook) {
    return urlConfirmHook.exchange(hook);
}

bool VVerbinoxCore::isPlainUrl(const std::string& url) {
    const std::string scheme = vx::urlScheme(url);
    for (const char* plain : {"", "http", "https", "ftp", "file", "mailto"}) {
        if (scheme == plain)
            return true;
    }
    return false;
}

bool VVerbinoxCore::openUrl(const std::string& urlArgument, const std::string& browserPathArgument,
                            UrlOrigin origin) const {
    // Copies first: the confirmation box dispatches messages, and the result these strings belong to
    // may be gone by the time the user answers.
    const std::string url(urlArgument), browserPath(browserPathArgument);
    std::string browser = getOpenUrlsInPluginsBrowser() ? browserPath : std::string();
    if (browser.empty() && getOpenUrlsInNewWindow()) {
        if (defaultBrowser.empty())
            defaultBrowser = readDefaultBrowserProgram();
        if (defaultBrowser.empty())
            return false;
        browser = defaultBrowser;
    }
    // Refused before anyone is asked: no answer makes a switch of it safe.
    std::string parameters;
    if (!browser.empty() && !vx::browserParameters(browser, url, parameters))
        return false;
    // "ms-msdt:", "search-ms:" and their kind run programs with the address's arguments, and a path or a
    // share in a bookmark runs whatever it names: none of them opens without the user's word.
    const bool harmless = origin == UrlOrigin::UserText ? isPlainUrl(url) : vx::isHarmlessAddress(url);
    if (!harmless) {
        UrlConfirmHook confirm = urlConfirmHook.load();
        if (!confirm || !confirm(url))
            return false;
    }
    return browser.empty() ? vx::shellOpen(url) : vx::shellOpen(browser, parameters);
}
